#include "qt/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <cstdlib>
#include <cstring>

#include "core/translate.h"

namespace skyrelay {

std::optional<Language> LanguageNamed(std::string_view name) {
  if (name == "de") return Language::German;
  if (name == "en") return Language::English;
  return std::nullopt;
}

const char* LanguageCode(Language language) {
  return language == Language::German ? "de" : "en";
}

Language LocaleLanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    return std::strncmp(value, "de", 2) == 0 ? Language::German : Language::English;
  }
  return Language::English;
}

std::optional<std::string_view> LanguageArgument(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; i++) {
    if (std::strcmp(argv[i], "--language") == 0) return std::string_view(argv[i + 1]);
  }
  return std::nullopt;
}

Translations::~Translations() {
  SetTranslator(nullptr);
  if (QCoreApplication::instance() != nullptr) {
    if (ownLoaded_) QCoreApplication::removeTranslator(&own_);
    if (qtLoaded_) QCoreApplication::removeTranslator(&qt_);
  }
}

bool Translations::Install(Language language) {
  bool ok = true;
  if (language == Language::English) {
    ownLoaded_ = own_.load(QStringLiteral(":/i18n/skyrelay_en.qm"));
    ok = ownLoaded_;
  } else {
    // The program's texts are German already; Qt's own come from Qt's translations.
    qtLoaded_ =
        qt_.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    ok = qtLoaded_;
  }
  if (ownLoaded_) {
    SetTranslator([this](const char* context, const char* source) {
      return own_.translate(context, source).toStdString();
    });
  } else {
    SetTranslator(nullptr);
  }
  if (QCoreApplication::instance() != nullptr) {
    if (ownLoaded_) QCoreApplication::installTranslator(&own_);
    if (qtLoaded_) QCoreApplication::installTranslator(&qt_);
  }
  return ok;
}

}  // namespace skyrelay
