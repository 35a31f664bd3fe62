#include <fakewin32.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

class FakeFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { fakewin::Reset(); }

  std::vector<std::string> Listing(const char* pattern, DWORD* error = nullptr) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) {
      if (error) *error = GetLastError();
      return names;
    }
    do {
      names.push_back(data.cFileName);
    } while (FindNextFileA(h, &data));
    if (error) *error = GetLastError();
    FindClose(h);
    return names;
  }

  static HANDLE Open(const char* path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
    return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
};

const DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

TEST_F(FakeFilesTest, ListingKeepsTheOrderOfAddingWithDotsFirstAndEndsWithNoMoreFiles) {
  fakewin::AddFile("C:\\KIT\\option\\B.dic", "bb");
  fakewin::AddFolder("C:\\KIT\\option\\sub");
  fakewin::AddFile("C:\\kit\\OPTION\\a.DIC", "a");
  DWORD error = 0;
  EXPECT_EQ((std::vector<std::string>{".", "..", "B.dic", "sub", "a.DIC"}), Listing("C:\\KIT\\option\\*.*", &error));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), error);
  EXPECT_EQ((std::vector<std::string>{"B.dic", "a.DIC"}), Listing("c:/kit/option/*.dic"));
  EXPECT_EQ((std::vector<std::string>{"KIT"}), Listing("C:\\*"));  // no dots at a drive root
  EXPECT_EQ(0, fakewin::OpenHandleCount());
}

TEST_F(FakeFilesTest, FindDataCarriesAttributesSizeAndTheNameAsAdded) {
  fakewin::AddFile("C:\\D\\Hidden.dic", "12345", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("c:\\d\\HIDDEN.DIC", &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_STREQ("Hidden.dic", data.cFileName);
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE), data.dwFileAttributes);
  EXPECT_EQ(5u, data.nFileSizeLow);
  EXPECT_EQ(1, fakewin::OpenHandleCount());
  EXPECT_FALSE(CloseHandle(h));  // a search is not a kernel handle
  EXPECT_TRUE(FindClose(h));

  ASSERT_NE(INVALID_HANDLE_VALUE, FindFirstFileA("C:\\D", &data));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FakeFilesTest, AMissingFolderIsPathNotFoundAndNoMatchIsFileNotFound) {
  fakewin::AddFolder("C:\\KIT\\option");
  DWORD error = 0;
  EXPECT_TRUE(Listing("C:\\KIT\\nothing\\*.*", &error).empty());
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), error);
  EXPECT_TRUE(Listing("C:\\KIT\\option\\*.dic", &error).empty());
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), error);
  EXPECT_TRUE(Listing("C:\\KIT\\option\\A.dic", &error).empty());
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), error);
}

TEST_F(FakeFilesTest, TrailBytesOfTwoByteNamesAreNeitherSeparatorsNorFolded) {
  // "表" is 0x95 0x5C and "ア" is 0x83 0x41: their trail bytes are "\" and "A".
  fakewin::AddFile("C:\\表\\ア.dic", "x");
  EXPECT_EQ((std::vector<std::string>{"ア.dic"}), Listing("C:\\表\\*.dic"));
  EXPECT_TRUE(fakewin::FileExists("c:\\表\\ア.DIC"));
  EXPECT_FALSE(fakewin::FileExists("C:\\表\\\x83\x61.dic"));  // 0x83 0x61 is another character
}

TEST_F(FakeFilesTest, ShareModesAreCheckedInBothDirections) {
  fakewin::AddFile("C:\\D\\A.dic", "a");
  HANDLE reader = Open("C:\\D\\A.dic", GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  // A writer conflicts with the reader's sharing...
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("C:\\D\\A.dic", GENERIC_WRITE, kShareAll));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  // ...and a second reader that will not share reading conflicts with the first.
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("C:\\D\\A.dic", GENERIC_READ, FILE_SHARE_WRITE));
  HANDLE second = Open("C:\\D\\A.dic", GENERIC_READ, kShareAll);
  EXPECT_NE(INVALID_HANDLE_VALUE, second);
  EXPECT_TRUE(CloseHandle(second));
  EXPECT_TRUE(CloseHandle(reader));
  HANDLE exclusive = Open("C:\\D\\A.dic", kReadWrite, 0);
  EXPECT_NE(INVALID_HANDLE_VALUE, exclusive);
  EXPECT_TRUE(CloseHandle(exclusive));
  EXPECT_EQ(0, fakewin::OpenHandleCount());
}

TEST_F(FakeFilesTest, ForeignHoldsBlockOpensAndCopiesUntilReleased) {
  fakewin::AddFile("C:\\Src\\A.dic", "new");
  fakewin::AddFile("C:\\Dic\\A.dic", "old");
  int hold = fakewin::HoldForeignOpen("C:\\Dic\\A.dic", GENERIC_READ, FILE_SHARE_READ);
  ASSERT_GT(hold, 0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("C:\\Dic\\A.dic", kReadWrite, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  EXPECT_FALSE(CopyFileA("C:\\Src\\A.dic", "C:\\Dic\\A.dic", FALSE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  EXPECT_EQ("old", fakewin::FileContent("C:\\Dic\\A.dic"));

  // The hold's own sharing is enforced against later opens too.
  EXPECT_EQ(-1, fakewin::HoldForeignOpen("C:\\Dic\\A.dic", GENERIC_WRITE, kShareAll));
  fakewin::ReleaseForeignOpen(hold);
  EXPECT_TRUE(CopyFileA("C:\\Src\\A.dic", "C:\\Dic\\A.dic", FALSE));
  EXPECT_EQ("new", fakewin::FileContent("C:\\Dic\\A.dic"));
}

TEST_F(FakeFilesTest, ReadOnlyFilesAndFoldersRefuseWritingOpens) {
  fakewin::AddFile("C:\\D\\RO.dic", "x", FILE_ATTRIBUTE_READONLY);
  fakewin::AddFolder("C:\\D\\Folder");
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("C:\\D\\RO.dic", kReadWrite, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  HANDLE reader = Open("C:\\D\\RO.dic", GENERIC_READ, 0);
  EXPECT_NE(INVALID_HANDLE_VALUE, reader);
  CloseHandle(reader);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("C:\\D\\Folder", GENERIC_READ, kShareAll));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_EQ(-1, fakewin::HoldForeignOpen("C:\\D\\RO.dic", GENERIC_WRITE, kShareAll));
}

TEST_F(FakeFilesTest, OpenTellsMissingFilesFromMissingFolders) {
  fakewin::AddFolder("C:\\D");
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("C:\\D\\none.dic", GENERIC_READ, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open("C:\\E\\none.dic", GENERIC_READ, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
  HANDLE created = Open("C:\\D\\new.dic", GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, created);
  CloseHandle(created);
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA("c:\\d\\NEW.dic"));
}

TEST_F(FakeFilesTest, CopyFileFailuresNameTheirCause) {
  fakewin::AddFile("C:\\Src\\A.dic", "a", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  fakewin::AddFile("C:\\Dic\\RO.dic", "", FILE_ATTRIBUTE_READONLY);
  fakewin::AddFile("C:\\Dic\\B.dic", "b");
  fakewin::AddFile("C:\\Dic\\Hidden.dic", "h", FILE_ATTRIBUTE_HIDDEN);
  fakewin::AddFile("C:\\Dic\\System.dic", "s", FILE_ATTRIBUTE_SYSTEM);
  struct Case {
    const char* src;
    const char* dst;
    BOOL failIfExists;
    DWORD error;
  } cases[] = {
      {"C:\\Src\\none.dic", "C:\\Dic\\X.dic", FALSE, ERROR_FILE_NOT_FOUND},
      {"C:\\Src\\A.dic", "C:\\NoDir\\X.dic", FALSE, ERROR_PATH_NOT_FOUND},
      {"C:\\Src\\A.dic", "C:\\Dic\\RO.dic", FALSE, ERROR_ACCESS_DENIED},
      {"C:\\Src\\A.dic", "C:\\Dic\\Hidden.dic", FALSE, ERROR_ACCESS_DENIED},
      {"C:\\Src\\A.dic", "C:\\Dic\\System.dic", FALSE, ERROR_ACCESS_DENIED},
      {"C:\\Src\\A.dic", "C:\\Dic\\B.dic", TRUE, ERROR_FILE_EXISTS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dst);
    EXPECT_FALSE(CopyFileA(c.src, c.dst, c.failIfExists));
    EXPECT_EQ(c.error, GetLastError());
  }
  EXPECT_EQ("h", fakewin::FileContent("C:\\Dic\\Hidden.dic"));
  EXPECT_TRUE(CopyFileA("C:\\Src\\A.dic", "C:\\Dic\\B.dic", FALSE));
  EXPECT_EQ("a", fakewin::FileContent("C:\\Dic\\B.dic"));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA("C:\\Dic\\B.dic"));
}

TEST_F(FakeFilesTest, ReplacingMovesTheFileUnlessTheTargetIsReadOnlyOrHeld) {
  fakewin::AddFile("C:\\D\\a.dic", "old");
  fakewin::AddFile("C:\\D\\b.dic");
  fakewin::AddFile("C:\\D\\new.tmp", "new");
  EXPECT_FALSE(MoveFileExA("C:\\D\\new.tmp", "C:\\D\\a.dic", 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());

  int hold = fakewin::HoldForeignOpen("C:\\D\\a.dic", GENERIC_READ, kShareAll);
  EXPECT_FALSE(MoveFileExA("C:\\D\\new.tmp", "C:\\D\\a.dic", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  fakewin::ReleaseForeignOpen(hold);
  ASSERT_TRUE(SetFileAttributesA("C:\\D\\a.dic", FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(MoveFileExA("C:\\D\\new.tmp", "C:\\D\\a.dic", MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(DeleteFileA("C:\\D\\a.dic"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  ASSERT_TRUE(SetFileAttributesA("C:\\D\\a.dic", FILE_ATTRIBUTE_NORMAL));

  EXPECT_TRUE(MoveFileExA("C:\\D\\new.tmp", "C:\\D\\a.dic", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ("new", fakewin::FileContent("C:\\D\\a.dic"));
  EXPECT_EQ((std::vector<std::string>{"a.dic", "b.dic"}), fakewin::ListFolder("C:\\D"));
  EXPECT_TRUE(DeleteFileA("C:\\D\\b.dic"));
  EXPECT_FALSE(DeleteFileA("C:\\D\\b.dic"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

}  // namespace
