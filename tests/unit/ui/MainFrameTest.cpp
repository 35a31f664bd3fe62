// The hidden main frame and its view, created the way start-up creates them,
// on the Win32 double.
#include <fakewin32.h>
#include <gtest/gtest.h>

#include <vector>

#include "framework/Afx.h"
#include "ui/AboutDlg.h"
#include "ui/MainFrm.h"
#include "ui/resource.h"

namespace {

const char kTitle[] = "オプション辞書インストール";
const DWORD kHiddenFrameStyle = 0x01CB8000;  // maximized, fixed size, not visible
const DWORD kViewClassStyle = 11;            // CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW
const DWORD kSomeOtherExStyle = 0x00000080;  // WS_EX_TOOLWINDOW, to see it survive

// Records what reaches the application at the end of the command route.
class RecordingApp : public CWinApp {
 public:
  BOOL OnCmdMsg(UINT nID, int nCode) override {
    offered.push_back(nID);
    return nID == ID_APP_ABOUT ? TRUE : CWinApp::OnCmdMsg(nID, nCode);
  }
  std::vector<UINT> offered;
};

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakewin::Reset();
    fakewin::SetResourceString(IDR_MAINFRAME, kTitle);
  }

  void TearDown() override {
    // The frame deletes itself with its window.
    if (m_frame && ::IsWindow(m_frame->GetSafeHwnd())) m_frame->DestroyWindow();
    m_app.m_pMainWnd = nullptr;
  }

  BOOL Load() {
    m_frame = new CMainFrame;
    m_app.m_pMainWnd = m_frame;
    return m_frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE);
  }

  HWND FrameWnd() const { return m_frame->GetSafeHwnd(); }
  HWND ViewWnd() const { return m_frame->GetView().GetSafeHwnd(); }

  RecordingApp m_app;
  CMainFrame* m_frame = nullptr;
};

TEST_F(MainFrameTest, FrameIsHiddenFixedSizeAndPlain) {
  ASSERT_TRUE(Load());
  const HWND frame = FrameWnd();
  EXPECT_EQ(kHiddenFrameStyle, fakewin::WindowStyle(frame));
  EXPECT_FALSE(::IsWindowVisible(frame));
  EXPECT_EQ(0u, fakewin::WindowExStyle(frame) & WS_EX_CLIENTEDGE);

  const WNDCLASSA cls = fakewin::RegisteredClass(fakewin::WindowClassName(frame));
  EXPECT_EQ(0u, cls.style);
  EXPECT_EQ(nullptr, cls.hCursor);
  EXPECT_EQ(nullptr, cls.hbrBackground);
  EXPECT_EQ(nullptr, cls.hIcon);
}

TEST_F(MainFrameTest, OneViewWithClientEdgeFillsTheClientArea) {
  ASSERT_TRUE(Load());
  ASSERT_EQ(2u, fakewin::ProgramWindows().size());
  const HWND view = ViewWnd();
  ASSERT_NE(nullptr, view);
  EXPECT_EQ(FrameWnd(), ::GetParent(view));
  EXPECT_EQ(AFX_IDW_PANE_FIRST, ::GetDlgCtrlID(view));

  const DWORD style = fakewin::WindowStyle(view);
  EXPECT_EQ(static_cast<DWORD>(WS_CHILD | WS_VISIBLE), style & (WS_CHILD | WS_VISIBLE));
  EXPECT_EQ(0u, style & WS_BORDER);
  EXPECT_NE(0u, fakewin::WindowExStyle(view) & WS_EX_CLIENTEDGE);

  const WNDCLASSA cls = fakewin::RegisteredClass(fakewin::WindowClassName(view));
  EXPECT_EQ(kViewClassStyle, cls.style);
  EXPECT_EQ(::LoadCursorA(nullptr, IDC_ARROW), cls.hCursor);
  EXPECT_EQ(reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)), cls.hbrBackground);
  EXPECT_EQ(nullptr, cls.hIcon);

  RECT client;
  ::GetClientRect(FrameWnd(), &client);
  ASSERT_GT(client.right, 0);
  const RECT placed = fakewin::WindowRect(view);
  EXPECT_EQ(client.left, placed.left);
  EXPECT_EQ(client.top, placed.top);
  EXPECT_EQ(client.right, placed.right);
  EXPECT_EQ(client.bottom, placed.bottom);
}

TEST_F(MainFrameTest, PreCreateReplacesStyleButClearsOnlyTheClientEdge) {
  CMainFrame* frame = new CMainFrame;  // no window: deleted here
  CREATESTRUCTA cs = {};
  cs.style = WS_OVERLAPPEDWINDOW | WS_VISIBLE | FWS_ADDTOTITLE;
  cs.dwExStyle = WS_EX_CLIENTEDGE | kSomeOtherExStyle;
  EXPECT_TRUE(frame->PreCreateWindow(cs));
  EXPECT_EQ(kHiddenFrameStyle, cs.style);
  EXPECT_EQ(kSomeOtherExStyle, cs.dwExStyle);
  delete frame;

  CChildView view;
  cs = {};
  cs.style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL;
  cs.dwExStyle = kSomeOtherExStyle;
  EXPECT_TRUE(view.PreCreateWindow(cs));
  EXPECT_EQ(static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_VSCROLL), cs.style);
  EXPECT_EQ(static_cast<DWORD>(WS_EX_CLIENTEDGE | kSomeOtherExStyle), cs.dwExStyle);
  EXPECT_NE(nullptr, cs.lpszClass);
}

TEST_F(MainFrameTest, FocusGivenToTheFrameEndsOnTheView) {
  ASSERT_TRUE(Load());
  ::SetFocus(FrameWnd());
  EXPECT_EQ(ViewWnd(), ::GetFocus());
}

TEST_F(MainFrameTest, UnhandledCommandsContinueToTheApplication) {
  ASSERT_TRUE(Load());
  // Through the window, as a menu or accelerator would send it.
  ::SendMessageA(FrameWnd(), WM_COMMAND, MAKEWPARAM(ID_APP_ABOUT, 0), 0);
  EXPECT_EQ(std::vector<UINT>{ID_APP_ABOUT}, m_app.offered);

  // A command nobody handles comes back unhandled after reaching the application.
  const UINT kEditCopy = ID_EDIT_COPY;
  EXPECT_FALSE(m_frame->OnCmdMsg(kEditCopy, 0));
  EXPECT_EQ((std::vector<UINT>{ID_APP_ABOUT, kEditCopy}), m_app.offered);
}

TEST_F(MainFrameTest, PaintingTheViewOnlyOpensAndClosesAPaintContext) {
  ASSERT_TRUE(Load());
  fakewin::ClearCalls();
  ::SendMessageA(ViewWnd(), WM_PAINT, 0, 0);
  EXPECT_EQ(1, fakewin::CountCalls("BeginPaint"));
  EXPECT_EQ(1, fakewin::CountCalls("EndPaint"));
}

TEST_F(MainFrameTest, FailingViewCreationFailsTheFrame) {
  fakewin::FailNth("CreateWindowExA", 2);
  EXPECT_FALSE(Load());
  EXPECT_TRUE(fakewin::ProgramWindows().empty());
  m_frame = nullptr;  // destroyed with its window
}

TEST_F(MainFrameTest, AboutBoxRunsTemplate100OwnedByTheMainWindow) {
  ASSERT_TRUE(Load());
  fakewin::ScriptDialog(IDD_ABOUTBOX, {{fakewin::DialogStep::Press, IDOK}});
  CAboutDlg about;
  EXPECT_EQ(IDOK, about.DoModal());
  ASSERT_EQ(1u, fakewin::Dialogs().size());
  EXPECT_EQ(IDD_ABOUTBOX, fakewin::Dialogs()[0].templateId);
  EXPECT_EQ(FrameWnd(), fakewin::Dialogs()[0].owner);
}

}  // namespace
