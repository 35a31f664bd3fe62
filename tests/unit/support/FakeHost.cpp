#include "FakeHost.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

#include "winhost/HostLibrary.h"

namespace testhost {
namespace {

// What the stand-in answers where the real library would fail.
const int kOk = 0;
const int kNoFolder = 0;  // the folder request's failure
const int kEngineRefused = 1;
const int kValueAbsent = 2;
const int kAccessDenied = 5;
const int kWrongType = 13;     // ERROR_INVALID_DATA
const int kBadParameter = 87;  // ERROR_INVALID_PARAMETER
const int kMoreData = 234;     // ERROR_MORE_DATA
const DWORD kDeleteSingleValue = 1;
const DWORD kDwordSize = sizeof(DWORD);

const char kDefaultUserDicRoot[] = "C:\\Users\\taro\\Dic";
const char kEngineModuleSuffix[] = "\\CMD\\HRNCNV.DLL";

const size_t kBlockSize = 788;
const size_t kListBufferSize = 16384;
const size_t kCommandOffset = 284;
const size_t kBufferSizeOffset = 308;
const size_t kBufferAddressOffset = 312;
const WORD kExpectedCommandField = 5;

struct ListNames {
  const char* count;
  const char* prefix;
};
const ListNames kRegisteredNames = {"OptionDic\\RegOptionDicNum", "OptionDic\\RegOptionDic"};
const ListNames kEnabledNames = {"OptionDic\\OptionDicNum", "OptionDic\\OptionDIC"};

const ListNames& NamesOf(bool enabled) { return enabled ? kEnabledNames : kRegisteredNames; }

bool IsSjisLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Registry names ignore case; a trail byte is not a letter.
std::string FoldKey(const std::string& path) {
  std::string key = path;
  for (size_t i = 0; i < key.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(key[i]);
    if (IsSjisLeadByte(b)) {
      ++i;
    } else if (b >= 'a' && b <= 'z') {
      key[i] = static_cast<char>(b - ('a' - 'A'));
    }
  }
  return key;
}

struct StoredValue {
  std::string path;  // spelling at creation, as the registry keeps it
  DWORD type = 0;
  std::string bytes;  // REG_SZ without its NUL; REG_DWORD 4 bytes
};

struct PendingFailure {
  std::string exportName;
  int remaining;
  int result;
};

struct LibraryState {
  std::map<std::string, StoredValue> values;
  std::string userDicRoot = kDefaultUserDicRoot;
  int userDicRootResult = 1;
  std::vector<PendingFailure> pending;
  std::map<std::string, int> failedReads;
  std::vector<LibCall> calls;
};

struct EngineState {
  int result = 0;
  std::vector<Engine::Call> calls;
  std::function<void()> hook;
};

LibraryState& Lib() {
  static LibraryState state;
  return state;
}

EngineState& Eng() {
  static EngineState state;
  return state;
}

// Counts the call against every scheduled failure of this export.
bool TakeScheduledFailure(const std::string& exportName, int* pResult) {
  auto& pending = Lib().pending;
  bool failed = false;
  for (auto it = pending.begin(); it != pending.end();) {
    if (it->exportName == exportName && --it->remaining == 0) {
      if (!failed) *pResult = it->result;
      failed = true;
      it = pending.erase(it);
    } else {
      ++it;
    }
  }
  return failed;
}

StoredValue* Find(const std::string& path) {
  auto it = Lib().values.find(FoldKey(path));
  return it == Lib().values.end() ? nullptr : &it->second;
}

void Store(const std::string& path, DWORD type, const std::string& bytes) {
  StoredValue& value = Lib().values[FoldKey(path)];
  if (value.path.empty()) value.path = path;
  value.type = type;
  value.bytes = bytes;
}

std::string DwordBytes(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), kDwordSize); }

// Entry number of a value named prefix + decimal digits, else 0.
unsigned long EntryNumber(const std::string& path, const std::string& prefix) {
  std::string key = FoldKey(path);
  std::string foldedPrefix = FoldKey(prefix);
  if (key.size() <= foldedPrefix.size() || key.compare(0, foldedPrefix.size(), foldedPrefix) != 0) return 0;
  std::string digits = key.substr(foldedPrefix.size());
  if (digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::strtoul(digits.c_str(), nullptr, 10);
}

// ---- The common library's entry points ----

int __stdcall GenerateUserDicRootPath(char* pszBuffer, const char* pszKind, int nFlag) {
  fakewin::ServingScope serving;
  LibCall call;
  call.function = kGenerateUserDicRootPath;
  call.path = pszKind ? pszKind : "";
  call.flags = static_cast<DWORD>(nFlag);
  Lib().calls.push_back(call);
  int result = 0;
  if (TakeScheduledFailure(kGenerateUserDicRootPath, &result)) return result;
  if (fakewin::FaultPoint(kGenerateUserDicRootPath)) return kNoFolder;
  if (Lib().userDicRootResult != 0) {
    const std::string& folder = Lib().userDicRoot;
    std::memcpy(pszBuffer, folder.c_str(), std::min(folder.size() + 1, static_cast<size_t>(MAX_PATH)));
  }
  return Lib().userDicRootResult;
}

// A library call failed by the fault hook passes the system's error on.
int FaultResult() { return static_cast<int>(GetLastError()); }

// Records a value call as it arrived; the caller fills in the rest.
LibCall& RecordValueCall(const char* pszFunction, HKEY hRoot, DWORD dwFlags, DWORD dwReserved, const char* pszPath) {
  LibCall call;
  call.function = pszFunction;
  call.root = hRoot;
  call.flags = dwFlags;
  call.reserved = dwReserved;
  call.path = pszPath;
  Lib().calls.push_back(call);
  return Lib().calls.back();
}

int __stdcall GetRegValue(HKEY hRoot, DWORD dwFlags, DWORD dwReserved, const char* pszPath, DWORD dwType, void* pData,
                          DWORD* pcbData) {
  fakewin::ServingScope serving;
  LibCall& call = RecordValueCall(kGetRegValue, hRoot, dwFlags, dwReserved, pszPath);
  call.type = dwType;
  call.size = pcbData ? *pcbData : 0;
  int result = 0;
  if (TakeScheduledFailure(kGetRegValue, &result)) return result;
  if (fakewin::FaultPoint(kGetRegValue)) return FaultResult();
  auto failed = Lib().failedReads.find(FoldKey(pszPath));
  if (failed != Lib().failedReads.end()) return failed->second;
  if (!pData || !pcbData) return kBadParameter;
  const StoredValue* value = hRoot == HKEY_CURRENT_USER ? Find(pszPath) : nullptr;
  if (!value) return kValueAbsent;
  if (value->type != dwType) return kWrongType;
  size_t needed = value->bytes.size() + (dwType == REG_SZ ? 1 : 0);
  if (needed > *pcbData) return kMoreData;
  std::memcpy(pData, value->bytes.data(), value->bytes.size());
  if (dwType == REG_SZ) static_cast<char*>(pData)[value->bytes.size()] = '\0';
  *pcbData = static_cast<DWORD>(needed);
  return kOk;
}

int __stdcall SetRegValue(HKEY hRoot, DWORD dwFlags, DWORD dwReserved, const char* pszPath, DWORD dwType,
                          const void* pData, DWORD cbData) {
  fakewin::ServingScope serving;
  std::string bytes(static_cast<const char*>(pData), cbData);
  LibCall& call = RecordValueCall(kSetRegValue, hRoot, dwFlags, dwReserved, pszPath);
  call.type = dwType;
  call.size = cbData;
  call.data = bytes;
  if (dwType == REG_SZ && !call.data.empty() && call.data.back() == '\0') call.data.pop_back();
  int result = 0;
  if (TakeScheduledFailure(kSetRegValue, &result)) return result;
  if (fakewin::FaultPoint(kSetRegValue)) return FaultResult();
  if (hRoot != HKEY_CURRENT_USER) return kAccessDenied;
  if (dwType == REG_SZ) {
    Store(pszPath, dwType, bytes.substr(0, bytes.find('\0')));
  } else if (dwType == REG_DWORD && cbData == kDwordSize) {
    Store(pszPath, dwType, bytes);
  } else {
    return kBadParameter;
  }
  return kOk;
}

int __stdcall DeleteRegKeyData(HKEY hRoot, DWORD dwFlags, DWORD dwReserved, DWORD dwKind, const char* pszPath) {
  fakewin::ServingScope serving;
  RecordValueCall(kDeleteRegKeyData, hRoot, dwFlags, dwReserved, pszPath).kind = dwKind;
  int result = 0;
  if (TakeScheduledFailure(kDeleteRegKeyData, &result)) return result;
  if (fakewin::FaultPoint(kDeleteRegKeyData)) return FaultResult();
  if (dwKind != kDeleteSingleValue) return kBadParameter;
  if (hRoot != HKEY_CURRENT_USER || !Find(pszPath)) return kValueAbsent;
  Lib().values.erase(FoldKey(pszPath));
  return kOk;
}

// ---- The engine's entry point ----

WORD ReadWord(const unsigned char* p) {
  WORD w;
  std::memcpy(&w, p, sizeof(w));
  return w;
}

bool OnlyFieldsSet(const std::string& block) {
  for (size_t i = 0; i < block.size(); ++i) {
    bool inField = (i >= kCommandOffset && i < kCommandOffset + sizeof(WORD)) ||
                   (i >= kBufferSizeOffset && i < kBufferSizeOffset + sizeof(WORD)) ||
                   (i >= kBufferAddressOffset && i < kBufferAddressOffset + sizeof(void*));
    if (!inField && block[i] != '\0') return false;
  }
  return true;
}

int __cdecl EngineTop(int nCommand, void* pBlock) {
  fakewin::ServingScope serving;
  Engine::Call call;
  call.command = nCommand;
  call.blockValid = false;
  if (pBlock) {
    const unsigned char* block = static_cast<const unsigned char*>(pBlock);
    void* pBuffer = nullptr;
    std::memcpy(&pBuffer, block + kBufferAddressOffset, sizeof(pBuffer));
    call.block.assign(reinterpret_cast<const char*>(block), kBlockSize);
    std::fill_n(call.block.begin() + kBufferAddressOffset, sizeof(void*), '\0');
    call.blockValid = ReadWord(block + kCommandOffset) == kExpectedCommandField &&
                      ReadWord(block + kBufferSizeOffset) == kListBufferSize && pBuffer != nullptr &&
                      OnlyFieldsSet(std::string(reinterpret_cast<const char*>(block), kBlockSize));
    if (pBuffer) {
      call.buffer.assign(static_cast<const char*>(pBuffer), kListBufferSize);
      size_t pos = 0;
      while (pos < kListBufferSize && call.buffer[pos] != '\0') {
        size_t end = call.buffer.find('\0', pos);
        if (end == std::string::npos) end = kListBufferSize;
        call.paths.push_back(call.buffer.substr(pos, end - pos));
        pos = end + 1;
      }
    }
  }
  Eng().calls.push_back(std::move(call));
  if (fakewin::FaultPoint(kEngineEntry)) return kEngineRefused;
  if (Eng().hook) Eng().hook();
  return Eng().result;
}

}  // namespace

void Reset() {
  Lib() = LibraryState();
  Eng() = EngineState();
}

// ---- CommonLibrary ----

void ResetWithLoader(fakewin::Loader loader) {
  fakewin::Reset();
  Reset();
  fakewin::SetLoader(loader);
  HardenLibrarySearch();
}

CommonLibrary& CommonLibrary::Get() {
  static CommonLibrary library;
  return library;
}

void CommonLibrary::Install(const std::vector<std::string>& omit, const std::string& path) {
  fakewin::Exports all = {
      {kGenerateUserDicRootPath, fakewin::Export(&GenerateUserDicRootPath)},
      {kGetRegValue, fakewin::Export(&GetRegValue)},
      {kSetRegValue, fakewin::Export(&SetRegValue)},
      {kDeleteRegKeyData, fakewin::Export(&DeleteRegKeyData)},
  };
  for (const std::string& name : omit) all.erase(name);
  fakewin::AddModule(path, all);
}

void CommonLibrary::SetDword(const std::string& path, DWORD value) { Store(path, REG_DWORD, DwordBytes(value)); }

void CommonLibrary::SetString(const std::string& path, const std::string& value) { Store(path, REG_SZ, value); }

void CommonLibrary::Remove(const std::string& path) { Lib().values.erase(FoldKey(path)); }

bool CommonLibrary::Has(const std::string& path) const { return Find(path) != nullptr; }

DWORD CommonLibrary::Dword(const std::string& path) const {
  const StoredValue* value = Find(path);
  DWORD result = 0;
  if (value && value->type == REG_DWORD && value->bytes.size() == kDwordSize)
    std::memcpy(&result, value->bytes.data(), kDwordSize);
  return result;
}

std::string CommonLibrary::String(const std::string& path) const {
  const StoredValue* value = Find(path);
  return value && value->type == REG_SZ ? value->bytes : std::string();
}

std::vector<std::string> CommonLibrary::Paths() const {
  std::vector<std::string> paths;
  for (const auto& entry : Lib().values) paths.push_back(entry.second.path);
  return paths;
}

void CommonLibrary::SetList(bool enabled, const std::vector<std::string>& entries) {
  const ListNames& names = NamesOf(enabled);
  for (const std::string& path : Paths()) {
    if (EntryNumber(path, names.prefix) != 0) Remove(path);
  }
  SetDword(names.count, static_cast<DWORD>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) SetString(names.prefix + std::to_string(i + 1), entries[i]);
}

std::vector<std::string> CommonLibrary::List(bool enabled) const {
  const ListNames& names = NamesOf(enabled);
  const StoredValue* count = Find(names.count);
  if (!count || count->type != REG_DWORD) return {};
  DWORD n = Dword(names.count);
  std::vector<std::pair<unsigned long, std::string>> numbered;
  for (const auto& entry : Lib().values) {
    unsigned long k = EntryNumber(entry.second.path, names.prefix);
    if (k >= 1 && k <= n && entry.second.type == REG_SZ) numbered.emplace_back(k, entry.second.bytes);
  }
  std::sort(numbered.begin(), numbered.end());
  std::vector<std::string> list;
  for (auto& entry : numbered) list.push_back(std::move(entry.second));
  return list;
}

void CommonLibrary::SetUserDicRoot(const std::string& folder, int result) {
  Lib().userDicRoot = folder;
  Lib().userDicRootResult = result;
}

void CommonLibrary::FailNth(const std::string& exportName, int n, int result) {
  Lib().pending.push_back(PendingFailure{exportName, n, result});
}

void CommonLibrary::FailReadsOf(const std::string& path, int result) { Lib().failedReads[FoldKey(path)] = result; }

const std::vector<LibCall>& CommonLibrary::Calls() const { return Lib().calls; }

std::vector<LibCall> CommonLibrary::CallsOf(const std::string& exportName) const {
  std::vector<LibCall> calls;
  for (const LibCall& call : Lib().calls) {
    if (call.function == exportName) calls.push_back(call);
  }
  return calls;
}

void CommonLibrary::ClearCalls() { Lib().calls.clear(); }

// ---- Engine ----

Engine& Engine::Get() {
  static Engine engine;
  return engine;
}

void Engine::Install(const std::string& installPath, bool withEntryPoint, const std::vector<std::string>& imports) {
  fakewin::Exports exports;
  if (withEntryPoint) exports[kEngineEntry] = fakewin::Export(&EngineTop);
  fakewin::AddModule(installPath + kEngineModuleSuffix, exports, imports);
}

void Engine::SetResult(int result) { Eng().result = result; }

const std::vector<Engine::Call>& Engine::Calls() const { return Eng().calls; }

void Engine::OnCall(std::function<void()> hook) { Eng().hook = std::move(hook); }

}  // namespace testhost
