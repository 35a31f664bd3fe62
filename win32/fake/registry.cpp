// In-memory registry: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER trees whose
// key and value names compare without regard to case. The program runs as a
// standard user: keys below HKEY_LOCAL_MACHINE open for reading only.
#include <cstring>

#include "FakeState.h"

namespace fakewin {
namespace internal {
namespace {

std::shared_ptr<RegKey>& RootOf(HKEY root) {
  auto& key = S().regRoots[root];
  if (!key) key = std::make_shared<RegKey>();
  return key;
}

// KEY_SET_VALUE, KEY_CREATE_SUB_KEY, DELETE, WRITE_DAC, WRITE_OWNER, and the
// generic rights that include writing.
constexpr REGSAM kWriteAccess = 0x0002 | 0x0004 | 0x00010000 | 0x00040000 | 0x00080000 | GENERIC_WRITE | 0x10000000;

bool IsPredefined(HKEY key) {
  return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_USERS;
}

std::shared_ptr<RegKey> KeyOfHandle(HKEY key) {
  if (IsPredefined(key)) return RootOf(key);
  auto it = S().openKeys.find(key);
  return it == S().openKeys.end() ? nullptr : it->second;
}

std::vector<std::string> KeyParts(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (const std::string& ch : Characters(path)) {
    if (ch == "\\") {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += ch;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::shared_ptr<RegKey> SubKey(const std::shared_ptr<RegKey>& from, const std::string& path, bool create) {
  std::shared_ptr<RegKey> key = from;
  for (const std::string& part : KeyParts(path)) {
    std::shared_ptr<RegKey> next;
    for (const auto& sub : key->subkeys) {
      if (NamesEqual(sub->name, part)) next = sub;
    }
    if (!next) {
      if (!create) return nullptr;
      next = std::make_shared<RegKey>();
      next->name = part;
      key->subkeys.push_back(next);
    }
    key = next;
  }
  return key;
}

RegValue* ValueOf(RegKey& key, const std::string& name) {
  for (RegValue& value : key.values) {
    if (NamesEqual(value.name, name)) return &value;
  }
  return nullptr;
}

void Store(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& bytes) {
  auto k = SubKey(RootOf(root), key, true);
  if (RegValue* value = ValueOf(*k, name)) {
    value->type = type;
    value->bytes = bytes;
  } else {
    k->values.push_back(RegValue{name, type, bytes});
  }
}

}  // namespace
}  // namespace internal

using namespace internal;

void SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
  Store(root, key, name, REG_SZ, value + std::string(1, '\0'));
}

void SetRegDword(HKEY root, const std::string& key, const std::string& name, DWORD value) {
  std::string bytes(sizeof(DWORD), '\0');
  std::memcpy(&bytes[0], &value, sizeof(DWORD));
  Store(root, key, name, REG_DWORD, bytes);
}

void SetRegRaw(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& bytes) {
  Store(root, key, name, type, bytes);
}

void DeleteRegKey(HKEY root, const std::string& key) {
  std::vector<std::string> parts = KeyParts(key);
  if (parts.empty()) return;
  std::string last = parts.back();
  parts.pop_back();
  std::string parentPath;
  for (const std::string& part : parts) parentPath += part + "\\";
  auto parent = SubKey(RootOf(root), parentPath, false);
  if (!parent) return;
  auto& subs = parent->subkeys;
  for (auto it = subs.begin(); it != subs.end(); ++it) {
    if (NamesEqual((*it)->name, last)) {
      subs.erase(it);
      return;
    }
  }
}

int OpenKeyCount() { return static_cast<int>(S().openKeys.size()); }

}  // namespace fakewin

using namespace fakewin::internal;

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  FAKE_CALL(hKey, lpSubKey, ulOptions, samDesired) return static_cast<LONG>(LastError());
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  auto from = KeyOfHandle(hKey);
  if (!from) return ERROR_INVALID_HANDLE;
  auto key = SubKey(from, lpSubKey ? lpSubKey : "", false);
  if (!key) return ERROR_FILE_NOT_FOUND;
  const bool machine = hKey == HKEY_LOCAL_MACHINE || S().machineKeys.count(hKey) != 0;
  if (machine && (samDesired & kWriteAccess) != 0) return ERROR_ACCESS_DENIED;
  HKEY handle = NewHandle<HKEY>();
  S().openKeys[handle] = key;
  if (machine) S().machineKeys.insert(handle);
  *phkResult = handle;
  return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
  FAKE_CALL(hKey, lpValueName, lpcbData ? static_cast<long>(*lpcbData) : -1L) return static_cast<LONG>(LastError());
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) return ERROR_INVALID_PARAMETER;
  auto key = KeyOfHandle(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  const RegValue* value = ValueOf(*key, lpValueName ? lpValueName : "");
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (lpType) *lpType = value->type;
  DWORD size = static_cast<DWORD>(value->bytes.size());
  if (lpcbData == nullptr) return ERROR_SUCCESS;
  if (lpData == nullptr) {
    *lpcbData = size;
    return ERROR_SUCCESS;
  }
  if (*lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  std::memcpy(lpData, value->bytes.data(), size);
  *lpcbData = size;
  return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY hKey) {
  FAKE_CALL(hKey) return static_cast<LONG>(LastError());
  if (IsPredefined(hKey)) return ERROR_SUCCESS;
  if (S().openKeys.erase(hKey) == 0) return ERROR_INVALID_HANDLE;
  S().machineKeys.erase(hKey);
  return ERROR_SUCCESS;
}
