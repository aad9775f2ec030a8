#include "qt/command_line.h"

#include <algorithm>

namespace skyrelay {

CommandLineParts SplitCommandLine(const QStringList& arguments,
                                  const QList<QCommandLineOption>& options, bool wordsAllowed) {
  // By the long names only: "--h" is no way to write "-h".
  const auto find = [&](const QString& name) -> const QCommandLineOption* {
    if (name.size() < 2) return nullptr;
    const auto it = std::find_if(options.begin(), options.end(),
                                 [&](const auto& option) { return option.names().contains(name); });
    return it == options.end() ? nullptr : &*it;
  };
  CommandLineParts parts;
  if (arguments.isEmpty()) return parts;
  parts.options.append(arguments.first());
  for (qsizetype i = 1; i < arguments.size(); i++) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("-h")) {
      parts.options.append(argument);
      continue;
    }
    if (!argument.startsWith(QLatin1String("--"))) {
      if (!wordsAllowed) {
        parts.unread = UnreadArgument{argument};
        break;
      }
      parts.words.append(argument);
      continue;
    }
    // "--name=value" and "--" name no option here.
    const QCommandLineOption* option = find(argument.mid(2));
    if (!option) {
      parts.unread = UnreadArgument{argument};
      break;
    }
    if (!option->valueName().isEmpty() && i + 1 == arguments.size()) {
      parts.unread = UnreadArgument{argument, true};
      break;
    }
    parts.options.append(argument);
    if (!option->valueName().isEmpty()) parts.options.append(arguments[++i]);
  }
  return parts;
}

}  // namespace skyrelay
