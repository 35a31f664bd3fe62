#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "FuzzPlatform.h"

namespace {

const char kProgramFile[] = "C:\\KIT\\LexPlant.exe";
const char kProgramFolder[] = "C:\\KIT";
const char kSystemFolder[] = "C:\\WINDOWS\\system32";
const char kWindowsFolder[] = "C:\\WINDOWS";

// One library is all the store loads.
std::string g_libraryPath;
std::map<std::string, FARPROC> g_exports;
HMODULE const kLibraryHandle = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10000000));
HANDLE const kProcessHeap = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x00150000));

int g_allocationsToFailure = 0;
bool g_allocationFailed = false;
DWORD g_lastError = ERROR_SUCCESS;

// A folder's text into the caller's buffer, with the Get...Directory results.
UINT CopyFolder(const char* pszFolder, char* pszBuffer, UINT uSize) {
  const UINT cch = static_cast<UINT>(std::strlen(pszFolder));
  if (cch >= uSize) return cch + 1;
  std::memcpy(pszBuffer, pszFolder, cch + 1);
  return cch;
}

}  // namespace

void FuzzAddLibrary(const char* pszPath, const std::map<std::string, FARPROC>& exports) {
  g_libraryPath = pszPath;
  g_exports = exports;
}

void FuzzFailAllocation(int n) {
  g_allocationsToFailure = n;
  g_allocationFailed = false;
}

bool FuzzAllocationFailed() { return g_allocationFailed; }

DWORD WINAPI GetLastError(void) { return g_lastError; }
void WINAPI SetLastError(DWORD dwErrCode) { g_lastError = dwErrCode; }

HANDLE WINAPI GetProcessHeap(void) { return kProcessHeap; }

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
  if (hHeap != kProcessHeap) __builtin_trap();
  if (g_allocationsToFailure > 0 && --g_allocationsToFailure == 0) {
    g_allocationFailed = true;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // Never a null block, so that only the planned failure looks like one.
  void* p = std::malloc(dwBytes ? dwBytes : 1);
  if (p && (dwFlags & HEAP_ZERO_MEMORY)) std::memset(p, 0, dwBytes);
  return p;
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD, LPVOID lpMem) {
  if (hHeap != kProcessHeap) __builtin_trap();
  std::free(lpMem);
  return TRUE;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  if (hModule != nullptr || nSize <= sizeof(kProgramFile)) __builtin_trap();
  std::memcpy(lpFilename, kProgramFile, sizeof(kProgramFile));
  return sizeof(kProgramFile) - 1;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR) {
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

// Without kernel32 (above) no folder is ever added to the search.
int WINAPI MultiByteToWideChar(UINT, DWORD, LPCSTR, int, WCHAR*, int) { __builtin_trap(); }

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  return CopyFolder(kProgramFolder, lpBuffer, nBufferLength);
}
UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) { return CopyFolder(kSystemFolder, lpBuffer, uSize); }
UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) { return CopyFolder(kWindowsFolder, lpBuffer, uSize); }

DWORD WINAPI GetEnvironmentVariableA(LPCSTR, LPSTR, DWORD) {
  SetLastError(ERROR_ENVVAR_NOT_FOUND);
  return 0;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  if (strcasecmp(lpFileName, g_libraryPath.c_str()) == 0) return FILE_ATTRIBUTE_ARCHIVE;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_FILE_ATTRIBUTES;
}

HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE, DWORD) {
  if (strcasecmp(lpLibFileName, g_libraryPath.c_str()) == 0) return kLibraryHandle;
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  auto it = g_exports.find(lpProcName);
  if (hModule != kLibraryHandle || it == g_exports.end()) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return it->second;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) { return hLibModule == kLibraryHandle ? TRUE : FALSE; }
