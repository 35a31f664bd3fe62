// Loadable modules registered by tests, with reference counts, and the
// program's own module.
#include <cstring>

#include "FakeState.h"

namespace fakewin {
namespace internal {
namespace {

Module* ByName(const std::string& name) {
  for (Module& m : S().modules) {
    if (NamesEqual(m.fileName, name)) return &m;
  }
  return nullptr;
}

Module* ByHandle(HMODULE h) {
  for (Module& m : S().modules) {
    if (m.handle == h) return &m;
  }
  return nullptr;
}

bool IsProgramName(const std::string& name) {
  const std::string& path = S().moduleFileName;
  if (NamesEqual(path, name)) return true;
  std::vector<std::string> parts = SplitAtSeparators(path);
  return NamesEqual(parts.back(), name);
}

}  // namespace
}  // namespace internal

using namespace internal;

void AddModule(const std::string& fileName, const Exports& exports) {
  if (Module* m = ByName(fileName)) {
    m->exports = exports;
    return;
  }
  S().modules.push_back(Module{fileName, exports, NewHandle<HMODULE>(), 0});
}

bool IsModuleLoaded(const std::string& fileName) {
  Module* m = ByName(fileName);
  return m != nullptr && m->refs > 0;
}

int ModuleRefCount(const std::string& fileName) {
  Module* m = ByName(fileName);
  return m ? m->refs : 0;
}

}  // namespace fakewin

using namespace fakewin::internal;

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  if (Enter("LoadLibraryA", lpLibFileName)) return nullptr;
  Module* m = lpLibFileName ? ByName(lpLibFileName) : nullptr;
  if (!m) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  ++m->refs;
  return m->handle;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (Enter("GetProcAddress", hModule, lpProcName)) return nullptr;
  Module* m = ByHandle(hModule);
  if (m == nullptr || m->refs == 0) {
    SetError(hModule == nullptr || hModule == ProgramInstance() ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (lpProcName == nullptr || IS_INTRESOURCE(lpProcName)) {
    SetError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  auto it = m->exports.find(lpProcName);
  if (it == m->exports.end() || it->second == nullptr) {
    SetError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return it->second;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  if (Enter("FreeLibrary", hLibModule)) return FALSE;
  Module* m = ByHandle(hLibModule);
  if (m == nullptr || m->refs == 0) {
    SetError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  --m->refs;
  return TRUE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  if (Enter("GetModuleHandleA", lpModuleName)) return nullptr;
  if (lpModuleName == nullptr || IsProgramName(lpModuleName)) return ProgramInstance();
  Module* m = ByName(lpModuleName);
  if (m == nullptr || m->refs == 0) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return m->handle;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  if (Enter("GetModuleFileNameA", hModule, nSize)) return 0;
  std::string path;
  if (hModule == nullptr || hModule == ProgramInstance()) {
    path = S().moduleFileName;
  } else if (Module* m = ByHandle(hModule); m != nullptr && m->refs > 0) {
    path = m->fileName;
  } else {
    SetError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  // A name that does not fit gives nSize and says so in the error; Vista and
  // later cut it to nSize - 1 bytes and terminate it, XP fills the buffer.
  DWORD length = static_cast<DWORD>(path.size());
  if (length < nSize) {
    std::memcpy(lpFilename, path.c_str(), length + 1);
    return length;
  }
  if (S().moduleNameCutWithoutNul) {
    std::memcpy(lpFilename, path.data(), nSize);
  } else if (nSize > 0) {
    std::memcpy(lpFilename, path.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
  }
  SetError(ERROR_INSUFFICIENT_BUFFER);
  return nSize;
}
