#include "framework/AfxStringArray.h"

namespace {

// What an index out of range reads; writes through ElementAt go to a scratch
// string that is emptied on each such call, so a bad index never touches
// memory outside the array.
const CString& OutOfRangeValue() {
  static const CString s_empty;
  return s_empty;
}

CString& OutOfRangeScratch() {
  static CString s_scratch;
  s_scratch.Empty();
  return s_scratch;
}

}  // namespace

const CString& CStringArray::GetAt(int nIndex) const {
  if (nIndex < 0 || nIndex >= GetSize()) return OutOfRangeValue();
  return m_items[static_cast<size_t>(nIndex)];
}

CString& CStringArray::ElementAt(int nIndex) {
  if (nIndex < 0 || nIndex >= GetSize()) return OutOfRangeScratch();
  return m_items[static_cast<size_t>(nIndex)];
}

void CStringArray::SetAt(int nIndex, const char* psz) {
  if (nIndex < 0 || nIndex >= GetSize()) return;
  m_items[static_cast<size_t>(nIndex)] = psz;
}

int CStringArray::Add(const char* psz) { return Add(CString(psz)); }

int CStringArray::Add(const CString& str) {
  m_items.push_back(str);
  return GetSize() - 1;
}

void CStringArray::RemoveAt(int nIndex, int nCount) {
  int nSize = GetSize();
  if (nIndex < 0 || nIndex >= nSize || nCount <= 0) return;
  if (nCount > nSize - nIndex) nCount = nSize - nIndex;
  auto first = m_items.begin() + nIndex;
  m_items.erase(first, first + nCount);
}

void CStringArray::RemoveAll() {
  std::vector<CString, CHeapAllocator<CString>> empty;
  m_items.swap(empty);
}
