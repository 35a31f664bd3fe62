#include "store/OptionDicStore.h"

#include <algorithm>
#include <string>

#include "store/OptionDicStoreInternal.h"

namespace {

// A rewrite that could not read its list answers with the read's result.
COptionDicStore::RewriteResult AsRewriteResult(COptionDicStore::ReadResult result) {
  switch (result) {
    case COptionDicStore::kReadNotReady:
      return COptionDicStore::kRewriteNotReady;
    case COptionDicStore::kReadCountTooLarge:
      return COptionDicStore::kRewriteCountTooLarge;
    case COptionDicStore::kRead:
      return COptionDicStore::kRewritten;
    default:
      return COptionDicStore::kRewriteFailed;
  }
}

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

// Positions of the list that equal an earlier one. Sorted by their folded
// form, equal paths lie side by side, so long lists cost n log n, not n².
// Paths that cannot be folded never equal anything.
std::vector<bool> LaterDuplicates(const CStringArray& entries, const std::vector<bool>& readable) {
  std::vector<std::string> folded(entries.GetSize());
  std::vector<int> order;
  char szFolded[kPathBufferSize];
  for (int i = 0; i < entries.GetSize(); ++i) {
    if (!readable[i] || !COptionDicStore::NormalizePath(entries[i], szFolded)) continue;
    folded[i] = szFolded;
    order.push_back(i);
  }
  // Ties by position, so the first of equal paths comes first; std::sort
  // takes no memory of its own.
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    const int nOrder = folded[a].compare(folded[b]);
    return nOrder != 0 ? nOrder < 0 : a < b;
  });
  std::vector<bool> later(entries.GetSize(), false);
  for (size_t j = 1; j < order.size(); ++j) {
    if (folded[order[j]] == folded[order[j - 1]]) later[order[j]] = true;
  }
  return later;
}

}  // namespace

// A list as stored: position k at index k - 1, with the text where it was read.
struct CStoredList {
  enum Slot { kRead, kAbsent, kUnreadable };
  CStringArray entries;
  std::vector<Slot> slots;
  bool IsRead(int i) const { return slots[i] == kRead; }
  bool HasUnreadable() const { return std::find(slots.begin(), slots.end(), kUnreadable) != slots.end(); }
};

COptionDicStore::FindResult COptionDicStore::FindInList(const char* pszPath, int bEnabledList, int* pbUnsure) {
  if (pbUnsure) *pbUnsure = 0;
  if (!IsReady()) return kFindNotReady;
  const DicListNames& names = LookupNames(bEnabledList);
  CString fileName = FileNameOf(pszPath);

  bool bUnreadable = false;
  DWORD dwCount = 0;
  const int nCountRead = GetDword(names.pszCount, &dwCount);
  if (nCountRead != kStoreOk) dwCount = 0;
  if (nCountRead != kStoreOk && !IsAbsentResult(nCountRead)) bUnreadable = true;
  if (dwCount > kMaxStoredCount) dwCount = kMaxStoredCount;

  bool bSamePath = false;
  bool bSameName = false;
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
  if (pbUnsure && bUnreadable && !bSamePath) *pbUnsure = 1;
  if (bSamePath) return kPathListed;
  return bSameName ? kSameFileNameListed : kNotListed;
}

COptionDicStore::AddResult COptionDicStore::AddToList(const char* pszPath, int bEnabledList) {
  const DicListNames& names = WriterNames(bEnabledList);
  if (!IsReady()) return kAddNotReady;
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
  // Both value paths exist before the first write, so running out of memory
  // cannot strike between the two writes.
  const CString strEntryPath = OptionDicPath(EntryName(names.pszPrefix, dwNumber));
  const CString strCountPath = OptionDicPath(names.pszCount);
  // The entry goes first so that the count never covers an unwritten entry.
  if (CallSetString(strEntryPath, pszPath) != kStoreOk) return kAddFailed;
  if (CallSetDword(strCountPath, dwNumber) != kStoreOk) return kAddFailed;
  return kAdded;
}

COptionDicStore::RewriteResult COptionDicStore::RemoveFromList(const char* pszPath, int bEnabledList,
                                                               CStringArray* pRemoved) {
  return RemoveEntries(pszPath, bEnabledList, pRemoved, false);
}

COptionDicStore::RewriteResult COptionDicStore::RemoveNamesakes(const char* pszPath, int bEnabledList,
                                                                CStringArray& removed) {
  return RemoveEntries(pszPath, bEnabledList, &removed, true);
}

COptionDicStore::RewriteResult COptionDicStore::RemoveEntries(const char* pszPath, int bEnabledList,
                                                              CStringArray* pRemoved, bool bKeepPath) {
  if (!IsReady()) return kRewriteNotReady;
  CStoredList stored;
  const ReadResult result = ReadStoredList(bEnabledList, stored);
  if (result != kRead) return AsRewriteResult(result);

  CString fileName = FileNameOf(pszPath);
  std::vector<bool> drop(stored.slots.size(), false);
  for (int i = 0; i < stored.entries.GetSize(); ++i) {
    if (!stored.IsRead(i)) continue;
    const CString& entry = stored.entries[i];
    drop[i] = pRemoved ? SamePath(FileNameOf(entry), fileName) && !(bKeepPath && SamePath(entry, pszPath))
                       : SamePath(entry, pszPath);
  }
  if (!pRemoved) return Rewrite(bEnabledList, stored, drop);
  // Keeping the path, nothing to take out means nothing to write; an entry
  // that could not be read may still have been one to take out.
  if (bKeepPath && std::find(drop.begin(), drop.end(), true) == drop.end()) {
    return stored.HasUnreadable() ? kRewrittenAroundUnreadable : kRewritten;
  }

  // Name mode hands over what it takes out before the writes, so that a
  // failure midway, running out of memory too, still knows what to put back.
  const int nBefore = pRemoved->GetSize();
  for (int i = 0; i < stored.entries.GetSize(); ++i) {
    if (drop[i]) pRemoved->Add(stored.entries[i]);
  }
  const RewriteResult nRewrite = Rewrite(bEnabledList, stored, drop);
  if (nRewrite == kUnreadableInTheWay) pRemoved->RemoveAt(nBefore, pRemoved->GetSize() - nBefore);
  return nRewrite;
}

COptionDicStore::RewriteResult COptionDicStore::RemoveDuplicates(int bEnabledList) {
  if (!IsReady()) return kRewriteNotReady;
  CStoredList stored;
  const ReadResult result = ReadStoredList(bEnabledList, stored);
  if (result != kRead) return AsRewriteResult(result);
  std::vector<bool> readable(stored.slots.size());
  for (size_t i = 0; i < readable.size(); ++i) readable[i] = stored.IsRead(static_cast<int>(i));
  return Rewrite(bEnabledList, stored, LaterDuplicates(stored.entries, readable));
}

bool COptionDicStore::SameFileName(const char* pszFirst, const char* pszSecond) {
  return SamePath(FileNameOf(pszFirst), FileNameOf(pszSecond));
}

bool COptionDicStore::TidiedAsFarAsReadable(RewriteResult result) {
  return result == kRewritten || result == kRewrittenAroundUnreadable || result == kUnreadableInTheWay;
}

bool COptionDicStore::HasDuplicates(const CStringArray& list) {
  const std::vector<bool> later = LaterDuplicates(list, std::vector<bool>(list.GetSize(), true));
  return std::find(later.begin(), later.end(), true) != later.end();
}

COptionDicStore::RewriteResult COptionDicStore::Rewrite(int bEnabledList, const CStoredList& stored,
                                                        const std::vector<bool>& drop) {
  const DicListNames& names = WriterNames(bEnabledList);
  const int nStored = stored.entries.GetSize();
  // Everything before the first gap or dropped entry stays where it is,
  // entries that cannot be read among it too.
  const RewriteResult nDone = stored.HasUnreadable() ? kRewrittenAroundUnreadable : kRewritten;
  int nFirst = 0;
  while (nFirst < nStored && stored.slots[nFirst] != CStoredList::kAbsent && !drop[nFirst]) ++nFirst;
  if (nFirst == nStored) return nDone;
  CStringArray kept;
  for (int i = nFirst; i < nStored; ++i) {
    // An entry that cannot be read cannot be written elsewhere.
    if (stored.slots[i] == CStoredList::kUnreadable) return kUnreadableInTheWay;
    if (stored.IsRead(i) && !drop[i]) kept.Add(stored.entries[i]);
  }

  // Every value path is built before the first write: running out of memory
  // halfway through the rewrite would leave it half done.
  const DWORD dwKeptEnd = static_cast<DWORD>(nFirst + kept.GetSize());
  CStringArray keptPaths;
  for (DWORD j = nFirst + 1; j <= dwKeptEnd; ++j) keptPaths.Add(OptionDicPath(EntryName(names.pszPrefix, j)));
  CStringArray stalePaths;
  for (DWORD k = dwKeptEnd + 1; k <= static_cast<DWORD>(nStored); ++k) {
    stalePaths.Add(OptionDicPath(EntryName(names.pszPrefix, k)));
  }
  const CString strCountPath = OptionDicPath(names.pszCount);

  // Kept entries only move towards the front, so each write overwrites a
  // removed entry, a gap or a kept one already written at its new place,
  // and the old count still covers every position. A failure here therefore
  // loses no kept entry; it may leave a duplicate, or the entry being
  // removed, listed until the next run.
  for (int j = 0; j < keptPaths.GetSize(); ++j) {
    if (CallSetString(keptPaths[j], kept[j]) != kStoreOk) return kRewriteFailed;
  }
  if (CallSetDword(strCountPath, dwKeptEnd) != kStoreOk) return kRewriteFailed;
  // Beyond the count now: what is left here is outside the list.
  for (int k = 0; k < stalePaths.GetSize(); ++k) {
    const int result = CallDelete(stalePaths[k]);
    if (result != kStoreOk && !IsAbsentResult(result)) return kRewriteFailed;
  }
  return nDone;
}

COptionDicStore::ReadResult COptionDicStore::ReadList(CStringArray& list, int bEnabledList) {
  if (!IsReady()) return kReadNotReady;
  list.RemoveAll();
  CStoredList stored;
  const ReadResult result = ReadStoredList(bEnabledList, stored);
  if (result != kRead) return result;
  for (int i = 0; i < stored.entries.GetSize(); ++i) {
    if (stored.IsRead(i)) list.Add(stored.entries[i]);
  }
  return kRead;
}

COptionDicStore::ReadResult COptionDicStore::ReadStoredList(int bEnabledList, CStoredList& stored) {
  const DicListNames& names = WriterNames(bEnabledList);
  if (!IsReady()) return kReadNotReady;

  DWORD dwCount = 0;
  const int nCountRead = GetDword(names.pszCount, &dwCount);
  if (IsAbsentResult(nCountRead)) return kRead;
  // A count the library failed to read is not an empty list: a rewrite based
  // on it would wipe the stored list, an append would start it over.
  if (nCountRead != kStoreOk) return kReadFailed;
  if (dwCount > kMaxStoredCount) return kReadCountTooLarge;

  CString entry;
  for (DWORD k = 1; k <= dwCount; ++k) {
    const int nRead = GetPathValue(OptionDicPath(EntryName(names.pszPrefix, k)), entry);
    if (nRead == kStoreOk) {
      stored.entries.Add(entry);
      stored.slots.push_back(CStoredList::kRead);
    } else {
      stored.entries.Add("");
      stored.slots.push_back(IsAbsentResult(nRead) ? CStoredList::kAbsent : CStoredList::kUnreadable);
    }
  }
  return kRead;
}
