// How the command-line program shows status texts and message boxes and asks
// questions: on stderr, with a progress bar on a terminal.
#pragma once

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "core/host.h"
#include "core/texts.h"

namespace skyrelay::cli {

// Who answers the questions of a run.
enum class AnswerPolicy {
  Ask,    // the user on the terminal; a risky question defaults to No
  Yes,    // --yes: Yes to the routine questions; a risky one is refused
  No,     // --no: No to every question
  Force,  // --force: Yes to every question, the risky ones too
};

// Told of every event the console shows, as the core raised it, before any of
// the console's own choices of what to print (--json).
class ConsoleObserver {
 public:
  virtual ~ConsoleObserver() = default;
  virtual void OnStatus(const StatusLine& status) = 0;
  virtual void OnProgress(const RunProgress& progress) = 0;
  // A box or question once it was shown (and answered): the notice's kind, or
  // for a box of the program's own `ownKind`; no answer when the run ended at
  // the question.
  virtual void OnShown(const ShownMessage& shown, std::optional<NoticeKind> kind,
                       std::string_view ownKind, bool risky, std::optional<Answer> answer) = 0;
};

class Console {
 public:
  // answers: who answers the questions.
  // cancel: set by the signals that end a run (Ctrl-C, Ctrl-\, SIGTERM, a
  // hang-up); a question then ends the run by throwing RunCancelled, also one
  // that is waiting for input.
  Console(std::FILE* err, std::FILE* in, bool errIsTerminal, bool inIsTerminal,
          AnswerPolicy answers, const std::atomic<bool>* cancel = nullptr);

  // The core's typed events, decided on by their kind (and a question by
  // whether it is risky).
  void Status(const StatusLine& status);
  Answer Message(const Notice& notice);
  void Progress(const RunProgress& progress);
  // Boxes (shown with their kind, when they show one; the program's own with
  // `ownKind`) and lines of the program's own.
  Answer Show(const ShownMessage& shown, std::optional<NoticeKind> kind, bool risky = false,
              std::string_view ownKind = {});
  void Status(const std::string& text);
  Answer Message(const std::string& text, const std::string& title, Icon icon, Buttons buttons);
  // Ends a progress line that is still open.
  void Finish();
  int messagesShown() const { return messagesShown_; }
  // Who is told of every event as well; none by default.
  void Observe(ConsoleObserver* observer) { observer_ = observer; }

  // --yes answers "weiter warten?" Yes this many times (70 s each), then No:
  // the restart is waited for about five minutes at most.
  static constexpr int kRestartWaitAnswers = 3;

 private:
  void EndLine();
  void FlushCounter();
  Answer Ask(bool risky);
  Answer ShowAndAnswer(const ShownMessage& shown, std::optional<NoticeKind> kind, bool risky);

  std::FILE* err_;
  std::FILE* in_;
  bool errIsTerminal_;
  bool inIsTerminal_;
  AnswerPolicy answers_;
  // A run's progress has been shown: it stands for the stages' own counts.
  bool progressShown_ = false;
  int lastProgressStage_ = -1;
  int lastProgressDecile_ = -1;
  bool lineOpen_ = false;
  bool inAnimation_ = false;
  int messagesShown_ = 0;
  const std::atomic<bool>* cancel_;
  ConsoleObserver* observer_ = nullptr;
  int restartWaitAnswers_ = 0;
  int lastDecile_ = -1;
  std::string lastCounterKind_;
  std::string skippedCounter_;
};

// "\r" and "\n\r" line breaks of the message texts as plain new lines.
std::string PlainLines(const std::string& text);

}  // namespace skyrelay::cli
