// Reload notification to the host input method's windows: every window whose
// title holds "HRN10_UI_MAIN" (case-sensitive, first 259 bytes of the title)
// gets WM_IME_NOTIFY / IMN_PRIVATE / 1975. A marked top-level window's
// descendants are not examined; under an unmarked one, each marked
// descendant gets its own notification. Returns when every window that
// answers has handled it.
#pragma once

#include <windows.h>

void NotifyImeWindows();
BOOL CALLBACK EnumTopWindowProc(HWND hWnd, LPARAM lParam);
BOOL CALLBACK EnumChildWindowProc(HWND hWnd, LPARAM lParam);
