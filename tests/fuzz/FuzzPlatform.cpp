#include "FuzzPlatform.h"

#include <cstring>

namespace {
OSVERSIONINFOA g_version = {sizeof(OSVERSIONINFOA), 5, 1, 2600, VER_PLATFORM_WIN32_NT, ""};
}

void FuzzSetVersion(DWORD dwMajor, DWORD dwMinor, DWORD dwPlatformId) {
  g_version.dwMajorVersion = dwMajor;
  g_version.dwMinorVersion = dwMinor;
  g_version.dwPlatformId = dwPlatformId;
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) {
  return (TestChar >= 0x81 && TestChar <= 0x9F) || (TestChar >= 0xE0 && TestChar <= 0xFC);
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  if (lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) __builtin_trap();
  std::memcpy(lpVersionInformation, &g_version, sizeof(g_version));
  return TRUE;
}
