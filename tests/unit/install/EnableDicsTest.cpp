#include <fakewin32.h>
#include <gtest/gtest.h>

#include <string>

#include "install/InstallTestSupport.h"

namespace {

const char kCannotEnable[] =
    "インストールしたオプション辞書を有効にできません.\n辞書ツールキットを起動し,有効にするオプション辞書を選択してください.";
const char kEnableLimit[] =
    "同時に使用することのできるオプション辞書数の上限(15)に達しました.\nインストールしたオプション辞書の一部が有効になっていません.\n"
    "辞書ツールキットを起動し,有効にするオプション辞書を選択してください.";
const char kSettingFailed[] = "オプション辞書の設定に失敗しました.処理を中止します.";

const char kNew1[] = "C:\\Users\\taro\\Dic\\New1.dic";
const char kNew2[] = "C:\\Users\\taro\\Dic\\New2.dic";
const char kNew3[] = "C:\\Users\\taro\\Dic\\New3.dic";
const char kOld[] = "D:\\Dics\\Old.dic";
const char kStray[] = "D:\\Stray\\Stray.dic";

class EnableDicsTest : public InstallTest {
 protected:
  // Registered dictionaries that exist, the enabled list, and the paths this
  // run installed (registered too, as the copy step leaves them).
  void Arrange(const Strings& registered, const Strings& enabled, const Strings& installed) {
    Strings allRegistered = registered;
    allRegistered.insert(allRegistered.end(), installed.begin(), installed.end());
    for (const std::string& path : allRegistered) fakewin::AddFile(path);
    lib().SetList(kRegistered, allRegistered);
    lib().SetList(kEnabled, enabled);
    for (const std::string& path : installed) m_installed.Add(path.c_str());
    MakeApp();
  }
  int Enable() { return app().EnableInstalledDics(m_installed); }

  CStringArray m_installed;
};

TEST_F(EnableDicsTest, AppendsInstalledOnceAndHandsTheEngineTheList) {
  Arrange({kOld}, {kOld, kNew1}, {kNew1, kNew2});

  EXPECT_EQ(1, Enable());

  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ((Strings{kOld, kNew1, kNew2}), lib().List(kEnabled));
  ASSERT_EQ(1u, engine().Calls().size());
  EXPECT_EQ((Strings{kOld, kNew1, kNew2}), engine().Calls()[0].paths);
  EXPECT_EQ(0, fakewin::OpenHandleCount());
}

TEST_F(EnableDicsTest, UnregisteredEntryIsDroppedAndSharedOpenOrReadOnlyFilesAreAccepted) {
  const char kReadOnly[] = "D:\\Dics\\ReadOnly.dic";
  fakewin::AddFile(kStray);
  Arrange({kOld, kReadOnly}, {kStray, kOld, kReadOnly}, {kNew1});
  // The engine keeps its dictionaries open for reading and writing, sharing both.
  fakewin::HoldForeignOpen(kOld, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  fakewin::AddFile(kReadOnly, "", FILE_ATTRIBUTE_READONLY);

  EXPECT_EQ(1, Enable());

  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ((Strings{kOld, kReadOnly, kNew1}), lib().List(kEnabled));
  EXPECT_EQ(1u, engine().Calls().size());
}

TEST_F(EnableDicsTest, FifteenthEntryIsTheLastAndTheEngineIsNotCalled) {
  Strings fourteen;
  for (int i = 1; i <= 14; ++i) fourteen.push_back("D:\\Dics\\E" + std::to_string(i) + ".dic");
  Arrange(fourteen, fourteen, {kNew1, kNew2, kNew3});

  EXPECT_EQ(1, Enable());

  Strings expected = fourteen;
  expected.push_back(kNew1);
  EXPECT_EQ(expected, lib().List(kEnabled));
  EXPECT_EQ(Strings{kEnableLimit}, MessageTexts());
  EXPECT_EQ(std::vector<UINT>{kStopStyle}, MessageStyles());
  EXPECT_TRUE(engine().Calls().empty());
}

TEST_F(EnableDicsTest, RegisteredEntryWhoseFileIsGoneStopsEnabling) {
  Arrange({kOld}, {kStray, kOld}, {kNew1});
  fakewin::AddFile(kStray);
  fakewin::RemoveFile(kOld);

  EXPECT_EQ(1, Enable());

  EXPECT_EQ(Strings{kCannotEnable}, MessageTexts());
  EXPECT_EQ(Strings{kOld}, lib().List(kEnabled));  // the stray entry before it stays dropped
  EXPECT_TRUE(engine().Calls().empty());
}

TEST_F(EnableDicsTest, RegisteredEntryHeldWithoutReadSharingStopsEnabling) {
  Arrange({kOld}, {kOld}, {kNew1});
  fakewin::HoldForeignOpen(kOld, GENERIC_READ, 0);

  EXPECT_EQ(1, Enable());

  EXPECT_EQ(Strings{kCannotEnable}, MessageTexts());
  EXPECT_EQ(Strings{kOld}, lib().List(kEnabled));
  EXPECT_TRUE(engine().Calls().empty());
}

TEST_F(EnableDicsTest, UnreadableEnabledListOrFailedDropOnlyWarns) {
  Arrange({}, {kStray}, {kNew1});
  lib().FailNth(testhost::kSetRegValue, 1, 5);
  EXPECT_EQ(1, Enable());

  lib().SetDword("OptionDic\\OptionDicNum", 65536);
  EXPECT_EQ(1, Enable());

  EXPECT_EQ((Strings{kCannotEnable, kCannotEnable}), MessageTexts());
  EXPECT_TRUE(engine().Calls().empty());
}

TEST_F(EnableDicsTest, ALookupThatCannotTellNeverDropsAnEnabledEntry) {
  fakewin::AddFile(kStray);
  Arrange({kOld}, {kOld, kStray, kNew1}, {kNew1});
  lib().FailReadsOf("OptionDic\\RegOptionDicNum", 5);

  EXPECT_EQ(1, Enable());

  // Each is kept and must open like a registered one.
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ((Strings{kOld, kStray, kNew1}), lib().List(kEnabled));
  EXPECT_EQ(1u, engine().Calls().size());
}

TEST_F(EnableDicsTest, ADuplicateLeftByAFailureTakesNoPlace) {
  Strings fourteen;
  for (int i = 1; i <= 14; ++i) fourteen.push_back("D:\\Dics\\E" + std::to_string(i) + ".dic");
  Strings full = fourteen;
  full.push_back(fourteen[0]);
  Arrange(fourteen, full, {kNew1});

  EXPECT_EQ(1, Enable());

  Strings expected = fourteen;
  expected.push_back(kNew1);
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ(expected, lib().List(kEnabled));
  EXPECT_EQ(1u, engine().Calls().size());
}

TEST_F(EnableDicsTest, EngineRefusalKeepsTheListAndOnlyWarns) {
  Arrange({}, {}, {kNew1});
  engine().SetResult(1);

  EXPECT_EQ(1, Enable());

  EXPECT_EQ(Strings{kCannotEnable}, MessageTexts());
  EXPECT_EQ(Strings{kNew1}, lib().List(kEnabled));
  EXPECT_EQ(1u, engine().Calls().size());
}

TEST_F(EnableDicsTest, FailedWriteOfTheEnabledListStops) {
  Arrange({}, {}, {kNew1, kNew2});
  lib().FailNth(testhost::kSetRegValue, 1, 5);

  EXPECT_EQ(0, Enable());

  EXPECT_EQ(Strings{kSettingFailed}, MessageTexts());
  EXPECT_TRUE(engine().Calls().empty());
}

}  // namespace
