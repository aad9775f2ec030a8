#include "cli/console.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "core/translate.h"

namespace skyrelay::cli {

namespace {

// Statuses that count up ("Mag.Sym.:17"): of a run of them the first and the
// last are shown; the key tells runs apart. Empty for other statuses.
std::string CounterKey(const StatusLine& status) {
  switch (status.kind) {
    case StatusKind::Language:
      return "language " + std::to_string(status.number / 1000);
    case StatusKind::TurnoutSymbol:
      return "symbol";
    case StatusKind::TurnoutAssignment:
      return "assignment";
    case StatusKind::WakeUpAttempt:
      return "wake-up";
    default:
      return "";
  }
}

std::string IconWord(Icon icon) {
  switch (icon) {
    case Icon::Stop:
      return Tr("Cli", "Fehler");
    case Icon::Critical:
      return Tr("Cli", "Schwerer Fehler");
    case Icon::Information:
      return Tr("Cli", "Information");
    default:
      return Tr("Cli", "Meldung");
  }
}

}  // namespace

std::string PlainLines(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] == '\n' && i + 1 < text.size() && text[i + 1] == '\r') {
      out += '\n';
      i++;
    } else if (text[i] == '\r') {
      out += '\n';
    } else {
      out += text[i];
    }
  }
  return out;
}

Console::Console(std::FILE* err, std::FILE* in, bool errIsTerminal, bool inIsTerminal,
                 AnswerPolicy answers, const std::atomic<bool>* cancel)
    : err_(err),
      in_(in),
      errIsTerminal_(errIsTerminal),
      inIsTerminal_(inIsTerminal),
      answers_(answers),
      cancel_(cancel) {}

void Console::EndLine() {
  if (lineOpen_) std::fputc('\n', err_);
  lineOpen_ = false;
}

void Console::FlushCounter() {
  // The last value of a counter run, so that the count reached shows.
  if (!skippedCounter_.empty()) std::fprintf(err_, "%s\n", skippedCounter_.c_str());
  skippedCounter_.clear();
}

void Console::Finish() {
  EndLine();
  FlushCounter();
  std::fflush(err_);
  progressShown_ = false;
  lastProgressStage_ = -1;
  lastProgressDecile_ = -1;
}

void Console::Progress(const RunProgress& progress) {
  if (observer_) observer_->OnProgress(progress);
  progressShown_ = true;
  const std::string text = GermanProgress(progress);
  if (errIsTerminal_) {
    constexpr int kWidth = 30;
    const int filled = std::clamp(progress.percent, 0, 100) * kWidth / 100;
    std::fprintf(err_, "\r\033[K[%s%s] %s", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), text.c_str());
    lineOpen_ = true;
    std::fflush(err_);
    return;
  }
  // Otherwise a line when a stage begins and at every tenth of the whole run.
  const int stage = static_cast<int>(progress.stage);
  const int decile = std::clamp(progress.percent, 0, 100) / 10;
  if (stage == lastProgressStage_ && decile == lastProgressDecile_) return;
  lastProgressStage_ = stage;
  lastProgressDecile_ = decile;
  std::fprintf(err_, "%s\n", text.c_str());
  std::fflush(err_);
}

void Console::Status(const std::string& text) {
  Status(StatusLine{StatusKind::Text, 0, text});
}

void Console::Status(const StatusLine& status) {
  if (observer_) observer_->OnStatus(status);
  const std::string text = GermanStatus(status);
  const bool frame = status.kind == StatusKind::RestartWait;
  const bool percentage = status.kind == StatusKind::FirmwarePercent;
  const int percent = percentage ? static_cast<int>(status.number) : 0;
  // The run's progress line tells how far the firmware is (and, on a terminal,
  // the counts and the wait for the restart); the stages' own counts would
  // only push it away.
  if (progressShown_ &&
      (percentage || (errIsTerminal_ && (frame || !CounterKey(status).empty())))) {
    return;
  }
  if (errIsTerminal_) {
    // On a terminal the status line is one line that changes in place.
    std::string shown = text;
    if (percentage) {
      constexpr int kWidth = 40;
      const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
      shown = "[" + std::string(filled, '#') + std::string(kWidth - filled, '.') + "] " + text;
    } else if (frame) {
      shown = Fill(Tr("Cli", "Warte auf den Neustart [%1]"), {text});
    }
    std::fprintf(err_, "\r\033[K%s", shown.c_str());
    lineOpen_ = true;
    std::fflush(err_);
    return;
  }
  // Otherwise one line per change: percentages every 10 %, of a run of counters
  // the first and the last, the waiting animation once.
  if (percentage) {
    if (percent / 10 == lastDecile_) return;
    lastDecile_ = percent / 10;
  } else {
    lastDecile_ = -1;
  }
  const std::string counterKind = CounterKey(status);
  if (!counterKind.empty() && counterKind == lastCounterKind_) {
    skippedCounter_ = text;
    return;
  }
  FlushCounter();
  lastCounterKind_ = counterKind;
  if (frame) {
    if (!inAnimation_) std::fprintf(err_, "%s", Tr("Cli", "Warte auf den Neustart ...\n").c_str());
    inAnimation_ = true;
    return;
  }
  inAnimation_ = false;
  std::fprintf(err_, "%s\n", text.c_str());
  std::fflush(err_);
}

Answer Console::Message(const Notice& notice) {
  const ShownMessage shown = GermanMessage(notice);
  return Show(shown, notice.kind, notice.risky);
}

Answer Console::Message(const std::string& text, const std::string& title, Icon icon,
                        Buttons buttons) {
  return Show(ShownMessage{text, title, icon, buttons}, std::nullopt);
}

Answer Console::Show(const ShownMessage& shown, std::optional<NoticeKind> kind, bool risky,
                     std::string_view ownKind) {
  if (!observer_) return ShowAndAnswer(shown, kind, risky);
  Answer answer = Answer::Ok;
  try {
    answer = ShowAndAnswer(shown, kind, risky);
  } catch (const RunCancelled&) {
    observer_->OnShown(shown, kind, ownKind, risky, std::nullopt);
    throw;
  }
  observer_->OnShown(shown, kind, ownKind, risky, answer);
  return answer;
}

Answer Console::ShowAndAnswer(const ShownMessage& shown, std::optional<NoticeKind> kind,
                              bool risky) {
  const std::string& text = shown.text;
  EndLine();
  FlushCounter();
  lastCounterKind_.clear();
  messagesShown_++;
  const std::string heading = shown.title.empty() ? IconWord(shown.icon) : shown.title;
  std::fprintf(err_, "\n== %s ==\n%s\n", heading.c_str(), PlainLines(text).c_str());
  if (shown.buttons == Buttons::Ok) {
    std::fflush(err_);
    return Answer::Ok;
  }
  if (cancel_ && cancel_->load()) throw RunCancelled{};
  const bool restartWait = kind == NoticeKind::RestartWait;
  const bool yes = answers_ == AnswerPolicy::Yes || answers_ == AnswerPolicy::Force;
  Answer answer = Answer::No;
  if (answers_ == AnswerPolicy::Ask) {
    answer = Ask(risky);
  } else if (yes && restartWait && ++restartWaitAnswers_ > kRestartWaitAnswers) {
    std::fprintf(
        err_, "%s",
        Tr("Cli", "(j/n) n  (--yes wartet höchstens etwa 5 Minuten auf den Neustart)\n").c_str());
  } else if (risky && answers_ == AnswerPolicy::Yes) {
    // A Yes here may harm the handheld or waste a long transfer: only the
    // user's own Yes or --force gives it.
    std::fprintf(err_, "%s",
                 Tr("Cli", "(j/n) n  (--yes allein sagt hier nicht Ja; --force tut es)\n").c_str());
    answer = Answer::Refused;
  } else {
    std::fprintf(err_, "%s", (yes ? Tr("Cli", "(j/n) j\n") : Tr("Cli", "(j/n) n\n")).c_str());
    answer = yes ? Answer::Yes : Answer::No;
  }
  std::fflush(err_);
  return answer;
}

namespace {

enum class Input { Line, End, HungUp, Cancelled };

// Reads one line of the answer from the terminal `fd`. The wait looks at
// `cancel` every tenth of a second, so that a signal ends it whichever thread
// of the program took it. End: Ctrl-D; HungUp: the terminal went away.
Input ReadAnswer(int fd, const std::atomic<bool>* cancel, std::string& line) {
  line.clear();
  for (;;) {
    if (cancel && cancel->load()) return Input::Cancelled;
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, 100);
    if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
    if (ready < 0) return Input::End;
    char c = 0;
    const ssize_t n = ::read(fd, &c, 1);
    if (n == 1) {
      if (c == '\n') return Input::Line;
      if (line.size() < 64) line += c;
      continue;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    // Nothing more to read: a terminal that hung up says so with EIO or a hang-up
    // beside the end of its input.
    return n < 0 || (p.revents & (POLLHUP | POLLERR)) ? Input::HungUp : Input::End;
  }
}

}  // namespace

Answer Console::Ask(bool risky) {
  if (!inIsTerminal_) {
    std::fprintf(err_, "%s", Tr("Cli", "(j/n) n  (keine Eingabe möglich: Nein)\n").c_str());
    std::fflush(err_);
    return Answer::No;
  }
  for (;;) {
    // A risky question takes Enter alone for No.
    std::fprintf(err_, "%s", (risky ? Tr("Cli", "(j/N) ") : Tr("Cli", "(j/n) ")).c_str());
    std::fflush(err_);
    std::string line;
    const Input input = ReadAnswer(::fileno(in_), cancel_, line);
    if (input == Input::Line) {
      if (risky && line.find_first_not_of(" \t\r") == std::string::npos) return Answer::No;
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
      if (c == 'j' || c == 'y') return Answer::Yes;
      if (c == 'n') return Answer::No;
      continue;
    }
    if (input == Input::HungUp) {
      // The hang-up's signal may come a moment after the end of the input (from
      // the shell that started the program); it ends the run like Ctrl-C. No
      // later question waits for a terminal that is gone.
      inIsTerminal_ = false;
      for (int i = 0; i < 50 && !(cancel_ && cancel_->load()); i++) ::poll(nullptr, 0, 10);
    }
    // Ctrl-C and the other signals end the run here; it releases the station.
    if (cancel_ && cancel_->load()) {
      std::fputc('\n', err_);
      throw RunCancelled{};
    }
    return Answer::No;
  }
}

}  // namespace skyrelay::cli
