// Small text helpers of the desktop program.
#pragma once

#include <QString>
#include <QTranslator>
#include <string>

namespace skyrelay::app {

// A message text as a label shows it: the "\n\r" and "\r" line breaks of the
// core's texts become plain new lines.
QString DisplayText(const std::string& text);

// "Version: 1.0.0": the program's major, minor and revision number.
QString ProgramVersionText();

// Installs Qt's German texts (the standard buttons "Ja", "Nein", "Abbrechen",
// the file dialog) into the application, whatever the desktop's language: the
// program's own texts are German. False when Qt's translations are not there.
bool InstallGermanQtTexts(QTranslator& translator);

// The folder the program was started from.
std::string ProgramFolder();

}  // namespace skyrelay::app
