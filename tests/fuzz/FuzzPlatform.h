// The two platform calls the path code makes, served without the Win32
// double: code page 932 lead bytes and a version the fuzz input picks.
#pragma once

#include <windows.h>

void FuzzSetVersion(DWORD dwMajor, DWORD dwMinor, DWORD dwPlatformId);
