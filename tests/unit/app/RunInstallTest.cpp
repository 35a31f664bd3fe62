// The whole program as Windows starts it: AfxWinMain on a fresh installer,
// the user's answers scripted, then what was shown, written and started.
#include <fakewin32.h>
#include <gtest/gtest.h>

#include <imm.h>

#include <algorithm>
#include <new>

#include "app/FailingNew.h"
#include "framework/Afx.h"
#include "support/AppFixture.h"
#include "ui/MainFrm.h"
#include "ui/resource.h"

namespace {

using Step = fakewin::DialogStep;

const char kMemoryMessage[] = "メモリ不足のため処理できません.";
const char kToolkitQuestion[] =
    "辞書ツールキットが起動中です.\nオプション辞書をインストールする場合は,辞書ツールキットを閉じて「OK」を押してください.";
const char kNotInstalled[] = "Fumidori V1.0がインストールされていません.処理を中止します.";
const char kSettingFailed[] = "オプション辞書の設定に失敗しました.処理を中止します.";
const char kCannotEnable[] =
    "インストールしたオプション辞書を有効にできません.\n辞書ツールキットを起動し,有効にするオプション辞書を選択してください.";
const char kToolkitClass[] = "HRN10_DICMANAGER_MAIN";

class RunInstallTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    AddSource("Legal.dic");
  }

  // Runs the program's start-up; returns its exit code.
  int Run() {
    MakeApp();
    return AfxWinMain(::GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL);
  }

  static void Install() { fakewin::ScriptDialog(IDD_CONFIRM, {{Step::Press, IDOK}}); }

  static int DialogCount(int templateId) {
    int n = 0;
    for (const auto& d : fakewin::Dialogs()) n += d.templateId == templateId;
    return n;
  }

  static bool NothingWritten() {
    return testhost::CommonLibrary::Get().CallsOf(testhost::kSetRegValue).empty() &&
           testhost::CommonLibrary::Get().CallsOf(testhost::kDeleteRegKeyData).empty() &&
           fakewin::CountCalls("CopyFileA") == 0;
  }

  HWND AddImeWindow() { return fakewin::AddForeignWindow(nullptr, "HRN10UI", "Fumidori HRN10_UI_MAIN"); }
};

class LeaveConfirmationTest : public RunInstallTest, public ::testing::WithParamInterface<Step> {};

TEST_P(LeaveConfirmationTest, EndsTheRunSilently) {
  fakewin::ScriptDialog(IDD_CONFIRM, {GetParam()});
  EXPECT_EQ(0, Run());
  ASSERT_EQ(1u, fakewin::Dialogs().size());
  EXPECT_EQ(IDCANCEL, fakewin::Dialogs()[0].result);
  EXPECT_TRUE(fakewin::MessageBoxes().empty());
  EXPECT_TRUE(NothingWritten());
  EXPECT_TRUE(fakewin::ProgramWindows().empty()) << "the hidden frame must be gone";
}

INSTANTIATE_TEST_SUITE_P(CancelEscapeAndCloseBox, LeaveConfirmationTest,
                         ::testing::Values(Step{Step::Press, IDCANCEL}, Step{Step::Escape, 0},
                                           Step{Step::CloseBox, 0}));

TEST_F(RunInstallTest, AConfirmationThatCannotOpenEndsTheRun) {
  fakewin::FailDialog(IDD_CONFIRM);
  EXPECT_EQ(0, Run());
  EXPECT_TRUE(fakewin::MessageBoxes().empty());
  EXPECT_TRUE(NothingWritten());
}

TEST_F(RunInstallTest, DialogsAreOwnedByTheHiddenFrame) {
  fakewin::ScriptDialog(IDD_CONFIRM, {{Step::Press, IDCANCEL}});
  Run();
  ASSERT_EQ(1u, fakewin::Dialogs().size());
  EXPECT_NE(nullptr, fakewin::Dialogs()[0].owner);
  EXPECT_TRUE(fakewin::Dialogs()[0].ownerDisabled);
  EXPECT_EQ(0, fakewin::CountCalls("ShowWindow"));
  EXPECT_EQ(0, fakewin::CountCalls("UpdateWindow"));
}

TEST_F(RunInstallTest, TheFrameHasOneIconForBothSizesAndNoCloseItem) {
  // The toolkit question keeps the run going long enough to inspect the frame.
  fakewin::AddForeignWindow(nullptr, kToolkitClass, "toolkit");
  Install();
  HWND frame = nullptr;
  fakewin::OnMessageBox([&](const std::string&) {
    for (HWND w : fakewin::ProgramWindows()) {
      if (fakewin::WindowStyle(w) & WS_CHILD) continue;
      if (fakewin::WindowClassName(w) == "#32770") continue;
      frame = w;
    }
    ASSERT_NE(nullptr, frame);
    EXPECT_FALSE(fakewin::WindowStyle(frame) & WS_VISIBLE);
    EXPECT_FALSE(fakewin::HasMenu(frame));
    EXPECT_FALSE(fakewin::SystemMenuHasClose(frame));
    EXPECT_NE(nullptr, fakewin::WindowIcon(frame, ICON_BIG));
    EXPECT_EQ(fakewin::WindowIcon(frame, ICON_BIG), fakewin::WindowIcon(frame, ICON_SMALL));
  });
  fakewin::ScriptMessageBoxes({IDCANCEL});
  Run();
  ASSERT_EQ(1u, fakewin::MessageBoxes().size());
  EXPECT_EQ(frame, fakewin::MessageBoxes()[0].owner);
  EXPECT_EQ(kTitle, fakewin::MessageBoxes()[0].caption);
}

TEST_F(RunInstallTest, AFailingCheckShowsOnlyItsOwnMessage) {
  fakewin::DeleteRegKey(HKEY_LOCAL_MACHINE, kHostKey);
  fakewin::AddForeignWindow(nullptr, kToolkitClass, "toolkit");
  Install();
  Run();
  EXPECT_EQ(std::vector<std::string>{kNotInstalled}, MessageTexts());
  EXPECT_EQ(0, fakewin::CountCalls("FindWindowA")) << "no toolkit question before the checks pass";
  EXPECT_TRUE(NothingWritten());
}

TEST_F(RunInstallTest, TheSearchIsLimitedBeforeTheStoreLooksAndACopyBesideTheProgramNeverRuns) {
  const char kPlanted[] = "C:\\KIT\\HRNCMN10.DLL";
  fakewin::AddModule(kPlanted, {});
  Install();
  Run();
  EXPECT_EQ(1, DialogCount(IDD_COMPLETE));  // installed through the system folder's library
  EXPECT_EQ(0, fakewin::AttachCount(kPlanted));
  const std::vector<std::string>& calls = fakewin::Calls();
  auto first = [&](const std::string& call) {
    return std::find_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(call, 0) == 0; });
  };
  const auto search = first("GetFileAttributesA");
  EXPECT_LT(first("SetDllDirectoryA "), search);
  // The system folder and the host's folders as they become known.
  EXPECT_LT(first("SetDefaultDllDirectories 3072"), search);
  EXPECT_LT(search, first("LoadLibraryExA"));
}

TEST_F(RunInstallTest, TheToolkitQuestionRepeatsUntilCancelled) {
  fakewin::AddForeignWindow(nullptr, kToolkitClass, "toolkit");
  Install();
  fakewin::ScriptMessageBoxes({IDOK, IDOK, IDCANCEL});
  Run();
  ASSERT_EQ(3u, fakewin::MessageBoxes().size());
  for (const auto& box : fakewin::MessageBoxes()) {
    EXPECT_EQ(kToolkitQuestion, box.text);
    EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONEXCLAMATION), box.type);
  }
  EXPECT_TRUE(NothingWritten());
  EXPECT_EQ(0, DialogCount(IDD_COMPLETE));
}

TEST_F(RunInstallTest, ClosingTheToolkitThenOkGoesOnToInstall) {
  HWND toolkit = fakewin::AddForeignWindow(nullptr, kToolkitClass, "toolkit");
  Install();
  fakewin::OnMessageBox([&](const std::string& text) {
    if (text == kToolkitQuestion && fakewin::MessageBoxes().size() == 2) fakewin::RemoveForeignWindow(toolkit);
  });
  fakewin::ScriptMessageBoxes({IDOK, IDOK});
  fakewin::ScriptDialog(IDD_COMPLETE,
                        {{Step::Uncheck, IDC_ENABLE_NOW}, {Step::Uncheck, IDC_LAUNCH_TOOLKIT}, {Step::Press, IDOK}});
  Run();
  EXPECT_EQ(2u, fakewin::MessageBoxes().size());
  EXPECT_TRUE(fakewin::FileExists(std::string(kUserDicRoot) + "\\Legal.dic"));
  EXPECT_EQ(1, DialogCount(IDD_COMPLETE));
}

TEST_F(RunInstallTest, DecliningEveryOverwriteEndsWithoutTheCompletionDialog) {
  fakewin::AddFile(std::string(kUserDicRoot) + "\\Legal.dic", "old");
  Install();
  fakewin::ScriptMessageBoxes({IDNO});
  Run();
  EXPECT_EQ(1u, fakewin::MessageBoxes().size());
  EXPECT_EQ(0, DialogCount(IDD_COMPLETE));
  EXPECT_EQ("old", fakewin::FileContent(std::string(kUserDicRoot) + "\\Legal.dic"));
}

TEST_F(RunInstallTest, BothBoxesOpenTickedAndClearedBoxesDoNothingMore) {
  HWND ime = AddImeWindow();
  Install();
  fakewin::ScriptDialog(IDD_COMPLETE,
                        {{Step::Uncheck, IDC_ENABLE_NOW}, {Step::Uncheck, IDC_LAUNCH_TOOLKIT}, {Step::Press, IDOK}});
  Run();
  ASSERT_EQ(1, DialogCount(IDD_COMPLETE));
  const auto& complete = fakewin::Dialogs().back();
  EXPECT_TRUE(complete.checksAtOpen.at(IDC_ENABLE_NOW));
  EXPECT_TRUE(complete.checksAtOpen.at(IDC_LAUNCH_TOOLKIT));
  EXPECT_TRUE(lib().List(true).empty());
  EXPECT_TRUE(engine().Calls().empty());
  EXPECT_TRUE(fakewin::MessagesTo(ime).empty());
  EXPECT_TRUE(fakewin::ShellExecutes().empty());
  EXPECT_TRUE(fakewin::MessageBoxes().empty());
}

TEST_F(RunInstallTest, EscapeOnTheCompletionDialogKeepsBothOptions) {
  HWND ime = AddImeWindow();
  Install();
  fakewin::ScriptDialog(IDD_COMPLETE,
                        {{Step::Uncheck, IDC_ENABLE_NOW}, {Step::Uncheck, IDC_LAUNCH_TOOLKIT}, {Step::Escape, 0}});
  Run();
  const std::string installed = std::string(kUserDicRoot) + "\\Legal.dic";
  EXPECT_EQ(std::vector<std::string>{installed}, lib().List(true));
  ASSERT_EQ(1u, engine().Calls().size());
  EXPECT_EQ(std::vector<std::string>{installed}, engine().Calls()[0].paths);
  auto sent = fakewin::MessagesTo(ime);
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(static_cast<UINT>(WM_IME_NOTIFY), sent[0].message);
  EXPECT_EQ(static_cast<WPARAM>(IMN_PRIVATE), sent[0].wParam);
  EXPECT_EQ(1975, sent[0].lParam);
  ASSERT_EQ(1u, fakewin::ShellExecutes().size());
  const auto& start = fakewin::ShellExecutes()[0];
  EXPECT_EQ("C:\\Fumidori\\CMD\\HRNDIC.EXE", start.file);
  EXPECT_EQ("", start.verb);
  EXPECT_EQ(nullptr, start.owner);
  EXPECT_EQ(SW_SHOW, start.show);
}

TEST_F(RunInstallTest, OnlyTheToolkitBoxStartsTheToolkitWithoutEnabling) {
  HWND ime = AddImeWindow();
  Install();
  fakewin::ScriptDialog(IDD_COMPLETE, {{Step::Uncheck, IDC_ENABLE_NOW}, {Step::Press, IDOK}});
  Run();
  EXPECT_TRUE(lib().List(true).empty());
  EXPECT_TRUE(fakewin::MessagesTo(ime).empty());
  EXPECT_EQ(1u, fakewin::ShellExecutes().size());
}

TEST_F(RunInstallTest, AFailedEnablingSkipsTheBroadcastAndTheToolkit) {
  HWND ime = AddImeWindow();
  Install();
  // Registration writes entry and count; the third write is the enabled entry.
  lib().FailNth(testhost::kSetRegValue, 3, 5);
  fakewin::ScriptDialog(IDD_COMPLETE, {{Step::Press, IDOK}});
  Run();
  EXPECT_EQ(std::vector<std::string>{kSettingFailed}, MessageTexts());
  EXPECT_TRUE(fakewin::MessagesTo(ime).empty());
  EXPECT_TRUE(fakewin::ShellExecutes().empty());
}

TEST_F(RunInstallTest, AnEnablingWarningStillBroadcastsAndStartsTheToolkit) {
  HWND ime = AddImeWindow();
  Install();
  engine().SetResult(1);
  fakewin::ScriptDialog(IDD_COMPLETE, {{Step::Press, IDOK}});
  Run();
  EXPECT_EQ(std::vector<std::string>{kCannotEnable}, MessageTexts());
  EXPECT_EQ(1u, fakewin::MessagesTo(ime).size());
  EXPECT_EQ(1u, fakewin::ShellExecutes().size());
}

TEST_F(RunInstallTest, TheToolkitPathKeepsTheInstallPathAsStored) {
  fakewin::SetRegString(HKEY_LOCAL_MACHINE, kHostKey, "InstallPath", "C:\\Fumidori\\");
  engine().Install("C:\\Fumidori\\");
  Install();
  fakewin::ScriptDialog(IDD_COMPLETE, {{Step::Uncheck, IDC_ENABLE_NOW}, {Step::Press, IDOK}});
  Run();
  ASSERT_EQ(1u, fakewin::ShellExecutes().size());
  EXPECT_EQ("C:\\Fumidori\\\\CMD\\HRNDIC.EXE", fakewin::ShellExecutes()[0].file);
}

TEST_F(RunInstallTest, MemoryExhaustionShowsOneMessageAndKeepsWhatWasInstalled) {
  AddSource("Second.dic");
  Install();
  engine().OnCall([] { AfxThrowMemoryException(); });
  fakewin::ScriptDialog(IDD_COMPLETE, {{Step::Press, IDOK}});
  EXPECT_EQ(0, Run());
  ASSERT_EQ(1u, fakewin::MessageBoxes().size());
  EXPECT_EQ(kMemoryMessage, fakewin::MessageBoxes()[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), fakewin::MessageBoxes()[0].type);
  EXPECT_EQ(2u, lib().List(false).size());
  EXPECT_TRUE(fakewin::ShellExecutes().empty());
  EXPECT_TRUE(fakewin::ProgramWindows().empty());
}

TEST_F(RunInstallTest, AnyFrameworkExceptionGetsTheMemoryMessage) {
  Install();
  engine().OnCall([] { throw new CException; });
  fakewin::ScriptDialog(IDD_COMPLETE, {{Step::Press, IDOK}});
  EXPECT_EQ(0, Run());
  EXPECT_EQ(std::vector<std::string>{kMemoryMessage}, MessageTexts());
}

TEST_F(RunInstallTest, TheStandardLibrarysExhaustionGetsTheMemoryMessageToo) {
  Install();
  engine().OnCall([] { throw std::bad_alloc(); });
  fakewin::ScriptDialog(IDD_COMPLETE, {{Step::Press, IDOK}});
  EXPECT_EQ(0, Run());
  EXPECT_EQ(std::vector<std::string>{kMemoryMessage}, MessageTexts());
}

TEST_F(RunInstallTest, NoMemoryForTheFrameGetsTheMemoryMessage) {
  Install();
  failing_new::FailSize(sizeof(CMainFrame));
  EXPECT_EQ(0, Run());
  failing_new::FailSize(0);
  EXPECT_EQ(std::vector<std::string>{kMemoryMessage}, MessageTexts());
  EXPECT_TRUE(fakewin::Dialogs().empty());
  EXPECT_TRUE(fakewin::ProgramWindows().empty());
}

TEST_F(RunInstallTest, NoMemoryWhileTheProgramStartsIsToldAfterTheDisclaimer) {
  Install();
  // The first framework allocation is the library's path, while the global
  // installer is built: there a throw would end the process unseen.
  fakewin::FailNth("HeapAlloc", 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(0, Run());
  EXPECT_EQ(std::vector<std::string>{kMemoryMessage}, MessageTexts());
  EXPECT_TRUE(NothingWritten());
}

TEST_F(RunInstallTest, HeapExhaustionInsideTheFrameworkReachesTheSameHandler) {
  HWND toolkit = fakewin::AddForeignWindow(nullptr, kToolkitClass, "toolkit");
  Install();
  // From the toolkit question on, every framework allocation fails.
  fakewin::OnMessageBox([&](const std::string& text) {
    if (text != kToolkitQuestion) return;
    fakewin::RemoveForeignWindow(toolkit);
    fakewin::FailAlways("HeapAlloc", ERROR_NOT_ENOUGH_MEMORY);
  });
  fakewin::ScriptMessageBoxes({IDOK});
  EXPECT_EQ(0, Run());
  EXPECT_EQ((std::vector<std::string>{kToolkitQuestion, kMemoryMessage}), MessageTexts());
  EXPECT_TRUE(fakewin::ProgramWindows().empty());
}

TEST_F(RunInstallTest, TheTitleOfEveryMessageComesFromTheStringTable) {
  fakewin::SetResourceString(0xE000, "Title from the table");
  fakewin::DeleteRegKey(HKEY_LOCAL_MACHINE, kHostKey);
  Install();
  CInstallerApp installer;
  AfxWinMain(::GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL);
  ASSERT_EQ(1u, fakewin::MessageBoxes().size());
  EXPECT_EQ("Title from the table", fakewin::MessageBoxes()[0].caption);
}

TEST_F(RunInstallTest, TheAboutCommandRunsTheVersionBoxOwnedByTheFrame) {
  CInstallerApp& installer = MakeApp();
  CMainFrame* pFrame = new CMainFrame;
  installer.m_pMainWnd = pFrame;
  ASSERT_TRUE(pFrame->LoadFrame(IDR_MAINFRAME));
  ::SendMessageA(pFrame->m_hWnd, WM_COMMAND, MAKEWPARAM(ID_APP_ABOUT, 0), 0);
  ASSERT_EQ(1u, fakewin::Dialogs().size());
  EXPECT_EQ(IDD_ABOUTBOX, fakewin::Dialogs()[0].templateId);
  EXPECT_EQ(pFrame->m_hWnd, fakewin::Dialogs()[0].owner);
  pFrame->DestroyWindow();
}

}  // namespace
