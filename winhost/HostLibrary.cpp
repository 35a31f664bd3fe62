#include "winhost/HostLibrary.h"

#include <string>
#include <vector>

#include "framework/AfxMbPath.h"
#include "winhost/BindEntryPoint.h"
#include "winhost/PathCompare.h"

namespace {

const char kKernel32[] = "kernel32.dll";
const char kSetDllDirectory[] = "SetDllDirectoryA";
const char kSetDefaultDllDirectories[] = "SetDefaultDllDirectories";
const char kAddDllDirectory[] = "AddDllDirectory";
const char kPathVariable[] = "PATH";
const char kSixteenBitSystemFolder[] = "SYSTEM";
const char kPathListSeparator = ';';
// The default search: the system folder and the host's folders added as
// their libraries are loaded, never the program's or the current folder.
const DWORD kDefaultSearch = LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32;
const DWORD kLoadDirAndDefault = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | kDefaultSearch;

typedef BOOL(WINAPI* PFN_SetDllDirectoryA)(LPCSTR lpPathName);
typedef BOOL(WINAPI* PFN_SetDefaultDllDirectories)(DWORD dwDirectoryFlags);
typedef DLL_DIRECTORY_COOKIE(WINAPI* PFN_AddDllDirectory)(const WCHAR* pszNewDirectory);

// "X:\..." or "\\server\...". The first byte of a string starts a character,
// and neither a drive letter nor "\" is a lead byte, so the bytes after them
// start characters too.
bool IsAbsolutePath(const char* psz) {
  if (psz == nullptr) return false;
  const unsigned char c = static_cast<unsigned char>(psz[0]);
  const bool bDrive =
      ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && psz[1] == ':' && (psz[2] == '\\' || psz[2] == '/');
  return bDrive || (psz[0] == '\\' && psz[1] == '\\');
}

// folder + "\" + file name into strPath; false when it would not fit MAX_PATH.
bool MakeCandidate(const char* pszDrive, const char* pszFolder, const char* pszFileName, std::string& strPath) {
  char szPath[MAX_PATH];
  if (!AfxMakePath(szPath, sizeof(szPath), pszDrive, pszFolder, pszFileName, nullptr)) return false;
  strPath = szPath;
  return true;
}

// A folder that a Get...DirectoryA call fills; false when it failed or does
// not fit.
template <typename GetFolder>
bool ReadFolder(GetFolder getFolder, std::string& strFolder) {
  char szFolder[MAX_PATH];
  const DWORD cch = getFolder(szFolder, static_cast<DWORD>(sizeof(szFolder)));
  if (cch == 0 || cch >= sizeof(szFolder)) return false;
  strFolder = szFolder;
  return true;
}

// The file name in the program's folder and in the current folder: the
// places the search must never take. False when they cannot be told.
bool ForbiddenCandidates(const char* pszFileName, std::vector<std::string>& forbidden) {
  char szProgram[MAX_PATH];
  const DWORD cch = GetModuleFileNameA(nullptr, szProgram, sizeof(szProgram));
  if (cch == 0 || cch >= sizeof(szProgram)) return false;
  char szDrive[AFX_MAX_DRIVE];
  char szDir[AFX_MAX_DIR];
  AfxSplitPath(szProgram, szDrive, szDir, nullptr, nullptr);
  std::string strCandidate;
  if (!MakeCandidate(szDrive, szDir, pszFileName, strCandidate)) return false;
  forbidden.push_back(strCandidate);

  char szCurrent[MAX_PATH];
  const DWORD cchCurrent = GetCurrentDirectoryA(sizeof(szCurrent), szCurrent);
  if (cchCurrent == 0) return false;
  // A current folder too long for MAX_PATH cannot hold a candidate that fits.
  if (cchCurrent < sizeof(szCurrent) && MakeCandidate(nullptr, szCurrent, pszFileName, strCandidate))
    forbidden.push_back(strCandidate);
  return true;
}

// The entries of PATH, in order; false when it cannot be read. ";" is below
// the trail bytes of code page 932, so it never ends half a character.
bool ReadPathEntries(std::vector<std::string>& entries) {
  std::vector<char> buffer(MAX_PATH);
  DWORD cch = 0;
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    cch = GetEnvironmentVariableA(kPathVariable, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (cch < buffer.size()) break;
    buffer.resize(cch);
  }
  if (cch == 0) {
    const DWORD dwError = GetLastError();
    return dwError == ERROR_SUCCESS || dwError == ERROR_ENVVAR_NOT_FOUND;
  }
  std::string entry;
  for (DWORD i = 0; i <= cch; ++i) {
    if (i < cch && buffer[i] != kPathListSeparator) {
      entry += buffer[i];
    } else {
      if (!entry.empty()) entries.push_back(entry);
      entry.clear();
    }
  }
  return true;
}

bool IsForbidden(const std::string& strCandidate, const std::vector<std::string>& forbidden) {
  for (const std::string& strForbidden : forbidden) {
    if (CompareHostPaths(strCandidate.c_str(), strForbidden.c_str()) == 0) return true;
  }
  return false;
}

// The candidates in the order the search takes them.
bool ListCandidates(const char* pszFileName, std::vector<std::string>& candidates) {
  std::vector<std::string> forbidden;
  std::string strSystem;
  std::string strWindows;
  std::vector<std::string> pathEntries;
  if (!ForbiddenCandidates(pszFileName, forbidden) ||
      !ReadFolder([](char* psz, DWORD cb) { return static_cast<DWORD>(GetSystemDirectoryA(psz, cb)); }, strSystem) ||
      !ReadFolder([](char* psz, DWORD cb) { return static_cast<DWORD>(GetWindowsDirectoryA(psz, cb)); }, strWindows) ||
      !ReadPathEntries(pathEntries))
    return false;

  std::string strCandidate;
  std::string strSixteenBit;
  if (MakeCandidate(nullptr, strSystem.c_str(), pszFileName, strCandidate)) candidates.push_back(strCandidate);
  if (MakeCandidate(nullptr, strWindows.c_str(), kSixteenBitSystemFolder, strSixteenBit) &&
      MakeCandidate(nullptr, strSixteenBit.c_str(), pszFileName, strCandidate))
    candidates.push_back(strCandidate);
  if (MakeCandidate(nullptr, strWindows.c_str(), pszFileName, strCandidate)) candidates.push_back(strCandidate);
  for (const std::string& strEntry : pathEntries) {
    if (!IsAbsolutePath(strEntry.c_str())) continue;
    if (!MakeCandidate(nullptr, strEntry.c_str(), pszFileName, strCandidate)) continue;
    if (!IsForbidden(strCandidate, forbidden)) candidates.push_back(strCandidate);
  }
  return true;
}

// Lets the default search take the folder of a host library, so that what
// the host's code loads later by bare name is found where the host keeps
// it. Where the system lacks the call, its search stays as it is.
void AddHostFolderToSearch(const char* pszLibraryPath) {
  const HMODULE hKernel = GetModuleHandleA(kKernel32);
  if (hKernel == nullptr) return;
  const PFN_AddDllDirectory pfnAdd = BindEntryPoint<PFN_AddDllDirectory>(hKernel, kAddDllDirectory);
  if (pfnAdd == nullptr) return;
  char szDrive[AFX_MAX_DRIVE];
  char szDir[AFX_MAX_DIR];
  AfxSplitPath(pszLibraryPath, szDrive, szDir, nullptr, nullptr);
  char szFolder[MAX_PATH];
  if (!AfxMakePath(szFolder, sizeof(szFolder), szDrive, szDir, nullptr, nullptr)) return;
  WCHAR szWide[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, szFolder, -1, szWide, MAX_PATH) == 0) return;
  pfnAdd(szWide);
}

}  // namespace

void HardenLibrarySearch() {
  const HMODULE hKernel = GetModuleHandleA(kKernel32);
  if (hKernel == nullptr) return;
  if (const PFN_SetDllDirectoryA pfnSetDllDirectory = BindEntryPoint<PFN_SetDllDirectoryA>(hKernel, kSetDllDirectory))
    pfnSetDllDirectory("");
  if (const PFN_SetDefaultDllDirectories pfnSetDefault =
          BindEntryPoint<PFN_SetDefaultDllDirectories>(hKernel, kSetDefaultDllDirectories))
    pfnSetDefault(kDefaultSearch);
}

int FindLibraryOutsideProgramFolder(const char* pszFileName, CString& strPath) {
  std::vector<std::string> candidates;
  if (!ListCandidates(pszFileName, candidates)) return kLibrarySearchFailed;
  for (const std::string& strCandidate : candidates) {
    const DWORD dwAttributes = GetFileAttributesA(strCandidate.c_str());
    // As the platform's loader does, a folder that cannot be examined (a
    // malformed or disconnected one, say) is passed over, like one without
    // the file.
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    strPath = strCandidate.c_str();
    return kLibraryFound;
  }
  return kLibraryNotFound;
}

HMODULE LoadLibraryByFullPath(const char* pszPath) {
  if (!IsAbsolutePath(pszPath)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  AddHostFolderToSearch(pszPath);
  const HMODULE hModule = LoadLibraryExA(pszPath, nullptr, kLoadDirAndDefault);
  if (hModule != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return hModule;
  // Before Windows 8 (7 without KB2533623) the search flags are refused.
  return LoadLibraryExA(pszPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
