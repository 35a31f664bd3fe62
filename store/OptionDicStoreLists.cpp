#include "store/OptionDicStore.h"

#include "store/OptionDicStoreInternal.h"

namespace {

// ReadList and RemoveFromList
const int kCountTooLarge = 1;

// No list ever holds more; a stored count beyond this is not believed.
const DWORD kMaxStoredCount = 65535;

struct DicListNames {
  const char* pszCount;
  const char* pszPrefix;
  DWORD dwMaxEntries;
};

// The enabled list is written as "OptionDIC<n>" and looked up as
// "OptionDic<n>"; the library matches names without regard to case.
const DicListNames kRegisteredList = {"RegOptionDicNum", "RegOptionDic", 65535};
const DicListNames kEnabledListWriters = {"OptionDicNum", "OptionDIC", 15};
const DicListNames kEnabledListLookup = {"OptionDicNum", "OptionDic", 15};

const DicListNames& WriterNames(int bEnabledList) { return bEnabledList ? kEnabledListWriters : kRegisteredList; }
const DicListNames& LookupNames(int bEnabledList) { return bEnabledList ? kEnabledListLookup : kRegisteredList; }

CString EntryName(const char* pszPrefix, DWORD dwNumber) {
  CString name;
  name.Format("%s%d", pszPrefix, static_cast<int>(dwNumber));
  return name;
}

CString FileNameOf(const char* pszPath) {
  char szName[AFX_MAX_FNAME] = {0};
  char szExt[AFX_MAX_EXT] = {0};
  AfxSplitPath(pszPath, nullptr, nullptr, szName, szExt);
  CString fileName(szName);
  fileName += szExt;
  return fileName;
}

bool SamePath(const char* pszFirst, const char* pszSecond) {
  return COptionDicStore::ComparePaths(pszFirst, pszSecond) == 0;
}

}  // namespace

int COptionDicStore::FindInList(const char* pszPath, int bEnabledList) {
  if (!IsReady()) return kStoreNotReady;
  const DicListNames& names = LookupNames(bEnabledList);
  CString fileName = FileNameOf(pszPath);

  DWORD dwCount = 0;
  if (GetDword(names.pszCount, &dwCount) != kStoreOk) return kNotListed;
  if (dwCount > kMaxStoredCount) dwCount = kMaxStoredCount;

  bool bSamePath = false;
  bool bSameName = false;
  CString entry;
  for (DWORD k = 1; k <= dwCount; ++k) {
    if (GetPathValue(OptionDicPath(EntryName(names.pszPrefix, k)), entry) != kStoreOk) continue;
    if (SamePath(pszPath, entry)) bSamePath = true;
    if (SamePath(fileName, FileNameOf(entry))) bSameName = true;
  }
  if (bSamePath) return kPathListed;
  return bSameName ? kSameFileNameListed : kNotListed;
}

int COptionDicStore::AddToList(const char* pszPath, int bEnabledList) {
  const DicListNames& names = WriterNames(bEnabledList);
  if (!IsReady()) return kStoreNotReady;
  if (FindInList(pszPath, bEnabledList) == kPathListed) return kAlreadyListed;

  DWORD dwCount = 0;
  DWORD dwNumber = 1;
  const int nCountRead = GetDword(names.pszCount, &dwCount);
  if (nCountRead == kStoreOk) {
    if (dwCount >= names.dwMaxEntries) return kListFull;
    dwNumber = dwCount + 1;
  } else if (!IsAbsentResult(nCountRead)) {
    // Only a list without a count starts afresh: starting over because the
    // library failed would cut a stored list down to this one entry.
    return kAddFailed;
  }
  // The entry goes first so that the count never covers an unwritten entry.
  if (SetString(EntryName(names.pszPrefix, dwNumber), pszPath) != kStoreOk) return kAddFailed;
  if (SetDword(names.pszCount, dwNumber) != kStoreOk) return kAddFailed;
  return kAdded;
}

int COptionDicStore::RemoveFromList(const char* pszPath, int bEnabledList, CStringArray* pRemoved) {
  const DicListNames& names = WriterNames(bEnabledList);
  if (!IsReady()) return kStoreNotReady;

  CStringArray entries;
  int result = ReadList(entries, bEnabledList);
  if (result != kStoreOk) return result;

  CString fileName = FileNameOf(pszPath);
  CStringArray kept;
  for (int i = 0; i < entries.GetSize(); ++i) {
    const CString& entry = entries[i];
    if (pRemoved) {
      if (SamePath(FileNameOf(entry), fileName)) {
        pRemoved->Add(entry);
        continue;
      }
    } else if (SamePath(entry, pszPath)) {
      continue;
    }
    kept.Add(entry);
  }

  // The count drops to 0 first and rises with each rewritten entry, so it
  // never covers a value that is not there.
  if (SetDword(names.pszCount, 0) != kStoreOk) return kStoreFailed;
  for (DWORD k = 1; k <= static_cast<DWORD>(entries.GetSize()); ++k) {
    // A value already gone (a gap the read skipped) is as good as deleted;
    // failing on it would leave the whole list at count 0.
    result = DeleteValue(EntryName(names.pszPrefix, k));
    if (result != kStoreOk && !IsAbsentResult(result)) return kStoreFailed;
  }
  for (DWORD j = 1; j <= static_cast<DWORD>(kept.GetSize()); ++j) {
    if (SetString(EntryName(names.pszPrefix, j), kept[static_cast<int>(j) - 1]) != kStoreOk) return kStoreFailed;
    if (SetDword(names.pszCount, j) != kStoreOk) return kStoreFailed;
  }
  return kStoreOk;
}

int COptionDicStore::ReadList(CStringArray& list, int bEnabledList) {
  const DicListNames& names = WriterNames(bEnabledList);
  if (!IsReady()) return kStoreNotReady;
  list.RemoveAll();

  DWORD dwCount = 0;
  const int nCountRead = GetDword(names.pszCount, &dwCount);
  if (IsAbsentResult(nCountRead)) return kStoreOk;
  // A count the library failed to read is not an empty list: a rewrite based
  // on it would wipe the stored list.
  if (nCountRead != kStoreOk) return kStoreFailed;
  if (dwCount > kMaxStoredCount) return kCountTooLarge;

  CString entry;
  for (DWORD k = 1; k <= dwCount; ++k) {
    if (GetPathValue(OptionDicPath(EntryName(names.pszPrefix, k)), entry) == kStoreOk) list.Add(entry);
  }
  return kStoreOk;
}
