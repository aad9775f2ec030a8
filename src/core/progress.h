// How far an update run is, as one display: the stage with its own units, the
// share of the whole run, the time taken and an estimate of the time left, and
// during the handheld's restart what is waited for and how long.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace skyrelay {

// The stages that report how far they are, in the order a run passes them.
// The turnout files are three stages here (their steps cost differently) and
// one on the display ("Weichen").
enum class ProgressStage {
  Firmware,           // blocks of the image
  Restart,            // seconds waited for the restarted handheld
  Backup,             // pages of the user's data read before the configuration
  LanguageTexts,      // texts of all language files
  TurnoutSymbols,     // symbols
  TurnoutAssignment,  // sections
  TurnoutList,        // the one list
  Characters,         // character files
  Settings,           // the settings block
};
inline constexpr int kProgressStageCount = 9;

struct RunProgress {
  ProgressStage stage = ProgressStage::Firmware;
  int stageDone = 0;
  int stageTotal = 0;
  // Of the whole run as planned when it started (a stage that does not run
  // leaves the plan), 0 to 100.
  int percent = 0;
  double elapsed = 0;  // seconds since the run started
  // Seconds left, once the run has measured its pace.
  std::optional<double> remaining;
  // Restart stage: seconds waited, and after how many the user is asked.
  double waited = 0;
  double waitLimit = 0;
};

// The plan of a run: the steps of each stage it will pass.
struct ProgressPlan {
  std::array<int, kProgressStageCount> steps{};
  int& operator[](ProgressStage stage) { return steps[static_cast<size_t>(stage)]; }
  int operator[](ProgressStage stage) const { return steps[static_cast<size_t>(stage)]; }
};

// Turns the stages' "done of total" into the run's display. The time a step
// takes on the bus is modelled per stage; the run measures how much faster or
// slower its link is than the model and scales the rest of the plan by that.
// The restart is the handheld's own time and is not scaled.
class ProgressTracker {
 public:
  // Seconds a step of each stage takes at the pacing of a LocoNet interface
  // at full speed, and how long a handheld takes to restart.
  static double ModelSeconds(ProgressStage stage);
  static constexpr double kExpectedRestartSeconds = 60.0;

  void Start(const ProgressPlan& plan, double now);
  bool started() const { return started_; }
  // A stage reports `done` of `total` (total replaces the plan's steps).
  RunProgress Update(ProgressStage stage, int done, int total, double now);
  // The model's seconds for what the plan still holds after `stage` at `done`.
  double ModelLeft(ProgressStage stage, int done) const;

 private:
  // Steps after which the pace is measured, and the modelled seconds of `done` steps.
  static int PacePeriod(ProgressStage stage);
  static double StageModelDone(ProgressStage stage, int done);

  bool started_ = false;
  ProgressPlan plan_;
  double startedAt_ = 0;
  int stage_ = -1;
  int done_ = 0;       // the most steps of the current stage reported
  int checkDone_ = 0;  // the steps and the time of the last pace measurement
  double checkAt_ = 0;
  // Seconds measured and modelled for the same steps, for the pace.
  double measured_ = 0;
  double modelled_ = 0;
  double modelBefore_ = 0;  // modelled seconds of the stages passed
};

}  // namespace skyrelay
