// Lays out and examines the stand-in host. Commands run in the order given:
//
//   install PATH        copy the host files (taken from this program's folder):
//                       PATH\CMD\HRNDIC.EXE, PATH\CMD\HRNCNV.DLL, the common
//                       library into the system folder; InstallPath = PATH
//   nocommon            remove the common library from the system folder
//   setpath TEXT        InstallPath = TEXT (may be empty)
//   dropkey             remove the machine-wide key of the host
//   resetstore          remove every per-user value of the host
//   setsz KEY\VALUE TEXT, setdw KEY\VALUE NUMBER
//                       write a per-user value as the common library keeps it
//   attrib [+-][hsr]... PATH
//                       change hidden/system/read-only attributes
//   dump                print the host's state, one item a line
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

#include "common/HostLayout.h"
#include "common/HostUtil.h"

namespace {

constexpr char kUserDicKind[] = "odic";

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

bool CopyInto(const std::string& from, const std::string& to) {
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
void DumpKey(const std::string& relative) {
  std::string full = relative.empty() ? host::kStoreBase : std::string(host::kStoreBase) + "\\" + relative;
  HKEY h;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, full.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return;
  for (DWORD i = 0;; ++i) {
    char name[512];
    BYTE data[2048];
    DWORD nameLen = sizeof(name), dataLen = sizeof(data) - 1, type = 0;
    if (RegEnumValueA(h, i, name, &nameLen, nullptr, &type, data, &dataLen) != ERROR_SUCCESS) break;
    data[dataLen] = 0;
    std::string text;
    if (type == REG_DWORD && dataLen == sizeof(DWORD)) {
      text = std::to_string(*reinterpret_cast<DWORD*>(data));
    } else if (type == REG_SZ) {
      text = host::EscapeLine(reinterpret_cast<char*>(data));
    } else {
      text = "?";
    }
    Say("value\t" + host::EscapeLine((relative + "\\" + name).c_str()) + "\t" + std::to_string(type) + "\t" + text);
  }
  for (DWORD i = 0;; ++i) {
    char sub[512];
    DWORD subLen = sizeof(sub);
    if (RegEnumKeyExA(h, i, sub, &subLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    DumpKey(relative.empty() ? std::string(sub) : relative + "\\" + sub);
  }
  RegCloseKey(h);
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
    } else if (c == "dump") {
      Dump();
    } else {
      Fail(argv[i], ERROR_INVALID_PARAMETER);
      return 1;
    }
  }
  return ok ? 0 : 1;
}
