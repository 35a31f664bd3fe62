// Path helpers on code page 932, where the second byte of a two-byte
// character may be "\" (0x5C) or an ASCII letter: "表" is 95 5C, "ソ" 83 5C,
// "ツ" 83 63 ("c").
#include <fakewin32.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/Afx.h"

namespace {

struct Parts {
  char drive[AFX_MAX_DRIVE];
  char dir[AFX_MAX_DIR];
  char fname[AFX_MAX_FNAME];
  char ext[AFX_MAX_EXT];
};

Parts Split(const char* path) {
  Parts p;
  memset(&p, 0x7F, sizeof(p));
  AfxSplitPath(path, p.drive, p.dir, p.fname, p.ext);
  return p;
}

class MbPathTest : public ::testing::Test {
 protected:
  void SetUp() override { fakewin::Reset(); }
};

TEST_F(MbPathTest, SplitNeverTakesATrailByteForASeparator) {
  Parts p = Split("C:\\表示\\ソ.dic");
  EXPECT_STREQ("C:", p.drive);
  EXPECT_STREQ("\\表示\\", p.dir);
  EXPECT_STREQ("ソ", p.fname);
  EXPECT_STREQ(".dic", p.ext);

  p = Split("D:/ツール/能.辞書.DIC");
  EXPECT_STREQ("D:", p.drive);
  EXPECT_STREQ("/ツール/", p.dir);
  EXPECT_STREQ("能.辞書", p.fname);
  EXPECT_STREQ(".DIC", p.ext);

  p = Split("\\\\server\\share\\a.b\\file");
  EXPECT_STREQ("", p.drive);
  EXPECT_STREQ("\\\\server\\share\\a.b\\", p.dir);
  EXPECT_STREQ("file", p.fname);
  EXPECT_STREQ("", p.ext);

  // Only a letter and a colon make a drive; a lone lead byte ends the text.
  p = Split("1:x.y");
  EXPECT_STREQ("", p.drive);
  EXPECT_STREQ("1:x", p.fname);
  p = Split("dir\\name\x95");
  EXPECT_STREQ("dir\\", p.dir);
  EXPECT_STREQ("name\x95", p.fname);
}

TEST_F(MbPathTest, SplitFollowsTheActiveCodePage) {
  fakewin::SetAnsiCodePage(1252);
  Parts p = Split("C:\\表x");
  EXPECT_STREQ("\\\x95\\", p.dir);
  EXPECT_STREQ("x", p.fname);
}

TEST_F(MbPathTest, SplitOutputsStayInsideTheirCapacityOnWholeCharacters) {
  // "ab" then 150 two-byte characters: 255 bytes would end on a lead byte.
  std::string name = "ab";
  for (int i = 0; i < 150; ++i) name += "表";
  std::string dir(400, 'd');
  std::string path = "C:\\" + dir + "\\" + name + "." + name;
  Parts p = Split(path.c_str());

  EXPECT_EQ(static_cast<size_t>(AFX_MAX_DIR - 1), strlen(p.dir));
  EXPECT_EQ(254u, strlen(p.fname));
  EXPECT_EQ(name.substr(0, 254), p.fname);
  EXPECT_EQ(255u, strlen(p.ext));
  EXPECT_EQ(("." + name).substr(0, 255), p.ext);

  char small[AFX_MAX_FNAME];
  AfxSplitPath(path.c_str(), nullptr, nullptr, small, nullptr);
  EXPECT_STREQ(p.fname, small);
}

TEST_F(MbPathTest, MakePathAddsASeparatorAfterATrailByte5C) {
  char out[MAX_PATH];
  ASSERT_TRUE(AfxMakePath(out, MAX_PATH, "C", "\\表", "ソ", "dic"));
  EXPECT_STREQ("C:\\表\\ソ.dic", out);
  ASSERT_TRUE(AfxMakePath(out, MAX_PATH, "C:", "\\x\\", "a", ".b"));
  EXPECT_STREQ("C:\\x\\a.b", out);
  ASSERT_TRUE(AfxMakePath(out, MAX_PATH, nullptr, nullptr, "only", nullptr));
  EXPECT_STREQ("only", out);
}

TEST_F(MbPathTest, MakePathRefusesWhatWouldNotFit) {
  char out[9];
  memset(out, 'z', sizeof(out));
  EXPECT_FALSE(AfxMakePath(out, sizeof(out), "C", "\\a", "b", "cd"));  // 9 bytes and the NUL
  EXPECT_STREQ("", out);
  EXPECT_TRUE(AfxMakePath(out, sizeof(out), "C", "\\a", "b", "c"));
  EXPECT_STREQ("C:\\a\\b.c", out);
  EXPECT_FALSE(AfxMakePath(out, 0, "C", nullptr, nullptr, nullptr));
}

TEST_F(MbPathTest, CompareUsesCharacterCodesNotBytes) {
  EXPECT_EQ(0, AfxMbsCompare("表.dic", "表.dic"));
  // Half-width "ｱ" (B1) is one character below any two-byte code (81 40...).
  EXPECT_LT(AfxMbsCompare("\xB1", "\x81\x40"), 0);
  EXPECT_GT(strcmp("\xB1", "\x81\x40"), 0);
  EXPECT_GT(AfxMbsCompare("ツ", "ソ"), 0);
  EXPECT_LT(AfxMbsCompare("ab", "abc"), 0);
  // A lone lead byte at the end is its byte value.
  EXPECT_LT(AfxMbsCompare("x\x83", "x\x83\x40"), 0);
  EXPECT_GT(AfxMbsCompare("x\x83", "x\x40"), 0);
}

}  // namespace
