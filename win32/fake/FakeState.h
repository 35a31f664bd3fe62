// State shared by the areas of the Win32 double. One process-wide machine,
// replaced as a whole by fakewin::Reset().
#pragma once

#include <fakewin32.h>
#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace fakewin {
namespace internal {

// ---- Files -----------------------------------------------------------------
struct FileNode {
  std::string name;  // as added
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  std::string content;
  std::vector<std::shared_ptr<FileNode>> children;  // in order of adding
  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

struct FileOpen {
  std::shared_ptr<FileNode> node;
  DWORD access;
  DWORD share;
};

struct FindEntry {
  std::string name;
  DWORD attributes;
  DWORD size;
};

struct FindSearch {
  std::vector<FindEntry> entries;
  size_t next = 0;
};

// ---- Registry --------------------------------------------------------------
struct RegValue {
  std::string name;
  DWORD type;
  std::string bytes;
};

struct RegKey {
  std::string name;
  std::vector<RegValue> values;
  std::vector<std::shared_ptr<RegKey>> subkeys;
};

// ---- Modules ---------------------------------------------------------------
struct Module {
  std::string path;
  Exports exports;
  std::vector<std::string> imports;
  std::vector<HMODULE> bound;  // the modules its imports led to, while loaded
  HMODULE handle = nullptr;
  int refs = 0;
  int attaches = 0;
  bool pinned = false;  // kernel32: never unloaded
};

// ---- Windows ---------------------------------------------------------------
struct WindowClass {
  std::string name;
  std::string menuName;  // empty with menuId 0: none
  UINT_PTR menuId = 0;
  WNDCLASSA wc{};
  ATOM atom = 0;
  bool system = false;
  WNDCLASSA Public() const;
};

struct Menu {
  std::vector<UINT> items;  // command ids; 0 for separators
};

struct DialogRun;

struct Window {
  HWND hwnd = nullptr;
  bool foreign = false;
  std::string className;
  std::string title;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;  // the parent of a WS_CHILD window
  HWND owner = nullptr;   // the owner of a top-level window
  int id = 0;
  RECT rect{};
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  int cbWndExtra = 0;
  LONG_PTR userData = 0;
  std::map<int, LONG_PTR> extra;  // window extra bytes, by offset
  HICON iconBig = nullptr;
  HICON iconSmall = nullptr;
  HMENU menu = nullptr;
  HMENU sysMenu = nullptr;  // made on first GetSystemMenu
  bool destroying = false;
  std::vector<HWND> children;  // in creation order
  MessageHandler handler;      // foreign windows
  bool hung = false;
  std::shared_ptr<DialogRun> dialog;
  std::map<int, UINT> checks;  // check-box states by control id
};

struct DialogRun {
  DLGPROC proc = nullptr;
  bool ended = false;
  INT_PTR result = 0;
};

struct FailRule {
  std::vector<long> at;  // absolute call numbers that fail
  bool always = false;
  DWORD error = ERROR_GEN_FAILURE;
};

struct State {
  // Calls and failures
  std::vector<std::string> calls;
  // Transparent comparison: a lookup by the caller's name allocates nothing.
  std::map<std::string, long, std::less<>> callNumbers;
  std::map<std::string, FailRule, std::less<>> failures;
  FaultHook faultHook;
  bool powerCut = false;

  // Platform
  DWORD major = 5, minor = 1, platformId = VER_PLATFORM_WIN32_NT;
  UINT codePage = 932;
  std::string moduleFileName = "C:\\KIT\\LexPlant.exe";
  bool moduleNameCutWithoutNul = false;
  std::map<UINT, std::string> strings;
  std::function<void(int, DWORD)> sleepHook;
  int sleepCount = 0;

  // Files
  std::map<char, std::shared_ptr<FileNode>> drives;
  std::map<HANDLE, FileOpen> fileHandles;
  std::map<HANDLE, FindSearch> searches;
  std::map<int, FileOpen> foreignOpens;
  int nextHoldId = 1;

  // Registry
  std::map<HKEY, std::shared_ptr<RegKey>> regRoots;
  std::map<HKEY, std::shared_ptr<RegKey>> openKeys;
  std::set<HKEY> machineKeys;  // open keys below HKEY_LOCAL_MACHINE

  // Modules and the loader
  std::vector<Module> modules;
  std::vector<std::string> probes;
  Loader loader = Loader::kCurrent;
  std::string windowsFolder = "C:\\WINDOWS";
  std::string currentFolder = "C:\\KIT";
  bool dllDirectorySet = false;  // any SetDllDirectoryA: no current folder
  std::string dllDirectory;
  DWORD defaultDirectories = 0;  // SetDefaultDllDirectories flags; 0 none
  std::vector<std::string> userDirectories;  // AddDllDirectory, in order
  std::vector<std::pair<std::string, std::string>> environment;

  // Memory
  std::set<void*> globals;

  // Windows
  std::vector<std::unique_ptr<WindowClass>> classes;
  ATOM nextAtom = 0xC000;
  std::map<HWND, std::unique_ptr<Window>> windows;
  std::vector<HWND> creationOrder;
  std::map<HWND, std::vector<SentMessage>> sent;
  bool sendBlocked = false;  // inside SendMessageTimeoutA with SMTO_BLOCK
  bool sendStalled = false;  // a call back could not be answered there
  DWORD waitedMs = 0;
  HWND focus = nullptr;
  std::deque<MSG> queue;
  int quitCode = 0;

  // Menus and resources
  std::map<HMENU, Menu> menus;
  std::map<std::string, HANDLE> resources;  // icons, cursors and accelerators by key

  // Dialogs, message boxes, shell
  std::map<int, std::deque<std::vector<DialogStep>>> dialogScripts;
  std::map<int, int> failingDialogs;
  std::vector<DialogRecord> dialogs;
  std::deque<int> messageBoxAnswers;
  std::function<void(const std::string&)> messageBoxHook;
  std::vector<MessageBoxRecord> messageBoxes;
  std::vector<ShellExecuteRecord> shellExecutes;
};

State& S();
void RegisterSystemClasses(State& st);
void AddSystemModules(State& st);

// A fresh handle value, never reused in the life of the process.
uintptr_t NextHandleValue();
template <typename H>
H NewHandle() {
  return reinterpret_cast<H>(NextHandleValue());
}

inline constexpr uintptr_t kProgramInstance = 0x00400000;
inline HINSTANCE ProgramInstance() { return reinterpret_cast<HINSTANCE>(kProgramInstance); }

void SetError(DWORD error);
DWORD LastError();

// ---- Names -----------------------------------------------------------------
bool IsLeadByte(unsigned char c);
// Equal without regard to ASCII case; the trail byte of a two-byte character
// is compared exactly.
bool NamesEqual(const std::string& a, const std::string& b);
// Splits at "\" and "/" outside two-byte characters; empty parts are kept.
std::vector<std::string> SplitAtSeparators(const std::string& s);
// One character per element (one or two bytes).
std::vector<std::string> Characters(const std::string& s);

// ---- Recording -------------------------------------------------------------
void AppendArg(std::string& line, const char* s);
inline void AppendArg(std::string& line, char* s) { AppendArg(line, static_cast<const char*>(s)); }
inline void AppendArg(std::string& line, const std::string& s) {
  line += ' ';
  line += s;
}
template <typename T>
void AppendArg(std::string& line, const T& v) {
  line += ' ';
  if constexpr (std::is_pointer_v<T>) {
    line += std::to_string(reinterpret_cast<intptr_t>(v));
  } else {
    line += std::to_string(v);
  }
}

[[noreturn]] void ExceptionCrossedTheSystem(const char* callback);

// Program code that the double calls back (window and dialog procedures,
// enumerations) runs outside the served call. As on Windows, no C++
// exception may unwind back through the system: one that tries ends the
// test program, naming the callback. Only a power cut, which ends
// everything anyway, passes.
template <typename Fn>
auto CallProgram(const char* callback, Fn&& fn) -> decltype(fn()) {
  ProgramScope program;
  try {
    return fn();
  } catch (const PowerCut&) {
    throw;
  } catch (...) {
    ExceptionCrossedTheSystem(callback);
  }
}

// Failure injection by function name: true when this call must fail, with
// the last error already set.
bool ShouldFail(const char* api);

// Enter(api)(args...) records the call; true when it must fail.
inline auto Enter(const char* api) {
  return [api](const auto&... args) {
    std::string line = api;
    (AppendArg(line, args), ...);
    S().calls.push_back(std::move(line));
    return ShouldFail(api);
  };
}

// Opens every faked call: serves it (what it allocates is the platform's,
// not the program's, so it never throws for want of memory), records it with
// these arguments under the name of the function it opens, and runs the
// statement that follows when the call must fail.
#define FAKE_CALL(...)             \
  ::fakewin::ServingScope serving; \
  if (::fakewin::internal::Enter(__func__)(__VA_ARGS__))

// ---- Shared window plumbing ------------------------------------------------
Window* FindWindowObject(HWND hwnd);
Window* FindProgramWindow(HWND hwnd);
// w, or null with ERROR_INVALID_WINDOW_HANDLE, as a call given a handle it
// does not know answers.
inline Window* WindowOrError(Window* w) {
  if (w == nullptr) SetError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}
// Delivers a message as SendMessageA does, without recording a call.
LRESULT Deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
HWND CreateWindowInternal(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int width,
                          int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL DestroyWindowInternal(HWND hwnd);
BOOL EnableWindowInternal(HWND hwnd, BOOL enable);
HWND GetDlgItemInternal(HWND dlg, int id);
LRESULT CALLBACK DialogClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
HMENU NewMenu(std::vector<UINT> items);
int CopyText(const std::string& text, LPSTR buffer, int capacity);

}  // namespace internal
}  // namespace fakewin
