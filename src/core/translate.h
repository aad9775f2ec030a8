// The seam through which the core's texts reach a front end's translations.
// The source texts are German; a front end that shows another language
// installs a translator. lupdate finds the texts as calls of Tr (the build
// runs it with -tr-function-alias translate+=Tr): the context and the text
// must be string literals.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

// Marks a text for lupdate where it is not yet translated (a table of texts);
// Tr(context, text) translates it where it is shown.
#define SKYRELAY_TR_NOOP(context, text) text

namespace skyrelay {

// `source` in the language the front end chose; without a translator (or
// without a translation of `source`) the German `source` itself. A text with
// %1 ... %9 is a template: translate it first, then Fill it.
std::string Tr(const char* context, const char* source);

// Returns the translation of `source` in `context`, or an empty text when
// there is none.
using Translator = std::function<std::string(const char* context, const char* source)>;
// nullptr: the German source texts.
void SetTranslator(Translator translator);

// `text` with %1 ... %9 replaced by the arguments in order; any other % stays.
std::string Fill(std::string_view text, std::initializer_list<std::string_view> args);

}  // namespace skyrelay
