#include "common/HostUtil.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "common/HostLayout.h"

namespace host {

const char* LastSeparator(const char* path) {
  const char* last = nullptr;
  for (const char* p = path; *p; p = CharNextExA(kCodePage, p, 0)) {
    if (*p == '\\' || *p == '/') last = p;
  }
  return last;
}

std::string ModuleDir(HMODULE module) {
  char buf[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(module, buf, sizeof(buf));
  if (n == 0 || n >= sizeof(buf)) return std::string();
  const char* sep = LastSeparator(buf);
  return sep ? std::string(buf, sep - buf) : std::string();
}

std::string JoinPath(const std::string& dir, const std::string& name) { return dir + "\\" + name; }

void AppendLine(const std::string& path, const std::string& line) {
  HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  std::string data = line + "\r\n";
  DWORD written = 0;
  WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  CloseHandle(h);
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string EscapeLine(const char* text) {
  std::string out;
  for (const char* p = text; *p;) {
    const char* next = CharNextExA(kCodePage, p, 0);
    if (next - p == 1) {
      switch (*p) {
        case '\\':
          out += "\\\\";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          out += *p;
          break;
      }
    } else {
      out.append(p, next - p);
    }
    p = next;
  }
  return out;
}

std::string Timestamp() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char buf[32];
  snprintf(buf, sizeof(buf), "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
           t.wSecond, t.wMilliseconds);
  return buf;
}

namespace {

bool EnsureFolder(const std::string& path, bool create) {
  DWORD attr = GetFileAttributesA(path.c_str());
  if (attr != INVALID_FILE_ATTRIBUTES) return (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return create && CreateDirectoryA(path.c_str(), nullptr);
}

}  // namespace

bool UserDicRootPath(const char* kind, std::string& out) {
  if (!kind || !*kind || LastSeparator(kind) || !strcmp(kind, ".") || !strcmp(kind, "..")) return false;
  char appData[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) return false;
  out = JoinPath(JoinPath(JoinPath(appData, kUserDicVendor), kUserDicProduct), kind);
  return true;
}

bool UserDicRoot(const char* kind, bool create, std::string& out) {
  std::string root;
  if (!UserDicRootPath(kind, root)) return false;
  char appData[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | (create ? CSIDL_FLAG_CREATE : 0), nullptr, SHGFP_TYPE_CURRENT,
                              appData))) {
    return false;
  }
  std::string path = appData;
  for (const char* level : {kUserDicVendor, kUserDicProduct, kind}) {
    path = JoinPath(path, level);
    if (!EnsureFolder(path, create)) return false;
  }
  out = root;
  return true;
}

void WriteOut(const std::string& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace host
