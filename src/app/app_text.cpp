#include "app/app_text.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QSettings>

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

namespace {

QSettings LanguageSettings() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("skyrelay-update"),
                   QStringLiteral("language"));
}

}  // namespace

std::optional<Language> RememberedLanguage() {
  return LanguageNamed(
      LanguageSettings().value(QStringLiteral("language")).toString().toStdString());
}

void RememberLanguage(Language language) {
  QSettings settings = LanguageSettings();
  settings.setValue(QStringLiteral("language"), QString::fromLatin1(LanguageCode(language)));
  settings.sync();
}

std::string ProgramFolder() {
  return QCoreApplication::applicationDirPath().toStdString();
}

}  // namespace skyrelay::app
