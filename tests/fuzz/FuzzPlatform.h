// The platform calls the fuzzed code makes, served without the Win32 double:
// code page 932 lead bytes and a version the fuzz input picks; for the store,
// one loadable library in the system folder and a heap that can run out.
#pragma once

#include <windows.h>

#include <map>
#include <string>

void FuzzSetVersion(DWORD dwMajor, DWORD dwMinor, DWORD dwPlatformId);

// The library file at the full path pszPath, with these exports. The program
// is "C:\KIT\LexPlant.exe", the system folder "C:\WINDOWS\system32".
void FuzzAddLibrary(const char* pszPath, const std::map<std::string, FARPROC>& exports);
// The nth heap allocation from now fails, once; 0 none.
void FuzzFailAllocation(int n);
// Whether the failure planned last has struck.
bool FuzzAllocationFailed();
