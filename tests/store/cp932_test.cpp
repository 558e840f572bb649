#include "store/cp932.hpp"

#include <gtest/gtest.h>

namespace tolven {
namespace {

TEST(Cp932, ConvertsBothWays) {
    EXPECT_EQ(sj("中山"), "\x92\x86\x8E\x52");
    EXPECT_EQ(sj("ｾﾝ"), "\xBE\xDD");  // half-width katakana are single bytes
    EXPECT_EQ(sj("　"), "\x81\x40");
    // CP932 (not plain Shift_JIS) maps the full-width tilde and the numbered
    // circles the data service uses.
    EXPECT_EQ(cp932::to_utf8(sj("～①Ⅰ")), "～①Ⅰ");
    EXPECT_EQ(cp932::to_utf8("\x92\x86\x8E\x52"), "中山");
    EXPECT_EQ(cp932::to_utf8("ABC 123"), "ABC 123");
}

TEST(Cp932, BadInputIsReplacedNotFatal) {
    // A lone lead byte at the end, and a byte that is no character at all.
    EXPECT_EQ(cp932::to_utf8("A\x92"), "A\xEF\xBF\xBD");
    EXPECT_EQ(cp932::to_utf8("\xA0Z"), "\xEF\xBF\xBDZ");
    // A character CP932 cannot hold, and broken UTF-8.
    EXPECT_EQ(sj("a😀b"), "a?b");
    EXPECT_EQ(sj("a\xE4\xB8"), "a?");
}

TEST(Cp932, CutBacksOffToCharacterBoundary) {
    std::string name = sj("アイネスフウジン");  // eight double-byte characters
    EXPECT_EQ(cp932::cut(name, 5), name.substr(0, 4));
    EXPECT_EQ(cp932::cut(name, 6), name.substr(0, 6));
    EXPECT_EQ(cp932::cut(name, 100), name);
    std::string mixed = "A" + sj("中") + "B";
    EXPECT_EQ(cp932::cut(mixed, 2), "A");
    EXPECT_EQ(cp932::cut(mixed, 3), mixed.substr(0, 3));
}

}  // namespace
}  // namespace tolven
