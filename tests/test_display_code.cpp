// The handheld's display character code: the table and both conversions.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <string>
#include <vector>

#include "package/display_code.h"
#include "support.h"

namespace skyrelay {
namespace {

using Codes = std::vector<int>;

struct DisplayCode : ::testing::Test, test::World {
  DisplayCode() { BuildDisplayCodeTable(ctx); }
  // The codes written for a text; nothing around them may change.
  Codes Convert(const std::string& text, int width, int start = 100) {
    buf.fill(-7);
    TextToDisplayCodes(ctx, text, buf, start, width);
    EXPECT_EQ(buf[start - 1], -7);
    EXPECT_EQ(buf[start + std::max(width, 0)], -7);
    return Codes(buf.begin() + start, buf.begin() + start + std::max(width, 0));
  }
  std::array<int, 513> buf{};
};

TEST_F(DisplayCode, TableRoundTripsAndRebuilds) {
  for (int code = 0; code < 256; code++) buf[code] = code;
  const std::string all = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÜ +-.:/=_?<>^|]";
  EXPECT_EQ(DisplayCodesToText(ctx, buf, 0, 256), all + std::string(203, '&'));
  EXPECT_EQ(ctx.display.LastDisplayCode, 52);
  TextToDisplayCodes(ctx, all, buf, 300, 53);
  for (int code = 0; code <= 52; code++) EXPECT_EQ(buf[300 + code], code);

  ctx.display.DisplayCodeTable[5] = "x";
  ctx.display.LastDisplayCode = 3;
  BuildDisplayCodeTable(ctx);
  EXPECT_EQ(ctx.display.DisplayCodeTable[5], "5");
  EXPECT_EQ(ctx.display.LastDisplayCode, 52);
}

TEST_F(DisplayCode, TextsUpperCasedPaddedCutAndUnknownAsBlank) {
  EXPECT_EQ(CharToDisplayCode(ctx, "Q"), 26);
  for (const char* c : {"ß", "!", "&", "a", "ä", "€", "", "AB"}) {
    EXPECT_EQ(CharToDisplayCode(ctx, c), BlankDisplayCode) << c;
  }
  EXPECT_EQ(Convert("Grün 5", 6), (Codes{16, 27, 38, 23, 39, 5}));
  EXPECT_EQ(Convert("ab", 5), (Codes{10, 11, 39, 39, 39}));
  EXPECT_EQ(Convert("ß!&x", 3), (Codes{39, 39, 39}));
  EXPECT_EQ(Convert("", 2), (Codes{39, 39}));
  EXPECT_TRUE(Convert("abc", 0).empty());
  EXPECT_TRUE(Convert("abc", -4).empty());
}

TEST_F(DisplayCode, ConversionsStayInsideTheArrayAndUseTheLowByte) {
  buf.fill(-7);
  TextToDisplayCodes(ctx, "ABCDE", buf, 510, 5);
  EXPECT_EQ(Codes(buf.begin() + 509, buf.end()), (Codes{-7, 10, 11, 12}));
  buf.fill(-7);
  TextToDisplayCodes(ctx, "ABCD", buf, -2, 4);
  EXPECT_EQ(Codes(buf.begin(), buf.begin() + 3), (Codes{12, 13, -7}));
  buf.fill(-7);
  TextToDisplayCodes(ctx, "A", buf, INT_MAX, INT_MAX);
  TextToDisplayCodes(ctx, "A", buf, INT_MIN, 3);
  EXPECT_EQ(std::count(buf.begin(), buf.end(), -7), 513);

  buf.fill(10);
  EXPECT_EQ(DisplayCodesToText(ctx, buf, 511, 5), "AA");
  EXPECT_EQ(DisplayCodesToText(ctx, buf, -1, 2), "A");
  EXPECT_EQ(DisplayCodesToText(ctx, buf, INT_MAX, INT_MAX), "");
  EXPECT_EQ(DisplayCodesToText(ctx, buf, INT_MIN, 2), "");
  EXPECT_EQ(DisplayCodesToText(ctx, buf, 0, -3), "");
  buf[1] = 256 + 17;
  buf[2] = -1;
  buf[3] = 0x1000;
  EXPECT_EQ(DisplayCodesToText(ctx, buf, 1, 3), "H&0");
}

}  // namespace
}  // namespace skyrelay
