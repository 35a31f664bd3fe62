#include <fakewin32.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

struct Seen {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> g_seen;
LRESULT g_createResult = 0;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  g_seen.push_back(Seen{hwnd, msg, wParam, lParam});
  if (msg == WM_CREATE) return g_createResult;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class FakeWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakewin::Reset();
    g_seen.clear();
    g_createResult = 0;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "Rec";
    ASSERT_NE(0, RegisterClassA(&wc));
  }

  static HWND Create(DWORD style, HWND parent = nullptr, int id = 0) {
    return CreateWindowExA(0, "Rec", "Title", style, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  }

  static std::vector<UINT> MessagesOf(HWND hwnd) {
    std::vector<UINT> out;
    for (const Seen& s : g_seen) {
      if (s.hwnd == hwnd) out.push_back(s.msg);
    }
    return out;
  }
};

TEST_F(FakeWindowsTest, ARegisteredClassCannotBeRegisteredAgain) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = "REC";
  EXPECT_EQ(0, RegisterClassA(&wc));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS), GetLastError());
  WNDCLASSA info = {};
  EXPECT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "rec", &info));
  EXPECT_EQ(&RecordingProc, info.lpfnWndProc);
}

TEST_F(FakeWindowsTest, CreationSendsNcCreateCreateSizeMoveInThatOrder) {
  HWND frame = Create(WS_OVERLAPPEDWINDOW | WS_MAXIMIZE);
  ASSERT_NE(nullptr, frame);
  EXPECT_EQ((std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}), MessagesOf(frame));
  EXPECT_EQ(static_cast<WPARAM>(SIZE_MAXIMIZED), g_seen[2].wParam);
  EXPECT_EQ(MAKELPARAM(1024, 768), g_seen[2].lParam);
  auto* cs = reinterpret_cast<CREATESTRUCTA*>(g_seen[0].lParam);
  EXPECT_NE(nullptr, cs);

  HWND view = CreateWindowExA(0, "Rec", "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(0xE900)), nullptr, nullptr);
  ASSERT_NE(nullptr, view);
  EXPECT_EQ(view, GetDlgItem(frame, 0xE900));
  EXPECT_EQ(0xE900, GetDlgCtrlID(view));
  EXPECT_EQ(frame, GetParent(view));
  char title[16];
  EXPECT_EQ(5, GetWindowTextA(frame, title, sizeof(title)));
  EXPECT_STREQ("Title", title);
}

TEST_F(FakeWindowsTest, CreateReturningMinusOneDestroysTheWindow) {
  g_createResult = -1;
  EXPECT_EQ(nullptr, Create(WS_OVERLAPPEDWINDOW));
  ASSERT_EQ(4u, g_seen.size());
  EXPECT_EQ((std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}), MessagesOf(g_seen[0].hwnd));
  EXPECT_FALSE(IsWindow(g_seen[0].hwnd));
  EXPECT_TRUE(fakewin::ProgramWindows().empty());
}

TEST_F(FakeWindowsTest, DestroyingSendsDestroyTopDownAndNcDestroyBottomUp) {
  HWND frame = Create(WS_OVERLAPPEDWINDOW);
  HWND view = Create(WS_CHILD, frame, 1);
  g_seen.clear();
  EXPECT_TRUE(DestroyWindow(frame));
  std::vector<std::pair<HWND, UINT>> order;
  for (const Seen& s : g_seen) order.emplace_back(s.hwnd, s.msg);
  EXPECT_EQ((std::vector<std::pair<HWND, UINT>>{
                {frame, WM_DESTROY}, {view, WM_DESTROY}, {view, WM_NCDESTROY}, {frame, WM_NCDESTROY}}),
            order);
  EXPECT_FALSE(IsWindow(view));
}

TEST_F(FakeWindowsTest, DefaultHandlingKeepsIconsAndTextAndClosesOnSysCommand) {
  HWND frame = Create(WS_OVERLAPPEDWINDOW);
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128));
  EXPECT_EQ(icon, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128)));
  EXPECT_EQ(0, SendMessageA(frame, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon)));
  EXPECT_EQ(icon, fakewin::WindowIcon(frame, ICON_BIG));
  EXPECT_EQ(nullptr, fakewin::WindowIcon(frame, ICON_SMALL));

  EXPECT_TRUE(SetWindowTextA(frame, "New"));
  char shortBuffer[3];
  EXPECT_EQ(2, GetWindowTextA(frame, shortBuffer, sizeof(shortBuffer)));
  EXPECT_STREQ("Ne", shortBuffer);

  SendMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(frame));
}

TEST_F(FakeWindowsTest, MenusAndTheWindowMenuCloseItemCanBeRemoved) {
  HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128));
  HWND frame = CreateWindowExA(0, "Rec", "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, menu,
                               nullptr, nullptr);
  EXPECT_TRUE(fakewin::HasMenu(frame));
  EXPECT_TRUE(SetMenu(frame, nullptr));
  EXPECT_FALSE(fakewin::HasMenu(frame));

  EXPECT_TRUE(fakewin::SystemMenuHasClose(frame));
  HMENU system = GetSystemMenu(frame, FALSE);
  ASSERT_NE(nullptr, system);
  EXPECT_EQ(system, GetSystemMenu(frame, FALSE));
  EXPECT_TRUE(RemoveMenu(system, SC_CLOSE, MF_BYCOMMAND));
  EXPECT_FALSE(fakewin::SystemMenuHasClose(frame));
  EXPECT_FALSE(RemoveMenu(system, SC_CLOSE, MF_BYCOMMAND));
}

TEST_F(FakeWindowsTest, FocusMovesWithKillAndSetFocusMessages) {
  HWND frame = Create(WS_OVERLAPPEDWINDOW);
  HWND a = Create(WS_CHILD, frame, 1);
  HWND b = Create(WS_CHILD, frame, 2);
  SetFocus(a);
  g_seen.clear();
  EXPECT_EQ(a, SetFocus(b));
  ASSERT_EQ(2u, g_seen.size());
  EXPECT_EQ(a, g_seen[0].hwnd);
  EXPECT_EQ(static_cast<UINT>(WM_KILLFOCUS), g_seen[0].msg);
  EXPECT_EQ(b, g_seen[1].hwnd);
  EXPECT_EQ(static_cast<UINT>(WM_SETFOCUS), g_seen[1].msg);
  EXPECT_EQ(reinterpret_cast<WPARAM>(a), g_seen[1].wParam);
  EXPECT_EQ(b, GetFocus());
}

TEST_F(FakeWindowsTest, EnumerationWalksProgramAndForeignWindowsInCreationOrder) {
  HWND ime = fakewin::AddForeignWindow(nullptr, "IME", "top");
  HWND child = fakewin::AddForeignWindow(ime, "C", "child");
  HWND grandchild = fakewin::AddForeignWindow(child, "C", "grandchild");
  HWND second = fakewin::AddForeignWindow(ime, "C", "second");
  HWND frame = Create(WS_OVERLAPPEDWINDOW);

  std::vector<HWND> seen;
  auto collect = [](HWND h, LPARAM lp) -> BOOL {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
  };
  EnumWindows(collect, reinterpret_cast<LPARAM>(&seen));
  EXPECT_EQ((std::vector<HWND>{ime, frame}), seen);
  seen.clear();
  EnumChildWindows(ime, collect, reinterpret_cast<LPARAM>(&seen));
  EXPECT_EQ((std::vector<HWND>{child, grandchild, second}), seen);

  EXPECT_EQ(ime, FindWindowA("ime", nullptr));
  EXPECT_EQ(nullptr, FindWindowA("C", nullptr));  // children are not top-level
  EXPECT_EQ(frame, FindWindowA(nullptr, "Title"));
}

TEST_F(FakeWindowsTest, ForeignWindowsRecordMessagesAndHungOnesTimeOut) {
  HWND ime = fakewin::AddForeignWindow(nullptr, "IME", "HRN10_UI_MAIN",
                                       [](HWND, UINT, WPARAM, LPARAM lParam) -> LRESULT { return lParam + 1; });
  EXPECT_EQ(1976, SendMessageA(ime, WM_IME_NOTIFY, 14, 1975));
  DWORD_PTR result = 0;
  EXPECT_EQ(1, SendMessageTimeoutA(ime, WM_IME_NOTIFY, 14, 1, SMTO_ABORTIFHUNG, 500, &result));
  EXPECT_EQ(2u, result);

  fakewin::SetHung(ime, true);
  EXPECT_EQ(0, SendMessageTimeoutA(ime, WM_IME_NOTIFY, 14, 1, SMTO_ABORTIFHUNG, 500, &result));
  EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), GetLastError());

  auto sent = fakewin::MessagesTo(ime);
  ASSERT_EQ(3u, sent.size());
  EXPECT_FALSE(sent[0].timeout);
  EXPECT_TRUE(sent[2].timeout);
  EXPECT_EQ(500u, sent[2].bound);
  EXPECT_DEATH(SendMessageA(ime, WM_IME_NOTIFY, 14, 1975), "hung");
}

TEST_F(FakeWindowsTest, PostedMessagesAreDispatchedAndAnEmptyQueueEndsTheLoop) {
  HWND frame = Create(WS_OVERLAPPEDWINDOW);
  g_seen.clear();
  PostMessageA(frame, WM_USER, 7, 0);
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  DispatchMessageA(&msg);
  ASSERT_EQ(1u, g_seen.size());
  EXPECT_EQ(7u, g_seen[0].wParam);
  EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(static_cast<UINT>(WM_QUIT), msg.message);
}

}  // namespace
