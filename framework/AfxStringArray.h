// CStringArray: the framework's ordered, growable list of CString.
#pragma once

#include <vector>

#include "AfxHeapAllocator.h"
#include "AfxString.h"

class CStringArray {
 public:
  int GetSize() const { return static_cast<int>(m_items.size()); }
  int GetCount() const { return GetSize(); }
  bool IsEmpty() const { return m_items.empty(); }
  int GetUpperBound() const { return GetSize() - 1; }

  const CString& GetAt(int nIndex) const;
  CString& ElementAt(int nIndex);
  const CString& operator[](int nIndex) const { return GetAt(nIndex); }
  CString& operator[](int nIndex) { return ElementAt(nIndex); }
  void SetAt(int nIndex, const char* psz);

  // Appends; returns the new element's index.
  int Add(const char* psz);
  int Add(const CString& str);
  void RemoveAt(int nIndex, int nCount = 1);
  void RemoveAll();

 private:
  std::vector<CString, CHeapAllocator<CString>> m_items;
};
