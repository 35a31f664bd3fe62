// Messages: sending, with and without a bound, to the program's windows and
// to those of other processes; posting, the queue and the message loop.
#include <cstdio>
#include <cstdlib>

#include "FakeState.h"

namespace fakewin {
namespace internal {

LRESULT Deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = WindowOrError(FindWindowObject(hwnd));
  if (w == nullptr) return 0;
  if (w->foreign) {
    S().sent[hwnd].push_back(SentMessage{hwnd, msg, wParam, lParam, false, 0, 0});
    if (w->hung) {
      std::fprintf(stderr, "fakewin: SendMessageA(%p, 0x%04X) to a hung window of another process would never return\n",
                   static_cast<void*>(hwnd), msg);
      std::abort();
    }
    MessageHandler handler = w->handler;
    return handler ? handler(hwnd, msg, wParam, lParam) : 0;
  }
  WNDPROC proc = w->proc ? w->proc : DefWindowProcA;
  return CallProgram("a window procedure", [&] { return proc(hwnd, msg, wParam, lParam); });
}

}  // namespace internal

using namespace internal;

bool SendBackFromForeign(HWND programWindow, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (S().sendBlocked) {
    S().sendStalled = true;
    return false;
  }
  const LRESULT result = Deliver(programWindow, msg, wParam, lParam);
  if (pResult) *pResult = result;
  return true;
}

DWORD WaitedMs() { return S().waitedMs; }

std::vector<SentMessage> MessagesTo(HWND hwnd) {
  auto it = S().sent.find(hwnd);
  return it == S().sent.end() ? std::vector<SentMessage>() : it->second;
}

}  // namespace fakewin

using namespace fakewin;
using namespace fakewin::internal;

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  FAKE_CALL(hWnd, Msg, wParam, lParam) return 0;
  return Deliver(hWnd, Msg, wParam, lParam);
}

LRESULT WINAPI SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags, UINT uTimeout,
                                   PDWORD_PTR lpdwResult) {
  FAKE_CALL(hWnd, Msg, wParam, lParam, fuFlags, uTimeout) return 0;
  Window* w = WindowOrError(FindWindowObject(hWnd));
  if (w == nullptr) return 0;
  LRESULT result = 0;
  if (w->foreign) {
    State& st = S();
    st.sent[hWnd].push_back(SentMessage{hWnd, Msg, wParam, lParam, true, fuFlags, uTimeout});
    if (w->hung) {
      if (!(fuFlags & SMTO_ABORTIFHUNG)) st.waitedMs += uTimeout;
      SetError(ERROR_TIMEOUT);
      return 0;
    }
    MessageHandler handler = w->handler;
    st.sendBlocked = (fuFlags & SMTO_BLOCK) != 0;
    st.sendStalled = false;
    if (handler) result = handler(hWnd, Msg, wParam, lParam);
    const bool stalled = st.sendStalled;
    st.sendBlocked = st.sendStalled = false;
    if (stalled) {
      st.waitedMs += uTimeout;
      SetError(ERROR_TIMEOUT);
      return 0;
    }
  } else {
    result = Deliver(hWnd, Msg, wParam, lParam);
  }
  if (lpdwResult) *lpdwResult = static_cast<DWORD_PTR>(result);
  return 1;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  FAKE_CALL(hWnd, Msg, wParam, lParam) return FALSE;
  Window* w = nullptr;
  if (hWnd != nullptr) {
    w = FindWindowObject(hWnd);
    if (w == nullptr) {
      SetError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
  }
  if (w && w->foreign) {
    // Another process takes it from its own queue.
    S().sent[hWnd].push_back(SentMessage{hWnd, Msg, wParam, lParam, false, 0, 0});
    MessageHandler handler = w->handler;
    if (handler && !w->hung) handler(hWnd, Msg, wParam, lParam);
    return TRUE;
  }
  S().queue.push_back(MSG{hWnd, Msg, wParam, lParam, 0, POINT{0, 0}});
  return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  FAKE_CALL(hWnd, wMsgFilterMin, wMsgFilterMax) return -1;
  State& st = S();
  for (auto it = st.queue.begin(); it != st.queue.end(); ++it) {
    bool windowMatches = hWnd == nullptr || it->hwnd == hWnd;
    bool rangeMatches =
        (wMsgFilterMin == 0 && wMsgFilterMax == 0) || (it->message >= wMsgFilterMin && it->message <= wMsgFilterMax);
    if (windowMatches && rangeMatches) {
      *lpMsg = *it;
      st.queue.erase(it);
      return lpMsg->message == WM_QUIT ? FALSE : TRUE;
    }
  }
  // An empty queue would block for ever; the double ends the loop instead.
  *lpMsg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(st.quitCode), 0, 0, POINT{0, 0}};
  return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
  FAKE_CALL(lpMsg ? lpMsg->message : 0u) return FALSE;
  return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
  FAKE_CALL(lpMsg ? lpMsg->hwnd : nullptr, lpMsg ? lpMsg->message : 0u) return 0;
  if (lpMsg == nullptr || FindProgramWindow(lpMsg->hwnd) == nullptr) return 0;
  return Deliver(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

void WINAPI PostQuitMessage(int nExitCode) {
  FAKE_CALL(nExitCode) return;
  S().quitCode = nExitCode;
}
