#include <fakewin32.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

const char kKey[] = "Software\\Heronix\\Fumidori\\1.0";

class FakeRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { fakewin::Reset(); }
};

TEST_F(FakeRegistryTest, NestedKeysOpenWithoutRegardToCaseAndMissingOnesAreNotFound) {
  fakewin::SetRegString(HKEY_LOCAL_MACHINE, kKey, "InstallPath", "C:\\Fumidori");
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\heronix\\FUMIDORI\\1.0", 0, KEY_READ, &key));
  EXPECT_EQ(1, fakewin::OpenKeyCount());
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  EXPECT_EQ(0, fakewin::OpenKeyCount());

  HKEY missing = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &missing));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Heronix\\Fumidori\\2.0", 0, KEY_READ, &missing));
  EXPECT_EQ(0, fakewin::OpenKeyCount());
}

TEST_F(FakeRegistryTest, QueryReportsSizesAndCopiesTheStoredBytesExactly) {
  fakewin::SetRegString(HKEY_LOCAL_MACHINE, kKey, "InstallPath", "C:\\F");
  fakewin::SetRegRaw(HKEY_LOCAL_MACHINE, kKey, "Bare", REG_SZ, "C:\\G");  // no terminating NUL
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key));

  DWORD type = 0;
  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "installpath", nullptr, &type, nullptr, &size));
  EXPECT_EQ(5u, size);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);

  char small[4] = {'#', '#', '#', '#'};
  size = sizeof(small);
  EXPECT_EQ(ERROR_MORE_DATA,
            RegQueryValueExA(key, "InstallPath", nullptr, nullptr, reinterpret_cast<LPBYTE>(small), &size));
  EXPECT_EQ(5u, size);

  char buffer[16];
  std::memset(buffer, '#', sizeof(buffer));
  size = sizeof(buffer);
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Bare", nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size));
  EXPECT_EQ(4u, size);
  EXPECT_EQ("C:\\G#", std::string(buffer, 5));  // nothing appended

  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Other", nullptr, nullptr, nullptr, &size));
  RegCloseKey(key);
}

TEST_F(FakeRegistryTest, MachineKeysOpenForReadingOnlyAsForAStandardUser) {
  fakewin::SetRegString(HKEY_LOCAL_MACHINE, kKey, "InstallPath", "C:\\Fumidori");
  fakewin::SetRegString(HKEY_CURRENT_USER, kKey, "Dic", "C:\\Dic");
  const REGSAM kCreateSubKey = 0x0004, kDelete = 0x00010000, kWriteDac = 0x00040000, kWriteOwner = 0x00080000;
  for (REGSAM access : {REGSAM{KEY_SET_VALUE}, kCreateSubKey, kDelete, kWriteDac, kWriteOwner, REGSAM{KEY_WRITE},
                        REGSAM{KEY_ALL_ACCESS}, REGSAM{KEY_READ | KEY_SET_VALUE}}) {
    SCOPED_TRACE(access);
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, access, &key));
    EXPECT_EQ(nullptr, key);
  }
  HKEY missing = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\None", 0, KEY_WRITE, &missing));
  EXPECT_EQ(0, fakewin::OpenKeyCount());

  // The restriction follows the tree, not the handle the open starts from.
  HKEY software = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &software));
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(software, "Heronix\\Fumidori\\1.0", 0, KEY_WRITE, &key));
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(software, "Heronix\\Fumidori\\1.0", 0, KEY_READ, &key));
  RegCloseKey(key);
  RegCloseKey(software);

  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key));
  RegCloseKey(key);
  EXPECT_EQ(0, fakewin::OpenKeyCount());
}

class FakeModulesTest : public ::testing::Test {
 protected:
  void SetUp() override { fakewin::Reset(); }
  static int Answer() { return 42; }
};

TEST_F(FakeModulesTest, LoadLibraryMatchesWithoutRegardToCaseAndCountsReferences) {
  const std::string path = "C:\\WINDOWS\\system32\\HRNCMN10.DLL";
  fakewin::AddModule(path, {{"Entry@4", fakewin::Export(&Answer)}});
  HMODULE first = LoadLibraryA("hrncmn10.dll");
  HMODULE second = LoadLibraryA(path.c_str());
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(first, second);
  EXPECT_EQ(2, fakewin::ModuleRefCount(path));
  EXPECT_EQ(1, fakewin::AttachCount(path));
  EXPECT_NE(nullptr, GetProcAddress(first, "Entry@4"));
  EXPECT_EQ(nullptr, GetProcAddress(first, "entry@4"));  // export names are exact
  EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());

  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_TRUE(fakewin::IsModuleLoaded(path));
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_FALSE(fakewin::IsModuleLoaded(path));
  EXPECT_EQ(nullptr, GetProcAddress(first, "Entry@4"));

  EXPECT_EQ(nullptr, LoadLibraryA("C:\\Other\\HRNCMN10.DLL"));  // a full path is that file only
  EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST_F(FakeModulesTest, StandardSearchAndWhatTheProcessWideCallsTakeOut) {
  for (const char* folder : {"C:\\KIT", "C:\\WINDOWS\\system32", "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS", "C:\\Tools"})
    fakewin::AddModule(std::string(folder) + "\\A.DLL", {});
  fakewin::SetEnvironmentValue("Path", "C:\\Tools");
  fakewin::SetCurrentFolder("C:\\Downloads");
  auto probesOf = [](const char* name) {
    const size_t before = fakewin::LoaderProbes().size();
    HMODULE h = LoadLibraryA(name);
    if (h) FreeLibrary(h);
    return std::vector<std::string>(fakewin::LoaderProbes().begin() + before, fakewin::LoaderProbes().end());
  };
  EXPECT_EQ((std::vector<std::string>{"C:\\KIT\\B.DLL", "C:\\WINDOWS\\system32\\B.DLL", "C:\\WINDOWS\\SYSTEM\\B.DLL",
                                      "C:\\WINDOWS\\B.DLL", "C:\\Downloads\\B.DLL", "C:\\Tools\\B.DLL"}),
            probesOf("B.DLL"));
  EXPECT_EQ(std::vector<std::string>{"C:\\KIT\\A.DLL"}, probesOf("A.DLL"));

  const HMODULE kernel32 = GetModuleHandleA("KERNEL32.DLL");
  auto setDllDirectory = reinterpret_cast<BOOL(WINAPI*)(LPCSTR)>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel32, "SetDllDirectoryA")));
  auto setDefault = reinterpret_cast<BOOL(WINAPI*)(DWORD)>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
  ASSERT_TRUE(setDllDirectory && setDefault);
  EXPECT_TRUE(setDllDirectory(""));
  EXPECT_EQ((std::vector<std::string>{"C:\\KIT\\B.DLL", "C:\\WINDOWS\\system32\\B.DLL", "C:\\WINDOWS\\SYSTEM\\B.DLL",
                                      "C:\\WINDOWS\\B.DLL", "C:\\Tools\\B.DLL"}),
            probesOf("B.DLL"));  // no current folder
  EXPECT_TRUE(setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32));
  EXPECT_EQ(std::vector<std::string>{"C:\\WINDOWS\\system32\\A.DLL"}, probesOf("A.DLL"));

  fakewin::SetLoader(fakewin::Loader::kDllDirectoryOnly);
  EXPECT_EQ(nullptr, GetProcAddress(kernel32, "SetDefaultDllDirectories"));
  EXPECT_NE(nullptr, GetProcAddress(kernel32, "SetDllDirectoryA"));
  fakewin::SetLoader(fakewin::Loader::kNeither);
  EXPECT_EQ(nullptr, GetProcAddress(kernel32, "SetDllDirectoryA"));
}

TEST_F(FakeModulesTest, ImportsFollowTheSearchOfTheLoadingCall) {
  const std::string engine = "C:\\Host\\CMD\\ENGINE.DLL";
  fakewin::AddModule(engine, {}, {"HELPER.DLL"});
  fakewin::AddModule("C:\\Host\\CMD\\HELPER.DLL", {});
  fakewin::AddModule("C:\\KIT\\HELPER.DLL", {});

  // Plain: the program folder comes first.
  HMODULE h = LoadLibraryExA(engine.c_str(), nullptr, 0);
  ASSERT_NE(nullptr, h);
  EXPECT_EQ(1, fakewin::ModuleRefCount("C:\\KIT\\HELPER.DLL"));
  FreeLibrary(h);
  EXPECT_FALSE(fakewin::IsModuleLoaded("C:\\KIT\\HELPER.DLL"));

  for (DWORD flags :
       {DWORD{LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32}, DWORD{LOAD_WITH_ALTERED_SEARCH_PATH}}) {
    h = LoadLibraryExA(engine.c_str(), nullptr, flags);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(1, fakewin::ModuleRefCount("C:\\Host\\CMD\\HELPER.DLL"));
    FreeLibrary(h);
  }
  EXPECT_EQ(1, fakewin::AttachCount("C:\\KIT\\HELPER.DLL"));

  // Refused: flags on a loader that lacks them, a relative path with the
  // load folder, and the two kinds mixed.
  fakewin::SetLoader(fakewin::Loader::kDllDirectoryOnly);
  EXPECT_EQ(nullptr, LoadLibraryExA(engine.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  fakewin::SetLoader(fakewin::Loader::kCurrent);
  EXPECT_EQ(nullptr, LoadLibraryExA("ENGINE.DLL", nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR));
  EXPECT_EQ(nullptr,
            LoadLibraryExA(engine.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_WITH_ALTERED_SEARCH_PATH));

  // A missing import fails the load and leaves nothing loaded.
  fakewin::RemoveFile("C:\\Host\\CMD\\HELPER.DLL");
  EXPECT_EQ(nullptr, LoadLibraryExA(engine.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
  EXPECT_FALSE(fakewin::IsModuleLoaded(engine));
}

TEST_F(FakeModulesTest, FoldersAndEnvironmentReportTheSizeTheyNeed) {
  char buffer[MAX_PATH];
  EXPECT_EQ(19u, GetSystemDirectoryA(buffer, MAX_PATH));
  EXPECT_STREQ("C:\\WINDOWS\\system32", buffer);
  EXPECT_EQ(11u, GetWindowsDirectoryA(buffer, 10));  // the size with the terminator
  EXPECT_EQ(6u, GetCurrentDirectoryA(MAX_PATH, buffer));
  EXPECT_STREQ("C:\\KIT", buffer);
  EXPECT_EQ(31u, GetEnvironmentVariableA("path", nullptr, 0));
  fakewin::RemoveEnvironmentValue("PATH");
  EXPECT_EQ(0u, GetEnvironmentVariableA("PATH", buffer, MAX_PATH));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND), GetLastError());
}

TEST_F(FakeModulesTest, ModuleFileNameIsCutAndTerminatedWhenTheBufferIsShort) {
  char path[MAX_PATH];
  EXPECT_EQ(19u, GetModuleFileNameA(nullptr, path, MAX_PATH));
  EXPECT_STREQ("C:\\KIT\\LexPlant.exe", path);
  EXPECT_EQ(19u, GetModuleFileNameA(GetModuleHandleA(nullptr), path, 20));

  char shortBuffer[8];
  EXPECT_EQ(8u, GetModuleFileNameA(nullptr, shortBuffer, sizeof(shortBuffer)));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  EXPECT_STREQ("C:\\KIT\\", shortBuffer);

  fakewin::SetModuleNameCutWithoutNul(true);
  char full[10] = "xxxxxxxxx";
  EXPECT_EQ(8u, GetModuleFileNameA(nullptr, full, 8));
  EXPECT_EQ("C:\\KIT\\L", std::string(full, 8));
  EXPECT_EQ('x', full[8]);
}

TEST(FakePlatformTest, VersionNeedsItsSizeAndCodePageDecidesLeadBytes) {
  fakewin::Reset();
  OSVERSIONINFOA info = {};
  EXPECT_FALSE(GetVersionExA(&info));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(5u, info.dwMajorVersion);
  EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), info.dwPlatformId);

  EXPECT_TRUE(IsDBCSLeadByte(0x81));
  EXPECT_TRUE(IsDBCSLeadByte(0xFC));
  EXPECT_FALSE(IsDBCSLeadByte(0xA0));  // half-width katakana
  fakewin::SetAnsiCodePage(1252);
  EXPECT_FALSE(IsDBCSLeadByte(0x81));
}

TEST(FakeMemoryTest, AllocationsZeroOnRequestAndAreCounted) {
  fakewin::Reset();
  auto* global = static_cast<unsigned char*>(GlobalAlloc(GPTR, 64));
  ASSERT_NE(nullptr, global);
  EXPECT_EQ(0, global[63]);
  EXPECT_EQ(1, fakewin::LiveGlobalAllocations());
  EXPECT_EQ(nullptr, GlobalFree(global));
  EXPECT_EQ(0, fakewin::LiveGlobalAllocations());

  auto* block = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, 4));
  ASSERT_NE(nullptr, block);
  std::memset(block, 0xAB, 4);
  block = static_cast<unsigned char*>(HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, 8));
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(0xAB, block[3]);
  EXPECT_EQ(0, block[7]);
  EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, block));
}

}  // namespace
