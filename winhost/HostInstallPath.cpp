#include "winhost/HostInstallPath.h"

#include <string.h>

#include "winhost/ScopedHandles.h"

namespace {

const char kHostKey[] = "Software\\Heronix\\Fumidori\\1.0";
const char kInstallPathValue[] = "InstallPath";

}  // namespace

bool ReadHostInstallPath(char (&szPath)[MAX_PATH]) {
  // Zero-filled, so data stored without its NUL is still terminated when
  // shorter than the buffer.
  memset(szPath, 0, sizeof(szPath));
  HKEY hKey = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHostKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS) return false;
  CScopedRegKey key(hKey);
  DWORD cbData = sizeof(szPath);
  if (RegQueryValueExA(key.Get(), kInstallPathValue, nullptr, nullptr, reinterpret_cast<LPBYTE>(szPath), &cbData) !=
          ERROR_SUCCESS ||
      strnlen(szPath, sizeof(szPath)) == sizeof(szPath)) {
    memset(szPath, 0, sizeof(szPath));
    return false;
  }
  return szPath[0] != '\0';
}
