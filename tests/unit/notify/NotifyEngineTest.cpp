#include <fakewin32.h>
#include <gtest/gtest.h>

#include <string>

#include "support/AppFixture.h"

namespace {

const char kEnginePath[] = "C:\\Fumidori\\CMD\\HRNCNV.DLL";

int EngineLoads() {
  int count = 0;
  for (const std::string& call : fakewin::Calls())
    if (call.rfind("LoadLibrary", 0) == 0 && call.find("HRNCNV.DLL") != std::string::npos) ++count;
  return count;
}

class NotifyEngineTest : public AppFixture {
 protected:
  void TearDown() override {
    EXPECT_EQ(0, fakewin::LiveGlobalAllocations());
    EXPECT_FALSE(fakewin::IsModuleLoaded(kEnginePath));
    AppFixture::TearDown();
  }
};

TEST_F(NotifyEngineTest, HandsOverEnabledListThenAssistantForOneCall) {
  lib().SetList(true, {"C:\\Users\\taro\\Dic\\A.dic", "C:\\Users\\taro\\Dic\\b.dic"});
  lib().SetDword("AssistantDic\\AssistantDicNum", 1);
  lib().SetString("AssistantDic\\AssistantDic1", "C:\\Fumidori\\assist.dic");
  MakeApp();
  EXPECT_EQ(1, app().NotifyEngine());
  ASSERT_EQ(1u, engine().Calls().size());
  EXPECT_EQ((std::vector<std::string>{"C:\\Users\\taro\\Dic\\A.dic", "C:\\Users\\taro\\Dic\\b.dic",
                                      "C:\\Fumidori\\assist.dic"}),
            engine().Calls()[0].paths);

  engine().SetResult(1);
  EXPECT_EQ(0, app().NotifyEngine());
}

TEST_F(NotifyEngineTest, InstallPathIsReadAfreshFromTheRegistry) {
  MakeApp();
  app().m_strInstallPath = kInstallPath;
  fakewin::DeleteRegKey(HKEY_LOCAL_MACHINE, kHostKey);
  fakewin::ClearCalls();
  EXPECT_EQ(0, app().NotifyEngine());
  EXPECT_EQ(0, EngineLoads());
  EXPECT_EQ(0, fakewin::CountCalls("GlobalAlloc"));
}

TEST_F(NotifyEngineTest, UnreadableListsNeverLoadTheEngine) {
  lib().SetDword("AssistantDic\\AssistantDicNum", 1);
  lib().FailReadsOf("AssistantDic\\AssistantDic1", 5);
  MakeApp();
  fakewin::ClearCalls();
  EXPECT_EQ(0, app().NotifyEngine());
  EXPECT_EQ(0, EngineLoads());
  EXPECT_TRUE(engine().Calls().empty());
}

TEST_F(NotifyEngineTest, StoreNotReadyGivesZeroWithoutLoadingTheEngine) {
  fakewin::FailNth("LoadLibraryExA", 1, ERROR_MOD_NOT_FOUND);  // the common library
  MakeApp();
  fakewin::ClearCalls();
  EXPECT_EQ(0, app().NotifyEngine());
  EXPECT_EQ(0, EngineLoads());
}

}  // namespace
