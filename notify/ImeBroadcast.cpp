#include "notify/ImeBroadcast.h"

#include <imm.h>
#include <string.h>

#include <string_view>

namespace {

const char kMarker[] = "HRN10_UI_MAIN";
const int kTitleBufferSize = MAX_PATH;
const LPARAM kReloadCode = 1975;
// A hung input method must not hold the installer forever; a window that
// answers within this bound has handled the notification when the send returns.
const UINT kSendTimeoutMs = 5000;
// Not SMTO_BLOCK: a window that sends to this thread while it handles the
// notification must be answered, or the two wait on each other for the bound.
const UINT kSendFlags = SMTO_NORMAL | SMTO_ABORTIFHUNG;

bool HasMarker(HWND hWnd) {
  char szTitle[kTitleBufferSize] = {};
  GetWindowTextA(hWnd, szTitle, kTitleBufferSize);
  const std::string_view title(szTitle, strnlen(szTitle, kTitleBufferSize - 1));
  return title.find(kMarker) != std::string_view::npos;
}

void SendReload(HWND hWnd) {
  DWORD_PTR dwResult = 0;
  SendMessageTimeoutA(hWnd, WM_IME_NOTIFY, IMN_PRIVATE, kReloadCode, kSendFlags, kSendTimeoutMs, &dwResult);
}

}  // namespace

void NotifyImeWindows() { EnumWindows(EnumTopWindowProc, 0); }

BOOL CALLBACK EnumTopWindowProc(HWND hWnd, LPARAM /*lParam*/) {
  if (HasMarker(hWnd)) {
    SendReload(hWnd);
  } else {
    EnumChildWindows(hWnd, EnumChildWindowProc, 0);
  }
  return TRUE;
}

BOOL CALLBACK EnumChildWindowProc(HWND hWnd, LPARAM /*lParam*/) {
  if (HasMarker(hWnd)) SendReload(hWnd);
  return TRUE;
}
