#include "core/progress.h"

#include <algorithm>

namespace skyrelay {

namespace {

size_t Index(ProgressStage stage) {
  return static_cast<size_t>(stage);
}

bool IsTurnoutStage(size_t s) {
  return s >= Index(ProgressStage::TurnoutSymbols) && s <= Index(ProgressStage::TurnoutList);
}

// A gap between two reports longer than this (a message box, a program that
// stood still) says nothing about the link's pace.
constexpr double kLongestPaceGap = 5.0;
// The pace is trusted once this many modelled seconds have been measured: a
// few flash pages, whose last block takes longer than the others.
constexpr double kPaceAfterModelSeconds = 13.0;

}  // namespace

double ProgressTracker::ModelSeconds(ProgressStage stage) {
  // Measured on the simulated LocoNet through a fast interface: one step's
  // messages with their echoes and answers, at the bus's speed. The settings
  // step includes the wake-up and pause that end the transfer.
  switch (stage) {
    case ProgressStage::Firmware:
      return 0.415;
    case ProgressStage::Restart:
      return 1.0;
    case ProgressStage::Backup:  // four reads of 128 bytes
      return 1.56;
    case ProgressStage::LanguageTexts:
      return 0.16;
    case ProgressStage::TurnoutSymbols:
      return 0.165;
    case ProgressStage::TurnoutAssignment:
      return 0.205;
    case ProgressStage::TurnoutList:
      return 0.88;
    case ProgressStage::Characters:
      return 0.12;
    case ProgressStage::Settings:
      return 2.2;
  }
  return 0;
}

int ProgressTracker::PacePeriod(ProgressStage stage) {
  switch (stage) {
    case ProgressStage::Firmware:           // eight blocks a page
    case ProgressStage::TurnoutSymbols:     // eight symbols a page
    case ProgressStage::TurnoutAssignment:  // eight sections a page
      return 8;
    default:
      return 1;
  }
}

double ProgressTracker::StageModelDone(ProgressStage stage, int done) {
  return stage == ProgressStage::Restart ? done : done * ModelSeconds(stage);
}

void ProgressTracker::Start(const ProgressPlan& plan, double now) {
  *this = ProgressTracker{};
  started_ = true;
  plan_ = plan;
  startedAt_ = now;
}

double ProgressTracker::ModelLeft(ProgressStage stage, int done) const {
  double left = 0;
  for (size_t s = Index(stage); s < plan_.steps.size(); s++) {
    if (s == Index(ProgressStage::Restart)) continue;
    const int steps = s == Index(stage) ? std::max(0, plan_.steps[s] - done) : plan_.steps[s];
    left += steps * ModelSeconds(static_cast<ProgressStage>(s));
  }
  return left;
}

RunProgress ProgressTracker::Update(ProgressStage stage, int done, int total, double now) {
  const size_t s = Index(stage);
  const bool restart = stage == ProgressStage::Restart;
  plan_.steps[s] = total;
  if (static_cast<int>(s) != stage_) {
    // A new stage; the stages between the last one and this did not run.
    if (stage_ >= 0) modelBefore_ += StageModelDone(static_cast<ProgressStage>(stage_), done_);
    stage_ = static_cast<int>(s);
    done_ = done;
    checkDone_ = done;
    checkAt_ = now;
  } else if (done < checkDone_) {
    // A page written again: its steps come once more.
    checkDone_ = done;
    checkAt_ = now;
  } else if (done > checkDone_ && done % PacePeriod(stage) == 0) {
    // The pace is measured over whole pages: within a page the steps before the
    // page write are quicker than the one with it.
    const double model = (done - checkDone_) * ModelSeconds(stage);
    const double gap = now - checkAt_;
    if (!restart && gap <= model * 10 + kLongestPaceGap) {
      measured_ += gap;
      modelled_ += model;
    }
    checkDone_ = done;
    checkAt_ = now;
  }
  done_ = std::max(done_, done);

  RunProgress p;
  p.stage = stage;
  p.stageDone = done;
  p.stageTotal = total;
  if (IsTurnoutStage(s)) {
    // The three turnout files are one stage on the display.
    p.stageTotal = 0;
    for (size_t t = Index(ProgressStage::TurnoutSymbols); t <= Index(ProgressStage::TurnoutList);
         t++) {
      if (t < s) p.stageDone += plan_.steps[t];
      p.stageTotal += plan_.steps[t];
    }
  }
  p.elapsed = now - startedAt_;
  const int restartPlanned = plan_[ProgressStage::Restart];
  double restartLeft = 0;
  if (s < Index(ProgressStage::Restart)) restartLeft = restartPlanned;
  if (restart) {
    restartLeft = std::max(0.0, kExpectedRestartSeconds - done);
    p.waited = done;
    p.waitLimit = total;
  }
  const double transferLeft = ModelLeft(stage, done_);
  const double modelDone = modelBefore_ + StageModelDone(stage, done_);
  const double whole = modelDone + transferLeft + restartLeft;
  p.percent = whole > 0 ? std::clamp(static_cast<int>(modelDone * 100 / whole), 0, 100) : 0;
  if (modelled_ >= kPaceAfterModelSeconds) {
    p.remaining = transferLeft * (measured_ / modelled_) + restartLeft;
  }
  return p;
}

}  // namespace skyrelay
