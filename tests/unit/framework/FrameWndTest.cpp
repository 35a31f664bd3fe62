// Windows and frames: class registration, creation through PreCreateWindow,
// message dispatch to the virtuals, layout, and the frame's self-deletion.
#include <fakewin32.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/Afx.h"
#include "FrameworkTestSupport.h"

namespace {

using fwtest::TestApp;
using fwtest::TrackedFrame;

constexpr DWORD kReplacedStyle = WS_CAPTION | WS_SYSMENU | FWS_ADDTOTITLE;

class PaneFrame : public TrackedFrame {
 public:
  using TrackedFrame::TrackedFrame;
  BOOL PreCreateWindow(CREATESTRUCTA& cs) override {
    if (failPreCreate) AfxThrowMemoryException();
    if (!CFrameWnd::PreCreateWindow(cs)) return FALSE;
    styleAsked = static_cast<DWORD>(cs.style);
    cs.style = static_cast<LONG>(kReplacedStyle);
    return TRUE;
  }
  int OnCreate(LPCREATESTRUCTA lpCreateStruct) override {
    if (CFrameWnd::OnCreate(lpCreateStruct) == -1) return -1;
    fwtest::Exhaust(failCreate);
    const RECT kNone = {0, 0, 0, 0};
    return pane.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, kNone, this, AFX_IDW_PANE_FIRST) ? 0 : -1;
  }
  void OnSetFocus(CWnd* pOldWnd) override { focusFrom = pOldWnd; }

  CWnd pane;
  DWORD styleAsked = 0;
  fwtest::Exhaustion failCreate = fwtest::Exhaustion::kNone;
  bool failPreCreate = false;
  CWnd* focusFrom = nullptr;
};

class FrameWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakewin::Reset();
    fakewin::SetResourceString(fwtest::kFrameId, fwtest::kFrameTitle);
  }

  void TearDown() override {
    if (alive) frame->DestroyWindow();
  }

  PaneFrame* MakeFrame() {
    frame = new PaneFrame(&alive);
    app.m_pMainWnd = frame;
    return frame;
  }

  TestApp app;
  PaneFrame* frame = nullptr;
  bool alive = false;
};

TEST_F(FrameWndTest, EachDistinctClassIsRegisteredOnce) {
  HCURSOR hArrow = LoadCursorA(nullptr, IDC_ARROW);
  LPCSTR a = AfxRegisterWndClass(CS_DBLCLKS, hArrow);
  LPCSTR b = AfxRegisterWndClass(CS_DBLCLKS, hArrow);
  LPCSTR c = AfxRegisterWndClass(0);
  ASSERT_NE(nullptr, a);
  ASSERT_NE(nullptr, c);
  EXPECT_EQ(a, b);
  EXPECT_STRNE(a, c);
  EXPECT_EQ(0, strncmp(a, "Afx:", 4));
  EXPECT_EQ(2, fakewin::CountCalls("RegisterClassA"));
  WNDCLASSA wc = fakewin::RegisteredClass(a);
  EXPECT_EQ(static_cast<UINT>(CS_DBLCLKS), wc.style);
  EXPECT_EQ(&AfxWndProc, wc.lpfnWndProc);
  EXPECT_EQ(hArrow, wc.hCursor);
  EXPECT_EQ(nullptr, wc.hbrBackground);
}

TEST_F(FrameWndTest, LoadFrameCreatesWithTheStylePreCreateWindowChose) {
  ASSERT_TRUE(MakeFrame()->LoadFrame(fwtest::kFrameId, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE));
  HWND hFrame = frame->GetSafeHwnd();
  ASSERT_NE(nullptr, hFrame);
  EXPECT_EQ(static_cast<DWORD>(WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE), frame->styleAsked);
  EXPECT_EQ(kReplacedStyle, fakewin::WindowStyle(hFrame));
  EXPECT_TRUE(fakewin::WindowExStyle(hFrame) & WS_EX_CLIENTEDGE);
  EXPECT_FALSE(IsWindowVisible(hFrame));
  char title[64] = "";
  GetWindowTextA(hFrame, title, sizeof(title));
  EXPECT_STREQ(fwtest::kFrameTitle, title);
  EXPECT_EQ(frame, CWnd::FromHandlePermanent(hFrame));
  EXPECT_EQ(&frame->pane, CWnd::FromHandlePermanent(frame->pane.GetSafeHwnd()));
}

TEST_F(FrameWndTest, LayoutStretchesThePaneOverTheClientArea) {
  ASSERT_TRUE(MakeFrame()->LoadFrame(fwtest::kFrameId));
  RECT client = {};
  frame->GetClientRect(&client);
  ASSERT_GT(client.right, 0);
  RECT pane = fakewin::WindowRect(frame->pane.GetSafeHwnd());
  EXPECT_EQ(0, pane.left);
  EXPECT_EQ(0, pane.top);
  EXPECT_EQ(client.right, pane.right);
  EXPECT_EQ(client.bottom, pane.bottom);

  frame->MoveWindow(0, 0, 300, 200);
  frame->GetClientRect(&client);
  pane = fakewin::WindowRect(frame->pane.GetSafeHwnd());
  EXPECT_EQ(client.right, pane.right);
  EXPECT_EQ(client.bottom, pane.bottom);
}

TEST_F(FrameWndTest, MessagesReachTheVirtualsAndCommandsTheApplication) {
  ASSERT_TRUE(MakeFrame()->LoadFrame(fwtest::kFrameId));
  frame->SendMessage(WM_SETFOCUS, reinterpret_cast<WPARAM>(frame->pane.GetSafeHwnd()));
  EXPECT_EQ(&frame->pane, frame->focusFrom);

  frame->SendMessage(WM_COMMAND, MAKEWPARAM(0x1234, 0));
  ASSERT_EQ(1u, app.commands.size());
  EXPECT_EQ(0x1234u, app.commands[0]);
}

TEST_F(FrameWndTest, DestroyedFrameDeletesItselfAndStopsBeingTheMainWindow) {
  ASSERT_TRUE(MakeFrame()->LoadFrame(fwtest::kFrameId));
  HWND hFrame = frame->GetSafeHwnd();
  HWND hPane = frame->pane.GetSafeHwnd();
  // The exit command closes the main window the ordinary way.
  frame->SendMessage(WM_COMMAND, MAKEWPARAM(ID_APP_EXIT, 0));
  EXPECT_FALSE(alive);
  EXPECT_EQ(nullptr, app.m_pMainWnd);
  EXPECT_FALSE(IsWindow(hFrame));
  EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hFrame));
  EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hPane));
  EXPECT_TRUE(fakewin::ProgramWindows().empty());
}

TEST_F(FrameWndTest, ExceptionDuringCreationReachesTheCallerWithNothingLeft) {
  for (fwtest::Exhaustion how : fwtest::kEveryExhaustion) {
    MakeFrame()->failCreate = how;
    bool caught = false;
    try {
      frame->LoadFrame(fwtest::kFrameId);
    } catch (CMemoryException* e) {
      caught = true;
      e->Delete();
    }
    EXPECT_TRUE(caught);
    EXPECT_FALSE(alive) << "a frame whose window went deletes itself";
    EXPECT_EQ(nullptr, app.m_pMainWnd);
    EXPECT_TRUE(fakewin::ProgramWindows().empty());
  }
}

TEST_F(FrameWndTest, AFrameWhoseWindowNeverExistedDeletesItselfToo) {
  MakeFrame();
  fakewin::FailNth("CreateWindowExA", 1);  // refused before any message
  EXPECT_FALSE(frame->LoadFrame(fwtest::kFrameId));
  EXPECT_FALSE(alive);
  EXPECT_EQ(nullptr, app.m_pMainWnd);

  MakeFrame()->failPreCreate = true;
  EXPECT_THROW(frame->LoadFrame(fwtest::kFrameId), CMemoryException*);
  EXPECT_FALSE(alive);
  EXPECT_EQ(nullptr, app.m_pMainWnd);
}

TEST_F(FrameWndTest, AWindowObjectTakesItsWindowWithIt) {
  HWND hWnd = nullptr;
  {
    CWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "w", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    hWnd = wnd.GetSafeHwnd();
    EXPECT_EQ(&wnd, CWnd::FromHandlePermanent(hWnd));
    EXPECT_NE(std::string::npos, fakewin::WindowClassName(hWnd).find("Afx:"));
  }
  EXPECT_FALSE(IsWindow(hWnd));
  EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hWnd));
}

}  // namespace
