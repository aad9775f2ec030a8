#include "core/translate.h"

#include <utility>
#include <vector>

namespace skyrelay {

namespace {

Translator& CurrentTranslator() {
  static Translator translator;
  return translator;
}

}  // namespace

std::string Tr(const char* context, const char* source) {
  if (const Translator& translator = CurrentTranslator()) {
    std::string text = translator(context, source);
    if (!text.empty()) return text;
  }
  return source;
}

void SetTranslator(Translator translator) {
  CurrentTranslator() = std::move(translator);
}

std::string Fill(std::string_view text, std::initializer_list<std::string_view> args) {
  const std::vector<std::string_view> values(args);
  std::string filled;
  filled.reserve(text.size());
  for (size_t i = 0; i < text.size(); i++) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (text[i] == '%' && next >= '1' && next <= '9' &&
        static_cast<size_t>(next - '1') < values.size()) {
      filled += values[static_cast<size_t>(next - '1')];
      i++;
    } else {
      filled += text[i];
    }
  }
  return filled;
}

}  // namespace skyrelay
