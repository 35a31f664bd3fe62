// Start-up through AfxWinMain, the application's title, and message boxes.
#include <fakewin32.h>
#include <gtest/gtest.h>

#include "FrameworkTestSupport.h"
#include "framework/Afx.h"

namespace {

using fwtest::TrackedFrame;

constexpr int kExitCode = 7;

// Creates a hidden main frame and declines to run, as the installer does.
class OneShotApp : public fwtest::TestApp {
 public:
  BOOL InitInstance() override {
    auto* frame = new TrackedFrame(&frameAlive);
    m_pMainWnd = frame;
    frame->LoadFrame(fwtest::kFrameId);
    hFrame = frame->GetSafeHwnd();
    titleDuringInit = AfxGetAppName();
    return FALSE;
  }
  int ExitInstance() override {
    mainWndAtExit = m_pMainWnd;
    return kExitCode;
  }
  bool frameAlive = false;
  HWND hFrame = nullptr;
  CString titleDuringInit;
  CWnd* mainWndAtExit = reinterpret_cast<CWnd*>(1);
};

class WinAppTest : public ::testing::Test {
 protected:
  void SetUp() override { fakewin::Reset(); }
  static int Main() { return AfxWinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL); }
};

TEST_F(WinAppTest, DecliningInitInstanceDestroysTheFrameWithoutALoop) {
  fakewin::SetResourceString(AFX_IDS_APP_TITLE, fwtest::kFrameTitle);
  OneShotApp app;
  EXPECT_EQ(kExitCode, Main());
  EXPECT_STREQ(fwtest::kFrameTitle, app.titleDuringInit);
  ASSERT_NE(nullptr, app.hFrame);
  EXPECT_FALSE(app.frameAlive);
  EXPECT_FALSE(IsWindow(app.hFrame));
  EXPECT_EQ(nullptr, app.mainWndAtExit);
  EXPECT_EQ(0, fakewin::CountCalls("GetMessageA"));
}

TEST_F(WinAppTest, TitleFallsBackToTheProgramNameOrKeepsTheGivenOne) {
  {
    OneShotApp app;
    Main();
    EXPECT_STREQ("LexPlant", app.titleDuringInit);
  }
  fakewin::SetResourceString(AFX_IDS_APP_TITLE, fwtest::kFrameTitle);
  fwtest::TestApp named("名前");
  EXPECT_STREQ("名前", AfxGetAppName());
}

TEST_F(WinAppTest, MessageBoxesAreCaptionedWithTheTitleAndOwnedByTheMainWindow) {
  fakewin::SetResourceString(AFX_IDS_APP_TITLE, fwtest::kFrameTitle);
  fwtest::TestApp app;
  fakewin::ScriptMessageBoxes({IDCANCEL, IDOK});
  EXPECT_EQ(IDCANCEL, AfxMessageBox("質問", MB_OKCANCEL | MB_ICONEXCLAMATION));

  CWnd main;
  ASSERT_TRUE(main.CreateEx(0, nullptr, "main", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr));
  app.m_pMainWnd = &main;
  EXPECT_EQ(IDOK, AfxMessageBox("止まります", MB_OK | MB_ICONSTOP));
  app.m_pMainWnd = nullptr;

  const auto& boxes = fakewin::MessageBoxes();
  ASSERT_EQ(2u, boxes.size());
  EXPECT_EQ(nullptr, boxes[0].owner);
  EXPECT_EQ("質問", boxes[0].text);
  EXPECT_EQ(fwtest::kFrameTitle, boxes[0].caption);
  EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONEXCLAMATION), boxes[0].type);
  EXPECT_EQ(main.GetSafeHwnd(), boxes[1].owner);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), boxes[1].type);
}

TEST_F(WinAppTest, TheApplicationIsCurrentForItsLifetime) {
  EXPECT_EQ(nullptr, AfxGetApp());
  EXPECT_EQ(GetModuleHandleA(nullptr), AfxGetResourceHandle());
  {
    fwtest::TestApp app;
    EXPECT_EQ(&app, AfxGetApp());
  }
  EXPECT_EQ(nullptr, AfxGetApp());
}

class LoopApp : public fwtest::TestApp {
 public:
  BOOL InitInstance() override {
    PostQuitMessage(kExitCode);
    return TRUE;
  }
};

TEST_F(WinAppTest, AcceptingInitInstanceRunsTheLoopUntilQuit) {
  LoopApp app;
  EXPECT_EQ(kExitCode, Main());
}

}  // namespace
