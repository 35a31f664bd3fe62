#include "framework/AfxString.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "framework/AfxException.h"
#include "framework/AfxHeapAllocator.h"

namespace {

// Every empty string without a buffer of its own points here, so that
// constructing or emptying a string never allocates. Nothing writes to it.
char g_chNil = '\0';

char* AllocChars(int nCapacity) {
  if (nCapacity < 0 || nCapacity == INT_MAX) AfxThrowMemoryException();
  return CHeapAllocator<char>().allocate(static_cast<size_t>(nCapacity) + 1);
}

int SafeLength(const char* psz) {
  if (psz == nullptr) return 0;
  size_t n = strlen(psz);
  if (n >= static_cast<size_t>(INT_MAX)) AfxThrowMemoryException();
  return static_cast<int>(n);
}

// Amortised growth for appends; never below what is needed.
int GrowCapacity(int nCurrent, int nNeeded) {
  int nDoubled = nCurrent < INT_MAX / 2 ? nCurrent * 2 : INT_MAX - 1;
  return nNeeded > nDoubled ? nNeeded : nDoubled;
}

}  // namespace

CString::CString() : m_pchData(&g_chNil), m_nLength(0), m_nCapacity(0) {}

CString::CString(const char* psz) : CString() { Assign(psz, SafeLength(psz)); }

CString::CString(const char* pch, int nLength) : CString() { Assign(pch, pch != nullptr && nLength > 0 ? nLength : 0); }

CString::CString(const CString& other) : CString() { Assign(other.m_pchData, other.m_nLength); }

CString::CString(CString&& other) noexcept
    : m_pchData(other.m_pchData), m_nLength(other.m_nLength), m_nCapacity(other.m_nCapacity) {
  other.m_pchData = &g_chNil;
  other.m_nLength = 0;
  other.m_nCapacity = 0;
}

CString::~CString() { Release(); }

CString& CString::operator=(const char* psz) {
  Assign(psz, SafeLength(psz));
  return *this;
}

CString& CString::operator=(const CString& other) {
  if (this != &other) Assign(other.m_pchData, other.m_nLength);
  return *this;
}

CString& CString::operator=(CString&& other) noexcept {
  if (this != &other) {
    Release();
    m_pchData = other.m_pchData;
    m_nLength = other.m_nLength;
    m_nCapacity = other.m_nCapacity;
    other.m_pchData = &g_chNil;
    other.m_nLength = 0;
    other.m_nCapacity = 0;
  }
  return *this;
}

CString& CString::operator+=(const char* psz) {
  Append(psz, SafeLength(psz));
  return *this;
}

CString& CString::operator+=(const CString& other) {
  Append(other.m_pchData, other.m_nLength);
  return *this;
}

CString& CString::operator+=(char ch) {
  Append(&ch, 1);
  return *this;
}

void CString::Empty() { Release(); }

char CString::GetAt(int nIndex) const {
  if (nIndex < 0 || nIndex >= m_nLength) return '\0';
  return m_pchData[nIndex];
}

void CString::Format(const char* pszFormat, ...) {
  if (pszFormat == nullptr) {
    Empty();
    return;
  }
  va_list args;
  va_start(args, pszFormat);
  va_list argsCopy;
  va_copy(argsCopy, args);
  int nLength = vsnprintf(nullptr, 0, pszFormat, args);
  va_end(args);
  if (nLength < 0) {
    va_end(argsCopy);
    Empty();
    return;
  }
  // A fresh buffer: the arguments may point into this string.
  char* pchNew;
  try {
    pchNew = AllocChars(nLength);
  } catch (...) {
    va_end(argsCopy);
    throw;
  }
  vsnprintf(pchNew, static_cast<size_t>(nLength) + 1, pszFormat, argsCopy);
  va_end(argsCopy);
  Release();
  m_pchData = pchNew;
  m_nLength = nLength;
  m_nCapacity = nLength;
}

char* CString::GetBuffer(int nMinBufLength) {
  int nNeeded = nMinBufLength > m_nLength ? nMinBufLength : m_nLength;
  Reserve(nNeeded);
  return m_pchData;
}

void CString::ReleaseBuffer(int nNewLength) {
  if (m_pchData == &g_chNil) return;
  // Without a NUL the count reaches m_nCapacity + 1, which the bound below cuts.
  if (nNewLength < 0) nNewLength = static_cast<int>(strnlen(m_pchData, static_cast<size_t>(m_nCapacity) + 1));
  if (nNewLength > m_nCapacity) nNewLength = m_nCapacity;
  m_nLength = nNewLength;
  m_pchData[m_nLength] = '\0';
}

int CString::Compare(const char* psz) const { return strcmp(m_pchData, psz != nullptr ? psz : ""); }

void CString::Reserve(int nCapacity) {
  if (m_pchData != &g_chNil && nCapacity <= m_nCapacity) return;
  char* pchNew = AllocChars(nCapacity);
  memcpy(pchNew, m_pchData, static_cast<size_t>(m_nLength) + 1);
  int nLength = m_nLength;
  Release();
  m_pchData = pchNew;
  m_nLength = nLength;
  m_nCapacity = nCapacity;
}

void CString::Assign(const char* pch, int nLength) {
  if (nLength == 0) {
    Release();
    return;
  }
  if (m_pchData != &g_chNil && nLength <= m_nCapacity) {
    memmove(m_pchData, pch, static_cast<size_t>(nLength));
  } else {
    char* pchNew = AllocChars(nLength);
    memcpy(pchNew, pch, static_cast<size_t>(nLength));
    Release();
    m_pchData = pchNew;
    m_nCapacity = nLength;
  }
  m_nLength = nLength;
  m_pchData[m_nLength] = '\0';
}

void CString::Append(const char* pch, int nLength) {
  if (nLength <= 0) return;
  if (nLength > INT_MAX - 1 - m_nLength) AfxThrowMemoryException();
  int nNewLength = m_nLength + nLength;
  if (m_pchData != &g_chNil && nNewLength <= m_nCapacity) {
    memmove(m_pchData + m_nLength, pch, static_cast<size_t>(nLength));
  } else {
    int nCapacity = GrowCapacity(m_nCapacity, nNewLength);
    char* pchNew = AllocChars(nCapacity);
    memcpy(pchNew, m_pchData, static_cast<size_t>(m_nLength));
    memcpy(pchNew + m_nLength, pch, static_cast<size_t>(nLength));
    Release();
    m_pchData = pchNew;
    m_nCapacity = nCapacity;
  }
  m_nLength = nNewLength;
  m_pchData[m_nLength] = '\0';
}

void CString::Release() {
  if (m_pchData != &g_chNil) HeapFree(GetProcessHeap(), 0, m_pchData);
  m_pchData = &g_chNil;
  m_nLength = 0;
  m_nCapacity = 0;
}

CString operator+(const CString& a, const char* b) {
  CString result(a);
  result += b;
  return result;
}

CString operator+(const char* a, const CString& b) {
  CString result(a);
  result += b;
  return result;
}

CString operator+(const CString& a, const CString& b) {
  CString result(a);
  result += b;
  return result;
}
