#include <fakewin32.h>
#include <gtest/gtest.h>

#include <string>

#include "install/InstallTestSupport.h"

namespace {

const char kLegalQuestionRegistered[] =
    "インストールするオプション辞書と同じ名前の辞書がすでに登録されています．\n\n辞書名 : Legal\n\n辞書を上書きしますか?";
const char kLegalQuestionExists[] =
    "オプション辞書のインストール先に同じ名前の辞書が存在しています．\n\n辞書名 : Legal\n\n辞書を上書きしますか?";
const char kLegalCopyFailed[] =
    "辞書のコピーができません.\n辞書ツールキットを起動して以下のオプション辞書を削除してください.\n\n"
    "削除するオプション辞書 :  Legal\n\nその後システムを再起動して,再度インストールしてください.";
const char kSettingFailed[] = "オプション辞書の設定に失敗しました.処理を中止します.";
const char kRegisterFailed[] = "オプション辞書の登録に失敗しました.処理を中止します.";
const char kRegisterLimit[] = "登録できるオプション辞書数が上限に達しました.処理を中止します.";

const char kLegal[] = "C:\\Users\\taro\\Dic\\Legal.dic";
const char kOldLegal[] = "D:\\Old\\Legal.dic";
const char kOtherLegal[] = "E:\\B\\legal.DIC";
const char kKeep[] = "D:\\Keep\\K.dic";

class CopyRegisterTest : public InstallTest {
 protected:
  // Registered and enabled lists whose entries all exist on disk.
  void Lists(const Strings& registered, const Strings& enabled) {
    for (const Strings* list : {&registered, &enabled})
      for (const std::string& path : *list)
        if (!fakewin::FileExists(path)) fakewin::AddFile(path, "old");
    lib().SetList(kRegistered, registered);
    lib().SetList(kEnabled, enabled);
  }
  int Probes(const std::string& path) { return CountCallsStartingWith("CreateFileA " + path + " "); }
};

TEST_F(CopyRegisterTest, NothingInTheWayCopiesAndRegistersWithoutAsking) {
  AddSource("Legal.DIC", "new");
  AddSource("x.y.dic");
  AddSource("表.Dic");
  ReadyApp();

  EXPECT_EQ(1, app().InstallDictionaries());

  const Strings installed{kLegal, Dest("x.y.dic"), Dest("表.dic")};
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ("new", fakewin::FileContent(kLegal));
  EXPECT_TRUE(fakewin::FileExists(Dest("表.dic")));
  EXPECT_EQ(installed, lib().List(kRegistered));
  EXPECT_EQ(installed, ToStrings(app().m_installedDics));
  EXPECT_TRUE(lib().List(kEnabled).empty());
  EXPECT_TRUE(engine().Calls().empty());
  EXPECT_EQ(0, fakewin::OpenHandleCount());
}

TEST_F(CopyRegisterTest, RegisteredNamesakeElsewhereIsReplacedInBothLists) {
  AddSource("Legal.DIC", "new");
  Lists({kOldLegal, kKeep, kOtherLegal}, {kOldLegal, kKeep});
  fakewin::ScriptMessageBoxes({IDYES});
  ReadyApp();

  EXPECT_EQ(1, app().InstallDictionaries());

  EXPECT_EQ(Strings{kLegalQuestionRegistered}, MessageTexts());
  EXPECT_EQ(std::vector<UINT>{kQuestionStyle}, MessageStyles());
  EXPECT_EQ((Strings{kKeep, kLegal}), lib().List(kRegistered));
  EXPECT_EQ(Strings{kKeep}, lib().List(kEnabled));
  EXPECT_EQ("old", fakewin::FileContent(kOldLegal));
  EXPECT_EQ("new", fakewin::FileContent(kLegal));
  EXPECT_EQ(Strings{kLegal}, ToStrings(app().m_installedDics));
  EXPECT_TRUE(engine().Calls().empty());  // the destination was not busy
  EXPECT_EQ(0, fakewin::SleepCount());

  // One that would move an entry the library cannot read stays registered,
  // and so enabled, for a later run; this one goes on all the same.
  Lists({kOldLegal, kKeep, kKeep}, {kOldLegal});
  lib().SetDword("OptionDic\\RegOptionDic2", 7);
  fakewin::ScriptMessageBoxes({IDYES});

  EXPECT_EQ(1, app().InstallDictionaries());

  EXPECT_EQ((Strings{kLegalQuestionRegistered, kLegalQuestionRegistered}), MessageTexts());
  EXPECT_EQ((Strings{kOldLegal, kKeep, kLegal}), lib().List(kRegistered));
  EXPECT_EQ(7u, lib().Dword("OptionDic\\RegOptionDic2"));
  EXPECT_EQ(Strings{kOldLegal}, lib().List(kEnabled));
  EXPECT_EQ(Strings{kLegal}, ToStrings(app().m_installedDics));
}

TEST_F(CopyRegisterTest, DecliningEveryQuestionInstallsNothingButStillPrunes) {
  AddSource("Legal.dic");
  AddSource("Other.dic");
  fakewin::AddFile(kOldLegal);
  fakewin::AddFile(kKeep);
  lib().SetList(kRegistered, {kOldLegal, "D:\\Gone\\Stale.dic", kKeep});
  lib().SetList(kEnabled, {"D:\\Gone\\Stale.dic", kKeep});
  fakewin::AddFile(Dest("Other.dic"), "mine");
  fakewin::ScriptMessageBoxes({IDNO});
  ReadyApp();
  fakewin::FailNth("MessageBoxA", 2, ERROR_NOT_ENOUGH_MEMORY);  // a box that fails is no consent either

  EXPECT_EQ(1, app().InstallDictionaries());

  EXPECT_EQ(Strings{kLegalQuestionRegistered}, MessageTexts());
  EXPECT_EQ(2, fakewin::CountCalls("MessageBoxA"));
  EXPECT_TRUE(app().m_installedDics.IsEmpty());
  EXPECT_EQ((Strings{kOldLegal, kKeep}), lib().List(kRegistered));
  EXPECT_EQ(Strings{kKeep}, lib().List(kEnabled));
  EXPECT_EQ("mine", fakewin::FileContent(Dest("Other.dic")));
  EXPECT_EQ(0, fakewin::CountCalls("CopyFileA"));
}

TEST_F(CopyRegisterTest, BusyUnregisteredDestinationIsCopiedAtOnceWithoutRelease) {
  AddSource("Legal.dic");
  fakewin::AddFile(kLegal, "theirs");
  fakewin::HoldForeignOpen(kLegal, GENERIC_READ, 0);
  int imeMessages = 0;
  fakewin::AddForeignWindow(nullptr, "HRN10UI", "HRN10_UI_MAIN", [&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
    ++imeMessages;
    return 0;
  });
  fakewin::ScriptMessageBoxes({IDYES});
  ReadyApp();

  EXPECT_EQ(0, app().InstallDictionaries());

  EXPECT_EQ((Strings{kLegalQuestionExists, kLegalCopyFailed}), MessageTexts());
  EXPECT_EQ((std::vector<UINT>{kQuestionStyle, kStopStyle}), MessageStyles());
  EXPECT_EQ(1, fakewin::CountCalls("CopyFileA"));
  EXPECT_EQ(1, Probes(kLegal));
  EXPECT_TRUE(engine().Calls().empty());
  EXPECT_EQ(0, imeMessages);
  EXPECT_EQ(0, fakewin::SleepCount());
  EXPECT_TRUE(lib().List(kRegistered).empty());
}

TEST_F(CopyRegisterTest, RegisteredDestinationThatStaysBusyIsProbedTenTimesThenCopyFailsAndIsPutBack) {
  AddSource("Legal.dic");
  Lists({kOldLegal, kKeep, kLegal, kOtherLegal}, {kKeep, kLegal});
  fakewin::HoldForeignOpen(kLegal, GENERIC_READ, FILE_SHARE_READ);
  fakewin::ScriptMessageBoxes({IDYES});
  ReadyApp();

  EXPECT_EQ(0, app().InstallDictionaries());

  EXPECT_EQ((Strings{kLegalQuestionRegistered, kLegalCopyFailed}), MessageTexts());
  // Handed the list without Legal.dic to let go of it, then, with it back, the list as stored.
  ASSERT_EQ(2u, engine().Calls().size());
  EXPECT_EQ(Strings{kKeep}, engine().Calls()[0].paths);
  EXPECT_EQ((Strings{kKeep, kLegal}), engine().Calls()[1].paths);
  EXPECT_EQ(11, fakewin::SleepCount());
  EXPECT_EQ(1 + 10, Probes(kLegal));
  EXPECT_EQ(1, fakewin::CountCalls("CopyFileA"));
  // Registrations leave only once the file is in place.
  EXPECT_EQ((Strings{kOldLegal, kKeep, kLegal, kOtherLegal}), lib().List(kRegistered));
  EXPECT_EQ((Strings{kKeep, kLegal}), lib().List(kEnabled));
  EXPECT_EQ("old", fakewin::FileContent(kLegal));
  EXPECT_EQ(Strings{"Legal.dic"}, fakewin::ListFolder(kUserDicRoot)) << "the temporary copy is gone";
  EXPECT_EQ(0, fakewin::OpenHandleCount());
}

TEST_F(CopyRegisterTest, RegisteredBusyDestinationReleasedByTheImeIsCopiedAfterOneProbe) {
  AddSource("Legal.dic", "new");
  Lists({kLegal}, {kLegal});
  const int hold = fakewin::HoldForeignOpen(kLegal, GENERIC_READ, 0);
  Strings told;
  engine().OnCall([&] { told.push_back("engine"); });
  fakewin::AddForeignWindow(nullptr, "HRN10UI", "HRN10_UI_MAIN", [&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
    told.push_back("ime");
    fakewin::ReleaseForeignOpen(hold);
    return 0;
  });
  fakewin::ScriptMessageBoxes({IDYES});
  ReadyApp();

  EXPECT_EQ(1, app().InstallDictionaries());

  EXPECT_EQ((Strings{"engine", "ime"}), told);
  ASSERT_EQ(1u, engine().Calls().size());
  EXPECT_TRUE(engine().Calls()[0].paths.empty());  // the enabled list without Legal.dic
  EXPECT_EQ(1, fakewin::SleepCount());
  EXPECT_EQ(1 + 1, Probes(kLegal));
  EXPECT_EQ("new", fakewin::FileContent(kLegal));
  EXPECT_EQ(Strings{kLegal}, lib().List(kRegistered));
  EXPECT_EQ(Strings{kLegal}, lib().List(kEnabled)) << "enabled again once in place";
  EXPECT_EQ(Strings{kLegal}, ToStrings(app().m_installedDics));
}

TEST_F(CopyRegisterTest, ATargetRegisteredAgainMeanwhileCountsAsInstalled) {
  AddSource("Legal.dic", "new");
  Lists({kLegal}, {});
  const int hold = fakewin::HoldForeignOpen(kLegal, GENERIC_READ, 0);
  // Something registers the target again while the engine lets go of it.
  engine().OnCall([&] {
    lib().SetList(kRegistered, {kLegal});
    fakewin::ReleaseForeignOpen(hold);
  });
  fakewin::ScriptMessageBoxes({IDYES});
  ReadyApp();

  EXPECT_EQ(1, app().InstallDictionaries());

  EXPECT_EQ(Strings{kLegal}, lib().List(kRegistered));
  EXPECT_EQ(Strings{kLegal}, ToStrings(app().m_installedDics));
  EXPECT_EQ("new", fakewin::FileContent(kLegal));
}

TEST_F(CopyRegisterTest, EngineRefusalPutsBothListsBackWithoutTouchingTheFile) {
  AddSource("Legal.dic");
  Lists({kOldLegal, kLegal, kKeep, kOtherLegal}, {kOldLegal, kKeep});
  fakewin::HoldForeignOpen(kLegal, GENERIC_READ, 0);
  engine().SetResult(1);
  fakewin::ScriptMessageBoxes({IDYES});
  ReadyApp();

  EXPECT_EQ(0, app().InstallDictionaries());

  EXPECT_EQ((Strings{kLegalQuestionRegistered, kSettingFailed}), MessageTexts());
  EXPECT_EQ((Strings{kOldLegal, kLegal, kKeep, kOtherLegal}), lib().List(kRegistered));
  EXPECT_EQ((Strings{kKeep, kOldLegal}), lib().List(kEnabled));
  EXPECT_EQ(0, fakewin::CountCalls("CopyFileA"));
  EXPECT_EQ(0, fakewin::SleepCount());
  EXPECT_EQ("old", fakewin::FileContent(kLegal));
}

TEST_F(CopyRegisterTest, PutBackGoesOnPastAnEntryTheListStillHolds) {
  AddSource("Legal.dic");
  // The same path twice, as a list edited by other means may hold it: its
  // second put-back answers "already listed", and the rest still go back.
  Lists({kOldLegal, kKeep, kLegal}, {kLegal, kKeep, kLegal, kOldLegal});
  fakewin::HoldForeignOpen(kLegal, GENERIC_READ, 0);  // never let go of: the copy fails
  fakewin::ScriptMessageBoxes({IDYES});
  ReadyApp();

  EXPECT_EQ(0, app().InstallDictionaries());

  EXPECT_EQ((Strings{kLegalQuestionRegistered, kLegalCopyFailed}), MessageTexts());
  EXPECT_EQ((Strings{kKeep, kLegal, kOldLegal}), lib().List(kEnabled));
  EXPECT_EQ((Strings{kOldLegal, kKeep, kLegal}), lib().List(kRegistered));
}

TEST_F(CopyRegisterTest, APutBackThatFailsTwiceIsTold) {
  AddSource("Legal.dic");
  Lists({kLegal}, {kLegal});
  int hold = fakewin::HoldForeignOpen(kLegal, GENERIC_READ, 0);
  fakewin::ScriptMessageBoxes({IDYES});
  ReadyApp();
  // The release empties the enabled list (one write, its count); both tries
  // to put the entry back fail at their first write.
  lib().FailNth(testhost::kSetRegValue, 2, 5);
  lib().FailNth(testhost::kSetRegValue, 3, 5);

  EXPECT_EQ(0, app().InstallDictionaries());

  EXPECT_EQ((Strings{kLegalQuestionRegistered, kLegalCopyFailed, kSettingFailed}), MessageTexts());
  EXPECT_EQ(Strings{kLegal}, lib().List(kRegistered));

  // Once the file is in place, it counts as installed all the same.
  lib().SetList(kEnabled, {kLegal});
  engine().OnCall([&hold] { fakewin::ReleaseForeignOpen(hold); });
  fakewin::ScriptMessageBoxes({IDYES});
  lib().FailNth(testhost::kSetRegValue, 2, 5);
  lib().FailNth(testhost::kSetRegValue, 3, 5);

  EXPECT_EQ(0, app().InstallDictionaries());

  EXPECT_EQ((Strings{kLegalQuestionRegistered, kLegalCopyFailed, kSettingFailed, kLegalQuestionRegistered,
                     kSettingFailed}),
            MessageTexts());
  EXPECT_EQ(Strings{kLegal}, lib().List(kRegistered));
  EXPECT_EQ(Strings{kLegal}, ToStrings(app().m_installedDics));
}

TEST_F(CopyRegisterTest, CopyFailureStopsAndKeepsEarlierInstallations) {
  AddSource("First.dic");
  AddSource("Legal.dic");
  AddSource("Never.dic");
  Lists({kOldLegal}, {kOldLegal});
  fakewin::FailNth("CopyFileA", 2, ERROR_ACCESS_DENIED);
  fakewin::ScriptMessageBoxes({IDYES});
  ReadyApp();

  EXPECT_EQ(0, app().InstallDictionaries());

  EXPECT_EQ((Strings{kLegalQuestionRegistered, kLegalCopyFailed}), MessageTexts());
  EXPECT_EQ((Strings{kOldLegal, Dest("First.dic")}), lib().List(kRegistered));
  EXPECT_EQ(Strings{kOldLegal}, lib().List(kEnabled));
  EXPECT_EQ(Strings{Dest("First.dic")}, ToStrings(app().m_installedDics));
  EXPECT_FALSE(fakewin::FileExists(Dest("Never.dic")));
}

TEST_F(CopyRegisterTest, RegistrationRefusedAfterTheCopyKeepsItAndStops) {
  AddSource("Legal.dic");
  AddSource("Never.dic");
  fakewin::AddFile(kKeep);
  lib().SetList(kRegistered, {kKeep});
  ReadyApp();
  lib().FailNth(testhost::kSetRegValue, 1, 5);  // writing the new entry

  EXPECT_EQ(0, app().InstallDictionaries());

  EXPECT_EQ(Strings{kSettingFailed}, MessageTexts());
  EXPECT_EQ(Strings{kKeep}, lib().List(kRegistered));
  EXPECT_TRUE(fakewin::FileExists(kLegal));
  EXPECT_FALSE(fakewin::FileExists(Dest("Never.dic")));

  lib().SetDword("OptionDic\\RegOptionDicNum", 65535);  // full; the entries in between unreadable
  fakewin::ScriptMessageBoxes({IDYES});                 // the copy left from the first run is overwritten

  EXPECT_EQ(0, app().InstallDictionaries());

  EXPECT_EQ((Strings{kSettingFailed, kLegalQuestionExists, kRegisterLimit}), MessageTexts());
  EXPECT_EQ((std::vector<UINT>{kStopStyle, kQuestionStyle, kStopStyle}), MessageStyles());
  EXPECT_EQ(2, fakewin::CountCalls("CopyFileA"));
  EXPECT_TRUE(app().m_installedDics.IsEmpty());
}

TEST_F(CopyRegisterTest, ANamesakeElsewhereLeavesOnlyOnceTheTargetIsRegistered) {
  AddSource("Legal.dic", "new");
  Lists({kOldLegal}, {kOldLegal});
  ReadyApp();
  // Writes: the new entry and the count, the registered list without the
  // namesake (entry 1, count), the enabled list without it (count).
  const std::pair<int, Strings> kRegisteredAfter[] = {
      {1, {kOldLegal}}, {3, {kOldLegal, kLegal}}, {5, {kLegal}}};
  for (const auto& [nFailing, registered] : kRegisteredAfter) {
    lib().SetList(kRegistered, {kOldLegal});
    lib().SetList(kEnabled, {kOldLegal});
    lib().FailNth(testhost::kSetRegValue, nFailing, 5);
    fakewin::ScriptMessageBoxes({IDYES});

    EXPECT_EQ(0, app().InstallDictionaries()) << nFailing;

    EXPECT_EQ("new", fakewin::FileContent(kLegal));
    EXPECT_EQ(registered, lib().List(kRegistered)) << nFailing;
    // Still enabled while still registered; then the enabling step's to drop.
    EXPECT_EQ(Strings{kOldLegal}, lib().List(kEnabled)) << nFailing;
  }
  EXPECT_EQ((Strings{kLegalQuestionRegistered, kSettingFailed, kLegalQuestionRegistered, kSettingFailed,
                     kLegalQuestionRegistered, kSettingFailed}),
            MessageTexts());
}

TEST_F(CopyRegisterTest, ReadOnlyCopiesAreReplacedAndNeverInstalledReadOnly) {
  fakewin::AddFile(std::string(kSourceFolder) + "\\Legal.dic", "new", FILE_ATTRIBUTE_READONLY);
  fakewin::AddFile(kLegal, "old", FILE_ATTRIBUTE_READONLY);  // an earlier installation's copy
  // A copy an earlier run left when it stopped dead, and what is not one:
  // another program's file, and a folder under the copy's own name.
  fakewin::AddFile(Dest("Torn.dic.LexPlant-copy"), "ne", FILE_ATTRIBUTE_READONLY);
  fakewin::AddFile(Dest("Notes.~lx"), "mine");
  const DWORD kReadOnlyFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
  fakewin::AddFolder(Dest("Legal.dic.LexPlant-copy"), kReadOnlyFolder);
  fakewin::ScriptMessageBoxes({IDYES});
  ReadyApp();

  EXPECT_EQ(1, app().InstallDictionaries());

  const Strings kept{"Legal.dic", "Notes.~lx", "Legal.dic.LexPlant-copy"};
  EXPECT_EQ(Strings{kLegalQuestionExists}, MessageTexts());
  EXPECT_EQ("new", fakewin::FileContent(kLegal));
  EXPECT_EQ(0u, fakewin::FileAttributes(kLegal) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(kept, fakewin::ListFolder(kUserDicRoot));
  EXPECT_EQ(kReadOnlyFolder, fakewin::FileAttributes(Dest("Legal.dic.LexPlant-copy")));
  EXPECT_EQ(1, CountCallsStartingWith("MoveFileExA " + Dest("Legal.dic.2.LexPlant-copy") + " "));

  // A replacement that fails leaves the target read-only as it was.
  fakewin::AddFile(kLegal, "new", FILE_ATTRIBUTE_READONLY);
  fakewin::FailNth("MoveFileExA", 1, ERROR_SHARING_VIOLATION);
  fakewin::ScriptMessageBoxes({IDYES});
  EXPECT_EQ(0, app().InstallDictionaries());
  EXPECT_EQ(FILE_ATTRIBUTE_READONLY, fakewin::FileAttributes(kLegal));
  EXPECT_EQ(kept, fakewin::ListFolder(kUserDicRoot));
}

TEST_F(CopyRegisterTest, AUserFolderOf250BytesTakesAFreshInstallAndAnOverwrite) {
  const std::string root = "C:\\" + std::string(247, 'D');
  const std::string fresh = root + "\\A.dic", update = root + "\\B.dic";
  AddSource("A.dic", "new a");
  AddSource("B.dic", "new b");
  lib().SetUserDicRoot(root);
  fakewin::AddFile(update, "old b");
  lib().SetList(kRegistered, {update});
  lib().SetList(kEnabled, {update});
  fakewin::ScriptMessageBoxes({IDYES});
  ReadyApp();

  EXPECT_EQ(1, app().InstallDictionaries());

  EXPECT_EQ(1u, MessageTexts().size());  // the question only
  EXPECT_EQ("new a", fakewin::FileContent(fresh));
  EXPECT_EQ("new b", fakewin::FileContent(update));
  EXPECT_EQ((Strings{update, fresh}), lib().List(kRegistered));
  EXPECT_EQ(Strings{update}, lib().List(kEnabled));
  // No name beside them fits: both are copied straight into place.
  EXPECT_EQ((Strings{"B.dic", "A.dic"}), fakewin::ListFolder(root));
  EXPECT_EQ(0, fakewin::CountCalls("MoveFileExA"));
}

TEST_F(CopyRegisterTest, StaleRegistrationsArePrunedBeforeTheFirstCopy) {
  AddSource("Legal.dic");
  fakewin::AddFile(kKeep);
  lib().SetList(kRegistered, {"D:\\Gone\\Old.dic", kKeep, "Z:\\NoDrive\\Old2.dic"});
  lib().SetList(kEnabled, {kKeep, "D:\\Gone\\Old.dic"});
  fakewin::FailNth("CopyFileA", 1);  // the lists as they were when copying began
  ReadyApp();

  EXPECT_EQ(0, app().InstallDictionaries());

  EXPECT_EQ(Strings{kKeep}, lib().List(kRegistered));
  EXPECT_EQ(Strings{kKeep}, lib().List(kEnabled));
  EXPECT_EQ(0, fakewin::OpenHandleCount());
}

TEST_F(CopyRegisterTest, PruningDropsOnlyWhatIsReallyGone) {
  AddSource("Legal.dic");
  const char kDenied[] = "N:\\Share\\Denied.dic";
  const char kWildcard[] = "C:\\Users\\taro\\Dic\\*.dic";
  fakewin::AddFile(kKeep);
  fakewin::AddFile(Dest("Match.dic"));  // what a search for the wildcard would find
  lib().SetList(kRegistered, {kDenied, kWildcard, "D:\\Gone\\Old.dic", kKeep});
  lib().SetList(kEnabled, {kWildcard, kDenied});
  ReadyApp();
  fakewin::FailNth("FindFirstFileA", 1, ERROR_ACCESS_DENIED);

  EXPECT_EQ(1, app().InstallDictionaries());

  EXPECT_EQ((Strings{kDenied, kKeep, kLegal}), lib().List(kRegistered));
  EXPECT_EQ(Strings{kDenied}, lib().List(kEnabled));
}

TEST_F(CopyRegisterTest, ATargetPathOf260BytesStopsBeforeAnythingChanges) {
  AddSource("A.dic");  // 256 bytes at the destination
  AddSource("Legal.dic");
  const std::string root = "C:\\" + std::string(247, 'D');
  lib().SetUserDicRoot(root);
  lib().SetList(kRegistered, {"D:\\Gone\\Old.dic"});
  ReadyApp();

  EXPECT_EQ(0, app().InstallDictionaries());

  EXPECT_EQ(Strings{"インストール先の辞書のパスが長すぎます.処理を中止します.\n\n辞書 : Legal.dic"}, MessageTexts());
  EXPECT_EQ(std::vector<UINT>{kStopStyle}, MessageStyles());
  EXPECT_EQ(Strings{"D:\\Gone\\Old.dic"}, lib().List(kRegistered));
  EXPECT_EQ(0, fakewin::CountCalls("CopyFileA"));
}

TEST_F(CopyRegisterTest, FailedPruningStopsBeforeAnyFile) {
  AddSource("Legal.dic");
  lib().SetList(kRegistered, {"D:\\Gone\\Old.dic"});
  ReadyApp();
  app().m_installedDics.Add("from before");
  lib().FailNth(testhost::kSetRegValue, 1, 5);

  EXPECT_EQ(0, app().InstallDictionaries());
  lib().FailReadsOf("OptionDic\\RegOptionDicNum", 5);
  EXPECT_EQ(0, app().InstallDictionaries());

  EXPECT_EQ((Strings{kRegisterFailed, kRegisterFailed}), MessageTexts());
  EXPECT_EQ((std::vector<UINT>{kStopStyle, kStopStyle}), MessageStyles());
  EXPECT_EQ(Strings{"from before"}, ToStrings(app().m_installedDics));
  EXPECT_EQ(0, fakewin::CountCalls("CopyFileA"));
}

TEST_F(CopyRegisterTest, FailedRegistrationOfTheTargetStopsWithBothListsAsBefore) {
  AddSource("Legal.dic");
  Lists({kOldLegal}, {kOldLegal});
  ReadyApp();

  lib().FailNth(testhost::kSetRegValue, 1, 5);
  fakewin::ScriptMessageBoxes({IDYES});
  EXPECT_EQ(0, app().InstallDictionaries());
  EXPECT_EQ(Strings{kOldLegal}, lib().List(kEnabled));
  EXPECT_EQ(Strings{kOldLegal}, lib().List(kRegistered));

  // The new entry is written, its count is not: it stays outside the list.
  lib().FailNth(testhost::kSetRegValue, 2, 5);
  fakewin::ScriptMessageBoxes({IDYES});
  EXPECT_EQ(0, app().InstallDictionaries());
  EXPECT_EQ(Strings{kOldLegal}, lib().List(kEnabled));
  EXPECT_EQ(Strings{kOldLegal}, lib().List(kRegistered));

  EXPECT_EQ((Strings{kLegalQuestionRegistered, kSettingFailed, kLegalQuestionRegistered, kSettingFailed}),
            MessageTexts());
  // The file was in place before it was registered.
  EXPECT_EQ(2, fakewin::CountCalls("CopyFileA"));
}

TEST_F(CopyRegisterTest, ARegistrationThatCannotBeReadCountsAsNotThere) {
  AddSource("Legal.dic", "new");
  Lists({kKeep, kOldLegal}, {kOldLegal});
  ReadyApp();
  // Pruning reads the count and two entries; then the lookup's read of entry 2 fails.
  lib().FailNth(testhost::kGetRegValue, 3 + 3, 5);

  EXPECT_EQ(1, app().InstallDictionaries());

  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ((Strings{kKeep, kOldLegal, kLegal}), lib().List(kRegistered));
  EXPECT_EQ(Strings{kOldLegal}, lib().List(kEnabled));
  EXPECT_EQ("new", fakewin::FileContent(kLegal));
}

TEST_F(CopyRegisterTest, AnEntryThatCannotBeReadIsPassedOverAndKept) {
  AddSource("A.dic");
  const char kGone[] = "D:\\Gone\\Old.dic";
  Lists({kKeep, kKeep}, {});
  lib().SetString("OptionDic\\RegOptionDic1", kGone);
  lib().SetDword("OptionDic\\RegOptionDic2", 7);  // a value of the wrong type
  lib().FailReadsOf("OptionDic\\RegOptionDic2", 13);
  lib().SetString("OptionDic\\RegOptionDic3", kKeep);
  lib().SetString("OptionDic\\RegOptionDic4", kKeep);
  lib().SetDword("OptionDic\\RegOptionDicNum", 4);
  lib().SetList(kEnabled, {kGone});
  ReadyApp();

  EXPECT_EQ(1, app().InstallDictionaries());

  // The stale entry before it would move entry 2, so it waits; the
  // duplicate after it goes. Its file gone, the stale entry's enabled
  // entry goes all the same.
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_TRUE(lib().List(kEnabled).empty());
  EXPECT_EQ(4u, lib().Dword("OptionDic\\RegOptionDicNum"));
  EXPECT_EQ(kGone, lib().String("OptionDic\\RegOptionDic1"));
  EXPECT_EQ(7u, lib().Dword("OptionDic\\RegOptionDic2"));
  EXPECT_EQ(kKeep, lib().String("OptionDic\\RegOptionDic3"));
  EXPECT_EQ(Dest("A.dic"), lib().String("OptionDic\\RegOptionDic4"));
}

TEST_F(CopyRegisterTest, PruningDropsEntriesThatNameNoFile) {
  AddSource("Legal.dic");
  const char kBadName[] = "C:\\bad|dir\\X.dic";
  const char kBadPath[] = "C:\\A\\Y.dic";
  Lists({kBadName, kKeep}, {kBadName});
  ReadyApp();
  fakewin::FailNth("FindFirstFileA", 1, ERROR_INVALID_NAME);
  EXPECT_EQ(1, app().InstallDictionaries());
  EXPECT_EQ((Strings{kKeep, kLegal}), lib().List(kRegistered));
  EXPECT_TRUE(lib().List(kEnabled).empty());

  Lists({kBadPath, kKeep}, {});
  fakewin::FailNth("FindFirstFileA", 1, ERROR_BAD_PATHNAME);
  fakewin::ScriptMessageBoxes({IDNO});
  EXPECT_EQ(1, app().InstallDictionaries());
  EXPECT_EQ(Strings{kKeep}, lib().List(kRegistered));
}

TEST_F(CopyRegisterTest, ProbeTellsAbsentFreeAndBusyApart) {
  MakeApp();
  fakewin::AddFile(Dest("free.dic"));
  fakewin::AddFile(Dest("ro.dic"), "", FILE_ATTRIBUTE_READONLY);
  fakewin::AddFile(Dest("held.dic"));
  fakewin::HoldForeignOpen(Dest("held.dic"), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  fakewin::AddFolder(Dest("folder.dic"));

  EXPECT_EQ(CInstallerApp::kTargetAbsent, app().ProbeTargetFile(Dest("none.dic").c_str()));
  EXPECT_EQ(CInstallerApp::kTargetAbsent, app().ProbeTargetFile("C:\\NoSuchFolder\\x.dic"));
  EXPECT_EQ(CInstallerApp::kTargetFree, app().ProbeTargetFile(Dest("free.dic").c_str()));
  // Windows refuses write access to a read-only file; Wine running as root
  // does not, so this is pinned here.
  EXPECT_EQ(CInstallerApp::kTargetBusy, app().ProbeTargetFile(Dest("ro.dic").c_str()));
  EXPECT_EQ(CInstallerApp::kTargetBusy, app().ProbeTargetFile(Dest("held.dic").c_str()));
  EXPECT_EQ(CInstallerApp::kTargetBusy, app().ProbeTargetFile(Dest("folder.dic").c_str()));
  // A search that fails for another reason than absence leaves it to the open.
  fakewin::FailNth("FindFirstFileA", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(CInstallerApp::kTargetFree, app().ProbeTargetFile(Dest("free.dic").c_str()));
  // Found, then gone with its folder before the open, or taken in between.
  fakewin::FailNth("CreateFileA", 1, ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(CInstallerApp::kTargetAbsent, app().ProbeTargetFile(Dest("free.dic").c_str()));
  fakewin::FailNth("CreateFileA", 1, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(CInstallerApp::kTargetBusy, app().ProbeTargetFile(Dest("free.dic").c_str()));
  EXPECT_EQ(0, fakewin::OpenHandleCount());
}

}  // namespace
