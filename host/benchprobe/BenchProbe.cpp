// The benchmark's timing probe: starts a program, watches for its dialogs,
// answers them and times the span asked for with QueryPerformanceCounter.
// Commands run in the order given, each printing what it measured:
//
//   reset                 remove every per-user value of the host
//   seed N FOLDER NAME    a registered list of N entries FOLDER\NAME<i>.dic
//   hold PATH             open PATH with no sharing until the probe ends
//   run EXE FROM TO KEYS  start EXE and answer its dialogs in turn with KEYS
//                         (comma-separated button ids; "c1" clears the
//                         check boxes 1001 and 1002, then presses 1); time
//                         from event FROM to event TO, where event 0 is the
//                         start and event k the k-th dialog showing (when k
//                         is a start point: the moment it is answered).
//                         Prints "dialog K MS IDS" for each dialog,
//                         "ms SPAN" and "exit CODE".
//   copy FROM TO          time CopyFileA of every FROM\*.dic into TO
//
// Dialogs are found by polling the top-level windows every millisecond; the
// probe does nothing else while a span is timed. Output as host::WriteOut.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "common/HostLayout.h"
#include "common/HostUtil.h"

namespace {

constexpr char kDialogClass[] = "#32770";
constexpr DWORD kPollMs = 1;
constexpr DWORD kDialogTimeoutMs = 120000;
constexpr DWORD kExitTimeoutMs = 60000;
constexpr DWORD kExitPollMs = 10;
constexpr DWORD kSendTimeoutMs = 2000;
constexpr DWORD kSettleMs = 20;
constexpr int kClearReadsNeeded = 3;
constexpr int kCloseButton = 1;
constexpr int kCheckBoxes[] = {1001, 1002};
constexpr char kClearAndClose[] = "c1";
constexpr char kRegisteredCount[] = "RegOptionDicNum";
constexpr char kRegisteredEntry[] = "RegOptionDic";
constexpr char kListKey[] = "OptionDic";

void Say(const std::string& line) { host::WriteOut(line + "\n"); }

bool Fail(const std::string& what) {
  Say("error\t" + what);
  return false;
}

class Clock {
 public:
  Clock() { QueryPerformanceFrequency(&frequency_); }
  LONGLONG Now() const {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
  }
  double Ms(LONGLONG from, LONGLONG to) const {
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency_.QuadPart);
  }

 private:
  LARGE_INTEGER frequency_;
};

const Clock& TheClock() {
  static const Clock clock;
  return clock;
}

std::string MsText(double ms) {
  char buf[32];
  snprintf(buf, sizeof(buf), "%.2f", ms);
  return buf;
}

// ---- dialogs ----

struct DialogSearch {
  DWORD pid;
  const std::set<HWND>* seen;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<DialogSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != search->pid || !IsWindowVisible(hwnd) || search->seen->count(hwnd)) return TRUE;
  char cls[16] = {};
  GetClassNameA(hwnd, cls, sizeof(cls));
  if (strcmp(cls, kDialogClass) != 0) return TRUE;
  search->found = hwnd;
  return FALSE;
}

HWND NewDialog(DWORD pid, const std::set<HWND>& seen) {
  DialogSearch search = {pid, &seen, nullptr};
  EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

enum WaitResult { kShown, kExited, kTimedOut };

// Polls until a dialog of the process shows that was not there before.
WaitResult WaitForDialog(const PROCESS_INFORMATION& pi, const std::set<HWND>& seen, HWND& dialog) {
  DWORD start = GetTickCount();
  for (;;) {
    if ((dialog = NewDialog(pi.dwProcessId, seen)) != nullptr) return kShown;
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) return kExited;
    if (GetTickCount() - start >= kDialogTimeoutMs) return kTimedOut;
    Sleep(kPollMs);
  }
}

// A dialog nobody expected would keep the program from ending.
bool WaitForExit(const PROCESS_INFORMATION& pi, const std::set<HWND>& seen) {
  DWORD start = GetTickCount();
  while (WaitForSingleObject(pi.hProcess, kExitPollMs) != WAIT_OBJECT_0) {
    if (NewDialog(pi.dwProcessId, seen)) return Fail("unexpected dialog");
    if (GetTickCount() - start >= kExitTimeoutMs) return Fail("did not end");
  }
  return true;
}

std::string ControlIds(HWND dialog) {
  std::string ids;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!ids.empty()) ids += ",";
    ids += std::to_string(GetDlgCtrlID(c) & 0xFFFF);
  }
  return ids;
}

LRESULT SendWithin(HWND hwnd, UINT message, WPARAM wParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(hwnd, message, wParam, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  return static_cast<LRESULT>(result);
}

// A dialog whose template is visible shows before its initialisation sets
// the boxes: clear them once it waits for input, until they stay clear.
bool ClearCheckBoxes(HANDLE process, HWND dialog) {
  WaitForInputIdle(process, kSendTimeoutMs);
  DWORD start = GetTickCount();
  for (int clearReads = 0; clearReads < kClearReadsNeeded; Sleep(kSettleMs)) {
    bool clear = true;
    for (int id : kCheckBoxes) {
      HWND box = GetDlgItem(dialog, id);
      if (!box || SendWithin(box, BM_GETCHECK, 0) == BST_UNCHECKED) continue;
      SendWithin(box, BM_SETCHECK, BST_UNCHECKED);
      clear = false;
    }
    clearReads = clear ? clearReads + 1 : 0;
    if (!clear && GetTickCount() - start >= kSendTimeoutMs) return Fail("check boxes stay set");
  }
  return true;
}

bool Answer(HANDLE process, HWND dialog, const std::string& key) {
  int id = atoi(key.c_str());
  if (key == kClearAndClose) {
    if (!ClearCheckBoxes(process, dialog)) return false;
    id = kCloseButton;
  }
  HWND button = GetDlgItem(dialog, id);
  if (!button) return Fail("no button " + key);
  PostMessageA(button, BM_CLICK, 0, 0);
  return true;
}

std::vector<std::string> SplitKeys(const std::string& text) {
  std::vector<std::string> keys;
  size_t begin = 0;
  while (begin <= text.size()) {
    size_t comma = text.find(',', begin);
    if (comma == std::string::npos) comma = text.size();
    if (comma > begin) keys.push_back(text.substr(begin, comma - begin));
    begin = comma + 1;
  }
  return keys;
}

bool Start(const std::string& exe, PROCESS_INFORMATION& pi) {
  std::string cmdline = "\"" + exe + "\"";
  std::vector<char> buf(cmdline.begin(), cmdline.end());
  buf.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  // From the program's own folder, as a user starts it.
  std::string dir = exe.substr(0, host::LastSeparator(exe.c_str()) - exe.c_str());
  if (!CreateProcessA(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
    return Fail("start " + std::to_string(GetLastError()));
  }
  return true;
}

void EndProcess(PROCESS_INFORMATION& pi) {
  TerminateProcess(pi.hProcess, 1);
  WaitForSingleObject(pi.hProcess, kExitTimeoutMs);
}

bool Run(const std::string& exe, int from, int to, const std::vector<std::string>& keys) {
  if (from < 0 || to <= from || to > static_cast<int>(keys.size())) return Fail("bad span");
  if (!host::LastSeparator(exe.c_str())) return Fail("program path without a folder");
  const Clock& clock = TheClock();
  PROCESS_INFORMATION pi;
  LONGLONG start = clock.Now();
  if (!Start(exe, pi)) return false;
  LONGLONG spanStart = start;
  double span = -1.0;
  std::set<HWND> seen;
  bool ok = true;
  for (size_t k = 1; k <= keys.size() && ok; ++k) {
    HWND dialog = nullptr;
    WaitResult result = WaitForDialog(pi, seen, dialog);
    LONGLONG shown = clock.Now();
    if (result != kShown) {
      ok = Fail(std::string("dialog ") + std::to_string(k) + (result == kExited ? " never came" : " timed out"));
      break;
    }
    seen.insert(dialog);
    if (static_cast<int>(k) == to) span = clock.Ms(spanStart, shown);
    Say("dialog\t" + std::to_string(k) + "\t" + MsText(clock.Ms(start, shown)) + "\t" + ControlIds(dialog));
    if (static_cast<int>(k) == from) spanStart = clock.Now();
    ok = Answer(pi.hProcess, dialog, keys[k - 1]);
  }
  if (ok) ok = WaitForExit(pi, seen);
  if (!ok) EndProcess(pi);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (!ok) return false;
  Say("ms\t" + MsText(span));
  Say("exit\t" + std::to_string(code));
  return true;
}

// ---- the copy baseline ----

std::vector<std::string> DicNames(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(host::JoinPath(folder, "*.dic").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

bool Copy(const std::string& from, const std::string& to) {
  std::vector<std::string> names = DicNames(from);
  if (names.empty()) return Fail("nothing to copy in " + from);
  CreateDirectoryA(to.c_str(), nullptr);
  std::vector<std::string> sources, targets;
  for (const std::string& name : names) {
    sources.push_back(host::JoinPath(from, name));
    targets.push_back(host::JoinPath(to, name));
    DeleteFileA(targets.back().c_str());
  }
  const Clock& clock = TheClock();
  LONGLONG start = clock.Now();
  for (size_t i = 0; i < sources.size(); ++i) {
    if (!CopyFileA(sources[i].c_str(), targets[i].c_str(), FALSE)) {
      return Fail("copy " + sources[i] + " " + std::to_string(GetLastError()));
    }
  }
  double span = clock.Ms(start, clock.Now());
  for (const std::string& target : targets) DeleteFileA(target.c_str());
  Say("ms\t" + MsText(span));
  Say("files\t" + std::to_string(names.size()));
  return true;
}

// ---- the host's per-user values ----

bool ResetStore() {
  LONG err = RegDeleteTreeA(HKEY_CURRENT_USER, host::kStoreBase);
  if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND) return Fail("reset " + std::to_string(err));
  return true;
}

bool Seed(int count, const std::string& folder, const std::string& name) {
  std::string key = std::string(host::kStoreBase) + "\\" + kListKey;
  HKEY h;
  LONG err = RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr);
  if (err != ERROR_SUCCESS) return Fail("seed " + std::to_string(err));
  DWORD n = static_cast<DWORD>(count);
  err = RegSetValueExA(h, kRegisteredCount, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof(n));
  for (int i = 1; i <= count && err == ERROR_SUCCESS; ++i) {
    std::string value = kRegisteredEntry + std::to_string(i);
    std::string path = host::JoinPath(folder, name + std::to_string(i) + ".dic");
    err = RegSetValueExA(h, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                         static_cast<DWORD>(path.size() + 1));
  }
  RegCloseKey(h);
  return err == ERROR_SUCCESS || Fail("seed " + std::to_string(err));
}

bool Hold(const std::string& path) {
  // Left open on purpose: the probe's end lets it go.
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h != INVALID_HANDLE_VALUE || Fail("hold " + std::to_string(GetLastError()));
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string c = argv[i];
    int left = argc - i - 1;
    bool ok;
    if (c == "reset") {
      ok = ResetStore();
    } else if (c == "seed" && left >= 3) {
      ok = Seed(atoi(argv[i + 1]), argv[i + 2], argv[i + 3]);
      i += 3;
    } else if (c == "hold" && left >= 1) {
      ok = Hold(argv[++i]);
    } else if (c == "run" && left >= 4) {
      ok = Run(argv[i + 1], atoi(argv[i + 2]), atoi(argv[i + 3]), SplitKeys(argv[i + 4]));
      i += 4;
    } else if (c == "copy" && left >= 2) {
      ok = Copy(argv[i + 1], argv[i + 2]);
      i += 2;
    } else {
      ok = Fail("unknown command " + c);
    }
    if (!ok) return 1;
  }
  return 0;
}
