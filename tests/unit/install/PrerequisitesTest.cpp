#include <fakewin32.h>
#include <gtest/gtest.h>

#include <string>

#include "install/InstallTestSupport.h"

namespace {

const char kNotInstalled[] = "Fumidori V1.0がインストールされていません.処理を中止します.";
const char kInvalid[] = "Fumidori のインストール状態が不正です.処理を中止します.";
const char kNoDics[] = "インストールする辞書がありません.処理を中止します.";
const char kNoUserRoot[] = "ユーザプロファイルのパスを取得できません.処理を中止します.";
const char kOutOfMemory[] = "メモリ不足のため処理できません.";
const char kHostKeyPath[] = "Software\\Heronix\\Fumidori\\1.0";

class PrerequisitesTest : public InstallTest {
 protected:
  void ExpectOnlyNotInstalled() {
    EXPECT_EQ(0, app().CheckHostInstalled());
    EXPECT_EQ(Strings{kNotInstalled}, MessageTexts());
    EXPECT_TRUE(app().m_strInstallPath.IsEmpty());
    EXPECT_EQ(0, fakewin::OpenKeyCount());
  }
};

TEST_F(PrerequisitesTest, HostInstalledAndStoreReady) {
  MakeApp();
  EXPECT_EQ(1, app().CheckHostInstalled());
  EXPECT_STREQ("C:\\Fumidori", app().m_strInstallPath);
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ(0, fakewin::OpenKeyCount());
}

void StoreInstallPathBytes(const std::string& bytes) {
  fakewin::SetRegRaw(HKEY_LOCAL_MACHINE, kHostKeyPath, "InstallPath", REG_SZ, bytes);
}

struct UnusableInstallPath {
  const char* name;
  void (*arrange)();
};

class NotInstalledTest : public PrerequisitesTest, public ::testing::WithParamInterface<UnusableInstallPath> {};

TEST_P(NotInstalledTest, OnlyTheNotInstalledMessage) {
  GetParam().arrange();
  MakeApp();
  ExpectOnlyNotInstalled();
}

INSTANTIATE_TEST_SUITE_P(
    InstallPath, NotInstalledTest,
    ::testing::Values(
        UnusableInstallPath{"KeyMissing", [] { fakewin::DeleteRegKey(HKEY_LOCAL_MACHINE, kHostKeyPath); }},
        UnusableInstallPath{"Empty", [] { StoreInstallPathBytes(std::string(1, '\0')); }},
        UnusableInstallPath{"ReadFails", [] { fakewin::FailNth("RegQueryValueExA", 1); }},
        // All 260 bytes taken and no terminator: nothing may be read beyond them.
        UnusableInstallPath{"FillsBufferUnterminated", [] { StoreInstallPathBytes(std::string(260, 'C')); }},
        UnusableInstallPath{
            "LongerThanBuffer",
            [] { fakewin::SetRegString(HKEY_LOCAL_MACHINE, kHostKeyPath, "InstallPath", std::string(260, 'C')); }}),
    [](const ::testing::TestParamInfo<UnusableInstallPath>& info) { return std::string(info.param.name); });

TEST_F(PrerequisitesTest, UnterminatedInstallPathShorterThanItsBufferIsTaken) {
  StoreInstallPathBytes(std::string(259, 'C'));
  MakeApp();
  EXPECT_EQ(1, app().CheckHostInstalled());
  EXPECT_EQ(std::string(259, 'C'), app().m_strInstallPath.GetString());
}

TEST_F(PrerequisitesTest, MissingHostIsReportedBeforeTheStoreIsTested) {
  fakewin::DeleteRegKey(HKEY_LOCAL_MACHINE, kHostKey);
  lib().Install({testhost::kGenerateUserDicRootPath, testhost::kGetRegValue, testhost::kSetRegValue,
                 testhost::kDeleteRegKeyData});
  MakeApp();
  ExpectOnlyNotInstalled();

  fakewin::SetRegString(HKEY_LOCAL_MACHINE, kHostKey, "InstallPath", kInstallPath);
  EXPECT_EQ(0, app().CheckHostInstalled());
  ASSERT_EQ((Strings{kNotInstalled, kInvalid}), MessageTexts());
  EXPECT_EQ((std::vector<UINT>{kStopStyle, kStopStyle}), MessageStyles());
  EXPECT_EQ(std::string(kTitle), fakewin::MessageBoxes()[1].caption);
}

TEST_F(PrerequisitesTest, ACopyBesideTheProgramDoesNotStandInForAMissingLibrary) {
  const char kPlanted[] = "C:\\KIT\\HRNCMN10.DLL";
  fakewin::RemoveFile(testhost::kCommonLibraryPath);
  lib().Install({}, kPlanted);
  MakeApp();
  EXPECT_EQ(0, app().CheckHostInstalled());
  EXPECT_EQ(Strings{kInvalid}, MessageTexts());
  EXPECT_EQ(0, fakewin::AttachCount(kPlanted));
}

TEST_F(PrerequisitesTest, SourceFolderIsProgramFolderFollowedByOption) {
  struct Case {
    const char* program;
    const char* folder;
  } const cases[] = {
      {"D:\\SETUP\\INSTALL.EXE", "D:\\SETUP\\option"},
      // 0x95 0x5C: the trail byte of this character is a backslash.
      {"C:\\表\\LexPlant.exe", "C:\\表\\option"},
      {"\\\\server\\share\\LexPlant.exe", "\\\\server\\share\\option"},
  };
  MakeApp();
  for (const Case& c : cases) {
    fakewin::SetModuleFileName(c.program);
    CString folder = "stale";
    EXPECT_EQ(1, app().GetSourceFolder(folder)) << c.program;
    EXPECT_STREQ(c.folder, folder) << c.program;
  }
  EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(PrerequisitesTest, ProgramPathWithoutAFaithfulFolderIsReportedAsLackOfMemory) {
  AddSource("A.dic");
  MakeApp();
  fakewin::FailNth("GetModuleFileNameA", 1);
  CString folder;
  EXPECT_EQ(0, app().GetSourceFolder(folder));

  // Cut at the 260-byte buffer (the result fills it), though what is left
  // would still name C:\KIT.
  fakewin::SetModuleFileName("C:\\KIT\\" + std::string(300, 'n') + ".exe");
  EXPECT_EQ(0, app().GetSourceFolder(folder));

  // A UNC folder has no drive part, and the split keeps at most 255 bytes of
  // folder: one of 257 would be cut and rebuilt as another folder.
  const std::string cutFolder = "\\\\srv\\" + std::string(250, 'd') + "\\";
  fakewin::SetModuleFileName(cutFolder + "a");
  EXPECT_EQ(0, app().GetSourceFolder(folder));
  const std::string wholeFolder = "\\\\srv\\" + std::string(248, 'd') + "\\";
  fakewin::SetModuleFileName(wholeFolder + "a");
  EXPECT_EQ(1, app().GetSourceFolder(folder));
  EXPECT_EQ(wholeFolder + "option", folder.GetString());

  // Cut inside its folder part and left without a NUL, as Windows XP does.
  fakewin::SetModuleNameCutWithoutNul(true);
  fakewin::SetModuleFileName("C:\\" + std::string(300, 'd') + "\\LexPlant.exe");
  EXPECT_EQ(0, app().GetSourceFolder(folder));
  fakewin::SetModuleNameCutWithoutNul(false);

  fakewin::SetModuleFileName("C:\\KIT\\LexPlant.exe");
  fakewin::FailNth("GetModuleFileNameA", 1);
  EXPECT_EQ(0, app().PrepareSources());
  EXPECT_EQ((Strings{kOutOfMemory, kOutOfMemory, kOutOfMemory, kOutOfMemory, kOutOfMemory}), MessageTexts());
  EXPECT_TRUE(lib().CallsOf(testhost::kGenerateUserDicRootPath).empty());
}

TEST_F(PrerequisitesTest, CollectsDicFilesByNameAndAttributes) {
  AddSource("A.DIC");
  AddSource("b.Dic");
  AddSource("c.dic.bak");
  fakewin::AddFile(std::string(kSourceFolder) + "\\x.dic", "", FILE_ATTRIBUTE_HIDDEN);
  fakewin::AddFile(std::string(kSourceFolder) + "\\y.dic", "", FILE_ATTRIBUTE_SYSTEM);
  fakewin::AddFolder(std::string(kSourceFolder) + "\\z.dic");
  fakewin::AddFile(std::string(kSourceFolder) + "\\r.dic", "", FILE_ATTRIBUTE_READONLY);
  AddSource(".dic");
  AddSource("dic");
  AddSource("表.dic");
  MakeApp();

  EXPECT_EQ(1, app().PrepareSources());
  EXPECT_EQ((Strings{"C:\\KIT\\option\\A.DIC", "C:\\KIT\\option\\b.Dic", "C:\\KIT\\option\\r.dic",
                     "C:\\KIT\\option\\.dic", "C:\\KIT\\option\\表.dic"}),
            ToStrings(app().m_sourceDics));
  EXPECT_STREQ(kUserDicRoot, app().m_strUserDicRoot);
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ(0, fakewin::OpenHandleCount());
}

TEST_F(PrerequisitesTest, AListingThatFailsBeforeItsEndStopsBeforeAnythingIsAsked) {
  AddSource("A.dic");
  AddSource("B.dic");
  MakeApp();
  // The listing gives ".", "..", A.dic, then fails instead of giving B.dic.
  fakewin::FailNth("FindNextFileA", 3, ERROR_GEN_FAILURE);

  EXPECT_EQ(0, app().PrepareSources());

  EXPECT_EQ(Strings{"インストールする辞書の一覧を取得できません.処理を中止します."}, MessageTexts());
  EXPECT_EQ(std::vector<UINT>{kStopStyle}, MessageStyles());
  EXPECT_EQ(0, app().m_sourceDics.GetSize());
  EXPECT_TRUE(lib().CallsOf(testhost::kGenerateUserDicRootPath).empty());
  EXPECT_EQ(0, fakewin::OpenHandleCount());
}

TEST_F(PrerequisitesTest, NoDictionaryStopsBeforeTheUserFolderIsAsked) {
  AddSource("readme.txt");
  AddSource("dic");
  MakeApp();
  EXPECT_EQ(0, app().PrepareSources());

  fakewin::SetModuleFileName("D:\\Elsewhere\\LexPlant.exe");  // no option folder there
  EXPECT_EQ(0, app().PrepareSources());

  EXPECT_EQ((Strings{kNoDics, kNoDics}), MessageTexts());
  EXPECT_TRUE(lib().CallsOf(testhost::kGenerateUserDicRootPath).empty());
  EXPECT_EQ(0, fakewin::OpenHandleCount());
}

TEST_F(PrerequisitesTest, UserFolderIsTakenWholeOrRefused) {
  AddSource("A.dic");
  lib().SetUserDicRoot(std::string(259, 'U'));
  MakeApp();
  EXPECT_EQ(1, app().PrepareSources());
  EXPECT_EQ(std::string(259, 'U'), app().m_strUserDicRoot.GetString());

  lib().SetUserDicRoot(kUserDicRoot, 0);
  EXPECT_EQ(0, app().PrepareSources());
  lib().SetUserDicRoot("", 1);
  EXPECT_EQ(0, app().PrepareSources());
  // All 260 bytes filled and no terminator: where the folder ends is unknown.
  lib().SetUserDicRoot(std::string(260, 'U'), 1);
  EXPECT_EQ(0, app().PrepareSources());

  EXPECT_EQ((Strings{kNoUserRoot, kNoUserRoot, kNoUserRoot}), MessageTexts());
  const auto calls = lib().CallsOf(testhost::kGenerateUserDicRootPath);
  ASSERT_EQ(4u, calls.size());
  for (const testhost::LibCall& call : calls) {
    EXPECT_EQ("odic", call.path);
    EXPECT_EQ(1u, call.flags);
  }
}

TEST_F(PrerequisitesTest, TooLongSourcePathStopsBeforeAnythingIsAskedOrChanged) {
  // 14 bytes of folder and separator: a name of 245 bytes makes 259, one more 260.
  const std::string fits = std::string(241, 'F') + ".dic";
  const std::string tooLong = std::string(242, 'L') + ".dic";
  AddSource(fits);
  AddSource(std::string(250, 'T') + ".txt");
  AddSource(tooLong);
  AddSource("Never.dic");
  MakeApp();
  lib().ClearCalls();

  EXPECT_EQ(1, app().CheckHostInstalled());
  EXPECT_EQ(0, app().PrepareSources());

  EXPECT_EQ(Strings{"インストールする辞書のパスが長すぎます.処理を中止します.\n\n辞書 : " + tooLong}, MessageTexts());
  EXPECT_EQ(std::vector<UINT>{kStopStyle}, MessageStyles());
  EXPECT_TRUE(app().m_sourceDics.IsEmpty());
  EXPECT_TRUE(lib().Calls().empty());
  EXPECT_EQ(0, fakewin::CountCalls("CopyFileA"));
  EXPECT_TRUE(fakewin::ListFolder(kUserDicRoot).empty());
  EXPECT_EQ(0, fakewin::OpenHandleCount());

  fakewin::RemoveFile(std::string(kSourceFolder) + "\\" + tooLong);
  EXPECT_EQ(1, app().PrepareSources());
  EXPECT_EQ((Strings{std::string(kSourceFolder) + "\\" + fits, "C:\\KIT\\option\\Never.dic"}),
            ToStrings(app().m_sourceDics));
}

}  // namespace
