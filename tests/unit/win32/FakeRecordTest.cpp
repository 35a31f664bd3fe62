#include <fakewin32.h>
#include <gtest/gtest.h>
#include <shellapi.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

TEST(FakeRecordTest, CallsAreRecordedWithTheirArguments) {
  fakewin::Reset();
  FindWindowA("HRN10_DICMANAGER_MAIN", nullptr);
  LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128));
  Sleep(50);
  EXPECT_EQ((std::vector<std::string>{"FindWindowA HRN10_DICMANAGER_MAIN NULL", "GetModuleHandleA NULL",
                                      "LoadIconA 4194304 #128", "Sleep 50"}),
            fakewin::Calls());
  EXPECT_EQ(1, fakewin::CountCalls("Sleep"));
  EXPECT_EQ(1, fakewin::SleepCount());
  fakewin::ClearCalls();
  EXPECT_TRUE(fakewin::Calls().empty());
}

TEST(FakeRecordTest, TheNthCallFailsOnceAndFailAlwaysFailsEveryCall) {
  fakewin::Reset();
  fakewin::AddModule("C:\\WINDOWS\\A.DLL", {});
  fakewin::FailNth("LoadLibraryA", 2, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_NE(nullptr, LoadLibraryA("A.DLL"));
  EXPECT_EQ(nullptr, LoadLibraryA("A.DLL"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
  EXPECT_NE(nullptr, LoadLibraryA("A.DLL"));

  fakewin::FailNth("HeapAlloc", 1);
  EXPECT_EQ(nullptr, HeapAlloc(GetProcessHeap(), 0, 16));
  void* p = HeapAlloc(GetProcessHeap(), 0, 16);
  EXPECT_NE(nullptr, p);
  HeapFree(GetProcessHeap(), 0, p);

  fakewin::FailAlways("RegOpenKeyExA", ERROR_ACCESS_DENIED);
  HKEY key;
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_READ, &key));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_READ, &key));
  fakewin::FailAlways("CreateFileA");
  fakewin::AddFile("C:\\A.dic");
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateFileA("C:\\A.dic", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(FakeRecordTest, ResetLeavesNothingBehind) {
  fakewin::Reset();
  fakewin::AddFile("C:\\A.dic");
  fakewin::SetRegDword(HKEY_CURRENT_USER, "K", "V", 1);
  fakewin::AddModule("C:\\WINDOWS\\A.DLL", {});
  LoadLibraryA("A.DLL");
  fakewin::AddForeignWindow(nullptr, "C", "T");
  fakewin::FailAlways("Sleep");
  fakewin::ScriptMessageBoxes({IDYES});
  fakewin::SetAnsiCodePage(1252);
  ShellExecuteA(nullptr, nullptr, "C:\\Fumidori\\HRNDIC.EXE", nullptr, nullptr, SW_SHOW);

  fakewin::Reset();
  EXPECT_FALSE(fakewin::FileExists("C:\\A.dic"));
  HKEY key;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "K", 0, KEY_READ, &key));
  EXPECT_FALSE(fakewin::IsModuleLoaded("C:\\WINDOWS\\A.DLL"));
  EXPECT_EQ(nullptr, LoadLibraryA("A.DLL"));
  EXPECT_EQ(nullptr, FindWindowA("C", nullptr));
  Sleep(1);
  EXPECT_EQ(1, fakewin::SleepCount());
  EXPECT_EQ(IDNO, MessageBoxA(nullptr, "", "", MB_YESNO));
  EXPECT_TRUE(IsDBCSLeadByte(0x81));
  EXPECT_TRUE(fakewin::ShellExecutes().empty());
  EXPECT_EQ(0, fakewin::OpenHandleCount());
}

}  // namespace
