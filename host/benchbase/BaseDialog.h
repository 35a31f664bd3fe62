// The one dialog a baseline program shows, and what ends it.
#pragma once

#include <windows.h>

inline constexpr int kBaseDialogId = 100;

// Install (IDOK) and Cancel (IDCANCEL) both end the dialog.
inline INT_PTR CALLBACK BaseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}
