// Small text helpers of the desktop program.
#pragma once

#include <QString>
#include <QTranslator>
#include <optional>
#include <string>

#include "qt/language.h"

namespace skyrelay::app {

// A message text as a label shows it: the "\n\r" and "\r" line breaks of the
// core's texts become plain new lines.
QString DisplayText(const std::string& text);

// "Version: 1.0.0": the program's major, minor and revision number.
QString ProgramVersionText();

// Installs Qt's German texts (the standard buttons "Ja", "Nein", "Abbrechen",
// the file dialog) into the application. False when Qt's translations are not
// there. The program itself installs them through Translations (qt/language.h)
// when it speaks German.
bool InstallGermanQtTexts(QTranslator& translator);

// The language chosen in the menu, kept apart from the settings file in the
// user's configuration folder ($XDG_CONFIG_HOME/skyrelay-update/language.ini).
std::optional<Language> RememberedLanguage();
void RememberLanguage(Language language);

// The folder the program was started from.
std::string ProgramFolder();

}  // namespace skyrelay::app
