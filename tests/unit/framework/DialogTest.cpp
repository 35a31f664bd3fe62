// Modal dialogs: check-box exchange, the ways out, the owner, and failures.
#include <fakewin32.h>
#include <gtest/gtest.h>

#include <vector>

#include "FrameworkTestSupport.h"
#include "framework/Afx.h"

namespace {

using Step = fakewin::DialogStep;

constexpr int kTemplate = 130;
constexpr int kBoxA = 1001;
constexpr int kBoxB = 1002;

class CheckDlg : public CDialog {
 public:
  explicit CheckDlg(CWnd* pParent = nullptr) : CDialog(kTemplate, pParent) {}
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Check(pDX, kBoxA, a);
    DDX_Check(pDX, kBoxB, b);
  }
  BOOL OnInitDialog() override {
    fwtest::Exhaust(failInit);
    return CDialog::OnInitDialog();
  }
  int a = 1;
  int b = 0;
  fwtest::Exhaustion failInit = fwtest::Exhaustion::kNone;
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override { fakewin::Reset(); }
  fwtest::TestApp app;
};

TEST_F(DialogTest, FieldsLoadIntoTheBoxesAndOkSavesThem) {
  fakewin::ScriptDialog(kTemplate, {{Step::Uncheck, kBoxA}, {Step::Check, kBoxB}, {Step::Press, IDOK}});
  CheckDlg dlg;
  EXPECT_EQ(IDOK, dlg.DoModal());
  ASSERT_EQ(1u, fakewin::Dialogs().size());
  const fakewin::DialogRecord& run = fakewin::Dialogs()[0];
  EXPECT_TRUE(run.checksAtOpen.at(kBoxA));
  EXPECT_FALSE(run.checksAtOpen.at(kBoxB));
  EXPECT_EQ(0, dlg.a);
  EXPECT_EQ(1, dlg.b);
  EXPECT_EQ(nullptr, dlg.GetSafeHwnd());
}

TEST_F(DialogTest, CancelEscapeAndTheCloseBoxKeepTheFields) {
  const std::vector<Step> ways = {{Step::Press, IDCANCEL}, {Step::Escape, 0}, {Step::CloseBox, 0}};
  for (const Step& way : ways) {
    fakewin::ScriptDialog(kTemplate, {{Step::Uncheck, kBoxA}, {Step::Check, kBoxB}, way});
    CheckDlg dlg;
    EXPECT_EQ(IDCANCEL, dlg.DoModal()) << way.kind;
    EXPECT_EQ(1, dlg.a) << way.kind;
    EXPECT_EQ(0, dlg.b) << way.kind;
  }
}

TEST_F(DialogTest, ATemplateThatCannotOpenGivesMinusOne) {
  fakewin::FailDialog(kTemplate);
  CheckDlg dlg;
  EXPECT_EQ(-1, dlg.DoModal());
  EXPECT_EQ(1, dlg.a);
}

TEST_F(DialogTest, OwnerIsTheParentElseTheMainWindow) {
  CheckDlg unowned;
  unowned.DoModal();

  CWnd main;
  ASSERT_TRUE(main.CreateEx(0, nullptr, "main", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr));
  app.m_pMainWnd = &main;
  CheckDlg toMain;
  toMain.DoModal();

  CWnd other;
  ASSERT_TRUE(other.CreateEx(0, nullptr, "other", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr));
  CheckDlg toParent(&other);
  toParent.DoModal();
  app.m_pMainWnd = nullptr;

  const auto& runs = fakewin::Dialogs();
  ASSERT_EQ(3u, runs.size());
  EXPECT_EQ(nullptr, runs[0].owner);
  EXPECT_EQ(main.GetSafeHwnd(), runs[1].owner);
  EXPECT_TRUE(runs[1].ownerDisabled);
  EXPECT_EQ(other.GetSafeHwnd(), runs[2].owner);
}

TEST_F(DialogTest, ExceptionInsideTheDialogReachesTheCallerOfDoModal) {
  for (fwtest::Exhaustion how : fwtest::kEveryExhaustion) {
    fakewin::Reset();
    CheckDlg dlg;
    dlg.failInit = how;
    bool caught = false;
    try {
      dlg.DoModal();
    } catch (CMemoryException* e) {
      caught = true;
      e->Delete();
    }
    EXPECT_TRUE(caught);
    ASSERT_EQ(1u, fakewin::Dialogs().size());
    EXPECT_EQ(-1, fakewin::Dialogs()[0].result);
    EXPECT_EQ(nullptr, dlg.GetSafeHwnd());
  }
}

}  // namespace

namespace {

class PlacedDlg : public CheckDlg {
 public:
  BOOL OnInitDialog() override {
    BOOL result = CheckDlg::OnInitDialog();
    ::GetWindowRect(m_hWnd, &placed);
    return result;
  }
  RECT placed{};
};

TEST_F(DialogTest, OpensCentredOnTheScreenWhenItsOwnerIsHidden) {
  fakewin::ScriptDialog(kTemplate, {{Step::Press, IDOK}});
  PlacedDlg dlg;
  dlg.DoModal();
  RECT area;
  ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
  EXPECT_NEAR((area.left + area.right) / 2, (dlg.placed.left + dlg.placed.right) / 2, 1);
  EXPECT_NEAR((area.top + area.bottom) / 2, (dlg.placed.top + dlg.placed.bottom) / 2, 1);
}

}  // namespace

namespace {

// Opens a second dialog from inside its own run, as a command would.
class NestingDlg : public CheckDlg {
 public:
  BOOL OnInitDialog() override {
    BOOL result = CheckDlg::OnInitDialog();
    CheckDlg inner;
    inner.DoModal();
    return result;
  }
};

TEST_F(DialogTest, ADialogOpenedDuringAnotherIsOwnedByIt) {
  CWnd main;
  ASSERT_TRUE(main.CreateEx(0, nullptr, "main", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr));
  app.m_pMainWnd = &main;
  fakewin::ScriptDialog(kTemplate, {{Step::Press, IDOK}});
  fakewin::ScriptDialog(kTemplate, {{Step::Press, IDOK}});
  NestingDlg outer;
  outer.DoModal();
  app.m_pMainWnd = nullptr;

  ASSERT_EQ(2u, fakewin::Dialogs().size());
  const fakewin::DialogRecord& inner = fakewin::Dialogs()[0];
  const fakewin::DialogRecord& running = fakewin::Dialogs()[1];
  EXPECT_EQ(main.GetSafeHwnd(), running.owner);
  EXPECT_NE(nullptr, inner.owner);
  EXPECT_NE(main.GetSafeHwnd(), inner.owner) << "the running dialog must be locked under the new one";
  EXPECT_TRUE(inner.ownerDisabled);
}

}  // namespace
