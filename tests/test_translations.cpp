// The English texts that the command-line program hands to printf as its
// format: a translation with other conversions than its German source would
// read arguments that are not there. Every translation keeps the source's
// conversions in their order, and every %1 ... %9 of a template.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/translate.h"

namespace skyrelay {
namespace {

// The printf conversions of `text` in order ("%s", "%.1f", "%06X", ...), then
// the placeholders %1 ... %9 of Fill sorted (a translation may put them in
// another order); "%%" and a lone % are neither.
std::vector<std::string> Conversions(const std::string& text) {
  std::vector<std::string> out, placeholders;
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] != '%') continue;
    size_t j = i + 1;
    if (j < text.size() && text[j] == '%') {
      i = j;
      continue;
    }
    while (j < text.size() && std::string("-+#0").find(text[j]) != std::string::npos) j++;
    const size_t digits = j;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') j++;
    const size_t widthEnd = j;
    if (j < text.size() && text[j] == '.') {
      j++;
      while (j < text.size() && text[j] >= '0' && text[j] <= '9') j++;
    }
    while (j < text.size() && std::string("hlzjt").find(text[j]) != std::string::npos) j++;
    if (j < text.size() && std::string("diouxXeEfgGcsp").find(text[j]) != std::string::npos) {
      out.push_back(text.substr(i, j - i + 1));
      i = j;
    } else if (digits == i + 1 && widthEnd == digits + 1 && text[digits] >= '1') {
      placeholders.push_back(text.substr(i, 2));  // a placeholder of Fill
      i = digits;
    }
  }
  std::sort(placeholders.begin(), placeholders.end());
  out.insert(out.end(), placeholders.begin(), placeholders.end());
  return out;
}

std::string Between(const std::string& text, const std::string& open, const std::string& close,
                    size_t& at) {
  const size_t begin = text.find(open, at);
  if (begin == std::string::npos) return at = std::string::npos, "";
  const size_t content = text.find('>', begin) + 1;
  const size_t end = text.find(close, content);
  at = end + close.size();
  return text.substr(content, end - content);
}

TEST(Translations, KeepTheConversionsOfTheirSource) {
  EXPECT_EQ(Conversions("%d Seiten, %.1f s, 0x%06X, %lld%s, %zu, 100 % · %2 und %1, %%"),
            (std::vector<std::string>{"%d", "%.1f", "%06X", "%lld", "%s", "%zu", "%1", "%2"}));
  std::ifstream file(std::string(SKYRELAY_SOURCE_DIR) + "/translations/skyrelay_en.ts");
  ASSERT_TRUE(file.is_open());
  std::ostringstream ts;
  ts << file.rdbuf();
  const std::string text = ts.str();
  int messages = 0;
  for (size_t at = 0;;) {
    const std::string source = Between(text, "<source", "</source>", at);
    if (at == std::string::npos) break;
    const std::string translation = Between(text, "<translation", "</translation>", at);
    ASSERT_NE(at, std::string::npos);
    messages++;
    EXPECT_EQ(Conversions(translation), Conversions(source)) << source;
  }
  EXPECT_GT(messages, 300);
}

// The seam: a translator's text where it has one, the German source where it
// has none or none is installed; a template is translated, then filled, and
// what is filled in is never read as a template again.
TEST(Translations, TheSeamAndItsTemplates) {
  std::vector<std::string> asked;
  SetTranslator([&](const char* context, const char* source) {
    asked.push_back(std::string(context) + "|" + source);
    return std::string(source) == "Port %1 fehlt: %2." ? std::string("Port %2 of %1 missing.")
                                                       : std::string();
  });
  EXPECT_EQ(Fill(Tr("Test", "Port %1 fehlt: %2."), {"/dev/ttyUSB0", "%1 %%"}),
            "Port %1 %% of /dev/ttyUSB0 missing.");
  EXPECT_EQ(Tr("Test", "Abgebrochen."), "Abgebrochen.");
  EXPECT_EQ(asked, (std::vector<std::string>{"Test|Port %1 fehlt: %2.", "Test|Abgebrochen."}));
  SetTranslator(nullptr);
  EXPECT_EQ(Tr("Test", "Port %1 fehlt: %2."), "Port %1 fehlt: %2.");

  EXPECT_EQ(Fill("%1%2%3%4%5%6%7%8%9 %10 100 % %", {"a", "b", "c", "d", "e", "f", "g", "h", "i"}),
            "abcdefghi a0 100 % %");
  EXPECT_EQ(Fill("%1 und %2", {"x"}), "x und %2") << "a placeholder without its value stays";
}

}  // namespace
}  // namespace skyrelay
