#include "StoreTestSupport.h"

namespace storetest {
namespace {

using Lines = std::vector<std::string>;

TEST(OptionDicStoreBinding, WithoutTheLibraryNothingIsCalledAndOutputsStayUntouched) {
  fakewin::Reset();
  testhost::Reset();
  COptionDicStore store;
  EXPECT_EQ(0, store.IsReady());

  DWORD value = 77;
  EXPECT_EQ(-1, store.GetDword("RegOptionDicNum", &value));
  EXPECT_EQ(77u, value);
  char buffer[MAX_PATH] = "untouched";
  DWORD capacity = MAX_PATH;
  EXPECT_EQ(-1, store.GetString("RegOptionDic1", buffer, &capacity));
  EXPECT_EQ(0, store.GetUserDicRootPath(buffer, "odic", 1));
  EXPECT_STREQ("untouched", buffer);
  EXPECT_EQ(-1, store.SetDword("RegOptionDicNum", 1));
  EXPECT_EQ(-1, store.SetString("RegOptionDic1", "C:\\A.dic"));
  EXPECT_EQ(-1, store.DeleteValue("RegOptionDic1"));
  CStringArray list;
  list.Add("kept");
  EXPECT_EQ(-1, store.ReadAssistantDics(list));
  EXPECT_EQ(Entries{"kept"}, ToEntries(list));
}

TEST(OptionDicStoreBinding, AnyMissingEntryPointLeavesItNotReadyButHoldsTheLibraryUntilDestruction) {
  for (const char* missing : {testhost::kGenerateUserDicRootPath, testhost::kGetRegValue, testhost::kSetRegValue,
                              testhost::kDeleteRegKeyData}) {
    SCOPED_TRACE(missing);
    fakewin::Reset();
    testhost::Reset();
    testhost::CommonLibrary::Get().Install({missing});
    {
      COptionDicStore store;
      EXPECT_EQ(0, store.IsReady());
      EXPECT_EQ(-1, store.SetDword("RegOptionDicNum", 1));
      EXPECT_TRUE(fakewin::IsModuleLoaded(testhost::kCommonLibraryPath));
    }
    EXPECT_FALSE(fakewin::IsModuleLoaded(testhost::kCommonLibraryPath));
    EXPECT_TRUE(testhost::CommonLibrary::Get().Calls().empty());
  }
}

TEST(OptionDicStoreBinding, LoadsOnceAndFreesOnDestruction) {
  fakewin::Reset();
  testhost::Reset();
  testhost::CommonLibrary::Get().Install();
  {
    COptionDicStore store;
    EXPECT_EQ(1, store.IsReady());
    EXPECT_EQ(1, fakewin::ModuleRefCount(testhost::kCommonLibraryPath));
  }
  EXPECT_FALSE(fakewin::IsModuleLoaded(testhost::kCommonLibraryPath));
}

using OptionDicStoreTest = StoreTest;

TEST_F(OptionDicStoreTest, WritesPassTheWriteFlagsAndTheByteCount) {
  EXPECT_EQ(0, store().SetString("OptionDIC3", "C:\\DIC\\A.dic"));
  EXPECT_EQ(0, store().SetDword("RegOptionDicNum", 5));
  EXPECT_EQ((Lines{"Set(HKCU, 0x8001, 0, OptionDic\\OptionDIC3, 1, C:\\DIC\\A.dic, 13)",
                   "Set(HKCU, 0x8001, 0, OptionDic\\RegOptionDicNum, 4, 5, 4)"}),
            Describe(lib().Calls()));
}

TEST_F(OptionDicStoreTest, ReadsAndDeletionsPassTheReadFlags) {
  lib().SetDword("OptionDic\\RegOptionDicNum", 9);
  lib().SetString("OptionDic\\RegOptionDic1", "C:\\DIC\\A.dic");

  DWORD count = 0;
  EXPECT_EQ(0, store().GetDword("RegOptionDicNum", &count));
  EXPECT_EQ(9u, count);
  char buffer[MAX_PATH] = {0};
  DWORD capacity = MAX_PATH;
  EXPECT_EQ(0, store().GetString("RegOptionDic1", buffer, &capacity));
  EXPECT_STREQ("C:\\DIC\\A.dic", buffer);
  EXPECT_EQ(0, store().DeleteValue("RegOptionDic1"));
  EXPECT_FALSE(lib().Has("OptionDic\\RegOptionDic1"));

  EXPECT_EQ((Lines{"Get(HKCU, 0x1, 0, OptionDic\\RegOptionDicNum, 4, capacity 4)",
                   "Get(HKCU, 0x1, 0, OptionDic\\RegOptionDic1, 1, capacity 260)",
                   "Delete(HKCU, 0x1, 0, 1, OptionDic\\RegOptionDic1)"}),
            Describe(lib().Calls()));
}

TEST_F(OptionDicStoreTest, PassesTheLibraryResultsThroughUnchanged) {
  lib().FailNth(testhost::kSetRegValue, 1, 5);
  lib().FailNth(testhost::kGetRegValue, 1, 1);
  lib().SetUserDicRoot("D:\\Profile\\Dic", 7);
  EXPECT_EQ(5, store().SetDword("RegOptionDicNum", 1));
  DWORD value = 0;
  EXPECT_EQ(1, store().GetDword("RegOptionDicNum", &value));
  EXPECT_EQ(2, store().DeleteValue("NeverThere"));

  char buffer[MAX_PATH] = {0};
  EXPECT_EQ(7, store().GetUserDicRootPath(buffer, "odic", 1));
  EXPECT_STREQ("D:\\Profile\\Dic", buffer);
  auto roots = lib().CallsOf(testhost::kGenerateUserDicRootPath);
  ASSERT_EQ(1u, roots.size());
  EXPECT_EQ("Root(odic, 1)", Describe(roots[0]));
}

class AssistantDicsTest : public StoreTest {
 protected:
  // The list held something before each call: it must always be emptied.
  Entries Read(int expectedResult) {
    list_.RemoveAll();
    list_.Add("left over");
    EXPECT_EQ(expectedResult, store().ReadAssistantDics(list_));
    return ToEntries(list_);
  }
  CStringArray list_;
};

TEST_F(AssistantDicsTest, AnAbsentOrZeroCountMeansNone) {
  EXPECT_EQ(Entries{}, Read(0));
  lib().FailReadsOf("AssistantDic\\AssistantDicNum", 1);
  EXPECT_EQ(Entries{}, Read(0));

  testhost::Reset();
  lib().SetDword("AssistantDic\\AssistantDicNum", 0);
  lib().SetString("AssistantDic\\AssistantDic1", "C:\\Assist\\Z.dic");
  EXPECT_EQ(Entries{}, Read(0));
  EXPECT_EQ(1u, lib().Calls().size());
}

TEST_F(AssistantDicsTest, OnlyTheFirstEntryIsReadWhateverTheCount) {
  lib().SetDword("AssistantDic\\AssistantDicNum", 2);
  lib().SetString("AssistantDic\\AssistantDic1", "C:\\Assist\\Z.dic");
  lib().SetString("AssistantDic\\AssistantDic2", "C:\\Assist\\Y.dic");
  EXPECT_EQ(Entries{"C:\\Assist\\Z.dic"}, Read(0));
  EXPECT_EQ((Lines{"Get(HKCU, 0x1, 0, AssistantDic\\AssistantDicNum, 4, capacity 4)",
                   "Get(HKCU, 0x1, 0, AssistantDic\\AssistantDic1, 1, capacity 260)"}),
            Describe(lib().Calls()));
}

TEST_F(AssistantDicsTest, AnAbsentEntryIsNoErrorButAFailingReadIs) {
  lib().SetDword("AssistantDic\\AssistantDicNum", 1);
  EXPECT_EQ(Entries{}, Read(0));

  lib().SetString("AssistantDic\\AssistantDic1", "C:\\Assist\\Z.dic");
  lib().FailReadsOf("AssistantDic\\AssistantDic1", 5);
  EXPECT_EQ(Entries{}, Read(-2));

  lib().FailReadsOf("AssistantDic\\AssistantDicNum", 5);
  EXPECT_EQ(Entries{}, Read(-2));
}

}  // namespace
}  // namespace storetest
