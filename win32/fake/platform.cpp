// Version, code page, sleeping, string resources and the shell.
#include <algorithm>
#include <cstring>
#include <string>

#include "FakeState.h"

namespace fakewin {
namespace internal {
namespace {

constexpr DWORD kVersionInfoSize = sizeof(OSVERSIONINFOA);  // 148
constexpr DWORD kVersionInfoExSize = 156;                   // OSVERSIONINFOEXA, accepted as well
constexpr int kShellExecuteSuccess = 42;                    // above 32 means started

struct KnownBuild {
  DWORD platformId, major, minor, build;
};
constexpr KnownBuild kBuilds[] = {
    {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950},   {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222},
    {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3000}, {VER_PLATFORM_WIN32_NT, 4, 0, 1381},
    {VER_PLATFORM_WIN32_NT, 5, 0, 2195},       {VER_PLATFORM_WIN32_NT, 5, 1, 2600},
    {VER_PLATFORM_WIN32_NT, 5, 2, 3790},       {VER_PLATFORM_WIN32_NT, 6, 0, 6002},
    {VER_PLATFORM_WIN32_NT, 6, 1, 7601},       {VER_PLATFORM_WIN32_NT, 6, 2, 9200},
};

DWORD BuildNumber(const State& st) {
  DWORD build = 0;
  for (const KnownBuild& k : kBuilds) {
    if (k.platformId == st.platformId && k.major == st.major && k.minor == st.minor) build = k.build;
  }
  // Windows 95/98/Me keep the version in the high word.
  if (st.platformId == VER_PLATFORM_WIN32_WINDOWS) build |= (st.major << 24) | (st.minor << 16);
  return build;
}

std::string Text(LPCSTR s) { return s ? std::string(s) : std::string(); }

}  // namespace

int CopyText(const std::string& text, LPSTR buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  int n = static_cast<int>(text.size());
  if (n > capacity - 1) n = capacity - 1;
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return n;
}

}  // namespace internal

using namespace internal;

void SetVersion(DWORD major, DWORD minor, DWORD platformId) {
  S().major = major;
  S().minor = minor;
  S().platformId = platformId;
}

void SetAnsiCodePage(UINT codePage) { S().codePage = codePage; }
void SetModuleFileName(const std::string& path) { S().moduleFileName = path; }
void SetModuleNameCutWithoutNul(bool on) { S().moduleNameCutWithoutNul = on; }
void SetResourceString(UINT id, const std::string& text) { S().strings[id] = text; }
void OnSleep(std::function<void(int count, DWORD ms)> hook) { S().sleepHook = std::move(hook); }
int SleepCount() { return S().sleepCount; }
const std::vector<ShellExecuteRecord>& ShellExecutes() { return S().shellExecutes; }

}  // namespace fakewin

using namespace fakewin;
using namespace fakewin::internal;

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  FAKE_CALL() return FALSE;
  if (lpVersionInformation == nullptr || (lpVersionInformation->dwOSVersionInfoSize != kVersionInfoSize &&
                                          lpVersionInformation->dwOSVersionInfoSize != kVersionInfoExSize)) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const State& st = S();
  lpVersionInformation->dwMajorVersion = st.major;
  lpVersionInformation->dwMinorVersion = st.minor;
  lpVersionInformation->dwBuildNumber = BuildNumber(st);
  lpVersionInformation->dwPlatformId = st.platformId;
  std::memset(lpVersionInformation->szCSDVersion, 0, sizeof(lpVersionInformation->szCSDVersion));
  return TRUE;
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) {
  FAKE_CALL(static_cast<unsigned>(TestChar)) return FALSE;
  return IsLeadByte(TestChar) ? TRUE : FALSE;
}

// Each character of the code page as one WCHAR: a lead byte and its trail
// byte together, any other byte alone. Not Unicode, but every path the
// program widens comes back as it was (see AddDllDirectory).
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               WCHAR* lpWideCharStr, int cchWideChar) {
  FAKE_CALL(CodePage, dwFlags, lpMultiByteStr, cbMultiByte, cchWideChar) return 0;
  if (CodePage != CP_ACP || dwFlags != 0 || lpMultiByteStr == nullptr || cbMultiByte != -1) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string wide;
  for (const char* p = lpMultiByteStr;; ++p) {
    const BYTE b = static_cast<BYTE>(*p);
    if (IsLeadByte(b) && p[1] != '\0') {
      wide += static_cast<char16_t>((b << 8) | static_cast<BYTE>(*++p));
    } else {
      wide += static_cast<char16_t>(b);
    }
    if (b == 0) break;
  }
  if (cchWideChar == 0) return static_cast<int>(wide.size());
  if (static_cast<int>(wide.size()) > cchWideChar) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(wide.begin(), wide.end(), lpWideCharStr);
  return static_cast<int>(wide.size());
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  FAKE_CALL(dwMilliseconds) return;
  int count = ++S().sleepCount;
  if (S().sleepHook) {
    auto hook = S().sleepHook;  // the hook may replace itself
    hook(count, dwMilliseconds);
  }
}

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  FAKE_CALL(hInstance, uID, cchBufferMax) return 0;
  auto it = S().strings.find(uID);
  if (it == S().strings.end()) {
    SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    if (lpBuffer && cchBufferMax > 0) lpBuffer[0] = '\0';
    return 0;
  }
  return CopyText(it->second, lpBuffer, cchBufferMax);
}

HINSTANCE WINAPI ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory,
                               INT nShowCmd) {
  FAKE_CALL(hwnd, lpOperation, lpFile, lpParameters, lpDirectory, nShowCmd) {
    // Failures are reported as values of 32 and below.
    DWORD error = LastError();
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(error <= 32 ? error : 0));
  }
  S().shellExecutes.push_back(
      ShellExecuteRecord{hwnd, Text(lpOperation), Text(lpFile), Text(lpParameters), Text(lpDirectory), nShowCmd});
  return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(kShellExecuteSuccess));
}
