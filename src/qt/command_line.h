// How the programs' command lines are written, as they always were: every
// option "--name" (the help also "-h"), its value as the next argument; any
// other argument is a word (the command-line program's command and its
// arguments). QCommandLineParser reads the options; it would also take
// "-name", "--name=value" and "--", and say what it did not understand but not
// where. SplitCommandLine hands it only the options, and names the first
// argument that is wrong as typed, for the program's own message.
#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace skyrelay {

struct UnreadArgument {
  QString text;               // as typed
  bool missingValue = false;  // the last argument: an option without its value
};

struct CommandLineParts {
  // The program's name, then the options with their values: for the parser.
  QStringList options;
  // The words, in order.
  QStringList words;
  // The first argument that starts with a dash but is neither "-h" nor one of
  // the parser's options written "--name", or the last option when its value
  // is missing; where words are not allowed, also the first word. Both lists
  // end before it.
  std::optional<UnreadArgument> unread;
};

// `arguments`: the program's name first. `options`: those the parser knows.
CommandLineParts SplitCommandLine(const QStringList& arguments,
                                  const QList<QCommandLineOption>& options, bool wordsAllowed);

}  // namespace skyrelay
