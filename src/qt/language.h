// The language the programs speak: German (the source texts) or English.
// The choice: --language de|en, else (desktop program) the one remembered from
// its menu, else the locale: the first of LC_ALL, LC_MESSAGES and LANG that is
// set decides, German for a value that starts with "de", English for any other
// and when none is set.
#pragma once

#include <QTranslator>
#include <optional>
#include <string_view>

namespace skyrelay {

enum class Language { German, English };

// "de" or "en"; anything else has no language.
std::optional<Language> LanguageNamed(std::string_view name);
const char* LanguageCode(Language language);

// The language the environment's locale asks for.
Language LocaleLanguage();

// The value of the first "--language VALUE" of the command line, as typed
// (the programs check it when they read their options).
std::optional<std::string_view> LanguageArgument(int argc, char** argv);

// The program's translations (built into it) and Qt's own. While it lives,
// the core's texts go through it; Install also puts them into the application
// when there is one, for the texts of Qt's dialogs and buttons.
class Translations {
 public:
  Translations() = default;
  ~Translations();
  Translations(const Translations&) = delete;
  Translations& operator=(const Translations&) = delete;

  // False when the translations for `language` could not be loaded: the
  // texts then stay German.
  bool Install(Language language);

 private:
  QTranslator own_;
  QTranslator qt_;
  bool ownLoaded_ = false;
  bool qtLoaded_ = false;
};

}  // namespace skyrelay
