#include "app/app_text.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace skyrelay::app {

QString DisplayText(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

QString ProgramVersionText() {
  return QStringLiteral("Version: %1.%2.%3")
      .arg(SKYRELAY_VERSION_MAJOR)
      .arg(SKYRELAY_VERSION_MINOR)
      .arg(SKYRELAY_VERSION_PATCH);
}

bool InstallGermanQtTexts(QTranslator& translator) {
  if (!translator.load(QStringLiteral("qtbase_de"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    return false;
  }
  return QCoreApplication::installTranslator(&translator);
}

std::string ProgramFolder() {
  return QCoreApplication::applicationDirPath().toStdString();
}

}  // namespace skyrelay::app
