#include <fakewin32.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "winhost/HostLibrary.h"
#include "store/OptionDicStore.h"
#include "support/FakeHost.h"

namespace {

const char kProgramFolder[] = "C:\\KIT";
const char kDownloads[] = "C:\\Downloads";

std::string In(const std::string& folder) { return folder + "\\" + testhost::kCommonLibraryName; }

// Whether the loader or the program's own search looked at anything there.
bool Looked(const std::string& folder) {
  const std::string prefix = folder + "\\";
  for (const std::string& probe : fakewin::LoaderProbes())
    if (probe.rfind(prefix, 0) == 0) return true;
  for (const std::string& call : fakewin::Calls())
    if (call.rfind("GetFileAttributesA " + prefix, 0) == 0) return true;
  return false;
}

class HostLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakewin::Reset();
    testhost::Reset();
  }
  // A copy of the library there; the double counts every time one is
  // brought in, as a planted copy's own code would run.
  void Install(const std::string& folder) { testhost::CommonLibrary::Get().Install({}, In(folder)); }
};

TEST_F(HostLibraryTest, CopiesInTheProgramAndCurrentFoldersAreNeverLoaded) {
  for (fakewin::Loader loader : testhost::kEveryLoader) {
    testhost::ResetWithLoader(loader);
    Install(kProgramFolder);
    Install(kDownloads);
    fakewin::SetCurrentFolder(kDownloads);
    // Also where PATH names those folders, in any spelling, or relative ones.
    fakewin::SetEnvironmentValue("PATH", "c:\\kit\\;.;Downloads;C:\\Downloads;C:\\Tools");
    Install("C:\\WINDOWS\\system32");
    {
      COptionDicStore store;
      EXPECT_EQ(1, store.IsReady());
      EXPECT_EQ(1, fakewin::ModuleRefCount(testhost::kCommonLibraryPath));
    }
    EXPECT_FALSE(Looked(kProgramFolder));
    EXPECT_FALSE(Looked(kDownloads));

    // With no other copy, none at all.
    fakewin::RemoveFile(testhost::kCommonLibraryPath);
    COptionDicStore store;
    EXPECT_EQ(0, store.IsReady());
    EXPECT_EQ(0, fakewin::AttachCount(In(kProgramFolder)));
    EXPECT_EQ(0, fakewin::AttachCount(In(kDownloads)));
  }
}

TEST_F(HostLibraryTest, FirstMatchInTheOrderOfTheUsualSearchAfterTheProgramFolder) {
  fakewin::SetEnvironmentValue("PATH", "C:\\Tools;D:\\表");  // the trail byte of 表 is 0x5C
  const std::vector<std::string> order = {"C:\\WINDOWS\\system32", "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS", "C:\\Tools",
                                          "D:\\表"};
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    SCOPED_TRACE(*it);
    Install(*it);
    CString strPath;
    EXPECT_EQ(kLibraryFound, FindLibraryOutsideProgramFolder(testhost::kCommonLibraryName, strPath));
    EXPECT_EQ(In(*it), strPath.GetString());
  }
  // Found only on PATH, it is loaded from there.
  for (size_t i = 0; i < 3; ++i) fakewin::RemoveFile(In(order[i]));
  COptionDicStore store;
  EXPECT_EQ(1, store.IsReady());
  EXPECT_EQ(1, fakewin::ModuleRefCount(In("C:\\Tools")));
}

TEST_F(HostLibraryTest, AFolderThatCannotBeExaminedIsPassedOverAsTheLoaderDoes) {
  // The system folder denied, a malformed PATH folder, then the host's.
  fakewin::SetEnvironmentValue("PATH", "C:\\bad|dir;C:\\Tools");
  Install("C:\\Tools");
  fakewin::FailNth("GetFileAttributesA", 1, ERROR_INVALID_NAME);
  fakewin::FailNth("GetFileAttributesA", 4, ERROR_INVALID_NAME);
  CString strPath;
  EXPECT_EQ(kLibraryFound, FindLibraryOutsideProgramFolder(testhost::kCommonLibraryName, strPath));
  EXPECT_EQ(In("C:\\Tools"), strPath.GetString());
  // Only the places themselves cannot be told without.
  for (const char* api : {"GetModuleFileNameA", "GetCurrentDirectoryA", "GetSystemDirectoryA", "GetWindowsDirectoryA",
                          "GetEnvironmentVariableA"}) {
    SCOPED_TRACE(api);
    fakewin::FailNth(api, 1);
    EXPECT_EQ(kLibrarySearchFailed, FindLibraryOutsideProgramFolder(testhost::kCommonLibraryName, strPath));
  }
  fakewin::FailNth("GetSystemDirectoryA", 1);
  COptionDicStore unbound;
  EXPECT_EQ(0, unbound.IsReady());
  EXPECT_EQ(0, fakewin::CountCalls("LoadLibraryExA"));
  fakewin::FailNth("GetFileAttributesA", 4, ERROR_ACCESS_DENIED);
  COptionDicStore store;
  EXPECT_EQ(1, store.IsReady());
  EXPECT_EQ(1, fakewin::ModuleRefCount(In("C:\\Tools")));

  fakewin::RemoveEnvironmentValue("PATH");  // no PATH is no error
  EXPECT_EQ(kLibraryNotFound, FindLibraryOutsideProgramFolder(testhost::kCommonLibraryName, strPath));
}

TEST_F(HostLibraryTest, WhatAHostLibraryLoadsLaterByBareNameComesFromTheHostsFolders) {
  for (fakewin::Loader loader : testhost::kEveryLoader) {
    testhost::ResetWithLoader(loader);
    fakewin::AddModule("C:\\Host\\LIB.DLL", {});
    fakewin::AddModule("C:\\Host\\LATER.DLL", {});
    fakewin::AddModule("C:\\KIT\\LATER.DLL", {});
    fakewin::AddModule("C:\\Downloads\\LATER.DLL", {});
    fakewin::SetCurrentFolder(kDownloads);
    fakewin::SetEnvironmentValue("PATH", "C:\\Host");
    HardenLibrarySearch();
    ASSERT_NE(nullptr, LoadLibraryByFullPath("C:\\Host\\LIB.DLL"));
    // As the host's code would, from inside the library.
    const HMODULE h = LoadLibraryA("LATER.DLL");
    EXPECT_EQ(0, fakewin::AttachCount("C:\\Downloads\\LATER.DLL"));
    if (loader == fakewin::Loader::kCurrent) {
      EXPECT_EQ(1, fakewin::ModuleRefCount("C:\\Host\\LATER.DLL"));
      EXPECT_FALSE(Looked(kProgramFolder));
    } else {
      // Older systems search as before: the program's folder first.
      EXPECT_NE(nullptr, h);
    }
  }
}

TEST_F(HostLibraryTest, ImportsComeFromTheLibraryFolderOnEveryLoaderGeneration) {
  const std::string library = "C:\\Host\\LIB.DLL";
  const std::string helper = "C:\\Host\\HELPER.DLL";
  for (fakewin::Loader loader : testhost::kEveryLoader) {
    testhost::ResetWithLoader(loader);
    fakewin::AddModule(library, {}, {"HELPER.DLL"});
    fakewin::AddModule(helper, {});
    fakewin::AddModule("C:\\KIT\\HELPER.DLL", {});
    const HMODULE h = LoadLibraryByFullPath(library.c_str());
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(1, fakewin::ModuleRefCount(helper));
    EXPECT_FALSE(Looked(kProgramFolder));
    FreeLibrary(h);
    EXPECT_EQ(loader == fakewin::Loader::kCurrent ? 1 : 2, fakewin::CountCalls("LoadLibraryExA"));
  }
  EXPECT_EQ(nullptr, LoadLibraryByFullPath("HOST\\LIB.DLL"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

}  // namespace
