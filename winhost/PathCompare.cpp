#include "winhost/PathCompare.h"

#include <windows.h>

#include <cstring>

#include "framework/AfxMbPath.h"
#include "winhost/PathFacts.h"

namespace {

const int kNormalized = 1;
const int kNotNormalized = 0;

// v = major * 100 + minor, with kNtPlatformBit on the NT platform. The
// full-width letters fold from NT 4.00 (0x8000 + 400) on.
const DWORD kNtPlatformBit = 0x8000;
const DWORD kFoldFullWidthFrom = 0x8190;

// Code page 932: the full-width Latin letters share the lead byte 0x82;
// small a-z are 0x8281-0x829A, capitals A-Z 0x8260-0x8279.
const BYTE kFullWidthLatinLead = 0x82;
const BYTE kFullWidthSmallFirst = 0x81;
const BYTE kFullWidthSmallLast = 0x9A;
const BYTE kFullWidthCaseDistance = 0x21;
const BYTE kAsciiCaseDistance = 'a' - 'A';

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version query expects the 148-byte structure");

// Shared by all calls, which is why CompareHostPaths is not reentrant.
char s_szFirst[kPathBufferSize];
char s_szSecond[kPathBufferSize];

// Bounded, so paths of any length are safe.
bool IsTooLong(const char* psz) { return strnlen(psz, kPathBufferSize) >= kPathBufferSize; }

bool PlatformFoldsFullWidth() {
  OSVERSIONINFOA info;
  std::memset(&info, 0, sizeof(info));
  info.dwOSVersionInfoSize = sizeof(info);
  GetVersionExA(&info);
  DWORD version = info.dwMajorVersion * 100 + info.dwMinorVersion;
  if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) version |= kNtPlatformBit;
  return version >= kFoldFullWidthFrom;
}

}  // namespace

int NormalizeHostPath(const char* pszSource, char* pszDest) {
  if (!pszSource || IsTooLong(pszSource)) return kNotNormalized;
  const bool bFoldFullWidth = PlatformFoldsFullWidth();

  size_t i = 0;
  while (pszSource[i] != '\0') {
    BYTE b = static_cast<BYTE>(pszSource[i]);
    if (IsDBCSLeadByte(b)) {
      BYTE trail = static_cast<BYTE>(pszSource[i + 1]);
      if (trail == '\0') {
        pszDest[i] = '\0';
        return kNotNormalized;
      }
      if (b == kFullWidthLatinLead && trail >= kFullWidthSmallFirst && trail <= kFullWidthSmallLast && bFoldFullWidth) {
        trail = static_cast<BYTE>(trail - kFullWidthCaseDistance);
      }
      pszDest[i] = static_cast<char>(b);
      pszDest[i + 1] = static_cast<char>(trail);
      i += 2;
    } else {
      if (b >= 'a' && b <= 'z') b = static_cast<BYTE>(b - kAsciiCaseDistance);
      pszDest[i] = static_cast<char>(b);
      ++i;
    }
  }
  pszDest[i] = '\0';
  return kNormalized;
}

int CompareHostPaths(const char* pszFirst, const char* pszSecond) {
  const int kFirstUnusable = 1;
  const int kSecondUnusable = -1;
  if (!pszFirst || IsTooLong(pszFirst)) return kFirstUnusable;
  if (!pszSecond || IsTooLong(pszSecond)) return kSecondUnusable;
  std::memset(s_szFirst, 0, sizeof(s_szFirst));
  std::memset(s_szSecond, 0, sizeof(s_szSecond));
  if (!NormalizeHostPath(pszFirst, s_szFirst)) return kFirstUnusable;
  if (!NormalizeHostPath(pszSecond, s_szSecond)) return kSecondUnusable;
  int order = AfxMbsCompare(s_szFirst, s_szSecond);
  if (order == 0) return 0;
  return order > 0 ? 1 : -1;
}
