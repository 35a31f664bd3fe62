// CString and CStringArray: content, aliasing, and memory exhaustion, which
// must arrive as the framework's CMemoryException* and leave data intact.
#include <fakewin32.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "framework/Afx.h"

namespace {

class StringTest : public ::testing::Test {
 protected:
  void SetUp() override { fakewin::Reset(); }
};

// Runs fn expecting the framework's memory exception; returns whether it came.
template <typename Fn>
bool ThrowsMemoryException(Fn fn) {
  try {
    fn();
  } catch (CMemoryException* e) {
    e->Delete();
    return true;
  }
  return false;
}

TEST_F(StringTest, FormatPassesCodePage932BytesThrough) {
  CString name("表示ソフト.dic");
  CString text;
  text.Format("辞書名 : %s (%d)", name.GetString(), 15);
  EXPECT_STREQ("辞書名 : 表示ソフト.dic (15)", text);
  EXPECT_EQ(static_cast<int>(strlen(text)), text.GetLength());

  std::string longArg(5000, 'x');
  text.Format("%s|", longArg.c_str());
  EXPECT_EQ(5001, text.GetLength());
}

TEST_F(StringTest, OperationsMayReadTheirOwnContent) {
  CString s("C:\\表");
  s.Format("%s\\%s", s.GetString(), s.GetString());
  EXPECT_STREQ("C:\\表\\C:\\表", s);

  CString t("ab");
  for (int i = 0; i < 6; ++i) t += t;
  EXPECT_EQ(128, t.GetLength());
  t = t.GetString() + 120;
  EXPECT_STREQ("abababab", t);
}

TEST_F(StringTest, GetBufferKeepsContentAndReleaseBufferStopsAtFirstNul) {
  CString s("abc");
  char* p = s.GetBuffer(10);
  EXPECT_STREQ("abc", p);
  strcpy(p, "xy\0z");
  s.ReleaseBuffer();
  EXPECT_EQ(2, s.GetLength());

  p = s.GetBuffer(4);
  memcpy(p, "wxyz", 5);
  s.ReleaseBuffer(3);
  EXPECT_STREQ("wxy", s);

  // A length past the buffer is cut to it rather than reading beyond.
  CString e;
  p = e.GetBuffer(2);
  p[0] = 'q';
  p[1] = 'r';
  p[2] = 's';
  e.ReleaseBuffer(1000);
  EXPECT_EQ(2, e.GetLength());
  EXPECT_STREQ("qr", e);
}

TEST_F(StringTest, CopiesAreIndependentAndMovesEmptyTheSource) {
  CString a("一");
  CString b(a);
  b += "二";
  EXPECT_STREQ("一", a);
  EXPECT_STREQ("一二", b);

  CString c(std::move(b));
  EXPECT_STREQ("一二", c);
  EXPECT_TRUE(b.IsEmpty());  // NOLINT(bugprone-use-after-move): moved-from state is defined
  EXPECT_STREQ("", b.GetString());
  a = std::move(c);
  EXPECT_STREQ("一二", a);
  EXPECT_EQ(CString("x") + "y" + CString("z"), "xyz");
}

TEST_F(StringTest, CompareOrdersBytesUnsigned) {
  EXPECT_GT(CString("\x83\x5C").Compare("A"), 0);
  EXPECT_LT(CString("").Compare("a"), 0);
  EXPECT_EQ(0, CString("abc").Compare("abc"));
  EXPECT_EQ('\0', CString("ab").GetAt(5));
}

TEST_F(StringTest, ExhaustionThrowsTheStaticMemoryExceptionAndKeepsContent) {
  CString s("keep");
  fakewin::FailNth("HeapAlloc", 1);
  CMemoryException* first = nullptr;
  try {
    s += "-this-needs-a-bigger-buffer";
  } catch (CMemoryException* e) {
    first = e;
    e->Delete();
  }
  ASSERT_NE(nullptr, first);
  EXPECT_STREQ("keep", s);

  fakewin::FailNth("HeapAlloc", 1);
  EXPECT_TRUE(ThrowsMemoryException([&] { s.Format("%s%s", "a", "b"); }));
  EXPECT_STREQ("keep", s);

  // The one static exception survives Delete and comes again.
  fakewin::FailNth("HeapAlloc", 1);
  try {
    CString copy(s);
  } catch (CException* e) {
    EXPECT_EQ(first, e);
    e->Delete();
  }
}

TEST_F(StringTest, ArrayKeepsOrderAndRemovesRanges) {
  CStringArray list;
  EXPECT_TRUE(list.IsEmpty());
  for (const char* p : {"a", "b", "c", "d"}) list.Add(p);
  EXPECT_EQ(4, list.Add(CString("e")));
  list.RemoveAt(1, 2);
  ASSERT_EQ(3, list.GetSize());
  EXPECT_STREQ("a", list[0]);
  EXPECT_STREQ("d", list[1]);
  EXPECT_STREQ("e", list.GetAt(list.GetUpperBound()));
  list.SetAt(0, "表");
  list[1] += "!";
  EXPECT_STREQ("表", list[0]);
  EXPECT_STREQ("d!", list[1]);

  list.RemoveAt(2, 100);
  EXPECT_EQ(2, list.GetCount());
  EXPECT_STREQ("", list.GetAt(7));
  list.ElementAt(-1) = "nowhere";
  EXPECT_EQ(2, list.GetSize());
  list.RemoveAll();
  EXPECT_TRUE(list.IsEmpty());
}

TEST_F(StringTest, ArrayExhaustionThrowsAndLeavesTheArrayWhole) {
  CStringArray list;
  list.Add("first");
  // The vector's storage or the element's copy: either way the framework's
  // exception, never std::bad_alloc.
  for (int nth = 1; nth <= 2; ++nth) {
    fakewin::FailNth("HeapAlloc", nth);
    EXPECT_TRUE(ThrowsMemoryException([&] {
      for (int i = 0; i < 8; ++i) list.Add("more");
    })) << nth;
  }
  EXPECT_STREQ("first", list[0]);
  for (int i = 1; i < list.GetSize(); ++i) EXPECT_STREQ("more", list[i]);
}

}  // namespace
