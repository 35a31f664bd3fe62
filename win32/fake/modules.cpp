// Loadable modules with reference counts and imports, the loader's searches,
// the program's own module, system folders and the environment.
#include <cstring>

#include "FakeState.h"

namespace fakewin {
namespace internal {
namespace {

const char kKernel32Name[] = "kernel32.dll";
const DWORD kSearchFlags = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_APPLICATION_DIR |
                           LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32 |
                           LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;

std::string BaseName(const std::string& path) { return SplitAtSeparators(path).back(); }

// Everything before the last separator (no trailing separator).
std::string FolderOf(const std::string& path) {
  const std::string base = BaseName(path);
  std::string folder = path.substr(0, path.size() - base.size());
  if (!folder.empty()) folder.pop_back();
  return folder;
}

bool IsFullPath(const std::string& name) {
  return (name.size() >= 3 && name[1] == ':' && (name[2] == '\\' || name[2] == '/')) || name.rfind("\\\\", 0) == 0;
}

bool HasSeparator(const std::string& name) { return SplitAtSeparators(name).size() > 1; }

std::string SystemFolder() { return S().windowsFolder + "\\system32"; }

Module* ByPath(const std::string& path) {
  for (Module& m : S().modules) {
    if (NamesEqual(m.path, path)) return &m;
  }
  return nullptr;
}

Module* LoadedByBaseName(const std::string& name) {
  for (Module& m : S().modules) {
    if (m.refs > 0 && NamesEqual(BaseName(m.path), name)) return &m;
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
  return NamesEqual(path, name) || NamesEqual(BaseName(path), name);
}

const std::string* EnvironmentValue(const std::string& name) {
  for (const auto& entry : S().environment) {
    if (NamesEqual(entry.first, name)) return &entry.second;
  }
  return nullptr;
}

std::vector<std::string> PathFolders() {
  std::vector<std::string> folders;
  const std::string* path = EnvironmentValue("PATH");
  if (path == nullptr) return folders;
  std::string entry;
  for (char c : *path + ";") {
    if (c != ';') {
      entry += c;
    } else if (!entry.empty()) {
      folders.push_back(entry);
      entry.clear();
    }
  }
  return folders;
}

// How one load call searches: the folders for a bare name, for the module
// itself and for every import it brings in.
struct Search {
  enum Kind { kStandard, kAltered, kFlags } kind = kStandard;
  DWORD flags = 0;
  std::string loadedFolder;  // the folder of the module the call names
};

std::vector<std::string> Folders(const Search& search) {
  const State& st = S();
  std::vector<std::string> folders;
  if (search.kind == Search::kFlags || (search.kind == Search::kStandard && st.defaultDirectories != 0)) {
    DWORD flags = search.kind == Search::kFlags ? search.flags : st.defaultDirectories;
    if (flags & LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)
      flags |= LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
    if ((flags & LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR) && !search.loadedFolder.empty())
      folders.push_back(search.loadedFolder);
    if (flags & LOAD_LIBRARY_SEARCH_APPLICATION_DIR) folders.push_back(FolderOf(st.moduleFileName));
    if (flags & LOAD_LIBRARY_SEARCH_USER_DIRS) {
      if (!st.dllDirectory.empty()) folders.push_back(st.dllDirectory);
      folders.insert(folders.end(), st.userDirectories.begin(), st.userDirectories.end());
    }
    if (flags & LOAD_LIBRARY_SEARCH_SYSTEM32) folders.push_back(SystemFolder());
    return folders;
  }
  folders.push_back(search.kind == Search::kAltered ? search.loadedFolder : FolderOf(st.moduleFileName));
  if (!st.dllDirectory.empty()) folders.push_back(st.dllDirectory);
  folders.push_back(SystemFolder());
  folders.push_back(st.windowsFolder + "\\SYSTEM");
  folders.push_back(st.windowsFolder);
  if (!st.dllDirectorySet) folders.push_back(st.currentFolder);
  for (const std::string& folder : PathFolders()) folders.push_back(folder);
  return folders;
}

// The module a name leads to, probing the candidates in order.
Module* Locate(const std::string& name, const Search& search) {
  if (IsFullPath(name)) {
    S().probes.push_back(name);
    Module* m = ByPath(name);
    return m != nullptr && FileExists(m->path) ? m : nullptr;
  }
  if (!HasSeparator(name)) {
    if (Module* loaded = LoadedByBaseName(name)) return loaded;
  }
  for (const std::string& folder : Folders(search)) {
    const std::string candidate = folder + "\\" + name;
    S().probes.push_back(candidate);
    Module* m = ByPath(candidate);
    if (m != nullptr && FileExists(m->path)) return m;
  }
  return nullptr;
}

void Release(Module* m);

// Takes a reference; the first one brings in the imports, or fails.
bool Acquire(Module* m, const Search& search) {
  if (m->refs++ > 0) return true;
  std::vector<Module*> taken;
  for (const std::string& import : m->imports) {
    Module* dependency = Locate(import, search);
    if (dependency == nullptr || !Acquire(dependency, search)) {
      for (Module* t : taken) Release(t);
      m->refs = 0;
      return false;
    }
    taken.push_back(dependency);
  }
  m->bound.clear();
  for (Module* t : taken) m->bound.push_back(t->handle);
  ++m->attaches;
  return true;
}

void Release(Module* m) {
  if (m->pinned || --m->refs > 0) return;
  std::vector<HMODULE> bound;
  bound.swap(m->bound);
  for (HMODULE h : bound) {
    if (Module* dependency = ByHandle(h)) Release(dependency);
  }
}

HMODULE Load(const char* name, const Search& search) {
  if (name == nullptr || *name == '\0') {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Module* m = Locate(name, search);
  if (m == nullptr || !Acquire(m, search)) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return m->handle;
}

UINT CopyFolder(const std::string& folder, LPSTR buffer, UINT size) {
  const UINT length = static_cast<UINT>(folder.size());
  if (buffer == nullptr || length >= size) return length + 1;
  std::memcpy(buffer, folder.c_str(), length + 1);
  return length;
}

void ExportKernel32(State& st) {
  Module* kernel32 = nullptr;
  for (Module& m : st.modules) {
    if (m.pinned) kernel32 = &m;
  }
  kernel32->exports.clear();
  if (st.loader != Loader::kNeither)
    kernel32->exports["SetDllDirectoryA"] = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&SetDllDirectoryA));
  if (st.loader == Loader::kCurrent) {
    kernel32->exports["SetDefaultDllDirectories"] =
        reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&SetDefaultDllDirectories));
    kernel32->exports["AddDllDirectory"] = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&AddDllDirectory));
  }
}

}  // namespace

void AddSystemModules(State& st) {
  st.environment = {{"PATH", st.windowsFolder + "\\system32;" + st.windowsFolder}};
  Module kernel32;
  kernel32.path = st.windowsFolder + "\\system32\\" + kKernel32Name;
  kernel32.handle = NewHandle<HMODULE>();
  kernel32.refs = 1;
  kernel32.pinned = true;
  st.modules.push_back(kernel32);
  ExportKernel32(st);
}

}  // namespace internal

using namespace internal;

void AddModule(const std::string& path, const Exports& exports, const std::vector<std::string>& imports) {
  if (!FileExists(path)) AddFile(path, "MZ");
  if (Module* m = ByPath(path)) {
    m->exports = exports;
    m->imports = imports;
    return;
  }
  Module m;
  m.path = path;
  m.exports = exports;
  m.imports = imports;
  m.handle = NewHandle<HMODULE>();
  S().modules.push_back(m);
}

bool IsModuleLoaded(const std::string& path) {
  Module* m = ByPath(path);
  return m != nullptr && m->refs > 0;
}

int ModuleRefCount(const std::string& path) {
  Module* m = ByPath(path);
  return m ? m->refs : 0;
}

int AttachCount(const std::string& path) {
  Module* m = ByPath(path);
  return m ? m->attaches : 0;
}

const std::vector<std::string>& LoaderProbes() { return S().probes; }

void SetLoader(Loader loader) {
  S().loader = loader;
  ExportKernel32(S());
}

void SetCurrentFolder(const std::string& folder) { S().currentFolder = folder; }

void SetEnvironmentValue(const std::string& name, const std::string& value) {
  RemoveEnvironmentValue(name);
  S().environment.emplace_back(name, value);
}

void RemoveEnvironmentValue(const std::string& name) {
  auto& env = S().environment;
  for (auto it = env.begin(); it != env.end(); ++it) {
    if (NamesEqual(it->first, name)) {
      env.erase(it);
      return;
    }
  }
}

}  // namespace fakewin

using namespace fakewin;
using namespace fakewin::internal;

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  FAKE_CALL(lpLibFileName) return nullptr;
  return Load(lpLibFileName, Search{});
}

HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
  FAKE_CALL(lpLibFileName, hFile, dwFlags) return nullptr;
  const DWORD searchFlags = dwFlags & kSearchFlags;
  const bool altered = (dwFlags & LOAD_WITH_ALTERED_SEARCH_PATH) != 0;
  const bool fullPath = lpLibFileName != nullptr && IsFullPath(lpLibFileName);
  const bool refused = hFile != nullptr || (dwFlags & ~(kSearchFlags | LOAD_WITH_ALTERED_SEARCH_PATH)) != 0 ||
                       (searchFlags != 0 && S().loader != Loader::kCurrent) || (searchFlags != 0 && altered) ||
                       ((dwFlags & LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR) && !fullPath);
  if (refused) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Search search;
  if (searchFlags != 0) {
    search.kind = Search::kFlags;
    search.flags = searchFlags;
  } else if (altered && fullPath) {
    search.kind = Search::kAltered;
  }
  if (fullPath) search.loadedFolder = FolderOf(lpLibFileName);
  return Load(lpLibFileName, search);
}

BOOL WINAPI SetDllDirectoryA(LPCSTR lpPathName) {
  FAKE_CALL(lpPathName) return FALSE;
  S().dllDirectorySet = lpPathName != nullptr;
  S().dllDirectory = lpPathName ? lpPathName : "";
  return TRUE;
}

BOOL WINAPI SetDefaultDllDirectories(DWORD DirectoryFlags) {
  FAKE_CALL(DirectoryFlags) return FALSE;
  const DWORD allowed = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                        LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
  if (DirectoryFlags == 0 || (DirectoryFlags & ~allowed) != 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  S().defaultDirectories = DirectoryFlags;
  return TRUE;
}

// Takes back the double's MultiByteToWideChar; the folder is kept without a
// trailing separator. Windows wants an absolute path.
DLL_DIRECTORY_COOKIE WINAPI AddDllDirectory(const WCHAR* NewDirectory) {
  FAKE_CALL(NewDirectory) return nullptr;
  std::string folder;
  for (const WCHAR* p = NewDirectory; p != nullptr && *p != 0; ++p) {
    if (*p > 0xFF) folder += static_cast<char>(*p >> 8);
    folder += static_cast<char>(*p & 0xFF);
  }
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  if (!IsFullPath(folder + "\\")) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  S().userDirectories.push_back(folder);
  return reinterpret_cast<DLL_DIRECTORY_COOKIE>(S().userDirectories.size());
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  FAKE_CALL(hModule, lpProcName) return nullptr;
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
  FAKE_CALL(hLibModule) return FALSE;
  Module* m = ByHandle(hLibModule);
  if (m == nullptr || m->refs == 0) {
    SetError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  Release(m);
  return TRUE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  FAKE_CALL(lpModuleName) return nullptr;
  if (lpModuleName == nullptr || IsProgramName(lpModuleName)) return ProgramInstance();
  Module* m = IsFullPath(lpModuleName) ? ByPath(lpModuleName) : LoadedByBaseName(lpModuleName);
  if (m == nullptr || m->refs == 0) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return m->handle;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  FAKE_CALL(hModule, nSize) return 0;
  std::string path;
  if (hModule == nullptr || hModule == ProgramInstance()) {
    path = S().moduleFileName;
  } else if (Module* m = ByHandle(hModule); m != nullptr && m->refs > 0) {
    path = m->path;
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

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  FAKE_CALL(uSize) return 0;
  return CopyFolder(SystemFolder(), lpBuffer, uSize);
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  FAKE_CALL(uSize) return 0;
  return CopyFolder(S().windowsFolder, lpBuffer, uSize);
}

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  FAKE_CALL(nBufferLength) return 0;
  return CopyFolder(S().currentFolder, lpBuffer, nBufferLength);
}

// The value's length without its terminator; when it does not fit, the size
// needed with it, and the buffer is left alone.
DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize) {
  FAKE_CALL(lpName, nSize) return 0;
  const std::string* value = lpName ? EnvironmentValue(lpName) : nullptr;
  if (value == nullptr) {
    SetError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  SetError(ERROR_SUCCESS);
  return CopyFolder(*value, lpBuffer, nSize);
}
