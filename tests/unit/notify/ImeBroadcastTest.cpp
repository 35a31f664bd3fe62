#include <fakewin32.h>
#include <gtest/gtest.h>
#include <imm.h>

#include <string>

#include "notify/ImeBroadcast.h"
#include "support/FakeHost.h"

namespace {

const char kMarker[] = "HRN10_UI_MAIN";
const char kImeClass[] = "HRN10UI";

int Reloads(HWND hwnd) {
  int count = 0;
  for (const fakewin::SentMessage& m : fakewin::MessagesTo(hwnd))
    if (m.message == WM_IME_NOTIFY && m.wParam == IMN_PRIVATE && m.lParam == 1975) ++count;
  return count;
}

class ImeBroadcastTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakewin::Reset();
    testhost::Reset();
  }
  HWND Add(HWND parent, const std::string& title) { return fakewin::AddForeignWindow(parent, kImeClass, title); }
};

TEST_F(ImeBroadcastTest, MarkedTopLevelWindowHidesItsChildren) {
  const HWND top = Add(nullptr, kMarker);
  const HWND child = Add(top, kMarker);
  const HWND grandchild = Add(child, kMarker);
  NotifyImeWindows();
  EXPECT_EQ(1, Reloads(top));
  EXPECT_EQ(0, Reloads(child));
  EXPECT_EQ(0, Reloads(grandchild));
}

TEST_F(ImeBroadcastTest, EveryMarkedDescendantOfAnUnmarkedWindowGetsOne) {
  const HWND top = Add(nullptr, "Desktop");
  const HWND child = Add(top, kMarker);
  const HWND plain = Add(top, "plain");
  const HWND grandchild = Add(plain, kMarker);
  NotifyImeWindows();
  EXPECT_EQ(0, Reloads(top));
  EXPECT_EQ(1, Reloads(child));
  EXPECT_EQ(0, Reloads(plain));
  EXPECT_EQ(1, Reloads(grandchild));
}

TEST_F(ImeBroadcastTest, MarkerIsMatchedByteWiseInTheFirst259Bytes) {
  const struct {
    std::string title;
    int reloads;
  } cases[] = {
      {kMarker, 1},
      {std::string("入力 ") + kMarker + " (1)", 1},
      {"hrn10_ui_main", 0},
      {"HRN10_UI_MAIn", 0},
      {"HRN10_UI_MAI", 0},
      {std::string(246, 'x') + kMarker, 1},  // last byte is the 259th
      {std::string(247, 'x') + kMarker, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    const HWND hwnd = Add(nullptr, c.title);
    NotifyImeWindows();
    EXPECT_EQ(c.reloads, Reloads(hwnd));
    fakewin::RemoveForeignWindow(hwnd);
  }
}

TEST_F(ImeBroadcastTest, HungWindowDoesNotStopTheBroadcast) {
  bool handled = false;
  const HWND hung = Add(nullptr, kMarker);
  fakewin::SetHung(hung, true);
  const HWND answering = fakewin::AddForeignWindow(nullptr, kImeClass, kMarker, [&](HWND, UINT, WPARAM, LPARAM) {
    handled = true;
    return LRESULT{0};
  });
  NotifyImeWindows();
  EXPECT_TRUE(handled);
  EXPECT_EQ(0, fakewin::CountCalls("SendMessageA"));
  const std::vector<fakewin::SentMessage> sent = fakewin::MessagesTo(answering);
  ASSERT_EQ(1u, sent.size());
  EXPECT_TRUE(sent[0].timeout);
  EXPECT_EQ(static_cast<UINT>(SMTO_NORMAL | SMTO_ABORTIFHUNG), sent[0].flags);
  EXPECT_GT(sent[0].bound, 0u);
  EXPECT_LE(sent[0].bound, 10000u);
}

LRESULT CALLBACK AnswerQuery(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return msg == WM_USER ? 7 : DefWindowProcA(hWnd, msg, wParam, lParam);
}

TEST_F(ImeBroadcastTest, AWindowThatCallsBackIsAnsweredAtOnce) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = AnswerQuery;
  wc.lpszClassName = "Installer";
  ASSERT_NE(0, RegisterClassA(&wc));
  const HWND installer = CreateWindowExA(0, "Installer", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  LRESULT answer = 0;
  const HWND ime = fakewin::AddForeignWindow(nullptr, kImeClass, kMarker, [&](HWND, UINT, WPARAM, LPARAM) {
    fakewin::SendBackFromForeign(installer, WM_USER, 0, 0, &answer);
    return LRESULT{0};
  });
  NotifyImeWindows();
  EXPECT_EQ(1, Reloads(ime));
  EXPECT_EQ(7, answer);
  EXPECT_EQ(0u, fakewin::WaitedMs());
}

}  // namespace
