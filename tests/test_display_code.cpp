// The handheld's display character code: the table and both conversions.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>
#include <vector>

#include "config/display_code.h"
#include "core/context.h"
#include "sim/virtual_host.h"

namespace skyrelay {
namespace {

class DisplayCode : public ::testing::Test {
 protected:
  DisplayCode() {
    host.Attach(&ctx);
    BuildDisplayCodeTable(ctx);
  }

  // The codes written for a text, with every other entry of the buffer at -7.
  std::vector<int> Codes(const std::string& text, int width, int start = 100) {
    buf.fill(-7);
    TextToDisplayCodes(ctx, text, buf, start, width);
    EXPECT_EQ(buf[start - 1], -7) << "wrote before start";
    EXPECT_EQ(buf[start + std::max(width, 0)], -7) << "wrote after start + width";
    return std::vector<int>(buf.begin() + start, buf.begin() + start + std::max(width, 0));
  }

  VirtualHost host;
  Context ctx{host};
  std::array<int, 513> buf{};
};

TEST_F(DisplayCode, TableHoldsTheFiftyThreeCharactersAndAmpersandsAbove) {
  const auto& t = ctx.display.DisplayCodeTable;
  EXPECT_EQ(ctx.display.LastDisplayCode, 52);
  EXPECT_EQ(t[0], "0");
  EXPECT_EQ(t[9], "9");
  EXPECT_EQ(t[10], "A");
  EXPECT_EQ(t[35], "Z");
  EXPECT_EQ(t[36], "Ä");
  EXPECT_EQ(t[37], "Ö");
  EXPECT_EQ(t[38], "Ü");
  EXPECT_EQ(t[39], " ");
  const std::string punctuation = "+-.:/=_?<>^|]";
  for (size_t i = 0; i < punctuation.size(); i++) {
    EXPECT_EQ(t[40 + i], std::string(1, punctuation[i])) << "code " << 40 + i;
  }
  for (int code = 53; code <= 255; code++) EXPECT_EQ(t[code], "&") << "code " << code;

  // Building again gives the same table, whatever it held.
  ctx.display.DisplayCodeTable[5] = "x";
  ctx.display.LastDisplayCode = 3;
  BuildDisplayCodeTable(ctx);
  EXPECT_EQ(ctx.display.DisplayCodeTable[5], "5");
  EXPECT_EQ(ctx.display.LastDisplayCode, 52);
}

TEST_F(DisplayCode, CharactersOutsideTheTableGiveTheBlank) {
  EXPECT_EQ(CharToDisplayCode(ctx, "7"), 7);
  EXPECT_EQ(CharToDisplayCode(ctx, "Q"), 26);
  EXPECT_EQ(CharToDisplayCode(ctx, "Ü"), 38);
  EXPECT_EQ(CharToDisplayCode(ctx, "|"), 51);
  EXPECT_EQ(CharToDisplayCode(ctx, "]"), 52);
  // Case-sensitive: lower case is not in the table (conversion of texts upper-cases first).
  for (const char* c : {"ß", "!", "[", "&", "a", "ä", "€", "", "AB"}) {
    EXPECT_EQ(CharToDisplayCode(ctx, c), 39) << c;
  }
  for (const char* text : {"ß", "!", "[", "&"}) EXPECT_EQ(Codes(text, 1), std::vector<int>{39});
}

TEST_F(DisplayCode, TextIsUpperCasedPaddedAndCutToWidth) {
  EXPECT_EQ(Codes("Grün 5", 6), (std::vector<int>{16, 27, 38, 23, 39, 5}));
  EXPECT_EQ(Codes("ab", 5), (std::vector<int>{10, 11, 39, 39, 39}));
  EXPECT_EQ(Codes("abcdef", 3), (std::vector<int>{10, 11, 12}));
  EXPECT_EQ(Codes("äöü", 3), (std::vector<int>{36, 37, 38}));
  EXPECT_EQ(Codes("", 3), (std::vector<int>{39, 39, 39}));
  EXPECT_TRUE(Codes("abc", 0).empty());
  EXPECT_TRUE(Codes("abc", -4).empty());
}

TEST_F(DisplayCode, ConversionsStayInsideTheArray) {
  buf.fill(-7);
  TextToDisplayCodes(ctx, "ABCDE", buf, 510, 5);  // only 510 to 512 exist
  EXPECT_EQ(buf[509], -7);
  EXPECT_EQ(buf[510], 10);
  EXPECT_EQ(buf[512], 12);

  buf.fill(-7);
  TextToDisplayCodes(ctx, "ABCD", buf, -2, 4);  // positions -2 and -1 are skipped
  EXPECT_EQ(buf[0], 12);
  EXPECT_EQ(buf[1], 13);
  EXPECT_EQ(buf[2], -7);

  buf.fill(-7);
  TextToDisplayCodes(ctx, "A", buf, INT_MAX, INT_MAX);
  TextToDisplayCodes(ctx, "A", buf, INT_MIN, 3);
  for (int v : buf) EXPECT_EQ(v, -7);

  buf.fill(10);
  EXPECT_EQ(DisplayCodesToText(ctx, buf, 511, 5), "AA");
  EXPECT_EQ(DisplayCodesToText(ctx, buf, -1, 2), "A");
  EXPECT_EQ(DisplayCodesToText(ctx, buf, INT_MAX, INT_MAX), "");
  EXPECT_EQ(DisplayCodesToText(ctx, buf, INT_MIN, 2), "");
  EXPECT_EQ(DisplayCodesToText(ctx, buf, 0, -3), "");
}

TEST_F(DisplayCode, CodesDecodeByTheirLowByte) {
  buf[0] = 17;
  buf[1] = 27;
  buf[2] = 110;
  EXPECT_EQ(DisplayCodesToText(ctx, buf, 0, 3), "HR&");
  EXPECT_EQ(DisplayCodesToText(ctx, buf, 0, 0), "");

  buf[3] = 256 + 17;  // H
  buf[4] = -1;        // 255
  buf[5] = 0x1000;    // 0
  buf[6] = 38;
  EXPECT_EQ(DisplayCodesToText(ctx, buf, 3, 4), "H&0Ü");
}

TEST_F(DisplayCode, EveryCharacterCodeSurvivesTheRoundTrip) {
  for (int code = 0; code <= 52; code++) buf[code] = code;
  const std::string text = DisplayCodesToText(ctx, buf, 0, 53);
  EXPECT_EQ(text, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÜ +-.:/=_?<>^|]");

  std::array<int, 513> back{};
  back.fill(-1);
  TextToDisplayCodes(ctx, text, back, 200, 53);
  for (int code = 0; code <= 52; code++) EXPECT_EQ(back[200 + code], code);
}

}  // namespace
}  // namespace skyrelay
