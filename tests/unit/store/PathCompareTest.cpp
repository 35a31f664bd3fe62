#include <fakewin32.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "store/OptionDicStore.h"

namespace {

class PathCompareTest : public ::testing::Test {
 protected:
  void SetUp() override { fakewin::Reset(); }

  static std::string Normalized(const char* source) {
    char dest[MAX_PATH + 1];
    std::fill(dest, dest + sizeof(dest), '#');
    if (!COptionDicStore::NormalizePath(source, dest)) return "<failed>";
    return dest;
  }
};

TEST_F(PathCompareTest, AsciiLettersCompareWithoutRegardToCase) {
  EXPECT_EQ(0, COptionDicStore::ComparePaths("c:\\dic\\main.dic", "C:\\DIC\\Main.DIC"));
  EXPECT_EQ("C:\\DIC\\MAIN.DIC", Normalized("c:\\dic\\main.dic"));
  EXPECT_NE(0, COptionDicStore::ComparePaths("C:\\DIC/A.dic", "C:\\DIC\\A.dic"));
}

TEST_F(PathCompareTest, FullWidthLettersFoldOnlyFromNt40On) {
  const char* small = "C:\\辞書\\ａｂｚ.dic";
  const char* capital = "C:\\辞書\\ＡＢＺ.dic";

  fakewin::SetVersion(4, 0, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(0, COptionDicStore::ComparePaths(small, capital));
  EXPECT_EQ("C:\\辞書\\ＡＢＺ.DIC", Normalized(small));

  fakewin::SetVersion(5, 1, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(0, COptionDicStore::ComparePaths(small, capital));

  fakewin::SetVersion(3, 51, VER_PLATFORM_WIN32_NT);
  EXPECT_NE(0, COptionDicStore::ComparePaths(small, capital));

  fakewin::SetVersion(4, 10, VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_NE(0, COptionDicStore::ComparePaths(small, capital));
  EXPECT_EQ("C:\\辞書\\ａｂｚ.DIC", Normalized(small));
}

TEST_F(PathCompareTest, AsksForThePlatformVersionOnEveryCall) {
  Normalized("a");
  Normalized("b");
  EXPECT_EQ(2, fakewin::CountCalls("GetVersionExA"));
}

TEST_F(PathCompareTest, SecondBytesAreNeverFolded) {
  // ヂ is 0x83 0x61 and ア 0x83 0x41; Ｂ is 0x82 0x61, outside the small letters.
  EXPECT_NE(0, COptionDicStore::ComparePaths("C:\\ヂ.dic", "C:\\ア.dic"));
  EXPECT_EQ("C:\\ヂ.DIC", Normalized("c:\\ヂ.dic"));
  EXPECT_EQ("Ｂ", Normalized("Ｂ"));
}

TEST_F(PathCompareTest, OrdersTwoByteCharactersAsOneCode) {
  // Byte by byte 0xA1 (half-width kana) is above 0x81; as characters 0x8140 is above 0xA1.
  EXPECT_EQ(-1, COptionDicStore::ComparePaths("\xA1", "\x81\x40"));
  EXPECT_EQ(1, COptionDicStore::ComparePaths("\x81\x40", "\xA1"));
  EXPECT_EQ(-1, COptionDicStore::ComparePaths("C:\\A", "C:\\B"));
}

TEST_F(PathCompareTest, PathsOf260BytesOrALoneLeadByteNeverCompareEqual) {
  std::string longest(259, 'a');
  std::string tooLong(260, 'a');
  EXPECT_EQ(0, COptionDicStore::ComparePaths(longest.c_str(), longest.c_str()));
  EXPECT_EQ(1, COptionDicStore::ComparePaths(tooLong.c_str(), tooLong.c_str()));
  EXPECT_EQ(1, COptionDicStore::ComparePaths(tooLong.c_str(), longest.c_str()));
  EXPECT_EQ(-1, COptionDicStore::ComparePaths(longest.c_str(), tooLong.c_str()));
  EXPECT_EQ("<failed>", Normalized(tooLong.c_str()));

  EXPECT_EQ(1, COptionDicStore::ComparePaths("C:\\A\x83", "C:\\A\x83"));
  EXPECT_EQ(-1, COptionDicStore::ComparePaths("C:\\A", "C:\\A\x83"));
  EXPECT_EQ("<failed>", Normalized("C:\\A\x83"));
}

TEST_F(PathCompareTest, ATwoByteCharacterThatWouldStraddleTheLimitIsStillWhole) {
  std::string path(257, 'a');
  path += "ａ";  // 259 bytes
  EXPECT_EQ(0, COptionDicStore::ComparePaths(path.c_str(), (std::string(257, 'A') + "Ａ").c_str()));
}

}  // namespace
