// Shared by the store's sources only: result codes, sizes and value paths of
// the common library's contract that more than one of them needs.
#pragma once

#include <windows.h>

#include "framework/Afx.h"
#include "winhost/PathFacts.h"

const int kStoreOk = 0;
const int kStoreNotReady = -1;
// The library failed a read or write the operation could not do without.
const int kStoreFailed = -2;

// The library's read results for "nothing there": no such key, no such value.
const int kLibAbsentKey = 1;
const int kLibAbsentValue = 2;

inline bool IsAbsentResult(int result) { return result == kLibAbsentKey || result == kLibAbsentValue; }

// The library's path of value "OptionDic\<name>".
CString OptionDicPath(const char* pszName);
