#include <fakewin32.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "notify/ConvEngineLib.h"
#include "support/FakeHost.h"

namespace {

const char kHostKey[] = "Software\\Heronix\\Fumidori\\1.0";
const char kInstallPath[] = "C:\\Fumidori";
const char kEnginePath[] = "C:\\Fumidori\\CMD\\HRNCNV.DLL";
const size_t kMaxEntryBytes = 260;  // a 259-byte path and its terminator

testhost::Engine& engine() { return testhost::Engine::Get(); }

void SetInstallPath(const std::string& path) {
  fakewin::SetRegString(HKEY_LOCAL_MACHINE, kHostKey, "InstallPath", path);
}

// Entries whose lengths plus one byte each add up to cbTotal.
CStringArray PathsTotalling(size_t cbTotal) {
  CStringArray list;
  for (; cbTotal > kMaxEntryBytes + 1; cbTotal -= kMaxEntryBytes)
    list.Add(std::string(kMaxEntryBytes - 1, 'a').c_str());
  list.Add(std::string(cbTotal - 1, 'b').c_str());
  return list;
}

CStringArray ListOf(std::initializer_list<const char*> paths) {
  CStringArray list;
  for (const char* path : paths) list.Add(path);
  return list;
}

class ConvEngineLibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakewin::Reset();
    testhost::Reset();
    SetInstallPath(kInstallPath);
    engine().Install(kInstallPath);
  }
  // Every path frees both allocations, the key and the library.
  void TearDown() override {
    EXPECT_EQ(0, fakewin::LiveGlobalAllocations());
    EXPECT_EQ(0, fakewin::OpenKeyCount());
    EXPECT_FALSE(fakewin::IsModuleLoaded(kEnginePath));
  }

  const CStringArray m_none;
};

TEST_F(ConvEngineLibTest, EmptyListsStillReachTheEngineWithTheFixedLayout) {
  {
    CConvEngineLib lib;
    EXPECT_EQ(CConvEngineLib::kAccepted, lib.SendDictionaryList(m_none, m_none));
    EXPECT_TRUE(fakewin::IsModuleLoaded(kEnginePath));
  }
  ASSERT_EQ(1u, engine().Calls().size());
  const testhost::Engine::Call& call = engine().Calls()[0];
  EXPECT_EQ(22, call.command);
  EXPECT_TRUE(call.blockValid);
  EXPECT_EQ(std::string(CConvEngineLib::kListBufferSize, '\0'), call.buffer);
  std::string expected(CConvEngineLib::kBlockSize, '\0');
  expected[284] = 5;
  expected[309] = 0x40;
  EXPECT_EQ(expected, call.block);
}

TEST_F(ConvEngineLibTest, PacksEnabledThenAssistantUnchanged) {
  // "表" ends in 0x5C and "ｃ" is a full-width small letter: neither is touched.
  CConvEngineLib lib;
  EXPECT_EQ(CConvEngineLib::kAccepted,
            lib.SendDictionaryList(ListOf({"c:\\dic\\表.dic", "C:\\ｃ\\B.DIC"}), ListOf({"d:\\assist.dic"})));
  ASSERT_EQ(1u, engine().Calls().size());
  EXPECT_EQ((std::vector<std::string>{"c:\\dic\\表.dic", "C:\\ｃ\\B.DIC", "d:\\assist.dic"}),
            engine().Calls()[0].paths);
}

TEST_F(ConvEngineLibTest, CapacityIsOneByteShortOfTheBuffer) {
  CConvEngineLib lib;
  EXPECT_EQ(CConvEngineLib::kAccepted, lib.SendDictionaryList(PathsTotalling(16383), m_none));
  ASSERT_EQ(1u, engine().Calls().size());
  const std::string& buffer = engine().Calls()[0].buffer;
  EXPECT_EQ('b', buffer[16381]);
  EXPECT_EQ(std::string(2, '\0'), buffer.substr(16382));

  EXPECT_EQ(CConvEngineLib::kNoRoom, lib.SendDictionaryList(PathsTotalling(16384), m_none));
  EXPECT_EQ(CConvEngineLib::kNoRoom, lib.SendDictionaryList(PathsTotalling(16380), ListOf({"C:\\"})));
  EXPECT_EQ(1u, engine().Calls().size());
  EXPECT_EQ(CConvEngineLib::kAccepted, lib.SendDictionaryList(PathsTotalling(16380), ListOf({"C:"})));
}

TEST_F(ConvEngineLibTest, OnlyTheLow16BitsOfTheEngineResultCount) {
  CConvEngineLib lib;
  engine().SetResult(65536);
  EXPECT_EQ(CConvEngineLib::kAccepted, lib.SendDictionaryList(m_none, m_none));
  engine().SetResult(1);
  EXPECT_EQ(CConvEngineLib::kRefused, lib.SendDictionaryList(m_none, m_none));
  engine().SetResult(0x100);  // the high byte of the low 16 bits counts too
  EXPECT_EQ(CConvEngineLib::kRefused, lib.SendDictionaryList(m_none, m_none));
}

TEST_F(ConvEngineLibTest, MissingEntryPointAndFailedAllocationsNeverCallTheEngine) {
  {
    CConvEngineLib lib;
    fakewin::FailNth("GlobalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(CConvEngineLib::kNoRoom, lib.SendDictionaryList(m_none, m_none));
    fakewin::FailNth("GlobalAlloc", 2, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(CConvEngineLib::kNoRoom, lib.SendDictionaryList(m_none, m_none));
    EXPECT_EQ(0, fakewin::LiveGlobalAllocations());
  }
  engine().Install(kInstallPath, /*withEntryPoint=*/false);
  CConvEngineLib lib;
  EXPECT_EQ(CConvEngineLib::kNoEntryPoint, lib.SendDictionaryList(m_none, m_none));
  EXPECT_TRUE(engine().Calls().empty());
}

TEST_F(ConvEngineLibTest, LoadOnALoadedBindingLoadsNothing) {
  CConvEngineLib lib;
  EXPECT_EQ(1, lib.Load());
  EXPECT_EQ(1, fakewin::CountCalls("LoadLibraryExA"));
  EXPECT_EQ(1, fakewin::ModuleRefCount(kEnginePath));
  lib.Unload();
  EXPECT_FALSE(fakewin::IsModuleLoaded(kEnginePath));
  EXPECT_EQ(CConvEngineLib::kNotLoaded, lib.SendDictionaryList(m_none, m_none));
}

TEST_F(ConvEngineLibTest, LongestInstallPathThatFitsTheSuffixStillLoads) {
  const std::string path = "C:\\" + std::string(241, 'p');  // 244 bytes
  SetInstallPath(path);
  engine().Install(path);
  CConvEngineLib lib;
  EXPECT_EQ(CConvEngineLib::kAccepted, lib.SendDictionaryList(m_none, m_none));
}

TEST_F(ConvEngineLibTest, WhatTheEngineImportsComesFromItsFolderNeverTheProgramFolder) {
  const char kHelper[] = "C:\\Fumidori\\CMD\\ENGHELP.DLL";
  for (fakewin::Loader loader : testhost::kEveryLoader) {
    testhost::ResetWithLoader(loader);
    SetInstallPath(kInstallPath);
    engine().Install(kInstallPath, true, {"ENGHELP.DLL"});
    fakewin::AddModule(kHelper, {});
    fakewin::AddModule("C:\\KIT\\ENGHELP.DLL", {});
    CConvEngineLib lib;
    EXPECT_EQ(CConvEngineLib::kAccepted, lib.SendDictionaryList(m_none, m_none));
    EXPECT_EQ(1, fakewin::ModuleRefCount(kHelper));
    for (const std::string& probe : fakewin::LoaderProbes()) EXPECT_NE(0u, probe.rfind("C:\\KIT\\", 0)) << probe;
  }
}

// Arrangements under which the engine cannot be found.
struct NoEngineCase {
  const char* name;
  std::function<void()> arrange;
};

class ConvEngineLibNoEngineTest : public ConvEngineLibTest, public ::testing::WithParamInterface<NoEngineCase> {};

TEST_P(ConvEngineLibNoEngineTest, NothingIsLoadedOrAllocated) {
  GetParam().arrange();
  fakewin::ClearCalls();
  CConvEngineLib lib;
  EXPECT_EQ(0, lib.Load());
  EXPECT_EQ(CConvEngineLib::kNotLoaded, lib.SendDictionaryList(ListOf({"C:\\a.dic"}), m_none));
  EXPECT_EQ(0, fakewin::CountCalls("LoadLibraryExA"));
  EXPECT_EQ(0, fakewin::CountCalls("GlobalAlloc"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvEngineLibNoEngineTest,
    ::testing::Values(NoEngineCase{"NoKey", [] { fakewin::DeleteRegKey(HKEY_LOCAL_MACHINE, kHostKey); }},
                      NoEngineCase{"NoValue",
                                   [] {
                                     fakewin::DeleteRegKey(HKEY_LOCAL_MACHINE, kHostKey);
                                     fakewin::SetRegString(HKEY_LOCAL_MACHINE, kHostKey, "Other", kInstallPath);
                                   }},
                      NoEngineCase{"EmptyValue", [] { SetInstallPath(""); }},
                      NoEngineCase{"RelativeInstallPath", [] { SetInstallPath("Fumidori"); }},
                      NoEngineCase{"UnterminatedFullBuffer",
                                   [] {
                                     fakewin::SetRegRaw(HKEY_LOCAL_MACHINE, kHostKey, "InstallPath", REG_SZ,
                                                        std::string(MAX_PATH, 'C'));
                                   }},
                      NoEngineCase{"NoRoomForSuffix", [] { SetInstallPath("C:\\" + std::string(242, 'p')); }}),
    [](const ::testing::TestParamInfo<NoEngineCase>& info) { return std::string(info.param.name); });

}  // namespace
