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
// The pace is trusted once this many modelled seconds have been measured.
constexpr double kPaceAfterModelSeconds = 2.0;

}  // namespace

double ProgressTracker::ModelSeconds(ProgressStage stage) {
  // Measured on the simulated LocoNet at the pacing of a fast interface: one
  // step's messages with their echoes and answers.
  switch (stage) {
    case ProgressStage::Firmware:
      return 0.3305;
    case ProgressStage::Restart:
      return 1.0;
    case ProgressStage::LanguageTexts:
      return 0.0937;
    case ProgressStage::TurnoutSymbols:
      return 0.1875;
    case ProgressStage::TurnoutAssignment:
      return 0.2344;
    case ProgressStage::TurnoutList:
      return 1.03;
    case ProgressStage::Characters:
      return 0.0937;
    case ProgressStage::Settings:
      return 1.5;
  }
  return 0;
}

void ProgressTracker::Start(const ProgressPlan& plan, double now) {
  *this = ProgressTracker{};
  started_ = true;
  plan_ = plan;
  startedAt_ = now;
  lastAt_ = now;
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
    stage_ = static_cast<int>(s);
    done_ = done;
    lastAt_ = now;
  } else if (done > done_) {
    const double model = restart ? 0 : (done - done_) * ModelSeconds(stage);
    const double gap = now - lastAt_;
    if (!restart && gap <= model * 10 + kLongestPaceGap) {
      measured_ += gap;
      modelled_ += model;
    }
    modelDone_ += restart ? done - done_ : model;
    done_ = done;
    lastAt_ = now;
  } else {
    // A page written again: its steps come once more.
    done_ = done;
    lastAt_ = now;
  }

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
  const double transferLeft = ModelLeft(stage, done);
  const double whole = modelDone_ + transferLeft + restartLeft;
  p.percent = whole > 0 ? std::clamp(static_cast<int>(modelDone_ * 100 / whole), 0, 100) : 0;
  if (modelled_ >= kPaceAfterModelSeconds) {
    p.remaining = transferLeft * (measured_ / modelled_) + restartLeft;
  }
  return p;
}

}  // namespace skyrelay
