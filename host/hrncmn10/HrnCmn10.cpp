// Stand-in for the host's common library. Values live in the real registry
// below host::kStoreBase of the root the caller names; every call is
// appended to HRNCMN10.LOG beside the library so that a test can see what
// was asked, with which flags, and what was answered. With HRNCMN10.COUNT
// beside it, the calls are only counted, so that a timed run pays nothing
// for the log; the counts go to HRNCMN10.COUNTS when the library unloads.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/HostLayout.h"
#include "common/HostUtil.h"

namespace {

HMODULE g_module = nullptr;

// The entry points, in the order of the counts line.
enum Entry { kRootPath, kGetValue, kSetValue, kDeleteValue, kEntryCount };
bool g_countOnly = false;
long g_calls[kEntryCount] = {};

// Results besides 0 (done); 1 and 2 are what callers rely on for "absent".
enum Result : int {
  kOk = 0,
  kKeyAbsent = 1,
  kValueAbsent = 2,
  kFailed = 31,  // any other registry failure
  kBadArgument = 87,
  kWrongType = 13,
  kNoRoom = 234,
};

constexpr DWORD kDeleteSingleValue = 1;  // the one deletion kind supported
constexpr DWORD kCreateFolder = 1;       // root path flag: create when missing

void LogLine(const std::string& line) {
  host::AppendLine(host::JoinPath(host::ModuleDir(g_module), host::kCommonLog), line);
}

// A call's line is built only when it is written.
template <typename MakeLine>
void Log(Entry entry, MakeLine makeLine) {
  if (g_countOnly) {
    ++g_calls[entry];
    return;
  }
  LogLine(makeLine());
}

void WriteCounts() {
  std::string line = "counts";
  for (long n : g_calls) line += "\t" + std::to_string(n);
  host::AppendLine(host::JoinPath(host::ModuleDir(g_module), host::kCommonCounts), line);
}

std::string Hex(DWORD v) {
  char buf[16];
  snprintf(buf, sizeof(buf), "%lx", static_cast<unsigned long>(v));
  return buf;
}

std::string Dec(long v) { return std::to_string(v); }

// Failure switches: HRNCMN10.FAIL beside the library, read at the first
// call, holds one rule a line:
//   FUNCTION PATH CALLS RESULT
// FUNCTION is a registry call's name as logged; PATH the value path as
// passed (letter case ignored, no spaces) or "*" for any; CALLS "N" fails
// the Nth call the rule matches, "N+" that one and every later one, "*"
// every one. A failed call does nothing but return RESULT (not 0) and is
// logged with a last field "injected". A line that is not a rule is logged
// as "BadFailRule", which no caller's contract allows. Without the file
// every call does its work.
struct FailRule {
  std::string function;
  std::wstring path;  // empty: any
  long first = 1;
  bool onward = false;
  int result = kFailed;
  long matched = 0;
};

std::vector<FailRule> g_failRules;
bool g_failRulesRead = false;

// Code page 932 text as UTF-16, so that letter case is folded whole
// characters at a time.
std::wstring Wide(const char* text) {
  const int n = MultiByteToWideChar(host::kCodePage, 0, text, -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(host::kCodePage, 0, text, -1, &out[0], n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

bool ParseFailRule(const char* line, FailRule& rule) {
  char function[64], path[2 * MAX_PATH], calls[32];
  int result = 0;
  char rest = 0;
  if (sscanf(line, "%63s %519s %31s %d %c", function, path, calls, &result, &rest) != 4 || result == 0) return false;
  rule.function = function;
  rule.path = strcmp(path, "*") == 0 ? std::wstring() : Wide(path);
  rule.result = result;
  if (strcmp(calls, "*") == 0) {
    rule.onward = true;
    return true;
  }
  char* end = nullptr;
  rule.first = strtol(calls, &end, 10);
  rule.onward = *end == '+';
  return rule.first > 0 && end != calls && (*end == '\0' || (rule.onward && end[1] == '\0'));
}

void ReadFailRules() {
  g_failRulesRead = true;
  FILE* f = fopen(host::JoinPath(host::ModuleDir(g_module), host::kCommonFail).c_str(), "r");
  if (!f) return;
  char line[1024];
  while (fgets(line, sizeof(line), f)) {
    line[strcspn(line, "\r\n")] = '\0';
    if (line[0] == '\0') continue;
    FailRule rule;
    if (ParseFailRule(line, rule)) {
      g_failRules.push_back(rule);
    } else {
      LogLine("BadFailRule\t" + host::EscapeLine(line));
    }
  }
  fclose(f);
}

// Whether a rule fails this call, and with what. Every rule that matches
// counts the call; the first one due decides.
bool Injected(const char* function, const char* path, int& result) {
  if (!g_failRulesRead) ReadFailRules();
  const std::wstring wide = Wide(path ? path : "");
  bool due = false;
  for (FailRule& rule : g_failRules) {
    if (rule.function != function) continue;
    if (!rule.path.empty() && lstrcmpiW(rule.path.c_str(), wide.c_str()) != 0) continue;
    ++rule.matched;
    if (!due && (rule.matched == rule.first || (rule.onward && rule.matched > rule.first))) {
      due = true;
      result = rule.result;
    }
  }
  return due;
}

std::string InjectedMark(bool injected) { return injected ? "\tinjected" : ""; }

// "Key\Value" into the full key below the base and the value name.
bool SplitValuePath(const char* path, std::string& key, std::string& value) {
  if (!path) return false;
  const char* sep = host::LastSeparator(path);
  if (!sep || sep == path || sep[1] == '\0') return false;
  key = std::string(host::kStoreBase) + "\\" + std::string(path, sep - path);
  value = sep + 1;
  return true;
}

// A registry failure must never read as "absent".
int FromRegistryError(LONG err) { return err == ERROR_SUCCESS ? kOk : kFailed; }

std::string DataText(DWORD type, const void* data, DWORD size) {
  if (!data) return "-";
  if (type == REG_DWORD && size >= sizeof(DWORD)) return Dec(static_cast<long>(*static_cast<const DWORD*>(data)));
  if (type == REG_SZ && size > 0)
    return host::EscapeLine(std::string(static_cast<const char*>(data), size - 1).c_str());
  return "?";
}

int ReadValue(HKEY root, const char* path, DWORD type, void* data, DWORD* size) {
  std::string key, value;
  if (!SplitValuePath(path, key, value) || !data || !size) return kBadArgument;
  if (type != REG_SZ && type != REG_DWORD) return kBadArgument;
  HKEY h;
  LONG err = RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &h);
  if (err == ERROR_FILE_NOT_FOUND) return kKeyAbsent;
  if (err != ERROR_SUCCESS) return kFailed;
  DWORD stored = 0, needed = 0;
  err = RegQueryValueExA(h, value.c_str(), nullptr, &stored, nullptr, &needed);
  int result = kOk;
  if (err == ERROR_FILE_NOT_FOUND) {
    result = kValueAbsent;
  } else if (err != ERROR_SUCCESS) {
    result = kFailed;
  } else if (stored != type) {
    result = kWrongType;
  } else if (needed > *size) {
    result = kNoRoom;
  } else {
    DWORD got = *size;
    result = FromRegistryError(RegQueryValueExA(h, value.c_str(), nullptr, &stored, static_cast<BYTE*>(data), &got));
    if (result == kOk && type == REG_SZ) {
      // The caller is promised a terminated string within its capacity.
      char* text = static_cast<char*>(data);
      if (got == 0 || text[got - 1] != '\0') {
        if (got < *size)
          text[got++] = '\0';
        else
          result = kNoRoom;
      }
    }
    if (result == kOk) *size = got;
  }
  RegCloseKey(h);
  return result;
}

int WriteValue(HKEY root, const char* path, DWORD type, const void* data, DWORD size) {
  std::string key, value;
  if (!SplitValuePath(path, key, value) || !data) return kBadArgument;
  if (type == REG_DWORD && size != sizeof(DWORD)) return kBadArgument;
  // A string's size counts its terminator, and the terminator is the last byte.
  if (type == REG_SZ && (size == 0 || static_cast<const char*>(data)[size - 1] != '\0' ||
                         strlen(static_cast<const char*>(data)) + 1 != size)) {
    return kBadArgument;
  }
  if (type != REG_SZ && type != REG_DWORD) return kBadArgument;
  HKEY h;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) != ERROR_SUCCESS) {
    return kFailed;
  }
  int result = FromRegistryError(RegSetValueExA(h, value.c_str(), 0, type, static_cast<const BYTE*>(data), size));
  RegCloseKey(h);
  return result;
}

int DeleteValue(HKEY root, DWORD kind, const char* path) {
  std::string key, value;
  if (kind != kDeleteSingleValue || !SplitValuePath(path, key, value)) return kBadArgument;
  HKEY h;
  LONG err = RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, &h);
  if (err == ERROR_FILE_NOT_FOUND) return kKeyAbsent;
  if (err != ERROR_SUCCESS) return kFailed;
  err = RegDeleteValueA(h, value.c_str());
  RegCloseKey(h);
  if (err == ERROR_FILE_NOT_FOUND) return kValueAbsent;
  return FromRegistryError(err);
}

// The folder of host::UserDicRoot; 0 on failure, the buffer untouched.
int UserDicRoot(char* buf, const char* kind, int flag) {
  if (!buf || host::FileExists(host::JoinPath(host::ModuleDir(g_module), host::kCommonNoRoot))) return 0;
  std::string path;
  if (!host::UserDicRoot(kind, (static_cast<DWORD>(flag) & kCreateFolder) != 0, path)) return 0;
  if (path.size() >= MAX_PATH) return 0;
  memcpy(buf, path.c_str(), path.size() + 1);
  return 1;
}

}  // namespace

extern "C" {

int __stdcall QLMS_GenerateUserDicRootPath(char* buf, const char* kind, int flag) {
  int result = UserDicRoot(buf, kind, flag);
  Log(kRootPath, [&] {
    return "GenerateUserDicRootPath\t" + host::EscapeLine(kind ? kind : "(null)") + "\t" + Dec(flag) + "\t=" +
           Dec(result) + "\t" + (result ? host::EscapeLine(buf) : std::string("-"));
  });
  return result;
}

int __stdcall QLMR_GetRegValueA(HKEY root, DWORD flags, DWORD reserved, const char* path, DWORD type, void* data,
                                DWORD* size) {
  DWORD capacity = size ? *size : 0;
  int result = kOk;
  const bool injected = Injected("GetRegValue", path, result);
  if (!injected) result = reserved ? kBadArgument : ReadValue(root, path, type, data, size);
  Log(kGetValue, [&] {
    return "GetRegValue\t" + Hex(reinterpret_cast<DWORD_PTR>(root)) + "\t" + Hex(flags) + "\t" + Hex(reserved) + "\t" +
           host::EscapeLine(path ? path : "(null)") + "\t" + Dec(type) + "\t" + Dec(capacity) + "\t=" + Dec(result) +
           "\t" +
           (result == kOk ? DataText(type, data, type == REG_SZ ? strlen(static_cast<char*>(data)) + 1 : 4) : "-") +
           InjectedMark(injected);
  });
  return result;
}

int __stdcall QLMR_SetRegValueA(HKEY root, DWORD flags, DWORD reserved, const char* path, DWORD type, const void* data,
                                DWORD size) {
  int result = kOk;
  const bool injected = Injected("SetRegValue", path, result);
  if (!injected) result = reserved ? kBadArgument : WriteValue(root, path, type, data, size);
  Log(kSetValue, [&] {
    return "SetRegValue\t" + Hex(reinterpret_cast<DWORD_PTR>(root)) + "\t" + Hex(flags) + "\t" + Hex(reserved) + "\t" +
           host::EscapeLine(path ? path : "(null)") + "\t" + Dec(type) + "\t" + Dec(size) + "\t=" + Dec(result) +
           "\t" + (result == kOk ? DataText(type, data, size) : "-") + InjectedMark(injected);
  });
  return result;
}

int __stdcall QLMR_DeleteRegKeyDataA(HKEY root, DWORD flags, DWORD reserved, DWORD kind, const char* path) {
  int result = kOk;
  const bool injected = Injected("DeleteRegKeyData", path, result);
  if (!injected) result = reserved ? kBadArgument : DeleteValue(root, kind, path);
  Log(kDeleteValue, [&] {
    return "DeleteRegKeyData\t" + Hex(reinterpret_cast<DWORD_PTR>(root)) + "\t" + Hex(flags) + "\t" +
           Hex(reserved) + "\t" + Dec(kind) + "\t" + host::EscapeLine(path ? path : "(null)") + "\t=" + Dec(result) +
           InjectedMark(injected);
  });
  return result;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
    g_countOnly = host::FileExists(host::JoinPath(host::ModuleDir(instance), host::kCommonCountOnly));
  } else if (reason == DLL_PROCESS_DETACH && g_countOnly) {
    WriteCounts();
  }
  return TRUE;
}

}  // extern "C"
