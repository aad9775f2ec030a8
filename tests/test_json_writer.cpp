// The JSON writer: what a reader of the program's --json lines relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/json_writer.h"

namespace skyrelay {
namespace {

std::string Quoted(const std::string& text) {
  JsonWriter w;
  w.String(text);
  return w.text();
}

TEST(JsonWriter, StringsAreEscapedAndAlwaysUtf8) {
  const struct Case {
    std::string in, out;
  } cases[] = {
      {"a\"b\\c", R"("a\"b\\c")"},
      {"Zeile\r\nzwei\tdrei", R"("Zeile\r\nzwei\tdrei")"},
      {std::string("\x01\x1f\x7f", 3), R"("\u0001\u001f\u007f")"},
      {std::string("nul\0", 4), R"("nul\u0000")"},
      {"Prüfsumme – ok €", "\"Prüfsumme – ok €\""},
      {"\xF0\x9F\x9A\x82", "\"\xF0\x9F\x9A\x82\""},          // four bytes
      {"\xF3\xA0\x80\x81", "\"\xF3\xA0\x80\x81\""},          // four bytes, U+E0001
      {"\xC2\x80\xE0\xA0\x80", "\"\xC2\x80\xE0\xA0\x80\""},  // the smallest of two and three bytes
      // Not UTF-8: Windows-1252, a stray continuation byte, a sequence cut
      // short, an overlong slash, a surrogate, beyond U+10FFFF.
      {"k\xe4putt", "\"k\xEF\xBF\xBDputt\""},
      {"\x80", "\"\xEF\xBF\xBD\""},
      {"\xC3", "\"\xEF\xBF\xBD\""},
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xF4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const Case& c : cases) EXPECT_EQ(Quoted(c.in), c.out) << c.in;
}

TEST(JsonWriter, ObjectsArraysAndNumbers) {
  JsonWriter w;
  w.BeginObject()
      .Member("a", 1)
      .Member("b", 2.5)
      .Member("c", 352.1004)
      .Member("d", -0.0001)
      .Member("e", std::nan(""))
      .Member("f", std::optional<std::string>())
      .Member("g", "text")
      .Member("h", false)
      .Member("j", 120.0)
      .Member("k", 1e300)
      .Key("i")
      .BeginArray()
      .BeginObject()
      .EndObject()
      .Integer(-3)
      .BeginArray()
      .EndArray()
      .EndArray()
      .EndObject();
  EXPECT_EQ(w.text(),
            R"({"a":1,"b":2.5,"c":352.1,"d":0,"e":null,"f":null,"g":"text","h":false,"j":120,)"
            R"("k":1.0000000000000001e+300,)"
            R"("i":[{},-3,[]]})");
}

}  // namespace
}  // namespace skyrelay
