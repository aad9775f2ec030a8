// How the command-line program shows status texts and message boxes and asks
// questions: on stderr, with a progress bar on a terminal.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "core/host.h"

namespace skyrelay::cli {

class Console {
 public:
  // answer: the answer to every question (--yes / --no), or none to ask.
  Console(std::FILE* err, std::FILE* in, bool errIsTerminal, bool inIsTerminal,
          std::optional<bool> answer);

  void Status(const std::string& text);
  Answer Message(const std::string& text, const std::string& title, Icon icon, Buttons buttons);
  // Ends a progress line that is still open.
  void Finish();
  int messagesShown() const { return messagesShown_; }

 private:
  void EndLine();

  std::FILE* err_;
  std::FILE* in_;
  bool errIsTerminal_;
  bool inIsTerminal_;
  std::optional<bool> answer_;
  bool lineOpen_ = false;
  bool inAnimation_ = false;
  int messagesShown_ = 0;
};

// "\r" and "\n\r" line breaks of the message texts as plain new lines.
std::string PlainLines(const std::string& text);

}  // namespace skyrelay::cli
