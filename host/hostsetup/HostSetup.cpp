// Lays out and examines the stand-in host. Commands run in the order given:
//
//   install PATH        copy the host files (taken from this program's folder):
//                       PATH\CMD\HRNDIC.EXE, PATH\CMD\HRNCNV.DLL, the common
//                       library into the system folder (a file already the
//                       same is left alone); InstallPath = PATH
//   nocommon            remove the common library from the system folder
//   setpath TEXT        InstallPath = TEXT (may be empty)
//   dropkey             remove the machine-wide key of the host
//   resetstore          remove every per-user value of the host
//   setsz KEY\VALUE TEXT, setdw KEY\VALUE NUMBER
//                       write a per-user value as the common library keeps it
//   attrib [+-][hsr]... PATH
//                       change hidden/system/read-only attributes
//   dpi N               the display's DPI for programs started from now on
//                       (96 is 100 %, 144 150 %, 192 200 %)
//   dump                print the host's state, one item a line ("?" for
//                       what could not be read)
//
// Output is code page 932, one line per item, text escaped as
// host::EscapeLine does. The exit code is 1 when a command failed.
#include <windows.h>
// after windows.h
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/HostLayout.h"
#include "common/HostUtil.h"

namespace {

constexpr char kUserDicKind[] = "odic";
constexpr char kDesktopKey[] = "Control Panel\\Desktop";
constexpr char kLogPixelsValue[] = "LogPixels";

void Say(const std::string& line) { host::WriteOut(line + "\n"); }

bool Fail(const char* command, DWORD code) {
  Say(std::string("error\t") + command + "\t" + std::to_string(code));
  return false;
}

std::string SystemDll() {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, sizeof(dir));
  return host::JoinPath(dir, host::kCommonDll);
}

bool WriteInstallPath(const char* path) {
  HKEY h;
  LONG err = RegCreateKeyExA(HKEY_LOCAL_MACHINE, host::kHostKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr);
  if (err != ERROR_SUCCESS) return Fail("setpath", err);
  err = RegSetValueExA(h, host::kInstallPathValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), strlen(path) + 1);
  RegCloseKey(h);
  return err == ERROR_SUCCESS || Fail("setpath", err);
}

bool ReadWhole(const std::string& path, std::string& out) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  out.clear();
  char buf[65536];
  DWORD got = 0;
  bool ok;
  while ((ok = ReadFile(h, buf, sizeof(buf), &got, nullptr)) && got > 0) out.append(buf, got);
  CloseHandle(h);
  return ok;
}

bool CopyInto(const std::string& from, const std::string& to) {
  // A library still loaded by a program that has not ended cannot be
  // replaced; when it is already the same file there is nothing to do.
  std::string have, want;
  if (ReadWhole(to, have) && ReadWhole(from, want) && have == want) return true;
  if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) return Fail("install", GetLastError());
  return true;
}

bool Install(const char* path) {
  std::string src = host::ModuleDir(nullptr);
  std::string cmd = host::JoinPath(path, host::kCmdFolder);
  int made = SHCreateDirectoryExA(nullptr, cmd.c_str(), nullptr);
  if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) {
    return Fail("install", made);
  }
  return CopyInto(host::JoinPath(src, host::kToolkitExe), host::JoinPath(cmd, host::kToolkitExe)) &&
         CopyInto(host::JoinPath(src, host::kEngineDll), host::JoinPath(cmd, host::kEngineDll)) &&
         CopyInto(host::JoinPath(src, host::kCommonDll), SystemDll()) && WriteInstallPath(path);
}

bool RemoveCommon() {
  if (!DeleteFileA(SystemDll().c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
    return Fail("nocommon", GetLastError());
  }
  return true;
}

bool DeleteTree(HKEY root, const char* key, const char* command) {
  LONG err = RegDeleteTreeA(root, key);
  if (err == ERROR_SUCCESS || err == ERROR_FILE_NOT_FOUND) {
    RegDeleteKeyA(root, key);
    return true;
  }
  return Fail(command, err);
}

// "Key\Value" into the key below the per-user base and the value name.
bool SplitValuePath(const char* path, std::string& key, std::string& value) {
  const char* sep = host::LastSeparator(path);
  if (!sep || sep == path || sep[1] == '\0') return false;
  key = std::string(host::kStoreBase) + "\\" + std::string(path, sep - path);
  value = sep + 1;
  return true;
}

bool SetStoreValue(const char* command, const char* path, DWORD type, const void* data, DWORD size) {
  std::string key, value;
  if (!SplitValuePath(path, key, value)) return Fail(command, ERROR_INVALID_PARAMETER);
  HKEY h;
  LONG err = RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr);
  if (err != ERROR_SUCCESS) return Fail(command, err);
  err = RegSetValueExA(h, value.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(h);
  return err == ERROR_SUCCESS || Fail(command, err);
}

bool ChangeAttributes(const char* flags, const char* path) {
  DWORD attr = GetFileAttributesA(path);
  if (attr == INVALID_FILE_ATTRIBUTES) return Fail("attrib", GetLastError());
  bool add = true;
  for (const char* p = flags; *p; ++p) {
    DWORD bit = 0;
    switch (*p) {
      case '+':
        add = true;
        continue;
      case '-':
        add = false;
        continue;
      case 'h':
        bit = FILE_ATTRIBUTE_HIDDEN;
        break;
      case 's':
        bit = FILE_ATTRIBUTE_SYSTEM;
        break;
      case 'r':
        bit = FILE_ATTRIBUTE_READONLY;
        break;
      default:
        return Fail("attrib", ERROR_INVALID_PARAMETER);
    }
    attr = add ? (attr | bit) : (attr & ~bit);
  }
  attr &= ~FILE_ATTRIBUTE_DIRECTORY;
  if (!SetFileAttributesA(path, attr ? attr : FILE_ATTRIBUTE_NORMAL)) return Fail("attrib", GetLastError());
  return true;
}

void DumpInstallPath() {
  HKEY h;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, host::kHostKey, 0, KEY_READ, &h) != ERROR_SUCCESS) {
    Say("installpath-key\tabsent");
    return;
  }
  char buf[1024] = {};
  DWORD size = sizeof(buf) - 1, type = 0;
  if (RegQueryValueExA(h, host::kInstallPathValue, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) ==
      ERROR_SUCCESS) {
    Say("installpath\t" + host::EscapeLine(buf));
  } else {
    Say("installpath\tabsent");
  }
  RegCloseKey(h);
}

// Every value below the per-user base, as "value <Key\Value> <type> <data>".
// A value that cannot be read still gets a row, with "?" for what is unknown,
// so that it is never silently missing from the dump.
void DumpKey(const std::string& relative) {
  std::string full = relative.empty() ? host::kStoreBase : std::string(host::kStoreBase) + "\\" + relative;
  std::string prefix = relative + "\\";
  HKEY h;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, full.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return;
  DWORD subKeys = 0, maxSubKey = 0, values = 0, maxName = 0, maxData = 0;
  if (RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values, &maxName, &maxData,
                       nullptr, nullptr) != ERROR_SUCCESS) {
    RegCloseKey(h);
    Say("value\t" + host::EscapeLine((prefix + "?").c_str()) + "\t?\t?");
    return;
  }
  // The lengths count UTF-16 units; in code page 932 a unit may take two bytes.
  std::vector<char> name(2 * maxName + 2);
  std::vector<BYTE> data(2 * maxData + 2);
  for (DWORD i = 0; i < values; ++i) {
    DWORD nameLen = static_cast<DWORD>(name.size()), dataLen = static_cast<DWORD>(data.size() - 1), type = 0;
    name[0] = '\0';
    LONG err = RegEnumValueA(h, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
    if (err == ERROR_NO_MORE_ITEMS) break;
    if (err != ERROR_SUCCESS && err != ERROR_MORE_DATA) {
      Say("value\t" + host::EscapeLine((prefix + "?").c_str()) + "\t?\t?");
      continue;
    }
    std::string text = "?";
    if (err == ERROR_SUCCESS) {
      data[dataLen] = 0;
      if (type == REG_DWORD && dataLen == sizeof(DWORD)) {
        DWORD n;
        memcpy(&n, data.data(), sizeof(n));
        text = std::to_string(n);
      } else if (type == REG_SZ) {
        text = host::EscapeLine(reinterpret_cast<char*>(data.data()));
      }
    }
    // Values may change while the key is read; then the buffers can still
    // be short, and the name is only trusted if it came back whole.
    bool named = err == ERROR_SUCCESS || (name[0] != '\0' && memchr(name.data(), '\0', name.size()) != nullptr);
    std::string shown = prefix + (named ? name.data() : "?");
    Say("value\t" + host::EscapeLine(shown.c_str()) + "\t" + std::to_string(type) + "\t" + text);
  }
  std::vector<char> sub(2 * maxSubKey + 2);
  for (DWORD i = 0; i < subKeys; ++i) {
    DWORD subLen = static_cast<DWORD>(sub.size());
    LONG err = RegEnumKeyExA(h, i, sub.data(), &subLen, nullptr, nullptr, nullptr, nullptr);
    if (err == ERROR_NO_MORE_ITEMS) break;
    if (err != ERROR_SUCCESS) {
      Say("value\t" + host::EscapeLine((prefix + "?").c_str()) + "\t?\t?");
      continue;
    }
    DumpKey(relative.empty() ? std::string(sub.data()) : prefix + sub.data());
  }
  RegCloseKey(h);
}

// Wine reads the display's DPI when a program starts, from where Windows
// keeps the user's scaling.
bool SetDisplayDpi(const char* text) {
  DWORD dpi = strtoul(text, nullptr, 10);
  HKEY h;
  LONG err = RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr);
  if (err != ERROR_SUCCESS) return Fail("dpi", err);
  err = RegSetValueExA(h, kLogPixelsValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi));
  RegCloseKey(h);
  return err == ERROR_SUCCESS || Fail("dpi", err);
}

void Dump() {
  DumpInstallPath();
  std::string dll = SystemDll();
  Say("common\t" + host::EscapeLine(dll.c_str()) + "\t" + (host::FileExists(dll) ? "present" : "absent"));
  std::string root;
  if (host::UserDicRootPath(kUserDicKind, root)) Say("userdicroot\t" + host::EscapeLine(root.c_str()));
  DumpKey(std::string());
  Say("end");
}

}  // namespace

int main(int argc, char** argv) {
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    std::string c = argv[i];
    bool more = i + 1 < argc;
    bool two = i + 2 < argc;
    if (c == "install" && more) {
      ok = Install(argv[++i]) && ok;
    } else if (c == "nocommon") {
      ok = RemoveCommon() && ok;
    } else if (c == "setpath" && more) {
      ok = WriteInstallPath(argv[++i]) && ok;
    } else if (c == "dropkey") {
      ok = DeleteTree(HKEY_LOCAL_MACHINE, host::kHostKey, "dropkey") && ok;
    } else if (c == "resetstore") {
      ok = DeleteTree(HKEY_CURRENT_USER, host::kStoreBase, "resetstore") && ok;
    } else if (c == "setsz" && two) {
      const char* text = argv[i + 2];
      ok = SetStoreValue("setsz", argv[i + 1], REG_SZ, text, strlen(text) + 1) && ok;
      i += 2;
    } else if (c == "setdw" && two) {
      DWORD n = strtoul(argv[i + 2], nullptr, 0);
      ok = SetStoreValue("setdw", argv[i + 1], REG_DWORD, &n, sizeof(n)) && ok;
      i += 2;
    } else if (c == "attrib" && two) {
      ok = ChangeAttributes(argv[i + 1], argv[i + 2]) && ok;
      i += 2;
    } else if (c == "dpi" && more) {
      ok = SetDisplayDpi(argv[++i]) && ok;
    } else if (c == "dump") {
      Dump();
    } else {
      Fail(argv[i], ERROR_INVALID_PARAMETER);
      return 1;
    }
  }
  return ok ? 0 : 1;
}
