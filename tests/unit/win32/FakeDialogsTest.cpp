#include <fakewin32.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

const int kTemplate = 130;
const int kEnableNow = 1001;
const int kStartToolkit = 1002;

std::vector<std::string> g_events;

// Ticks the first box at start; OK reads both boxes, Cancel ends with IDCANCEL.
INT_PTR CALLBACK TwoBoxProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      CheckDlgButton(dlg, kEnableNow, BST_CHECKED);
      return TRUE;
    case WM_COMMAND:
      g_events.push_back("command " + std::to_string(LOWORD(wParam)));
      if (LOWORD(wParam) == IDOK) {
        auto* out = reinterpret_cast<UINT*>(GetWindowLongPtrA(dlg, DWLP_USER));
        out[0] = IsDlgButtonChecked(dlg, kEnableNow);
        out[1] = IsDlgButtonChecked(dlg, kStartToolkit);
        EndDialog(dlg, IDOK);
      } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK StubbornProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

class FakeDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakewin::Reset();
    g_events.clear();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "Frame";
    RegisterClassA(&wc);
    m_owner = CreateWindowExA(0, "Frame", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  }

  INT_PTR Run(UINT* boxes) {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kTemplate), m_owner, TwoBoxProc,
                           reinterpret_cast<LPARAM>(boxes));
  }

  HWND m_owner = nullptr;
};

TEST_F(FakeDialogsTest, AScriptClicksBoxesAndPressesOkWhileTheOwnerIsDisabled) {
  fakewin::ScriptDialog(kTemplate, {{fakewin::DialogStep::Uncheck, kEnableNow},
                                    {fakewin::DialogStep::Check, kStartToolkit},
                                    {fakewin::DialogStep::Check, kStartToolkit},  // already ticked: no click
                                    {fakewin::DialogStep::Press, IDOK}});
  UINT boxes[2] = {9, 9};
  EXPECT_EQ(IDOK, Run(boxes));
  EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), boxes[0]);
  EXPECT_EQ(static_cast<UINT>(BST_CHECKED), boxes[1]);
  EXPECT_EQ((std::vector<std::string>{"command 1001", "command 1002", "command 1"}), g_events);

  ASSERT_EQ(1u, fakewin::Dialogs().size());
  const fakewin::DialogRecord& record = fakewin::Dialogs()[0];
  EXPECT_EQ(kTemplate, record.templateId);
  EXPECT_EQ(m_owner, record.owner);
  EXPECT_TRUE(record.ownerDisabled);
  EXPECT_EQ((std::map<int, bool>{{kEnableNow, true}}), record.checksAtOpen);
  EXPECT_EQ((std::map<int, bool>{{kEnableNow, false}, {kStartToolkit, true}}), record.checksAtClose);
  EXPECT_TRUE(IsWindowEnabled(m_owner));
  EXPECT_EQ((std::vector<HWND>{m_owner}), fakewin::ProgramWindows());  // the dialog window is gone
}

TEST_F(FakeDialogsTest, WithoutAScriptTheDialogIsEscapedAndScriptsAreUsedOncePerRun) {
  fakewin::ScriptDialog(kTemplate, {{fakewin::DialogStep::CloseBox, 0}});
  UINT boxes[2] = {};
  EXPECT_EQ(IDCANCEL, Run(boxes));
  EXPECT_EQ(IDCANCEL, Run(boxes));
  EXPECT_EQ((std::vector<std::string>{"command 2", "command 2"}), g_events);
  EXPECT_EQ(2u, fakewin::Dialogs().size());
}

TEST_F(FakeDialogsTest, AFailingDialogReturnsMinusOneWithoutRunningItsProcedure) {
  fakewin::FailDialog(kTemplate);
  UINT boxes[2] = {};
  EXPECT_EQ(-1, Run(boxes));
  EXPECT_TRUE(g_events.empty());
  EXPECT_TRUE(fakewin::Dialogs().empty());
  EXPECT_EQ(IDCANCEL, Run(boxes));  // only the next run fails
}

TEST_F(FakeDialogsTest, ADialogThatNeverEndsIsATestBug) {
  EXPECT_DEATH(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(100), nullptr, StubbornProc, 0), "did not end");
}

TEST(FakeMessageBoxTest, AnswersComeFromTheScriptThenFromTheDefaultButton) {
  fakewin::Reset();
  std::vector<std::string> shown;
  fakewin::OnMessageBox([&](const std::string& text) { shown.push_back(text); });
  fakewin::ScriptMessageBoxes({IDOK});
  EXPECT_EQ(IDOK, MessageBoxA(nullptr, "first", "T", MB_OKCANCEL | MB_ICONEXCLAMATION));
  EXPECT_EQ(IDCANCEL, MessageBoxA(nullptr, "second", "T", MB_OKCANCEL));
  EXPECT_EQ(IDNO, MessageBoxA(nullptr, "third", "T", MB_YESNO | MB_ICONEXCLAMATION));
  EXPECT_EQ(IDOK, MessageBoxA(nullptr, "fourth", "T", MB_OK | MB_ICONSTOP));
  EXPECT_EQ((std::vector<std::string>{"first", "second", "third", "fourth"}), shown);
  ASSERT_EQ(4u, fakewin::MessageBoxes().size());
  EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION), fakewin::MessageBoxes()[2].type);
  EXPECT_EQ("T", fakewin::MessageBoxes()[2].caption);
}

}  // namespace
