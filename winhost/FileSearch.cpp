#include "winhost/FileSearch.h"

#include "winhost/PathFacts.h"
#include "winhost/ScopedHandles.h"

namespace {

// "*" and "?" never occur in trail bytes, but the walk steps over two-byte
// characters anyway.
bool HasWildcard(const char* pszPath) {
  for (const char* p = pszPath; *p != '\0'; ++p) {
    if (IsDBCSLeadByte(static_cast<BYTE>(*p))) {
      if (p[1] == '\0') return false;
      ++p;
    } else if (*p == '*' || *p == '?') {
      return true;
    }
  }
  return false;
}

// A name the platform rejects outright names no file.
bool IsNoFileNameError(DWORD dwError) { return dwError == ERROR_INVALID_NAME || dwError == ERROR_BAD_PATHNAME; }

}  // namespace

DWORD SearchError(const char* pszPath) {
  WIN32_FIND_DATAA findData;
  CScopedFindHandle find(FindFirstFileA(pszPath, &findData));
  return find.IsValid() ? ERROR_SUCCESS : GetLastError();
}

bool FileSurelyGone(const char* pszPath) {
  if (HasWildcard(pszPath)) return true;
  const DWORD dwError = SearchError(pszPath);
  return IsNotFoundError(dwError) || IsNoFileNameError(dwError);
}
