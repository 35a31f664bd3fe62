// The box that tells the user why the installation stops (enabling also
// warns with it): stop icon, OK button.
#pragma once

#include <windows.h>

#include "framework/Afx.h"

inline constexpr UINT kStopStyle = MB_OK | MB_ICONSTOP;

inline void ShowStop(const char* pszText) { AfxMessageBox(pszText, kStopStyle); }

// pszFormat takes one string argument (a dictionary or file name).
inline void ShowStopFormatted(const char* pszFormat, const char* pszArgument) {
  CString strText;
  strText.Format(pszFormat, pszArgument);
  ShowStop(strText);
}
