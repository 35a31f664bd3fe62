#include "framework/AfxMbPath.h"

#include <cstring>

namespace {

bool IsLead(const char* p) { return IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0'; }

// Length of the character at p: 2 for a complete two-byte character, else 1.
int CharLength(const char* p) { return IsLead(p) ? 2 : 1; }

bool IsAsciiLetter(char ch) { return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'); }

bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

// Copies [first, last) into out (capacity bytes with the NUL), cut at a
// character boundary when it does not fit.
void CopyPart(char* out, int nCapacity, const char* first, const char* last) {
  if (out == nullptr) return;
  int nLimit = nCapacity - 1;
  int n = 0;
  const char* p = first;
  while (p < last) {
    int nChar = CharLength(p);
    if (p + nChar > last) nChar = static_cast<int>(last - p);
    if (n + nChar > nLimit) break;
    n += nChar;
    p += nChar;
  }
  memcpy(out, first, static_cast<size_t>(n));
  out[n] = '\0';
}

// Appends pch to path at *pn; false when it would not fit.
bool Put(char* path, int nCapacity, int* pn, const char* pch, size_t nLength) {
  if (nLength >= static_cast<size_t>(nCapacity - *pn)) return false;
  memcpy(path + *pn, pch, nLength);
  *pn += static_cast<int>(nLength);
  return true;
}

// The code of the character at *pp, stepping past it.
unsigned CharCode(const unsigned char** pp) {
  const unsigned char* p = *pp;
  if (IsDBCSLeadByte(p[0]) && p[1] != '\0') {
    *pp = p + 2;
    return (static_cast<unsigned>(p[0]) << 8) | p[1];
  }
  if (p[0] != '\0') *pp = p + 1;
  return p[0];
}

}  // namespace

void AfxSplitPath(const char* path, char* drive, char* dir, char* fname, char* ext) {
  if (path == nullptr) path = "";
  const char* p = path;
  const char* driveEnd = p;
  if (IsAsciiLetter(p[0]) && p[1] == ':') driveEnd = p + 2;
  CopyPart(drive, AFX_MAX_DRIVE, p, driveEnd);

  const char* start = driveEnd;
  const char* lastSep = nullptr;
  const char* lastDot = nullptr;
  for (p = start; *p != '\0'; p += CharLength(p)) {
    if (IsSeparator(*p)) {
      lastSep = p;
      lastDot = nullptr;
    } else if (*p == '.') {
      lastDot = p;
    }
  }
  const char* end = p;
  const char* nameStart = lastSep != nullptr ? lastSep + 1 : start;
  const char* nameEnd = lastDot != nullptr ? lastDot : end;
  CopyPart(dir, AFX_MAX_DIR, start, nameStart);
  CopyPart(fname, AFX_MAX_FNAME, nameStart, nameEnd);
  CopyPart(ext, AFX_MAX_EXT, nameEnd, end);
}

BOOL AfxMakePath(char* path, int nCapacity, const char* drive, const char* dir, const char* fname, const char* ext) {
  if (path == nullptr || nCapacity <= 0) return FALSE;
  int n = 0;
  bool fits = true;
  if (drive != nullptr && *drive != '\0') {
    const char driveText[2] = {drive[0], ':'};
    fits = Put(path, nCapacity, &n, driveText, sizeof(driveText));
  }
  if (fits && dir != nullptr && *dir != '\0') {
    fits = Put(path, nCapacity, &n, dir, strlen(dir));
    const char* last = dir;
    for (const char* q = dir; *q != '\0'; q += CharLength(q)) last = q;
    if (fits && !IsSeparator(*last)) fits = Put(path, nCapacity, &n, "\\", 1);
  }
  if (fits && fname != nullptr) fits = Put(path, nCapacity, &n, fname, strlen(fname));
  if (fits && ext != nullptr && *ext != '\0') {
    if (*ext != '.') fits = Put(path, nCapacity, &n, ".", 1);
    if (fits) fits = Put(path, nCapacity, &n, ext, strlen(ext));
  }
  if (!fits) n = 0;
  path[n] = '\0';
  return fits ? TRUE : FALSE;
}

int AfxMbsCompare(const char* a, const char* b) {
  const unsigned char* pa = reinterpret_cast<const unsigned char*>(a != nullptr ? a : "");
  const unsigned char* pb = reinterpret_cast<const unsigned char*>(b != nullptr ? b : "");
  for (;;) {
    unsigned ca = CharCode(&pa);
    unsigned cb = CharCode(&pb);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}
