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
  const int nCountRead = GetDword(names.pszCount, &dwCount);
  if (IsAbsentResult(nCountRead)) return kNotListed;
  if (nCountRead != kStoreOk) return kLookupFailed;
  if (dwCount > kMaxStoredCount) dwCount = kMaxStoredCount;

  bool bSamePath = false;
  bool bSameName = false;
  bool bUnreadable = false;
  CString entry;
  for (DWORD k = 1; k <= dwCount; ++k) {
    const int nRead = GetPathValue(OptionDicPath(EntryName(names.pszPrefix, k)), entry);
    if (nRead != kStoreOk) {
      if (!IsAbsentResult(nRead)) bUnreadable = true;
      continue;
    }
    if (SamePath(pszPath, entry)) bSamePath = true;
    if (SamePath(fileName, FileNameOf(entry))) bSameName = true;
  }
  if (bSamePath) return kPathListed;
  // The entry that could not be read may be the path itself.
  if (bUnreadable) return kLookupFailed;
  return bSameName ? kSameFileNameListed : kNotListed;
}

int COptionDicStore::AddToList(const char* pszPath, int bEnabledList) {
  const DicListNames& names = WriterNames(bEnabledList);
  if (!IsReady()) return kStoreNotReady;
  const int nFound = FindInList(pszPath, bEnabledList);
  if (nFound == kPathListed) return kAlreadyListed;
  if (nFound == kLookupFailed) return kAddFailed;

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
  // Both value paths exist before the first write, so running out of memory
  // cannot strike between the two writes.
  const CString strEntryPath = OptionDicPath(EntryName(names.pszPrefix, dwNumber));
  const CString strCountPath = OptionDicPath(names.pszCount);
  // The entry goes first so that the count never covers an unwritten entry.
  if (CallSetString(strEntryPath, pszPath) != kStoreOk) return kAddFailed;
  if (CallSetDword(strCountPath, dwNumber) != kStoreOk) return kAddFailed;
  return kAdded;
}

int COptionDicStore::RemoveFromList(const char* pszPath, int bEnabledList, CStringArray* pRemoved) {
  return RemoveEntries(pszPath, bEnabledList, pRemoved, false);
}

int COptionDicStore::RemoveNamesakes(const char* pszPath, int bEnabledList, CStringArray& removed) {
  return RemoveEntries(pszPath, bEnabledList, &removed, true);
}

int COptionDicStore::RemoveEntries(const char* pszPath, int bEnabledList, CStringArray* pRemoved, bool bKeepPath) {
  const DicListNames& names = WriterNames(bEnabledList);
  if (!IsReady()) return kStoreNotReady;

  CStringArray entries;
  DWORD dwStored = 0;
  int result = ReadStoredList(entries, bEnabledList, &dwStored);
  if (result != kStoreOk) return result;

  CString fileName = FileNameOf(pszPath);
  CStringArray kept;
  for (int i = 0; i < entries.GetSize(); ++i) {
    const CString& entry = entries[i];
    if (pRemoved) {
      if (SamePath(FileNameOf(entry), fileName) && !(bKeepPath && SamePath(entry, pszPath))) {
        pRemoved->Add(entry);
        continue;
      }
    } else if (SamePath(entry, pszPath)) {
      continue;
    }
    kept.Add(entry);
  }
  if (bKeepPath && kept.GetSize() == entries.GetSize()) return kStoreOk;

  // Every value path is built before the first write: running out of memory
  // halfway through the rewrite would leave it half done.
  const DWORD dwKept = static_cast<DWORD>(kept.GetSize());
  CStringArray keptPaths;
  for (DWORD j = 1; j <= dwKept; ++j) keptPaths.Add(OptionDicPath(EntryName(names.pszPrefix, j)));
  CStringArray stalePaths;
  for (DWORD k = dwKept + 1; k <= dwStored; ++k) stalePaths.Add(OptionDicPath(EntryName(names.pszPrefix, k)));
  const CString strCountPath = OptionDicPath(names.pszCount);

  // Kept entries only move towards the front, so each write overwrites a
  // removed entry or a kept one already written at its new place, and the
  // old count still covers every position. A failure here therefore loses
  // no kept entry; it may leave a duplicate, or the entry being removed,
  // listed until the next run.
  for (int j = 0; j < keptPaths.GetSize(); ++j) {
    if (CallSetString(keptPaths[j], kept[j]) != kStoreOk) return kStoreFailed;
  }
  if (CallSetDword(strCountPath, dwKept) != kStoreOk) return kStoreFailed;
  // Beyond the count now: what is left here is outside the list.
  for (int k = 0; k < stalePaths.GetSize(); ++k) {
    result = CallDelete(stalePaths[k]);
    if (result != kStoreOk && !IsAbsentResult(result)) return kStoreFailed;
  }
  return kStoreOk;
}

int COptionDicStore::ReadList(CStringArray& list, int bEnabledList) {
  DWORD dwStored = 0;
  return ReadStoredList(list, bEnabledList, &dwStored);
}

int COptionDicStore::ReadStoredList(CStringArray& list, int bEnabledList, DWORD* pdwStoredCount) {
  const DicListNames& names = WriterNames(bEnabledList);
  *pdwStoredCount = 0;
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
    const int nRead = GetPathValue(OptionDicPath(EntryName(names.pszPrefix, k)), entry);
    if (nRead == kStoreOk) {
      list.Add(entry);
    } else if (!IsAbsentResult(nRead)) {
      // Likewise an entry: a rewrite without it would drop it for good.
      list.RemoveAll();
      return kStoreFailed;
    }
  }
  *pdwStoredCount = dwCount;
  return kStoreOk;
}
