// CString: the framework's 8-bit string (code page 932 bytes, NUL-terminated).
// Storage comes from the process heap; exhaustion throws CMemoryException*.
#pragma once

#include <windows.h>

class CString {
 public:
  CString();
  CString(const char* psz);  // NOLINT(google-explicit-constructor): framework idiom
  CString(const char* pch, int nLength);
  CString(const CString& other);
  CString(CString&& other) noexcept;
  ~CString();

  CString& operator=(const char* psz);
  CString& operator=(const CString& other);
  CString& operator=(CString&& other) noexcept;
  CString& operator+=(const char* psz);
  CString& operator+=(const CString& other);
  CString& operator+=(char ch);

  int GetLength() const { return m_nLength; }
  bool IsEmpty() const { return m_nLength == 0; }
  void Empty();
  char GetAt(int nIndex) const;
  const char* GetString() const { return m_pchData; }
  operator const char*() const { return m_pchData; }  // NOLINT: framework idiom

  // printf-style; the result replaces the content.
  void Format(const char* pszFormat, ...);

  // A writable buffer of at least nMinBufLength + 1 bytes holding the current
  // content. Until ReleaseBuffer the string's length is undefined.
  char* GetBuffer(int nMinBufLength);
  // Ends GetBuffer: the length is nNewLength, or up to the first NUL when -1.
  void ReleaseBuffer(int nNewLength = -1);

  int Compare(const char* psz) const;  // strcmp order
  friend bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
  friend bool operator!=(const CString& a, const char* b) { return a.Compare(b) != 0; }
  friend bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
  friend bool operator!=(const CString& a, const CString& b) { return a.Compare(b) != 0; }

 private:
  void Reserve(int nCapacity);
  void Assign(const char* pch, int nLength);
  void Release();
  // Appends; pch may point into this string's own buffer.
  void Append(const char* pch, int nLength);

  char* m_pchData;
  int m_nLength;
  int m_nCapacity;  // bytes available for characters, excluding the NUL
};

CString operator+(const CString& a, const char* b);
CString operator+(const char* a, const CString& b);
CString operator+(const CString& a, const CString& b);
