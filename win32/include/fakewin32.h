// Control surface of the in-memory Win32 double (native build only).
//
// Tests arrange the machine through these functions, run product code that
// calls the ordinary Win32 API from <windows.h>, and then read back what was
// shown, sent, written and called. Reset() gives every test a fresh machine.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fakewin {

// Fresh machine: empty file system and registry, no modules, no windows, no
// scripts, no records. Code page 932, Windows NT 5.1, program file
// "C:\KIT\LexPlant.exe", instance handle as returned by GetModuleHandleA(0).
void Reset();

// ---- Record of calls -------------------------------------------------------
// One entry per Win32 call the double served, "Name arg1 arg2 ..." with string
// arguments as given (code page 932 bytes) and numbers in decimal; a null
// string reads NULL, a resource id #id, a handle its value in decimal.
const std::vector<std::string>& Calls();
int CountCalls(const std::string& api);  // by function name, e.g. "LoadLibraryA"
void ClearCalls();

// ---- Failure injection -----------------------------------------------------
// The nth call (1-based, counted from now) of api fails as that function
// fails on Windows, with GetLastError() == error. FailAlways fails every call.
void FailNth(const std::string& api, int n, DWORD error = ERROR_GEN_FAILURE);
void FailAlways(const std::string& api, DWORD error = ERROR_GEN_FAILURE);

// ---- Fault sweeps ------------------------------------------------------------
// Asked at every call the double serves, and at every call of a stand-in that
// joins through FaultPoint, before the call has any effect. kFail makes the
// call fail as that function fails, with the error the hook leaves in its
// second argument (ERROR_GEN_FAILURE unless changed); kCut stops the program
// dead there, as a power failure would: PowerCut is thrown from the call, a
// copy cut short leaves its destination half-written, and every later call
// fails without effect, so nothing the unwinding does reaches the machine.
enum class Fault { kNone, kFail, kCut };
using FaultHook = std::function<Fault(const char* api, DWORD& error)>;
void OnFaultPoint(FaultHook hook);  // nullptr: none
struct PowerCut {};
// For stand-ins outside the double: true when this call must fail.
bool FaultPoint(const std::string& api);
// True while the double, or a stand-in that says so with ServingScope, serves
// a call: an allocation failing there would be the platform's, which never
// throws.
bool ServingCall();
class ServingScope {
 public:
  ServingScope();
  ~ServingScope();
  ServingScope(const ServingScope&) = delete;
  ServingScope& operator=(const ServingScope&) = delete;
};
// Program code called back from inside a served call runs outside it again.
class ProgramScope {
 public:
  ProgramScope();
  ~ProgramScope();
  ProgramScope(const ProgramScope&) = delete;
  ProgramScope& operator=(const ProgramScope&) = delete;

 private:
  int m_savedDepth;
};

// ---- Platform --------------------------------------------------------------
void SetVersion(DWORD major, DWORD minor, DWORD platformId);
void SetAnsiCodePage(UINT codePage);  // 932 (Shift JIS) or 1252 (no lead bytes)
void SetModuleFileName(const std::string& path);
// A name that does not fit fills the whole buffer without a NUL, as Windows XP
// does; by default it is cut to nSize - 1 bytes and terminated, as later
// versions do.
void SetModuleNameCutWithoutNul(bool on);
void SetResourceString(UINT id, const std::string& text);  // served by LoadStringA

// ---- File system -----------------------------------------------------------
// Paths are Windows paths ("C:\dir\file"); names compare without regard to
// ASCII case, as on NTFS. Parent folders are created as needed. A listing
// returns entries in the order they were added.
void AddFile(const std::string& path, const std::string& content = "", DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
void AddFolder(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_DIRECTORY);
void RemoveFile(const std::string& path);
bool FileExists(const std::string& path);
std::string FileContent(const std::string& path);
std::vector<std::string> ListFolder(const std::string& path);  // names only
DWORD FileAttributes(const std::string& path);                 // INVALID_FILE_ATTRIBUTES when absent
// Another process opens the file with this access and sharing; it stays open
// until ReleaseForeignOpen. Share modes are enforced in both directions, and a
// read-only file refuses write access to everyone, as on Windows.
// Returns -1 and holds nothing when Windows would refuse that open.
int HoldForeignOpen(const std::string& path, DWORD access, DWORD shareMode);
void ReleaseForeignOpen(int holdId);
int OpenHandleCount();  // handles the program has open (files and searches)

// ---- Registry --------------------------------------------------------------
// root is HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER; key names are
// backslash-separated and, like value names, compare without regard to case.
void SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& value);
void SetRegDword(HKEY root, const std::string& key, const std::string& name, DWORD value);
// Raw bytes with any type: lets a test store a string without its NUL.
void SetRegRaw(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& bytes);
void DeleteRegKey(HKEY root, const std::string& key);
int OpenKeyCount();

// ---- Loadable modules and the loader's search -------------------------------
// A module is a file at a full path; AddModule puts the file there too. Its
// imports are bare names that the loader finds when it loads the module, by
// the search of the call that loaded it; a missing import fails the load
// with ERROR_MOD_NOT_FOUND. Loading a bare name takes a loaded module of
// that name, else searches; a full path loads that file only.
//
// The searches, as Windows does them (with SafeDllSearchMode):
//   standard: program folder, system folder (C:\WINDOWS\system32), 16-bit
//     system folder (C:\WINDOWS\SYSTEM), Windows folder (C:\WINDOWS),
//     current folder (C:\KIT by default), PATH. Any SetDllDirectoryA call
//     takes the current folder out; a non-empty one puts its folder second.
//   after SetDefaultDllDirectories: the folders its flags name, only.
//   LOAD_WITH_ALTERED_SEARCH_PATH: standard, with the module's own folder in
//     place of the program folder.
//   LOAD_LIBRARY_SEARCH_* flags of LoadLibraryExA: the loaded module's
//     folder (DLL_LOAD_DIR), the program folder, the system folder.
using Exports = std::map<std::string, FARPROC>;
void AddModule(const std::string& path, const Exports& exports, const std::vector<std::string>& imports = {});
bool IsModuleLoaded(const std::string& path);
int ModuleRefCount(const std::string& path);
int AttachCount(const std::string& path);  // times the module was brought in (its entry code ran)
// Every file the loader looked at, in order, since Reset.
const std::vector<std::string>& LoaderProbes();

// What kernel32 offers. Current: SetDllDirectoryA, SetDefaultDllDirectories
// and the LOAD_LIBRARY_SEARCH_* flags (Windows 8, or 7 with KB2533623).
// DllDirectoryOnly: SetDllDirectoryA alone; the flags are refused with
// ERROR_INVALID_PARAMETER (XP SP1 to an unpatched 7). Neither: older still.
enum class Loader { kCurrent, kDllDirectoryOnly, kNeither };
void SetLoader(Loader loader);
void SetCurrentFolder(const std::string& folder);
// Process environment; names compare without regard to case. PATH starts as
// "C:\WINDOWS\system32;C:\WINDOWS".
void SetEnvironmentValue(const std::string& name, const std::string& value);
void RemoveEnvironmentValue(const std::string& name);

template <typename Fn>
FARPROC Export(Fn* fn) {
  return reinterpret_cast<FARPROC>(fn);
}

// ---- Windows of other processes --------------------------------------------
// A window that belongs to another program: it has a class and a title, takes
// part in FindWindowA, EnumWindows and EnumChildWindows (children in creation
// order, depth first), and records every message sent to it. The handler, if
// any, runs when a message arrives and gives its result. A hung window never
// answers: SendMessageTimeoutA fails with ERROR_TIMEOUT, at once with
// SMTO_ABORTIFHUNG, else after its bound; SendMessageA to it fails the test.
using MessageHandler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
HWND AddForeignWindow(HWND parent, const std::string& className, const std::string& title,
                      MessageHandler handler = nullptr);
void SetHung(HWND hwnd, bool hung);
// For a handler: the other program sends a message to a window of this one
// and waits for the answer. This program's thread answers only while it is
// not held in SendMessageTimeoutA with SMTO_BLOCK; there the two wait on each
// other until the timed send gives up after its bound (ERROR_TIMEOUT).
// True when answered, with the window's result in *pResult.
bool SendBackFromForeign(HWND programWindow, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* pResult = nullptr);
// Milliseconds the program spent in timed sends that ran out.
DWORD WaitedMs();
void RemoveForeignWindow(HWND hwnd);

struct SentMessage {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool timeout;  // sent with SendMessageTimeoutA
  UINT flags;    // its flags
  UINT bound;    // its bound in milliseconds
};
std::vector<SentMessage> MessagesTo(HWND hwnd);  // foreign windows only

// Windows the program created (through CreateWindowExA) still alive.
std::vector<HWND> ProgramWindows();
DWORD WindowStyle(HWND hwnd);
DWORD WindowExStyle(HWND hwnd);
std::string WindowClassName(HWND hwnd);
// In the parent's client coordinates. CW_USEDEFAULT places a top-level window
// at 22,22 with 768 x 576; WS_MAXIMIZE fills the work area 0,0,1024,768. The
// client area is the whole window: the double draws no frame or caption.
RECT WindowRect(HWND hwnd);
HICON WindowIcon(HWND hwnd, int which);  // ICON_BIG or ICON_SMALL as set by WM_SETICON
bool HasMenu(HWND hwnd);
bool SystemMenuHasClose(HWND hwnd);
WNDCLASSA RegisteredClass(const std::string& className);

// ---- Dialogs ---------------------------------------------------------------
// What the user does in one modal run of a dialog template: each step is
// played after WM_INITDIALOG, in order, until the dialog ends.
struct DialogStep {
  enum Kind { Check, Uncheck, Press, Escape, CloseBox };
  Kind kind;
  int id;  // control id for Check, Uncheck and Press
};
// Each DialogBoxParamA of the template takes the next script queued for it.
// With none queued the dialog is dismissed with Escape.
void ScriptDialog(int templateId, const std::vector<DialogStep>& steps);
void FailDialog(int templateId);  // next DialogBoxParamA of it returns -1

struct DialogRecord {
  int templateId;
  HWND owner;
  bool ownerDisabled;                 // owner disabled while the dialog ran
  std::map<int, bool> checksAtOpen;   // check boxes after WM_INITDIALOG
  std::map<int, bool> checksAtClose;  // check boxes when the dialog ended
  INT_PTR result;
};
const std::vector<DialogRecord>& Dialogs();

// ---- Message boxes ---------------------------------------------------------
// Answers are taken in order. With none left: IDOK for MB_OK, IDCANCEL for
// MB_OKCANCEL, IDNO for MB_YESNO.
void ScriptMessageBoxes(const std::vector<int>& answers);
// Runs when the box is shown, before its answer is returned (a test can close
// a window "while the user reads").
void OnMessageBox(std::function<void(const std::string& text)> hook);

struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
  int answer;
};
const std::vector<MessageBoxRecord>& MessageBoxes();

// ---- Shell, sleeping, memory -----------------------------------------------
struct ShellExecuteRecord {
  HWND owner;
  std::string verb;  // empty for no verb
  std::string file;
  std::string parameters;
  std::string directory;
  int show;
};
const std::vector<ShellExecuteRecord>& ShellExecutes();

// Sleep never blocks; the hook runs on each call with the call's 1-based count.
void OnSleep(std::function<void(int count, DWORD ms)> hook);
int SleepCount();

int LiveGlobalAllocations();  // GlobalAlloc blocks not yet freed

}  // namespace fakewin
