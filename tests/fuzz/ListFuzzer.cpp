// Stateful libFuzzer target over the dictionary lists. The store is bound to
// an in-memory common library (loaded through FuzzStorePlatform.cpp, not the
// Win32 double, whose record of every call would slow each input sixfold)
// whose stored lists and per-call results come from the input:
//   front: each list's stored count and entries, then operations (finding,
//          adding, removing by path or by file name, reading, collapsing
//          duplicates), each with a
//          path, a list and optionally an allocation to fail;
//   back:  one byte per library call: behave, fail, or do it and still fail.
// After every operation the lists must not have lost an entry the operation
// did not remove on purpose, the stored count must cover no entry that was
// not there before, and a result must not claim more than the calls allowed.
// Any broken rule traps.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "FuzzPlatform.h"
#include "framework/Afx.h"
#include "store/OptionDicStore.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// ---- The input ----

// Setup and operations are read from the front, call results from the back;
// both read zeros once they meet.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : m_data(data), m_front(0), m_back(size) {}
  uint8_t Front() { return m_front < m_back ? m_data[m_front++] : 0; }
  uint8_t Back() { return m_back > m_front ? m_data[--m_back] : 0; }
  bool Empty() const { return m_front >= m_back; }

 private:
  const uint8_t* m_data;
  size_t m_front;
  size_t m_back;
};

Input* g_input = nullptr;

// Entries the lists can hold: equal paths in other case or width, a shared
// file name in another folder, 0x5C as a trail byte, a text too long to read
// back, and an empty one.
const std::string kPaths[] = {
    "C:\\Dic\\A.dic",
    "c:\\dic\\a.DIC",
    "D:\\Other\\A.dic",
    "C:\\Dic\\B.dic",
    "C:\\Dic\\\x83\x5C.dic",
    "C:\\Dic\\\x82\x81.dic",
    "C:\\Dic\\\x82\x60.dic",
    "E:\\" + std::string(300, 'x') + ".dic",
    "",
    "E:\\x\\C.dic",
};
const int kPathCount = static_cast<int>(sizeof(kPaths) / sizeof(kPaths[0]));
int PickPath(uint8_t b) { return b % kPathCount; }

// A stored text back to its place in kPaths; every value the lists hold
// comes from there.
int IndexOf(const std::string& path) {
  for (int i = 0; i < kPathCount; ++i) {
    if (kPaths[i] == path) return i;
  }
  __builtin_trap();
}

// ---- The common library ----

const int kLibOk = 0;
const int kLibAbsentKey = 1;
const int kLibAbsentValue = 2;
const int kLibMoreData = 234;
// Other failures a library may give: denied, invalid data, more data, a
// negative code, and the absent results where they mean failure (writes).
const int kFailures[] = {5, 13, kLibMoreData, -1, kLibAbsentKey, kLibAbsentValue};
const DWORD kReadFlags = 1;
const DWORD kWriteFlags = 0x8001;
const DWORD kDeleteSingleValue = 1;

enum Outcome { kBehave, kFail, kDoneButFail };

struct Library {
  std::map<std::string, std::string> strings;  // by folded value path
  std::map<std::string, DWORD> dwords;
  bool faulted = false;  // a call of the current operation did not behave
};
Library g_lib;

std::string Fold(const std::string& path) {
  std::string key = path;
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  }
  return key;
}

// Mostly behave, so that whole operations succeed often enough to check.
// *pAbsent: what a behaving call answers for a value that is not there.
Outcome NextOutcome(int* pFailure, bool bRead, int* pAbsent = nullptr) {
  const uint8_t b = g_input->Back();
  if (pAbsent) *pAbsent = (b & 1) ? kLibAbsentKey : kLibAbsentValue;
  if (b < 0xC0) return kBehave;
  // A read cannot half succeed, and an absent result would be true there.
  const size_t nFailures = sizeof(kFailures) / sizeof(kFailures[0]) - (bRead ? 2 : 0);
  *pFailure = kFailures[b % nFailures];
  g_lib.faulted = true;
  return (!bRead && (b & 0x20)) ? kDoneButFail : kFail;
}

void CheckCall(HKEY hRoot, DWORD dwFlags, DWORD dwReserved, DWORD dwExpectedFlags) {
  Check(hRoot == HKEY_CURRENT_USER && dwFlags == dwExpectedFlags && dwReserved == 0);
}

int __stdcall GenerateUserDicRootPath(char*, const char*, int) {
  __builtin_trap();  // no list operation asks for the folder
}

int __stdcall GetRegValue(HKEY hRoot, DWORD dwFlags, DWORD dwReserved, const char* pszPath, DWORD dwType, void* pData,
                          DWORD* pcbData) {
  CheckCall(hRoot, dwFlags, dwReserved, kReadFlags);
  int failure = 0;
  int absent = 0;
  if (NextOutcome(&failure, true, &absent) != kBehave) return failure;
  const std::string key = Fold(pszPath);
  if (dwType == REG_DWORD) {
    Check(*pcbData == sizeof(DWORD));
    auto it = g_lib.dwords.find(key);
    if (it == g_lib.dwords.end()) return absent;
    std::memcpy(pData, &it->second, sizeof(DWORD));
    return kLibOk;
  }
  Check(dwType == REG_SZ);
  auto it = g_lib.strings.find(key);
  if (it == g_lib.strings.end()) return absent;
  if (it->second.size() + 1 > *pcbData) return kLibMoreData;
  std::memcpy(pData, it->second.c_str(), it->second.size() + 1);
  *pcbData = static_cast<DWORD>(it->second.size() + 1);
  return kLibOk;
}

int __stdcall SetRegValue(HKEY hRoot, DWORD dwFlags, DWORD dwReserved, const char* pszPath, DWORD dwType,
                          const void* pData, DWORD cbData) {
  CheckCall(hRoot, dwFlags, dwReserved, kWriteFlags);
  int failure = 0;
  const Outcome outcome = NextOutcome(&failure, false);
  if (outcome == kFail) return failure;
  const std::string key = Fold(pszPath);
  if (dwType == REG_DWORD) {
    Check(cbData == sizeof(DWORD));
    DWORD value;
    std::memcpy(&value, pData, sizeof(value));
    g_lib.strings.erase(key);
    g_lib.dwords[key] = value;
  } else {
    Check(dwType == REG_SZ);
    const char* psz = static_cast<const char*>(pData);
    Check(cbData == std::strlen(psz) + 1);
    g_lib.dwords.erase(key);
    g_lib.strings[key] = psz;
  }
  return outcome == kBehave ? kLibOk : failure;
}

int __stdcall DeleteRegKeyData(HKEY hRoot, DWORD dwFlags, DWORD dwReserved, DWORD dwKind, const char* pszPath) {
  CheckCall(hRoot, dwFlags, dwReserved, kReadFlags);
  Check(dwKind == kDeleteSingleValue);
  int failure = 0;
  int absent = 0;
  const Outcome outcome = NextOutcome(&failure, false, &absent);
  if (outcome == kFail) return failure;
  const std::string key = Fold(pszPath);
  const bool bThere = g_lib.strings.erase(key) + g_lib.dwords.erase(key) > 0;
  if (outcome == kDoneButFail) return failure;
  return bThere ? kLibOk : absent;
}

// ---- The lists as stored ----

struct ListNames {
  const char* count;
  const char* prefix;
  DWORD maxEntries;
};
const ListNames kLists[] = {{"OPTIONDIC\\REGOPTIONDICNUM", "OPTIONDIC\\REGOPTIONDIC", 65535},
                            {"OPTIONDIC\\OPTIONDICNUM", "OPTIONDIC\\OPTIONDIC", 15}};

std::string EntryKey(int bEnabled, DWORD n) { return kLists[bEnabled].prefix + std::to_string(n); }

struct ListState {
  bool hasCount = false;
  DWORD count = 0;
  std::vector<bool> present;      // positions 1..count
  std::vector<int> entries;       // the listed entries in order, gaps skipped
};

ListState ReadState(const Library& lib, int bEnabled) {
  ListState state;
  auto count = lib.dwords.find(kLists[bEnabled].count);
  if (count == lib.dwords.end()) return state;
  state.hasCount = true;
  state.count = count->second;
  for (DWORD k = 1; k <= state.count; ++k) {
    auto entry = lib.strings.find(EntryKey(bEnabled, k));
    state.present.push_back(entry != lib.strings.end());
    if (entry != lib.strings.end()) state.entries.push_back(IndexOf(entry->second));
  }
  return state;
}

// A count of at most 19 entries, some absent, some beyond the count.
void SetUpList(Input& input, int bEnabled) {
  const uint8_t countMode = input.Front();
  const DWORD nSlots = input.Front() % 16;
  for (DWORD k = 1; k <= nSlots; ++k) {
    const uint8_t b = input.Front();
    if (b & 0x80) g_lib.strings[EntryKey(bEnabled, k)] = kPaths[PickPath(b)];
  }
  switch (countMode % 4) {
    case 0:
      break;  // no count
    case 1:
      g_lib.dwords[kLists[bEnabled].count] = nSlots;
      break;
    default:
      g_lib.dwords[kLists[bEnabled].count] = countMode % 20;
      break;
  }
}

// ---- The checks ----

// How the pool's paths relate, as the store's own comparison tells: equal
// paths, and equal file names.
struct Relations {
  bool samePath[kPathCount][kPathCount];
  bool sameName[kPathCount][kPathCount];
  Relations() {
    for (int i = 0; i < kPathCount; ++i) {
      for (int j = 0; j < kPathCount; ++j) {
        samePath[i][j] = COptionDicStore::ComparePaths(kPaths[i].c_str(), kPaths[j].c_str()) == 0;
        sameName[i][j] = COptionDicStore::ComparePaths(FileNameOf(i).c_str(), FileNameOf(j).c_str()) == 0;
      }
    }
  }
  static std::string FileNameOf(int i) {
    char szName[AFX_MAX_FNAME] = {0};
    char szExt[AFX_MAX_EXT] = {0};
    AfxSplitPath(kPaths[i].c_str(), nullptr, nullptr, szName, szExt);
    return std::string(szName) + szExt;
  }
};
const Relations& Related() {
  static const Relations s_relations;
  return s_relations;
}

// Entries the library cannot hand back in the store's buffer.
bool Readable(const ListState& state) {
  for (int entry : state.entries) {
    if (kPaths[entry].size() >= MAX_PATH) return false;
  }
  return true;
}

bool Contains(const std::vector<int>& list, int entry) {
  for (int e : list) {
    if (e == entry) return true;
  }
  return false;
}

// (b): every position the count covers holds an entry, unless it was a gap
// the old count covered already.
void CheckCountCoversEntries(const ListState& before, const ListState& after) {
  if (!after.hasCount) return;
  for (DWORD k = 1; k <= after.count; ++k) {
    if (after.present[k - 1]) continue;
    Check(before.hasCount && k <= before.count && !before.present[k - 1]);
  }
}

enum Operation { kFind, kAdd, kRemovePath, kRemoveName, kRead, kCollapse, kOperationCount };

struct Step {
  Operation op;
  int path;  // in kPaths
  int bEnabled;
  int result = 0;
  int bUnsure = 0;  // what Find said of its reads
  bool bThrew = false;
  CStringArray out;  // what ReadList read, or what name mode removed
};

int Occurrences(const std::vector<int>& list, int entry) {
  int n = 0;
  for (int e : list) n += Related().samePath[e][entry] ? 1 : 0;
  return n;
}

bool Removable(const Step& step, int entry, const ListState& old) {
  if (step.op == kRemovePath) return Related().samePath[entry][step.path];
  if (step.op == kRemoveName) return Related().sameName[entry][step.path];
  if (step.op == kCollapse) return Occurrences(old.entries, entry) > 1;
  return false;
}

// Every element of part, in order, within whole.
bool IsSubsequence(const std::vector<int>& part, const std::vector<int>& whole) {
  size_t j = 0;
  for (int e : whole) {
    if (j < part.size() && part[j] == e) ++j;
  }
  return j == part.size();
}

// What a rewrite keeps and drops when every entry was read.
void SplitForRewrite(const Step& step, const ListState& before, std::vector<int>& kept, std::vector<int>& removed) {
  for (int entry : before.entries) {
    bool bDrop = step.op == kCollapse ? Occurrences(kept, entry) > 0 : Removable(step, entry, before);
    (bDrop ? removed : kept).push_back(entry);
  }
}

std::vector<int> ToIndices(const CStringArray& list) {
  std::vector<int> v;
  for (int i = 0; i < list.GetSize(); ++i) v.push_back(IndexOf(list[i].GetString()));
  return v;
}

// What Find must answer when every read behaved.
int ExpectedFind(const ListState& state, int path) {
  bool bSameName = false;
  for (int entry : state.entries) {
    if (Related().samePath[entry][path]) return COptionDicStore::kPathListed;
    if (Related().sameName[entry][path]) bSameName = true;
  }
  return bSameName ? COptionDicStore::kSameFileNameListed : COptionDicStore::kNotListed;
}

void CheckResult(const Step& step, const ListState& before, const ListState& after, bool bFaulted) {
  const int r = step.result;
  const bool bClean = !bFaulted && Readable(before);
  switch (step.op) {
    case kFind:
      // Entries it could not read are passed over, and it says so.
      if (bClean) Check(!step.bUnsure);
      if (!step.bUnsure) Check(r == ExpectedFind(before, step.path));
      if (r == COptionDicStore::kPathListed) Check(ExpectedFind(before, step.path) == r);
      if (r == COptionDicStore::kSameFileNameListed) Check(ExpectedFind(before, step.path) != 0);
      break;
    case kRead:
      if (r == 0) {
        Check(bClean ? ToIndices(step.out) == before.entries : IsSubsequence(ToIndices(step.out), before.entries));
      } else {
        Check(r == -2 && !bClean && step.out.GetSize() == 0);
      }
      break;
    case kAdd:
      if (r == COptionDicStore::kAdded) {
        if (bClean) Check(ExpectedFind(before, step.path) != COptionDicStore::kPathListed);
        Check(after.hasCount && !after.entries.empty() && after.entries.back() == step.path);
        Check(after.count == (before.hasCount ? before.count + 1 : 1));
      } else if (r == COptionDicStore::kAlreadyListed) {
        Check(ExpectedFind(before, step.path) == COptionDicStore::kPathListed);
      } else if (r == COptionDicStore::kListFull) {
        Check(before.hasCount && before.count >= kLists[step.bEnabled].maxEntries);
      } else {
        Check(r == COptionDicStore::kAddFailed && !bClean);
      }
      break;
    case kRemovePath:
    case kRemoveName:
    case kCollapse: {
      std::vector<int> kept;
      std::vector<int> removed;
      SplitForRewrite(step, before, kept, removed);
      if (r == COptionDicStore::kRewritten) {
        Check(after.entries == kept && after.count == kept.size());
        if (step.op == kRemoveName) Check(ToIndices(step.out) == removed);
      } else if (r == COptionDicStore::kRewrittenAroundUnreadable) {
        // What could not be read stays, and may be one it would have dropped.
        Check(!bClean && IsSubsequence(kept, after.entries) && IsSubsequence(after.entries, before.entries));
        if (step.op == kRemoveName) Check(IsSubsequence(ToIndices(step.out), removed));
      } else if (r == COptionDicStore::kUnreadableInTheWay) {
        Check(!bClean && after.entries == before.entries && after.count == before.count && step.out.GetSize() == 0);
      } else {
        Check(r == -2 && !bClean);
      }
      break;
    }
    default:
      break;
  }
}

// (a) and (b) on both lists, then the result against what was stored.
void CheckStep(const Step& step, const Library& before, const Library& after) {
  if (step.op == kFind || step.op == kRead || step.result == COptionDicStore::kUnreadableInTheWay) {
    Check(before.strings == after.strings && before.dwords == after.dwords);
  }
  for (int bEnabled = 0; bEnabled < 2; ++bEnabled) {
    const ListState old = ReadState(before, bEnabled);
    const ListState now = ReadState(after, bEnabled);
    CheckCountCoversEntries(old, now);
    const bool bTarget = bEnabled == step.bEnabled;
    for (int entry : old.entries) {
      if (bTarget && Removable(step, entry, old)) continue;
      Check(Contains(now.entries, entry));
    }
    if (!bTarget) Check(old.entries == now.entries);
    if (bTarget && !step.bThrew) CheckResult(step, old, now, after.faulted);
  }
}

// A store bound to the in-memory library.
COptionDicStore* BindStore() {
  FuzzAddLibrary("C:\\WINDOWS\\system32\\HRNCMN10.DLL",
                 {{"_QLMS_GenerateUserDicRootPath@12", reinterpret_cast<FARPROC>(&GenerateUserDicRootPath)},
                  {"_QLMR_GetRegValueA@28", reinterpret_cast<FARPROC>(&GetRegValue)},
                  {"_QLMR_SetRegValueA@28", reinterpret_cast<FARPROC>(&SetRegValue)},
                  {"_QLMR_DeleteRegKeyDataA@20", reinterpret_cast<FARPROC>(&DeleteRegKeyData)}});
  COptionDicStore* store = new COptionDicStore;
  Check(store->IsReady() == 1);
  return store;
}

void Run(COptionDicStore& store, Step& step) {
  switch (step.op) {
    case kFind:
      step.result = store.FindInList(kPaths[step.path].c_str(), step.bEnabled, &step.bUnsure);
      break;
    case kAdd:
      step.result = store.AddToList(kPaths[step.path].c_str(), step.bEnabled);
      break;
    case kRemovePath:
      step.result = store.RemoveFromList(kPaths[step.path].c_str(), step.bEnabled);
      break;
    case kRemoveName:
      step.result = store.RemoveFromList(kPaths[step.path].c_str(), step.bEnabled, &step.out);
      break;
    case kCollapse:
      step.result = store.RemoveDuplicates(step.bEnabled);
      break;
    default:
      step.result = store.ReadList(step.out, step.bEnabled);
      break;
  }
}

const int kMaxSteps = 8;
const int kMaxPlannedAllocation = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Binding is the costly part, and the library's entry points never change.
  static COptionDicStore* const s_store = BindStore();
  Input input(data, size);
  g_input = &input;
  g_lib = Library();
  SetUpList(input, 0);
  SetUpList(input, 1);

  for (int n = 0; n < kMaxSteps && !input.Empty(); ++n) {
    const uint8_t op = input.Front();
    Step step;
    step.op = static_cast<Operation>(op % kOperationCount);
    step.bEnabled = (op >> 3) & 1;
    step.path = PickPath(input.Front());
    // In one step of sixteen an allocation fails: running out of memory must
    // not strike between the writes of a rewrite.
    const bool bOutOfMemory = (op >> 4) == 0xF;
    FuzzFailAllocation(bOutOfMemory ? input.Front() % kMaxPlannedAllocation + 1 : 0);

    Library before = g_lib;
    g_lib.faulted = false;
    try {
      Run(*s_store, step);
    } catch (CException* e) {
      e->Delete();
      step.bThrew = true;
    }
    if (FuzzAllocationFailed()) g_lib.faulted = true;
    FuzzFailAllocation(0);
    CheckStep(step, before, g_lib);
  }
  g_input = nullptr;
  g_lib = Library();
  return 0;
}
