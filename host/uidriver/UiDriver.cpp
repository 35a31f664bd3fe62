// Drives the installer's dialogs and message boxes for the end-to-end tests.
// Reads one command a line on standard input and answers with lines on
// standard output, the answer closed by a line ".". Texts are code page 932,
// escaped as host::EscapeLine does.
//
//   launch CMDLINE   start the installer; its windows are the ones looked for
//   spawn CMDLINE    start another program, not waited for
//   wait MS [TEXT]   wait for a visible dialog of the installer captioned TEXT
//                    (its title by default) and describe it (window, caption,
//                    control..., icon: a standard icon's name, "program ID" for
//                    an icon of the installer's own, "blank" or "unknown")
//   press ID         click the button ID of that dialog, then wait for it to go
//   command ID       send WM_COMMAND ID to the dialog, then wait for it to go
//   escape | enter   post the key to the focused control, then wait for it to go
//   close            the close box (SC_CLOSE), then wait for it to go
//   check ID 0|1     tick or clear a check box by clicking it
//   fit              measure every control's text of that dialog inside the
//                    installer, with the control's own font and wrapping
//                    (fitprobe.dll beside the driver; its lines are
//                    described there)
//   gone MS          wait for the dialog to go, whoever answers it
//   exit MS          wait for the installer to end
//   windows          top-level windows the installer still has: window,
//                    class, visible, enabled, title
//   frame [TEXT]     find the installer's top-level window titled TEXT (its
//                    title by default) that is not a dialog, shown or not:
//                    frame, window, class, visible, enabled
//   appcommand ID    post WM_COMMAND ID to that window as its menu would;
//                    answers at once, whatever the command opens
//   count CLASS      how many top-level windows of that class exist
//   closeclass CLASS ask every top-level window of CLASS to close
//   closetitle TEXT  the same for windows whose title contains TEXT
//   kill             end the installer if it still runs
//   quit
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/HostLayout.h"
#include "common/HostUtil.h"

namespace {

constexpr char kDialogClass[] = "#32770";
constexpr char kDefaultCaption[] = "オプション辞書インストール";
constexpr DWORD kPollMs = 50;
constexpr DWORD kGoneTimeoutMs = 5000;
constexpr DWORD kSettleMs = 200;
constexpr DWORD kSendTimeoutMs = 2000;
constexpr DWORD kIconSettleMs = 2000;
// The id a message box gives its icon control: Wine's, then Windows'. A
// dialog template's icon has its own id (usually -1).
constexpr int kMessageBoxIconIds[] = {0x440, 0x14};

struct State {
  HANDLE process = nullptr;
  DWORD pid = 0;
  HWND dialog = nullptr;
  HWND frame = nullptr;
};

State g;

void Say(const std::string& line) { host::WriteOut(line + "\n"); }

std::string Hex(UINT_PTR v) {
  char buf[20];
  snprintf(buf, sizeof(buf), "%lx", static_cast<unsigned long>(v));
  return buf;
}

std::string TextOf(HWND hwnd) {
  char buf[8192] = {};
  GetWindowTextA(hwnd, buf, sizeof(buf));
  return buf;
}

std::string ClassOf(HWND hwnd) {
  char buf[256] = {};
  GetClassNameA(hwnd, buf, sizeof(buf));
  return buf;
}

DWORD PidOf(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> TopWindows() {
  std::vector<HWND> all;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
  return all;
}

// Direct children in Z order, so that the list follows the template.
std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> list;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) list.push_back(c);
  return list;
}

HWND FindDialog(const std::string& caption) {
  HWND found = nullptr;
  for (HWND hwnd : TopWindows()) {
    if (!IsWindowVisible(hwnd) || ClassOf(hwnd) != kDialogClass || TextOf(hwnd) != caption) continue;
    if (g.pid && PidOf(hwnd) != g.pid) continue;
    // With several, the enabled one is the one the user can answer.
    if (!found || IsWindowEnabled(hwnd)) found = hwnd;
  }
  return found;
}

bool IsCheckBox(LONG style) {
  LONG type = style & BS_TYPEMASK;
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

LRESULT SendTimeout(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  return static_cast<LRESULT>(result);
}

struct IconCandidate {
  std::string name;
  HICON icon;
  bool owned;
};

// Resource names as the driver reports them: a number, or the name itself.
BOOL CALLBACK CollectIconGroup(HMODULE, LPCSTR, LPSTR name, LONG_PTR list) {
  reinterpret_cast<std::vector<std::string>*>(list)->push_back(
      IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<UINT_PTR>(name)) : std::string(name));
  return TRUE;
}

// A standard icon in the image that suits that size.
HICON SystemIcon(LPCSTR id, int size) {
  return static_cast<HICON>(LoadImageA(nullptr, id, IMAGE_ICON, size, size, LR_SHARED));
}

// The icons of the launched program's file, so that a dialog's picture can
// be told from any other icon and from an empty control.
void AddProgramIcons(std::vector<IconCandidate>& list, int size) {
  char path[MAX_PATH] = {};
  DWORD length = sizeof(path);
  if (!g.process || !QueryFullProcessImageNameA(g.process, 0, path, &length)) return;
  HMODULE image = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!image) return;
  std::vector<std::string> groups;
  EnumResourceNamesA(image, RT_GROUP_ICON, CollectIconGroup, reinterpret_cast<LONG_PTR>(&groups));
  for (const std::string& group : groups) {
    bool numbered = group.find_first_not_of("0123456789") == std::string::npos;
    LPCSTR id = numbered ? MAKEINTRESOURCEA(atoi(group.c_str())) : group.c_str();
    HANDLE icon = LoadImageA(image, id, IMAGE_ICON, size, size, LR_DEFAULTCOLOR);
    if (icon) list.push_back({"program " + group, static_cast<HICON>(icon), true});
  }
  FreeLibrary(image);
}

// Which icon the control shows, by comparing its pixels on screen with each
// candidate drawn here at the control's size (which grows with the DPI).
std::string IconName(HWND iconControl) {
  if (!IsWindowVisible(iconControl)) return "none";
  RECT r;
  GetWindowRect(iconControl, &r);
  const int size = r.right - r.left;
  if (size <= 0 || r.bottom - r.top != size) return "unknown";
  HDC screen = GetDC(nullptr);
  HDC shot = CreateCompatibleDC(screen);
  HBITMAP shotBmp = CreateCompatibleBitmap(screen, size, size);
  HGDIOBJ oldShot = SelectObject(shot, shotBmp);
  BitBlt(shot, 0, 0, size, size, screen, r.left, r.top, SRCCOPY);
  // A control without an icon shows nothing but the dialog's background.
  bool blank = true;
  for (int i = 1; i < size * size && blank; ++i) {
    blank = GetPixel(shot, i % size, i / size) == GetPixel(shot, 0, 0);
  }

  std::vector<IconCandidate> candidates;
  if (!blank) {
    candidates = {{"stop", SystemIcon(IDI_HAND, size), false},
                  {"question", SystemIcon(IDI_QUESTION, size), false},
                  {"exclamation", SystemIcon(IDI_EXCLAMATION, size), false},
                  {"information", SystemIcon(IDI_ASTERISK, size), false}};
    AddProgramIcons(candidates, size);
  }
  std::string best;
  double bestScore = 0.0;
  HDC probe = CreateCompatibleDC(screen);
  HBITMAP probeBmp = CreateCompatibleBitmap(screen, size * 2, size);
  HGDIOBJ oldProbe = SelectObject(probe, probeBmp);
  for (const IconCandidate& c : candidates) {
    HICON icon = c.icon;
    // Drawn once on black and once on white: the pixels that agree are the
    // icon's own, the rest is transparent.
    RECT black = {0, 0, size, size}, white = {size, 0, 2 * size, size};
    FillRect(probe, &black, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    FillRect(probe, &white, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(probe, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    DrawIconEx(probe, size, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    int opaque = 0, same = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        COLORREF a = GetPixel(probe, x, y);
        if (a != GetPixel(probe, x + size, y)) continue;
        ++opaque;
        if (GetPixel(shot, x, y) == a) ++same;
      }
    }
    double score = opaque ? static_cast<double>(same) / opaque : 0.0;
    if (score > bestScore) {
      bestScore = score;
      best = c.name;
    }
  }
  for (const IconCandidate& c : candidates) {
    if (c.owned) DestroyIcon(c.icon);
  }
  SelectObject(probe, oldProbe);
  DeleteObject(probeBmp);
  DeleteDC(probe);
  SelectObject(shot, oldShot);
  DeleteObject(shotBmp);
  DeleteDC(shot);
  ReleaseDC(nullptr, screen);
  if (blank) return "blank";
  return bestScore >= 0.9 ? best : "unknown";
}

// The screen may still show the control unpainted or half painted, however
// long the dialog has been up: have it repaint and look again, for a while.
std::string SettledIconName(HWND iconControl) {
  DWORD start = GetTickCount();
  for (;;) {
    RedrawWindow(iconControl, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    std::string name = IconName(iconControl);
    if ((name != "blank" && name != "unknown") || GetTickCount() - start >= kIconSettleMs) return name;
    Sleep(kPollMs);
  }
}

bool IsMessageBoxIcon(HWND iconControl) {
  int id = GetDlgCtrlID(iconControl) & 0xFFFF;
  for (int known : kMessageBoxIconIds) {
    if (id == known) return true;
  }
  return false;
}

void Describe(HWND dlg) {
  RECT r;
  GetWindowRect(dlg, &r);
  HWND iconControl = nullptr;
  std::vector<std::string> lines;
  for (HWND c : Children(dlg)) {
    LONG style = GetWindowLongA(c, GWL_STYLE);
    std::string cls = ClassOf(c);
    if (!_stricmp(cls.c_str(), "Static") && (style & SS_TYPEMASK) == SS_ICON) iconControl = c;
    std::string check = "-";
    if (!_stricmp(cls.c_str(), "Button") && IsCheckBox(style)) {
      check = std::to_string(SendTimeout(c, BM_GETCHECK, 0, 0));
    }
    lines.push_back("control\t" + std::to_string(GetDlgCtrlID(c) & 0xFFFF) + "\t" + cls + "\t" + Hex(style) + "\t" +
                    (IsWindowVisible(c) ? "1" : "0") + "\t" + check + "\t" + host::EscapeLine(TextOf(c).c_str()));
  }
  Say("window\t" + Hex(reinterpret_cast<UINT_PTR>(dlg)) + "\t" + std::to_string(r.left) + "\t" + std::to_string(r.top) +
      "\t" + std::to_string(r.right - r.left) + "\t" + std::to_string(r.bottom - r.top) + "\t" +
      (iconControl && IsMessageBoxIcon(iconControl) ? "messagebox" : "dialog"));
  Say("caption\t" + host::EscapeLine(TextOf(dlg).c_str()));
  for (const std::string& line : lines) Say(line);
  if (iconControl) Say("icon\t" + SettledIconName(iconControl));
}

void Wait(DWORD timeoutMs, const std::string& caption) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND dlg = FindDialog(caption)) {
      // Let the installer finish opening and painting it.
      if (g.process) WaitForInputIdle(g.process, kSendTimeoutMs);
      Sleep(kSettleMs);
      if (!IsWindow(dlg)) continue;
      g.dialog = dlg;
      Describe(dlg);
      return;
    }
    if (g.process && WaitForSingleObject(g.process, 0) == WAIT_OBJECT_0) {
      Say("exited");
      return;
    }
    if (GetTickCount() - start >= timeoutMs) {
      Say("timeout");
      return;
    }
    Sleep(kPollMs);
  }
}

void ReportGone(HWND dlg, DWORD timeoutMs = kGoneTimeoutMs) {
  DWORD start = GetTickCount();
  while (IsWindow(dlg) && IsWindowVisible(dlg) && GetTickCount() - start < timeoutMs) Sleep(kPollMs);
  Say(IsWindow(dlg) && IsWindowVisible(dlg) ? "open" : "gone");
}

bool HaveDialog() {
  if (g.dialog && IsWindow(g.dialog)) return true;
  Say("error\tno dialog");
  return false;
}

void Press(int id) {
  if (!HaveDialog()) return;
  HWND button = GetDlgItem(g.dialog, id);
  if (!button) {
    Say("error\tno control " + std::to_string(id));
    return;
  }
  PostMessageA(button, BM_CLICK, 0, 0);
  ReportGone(g.dialog);
}

void Command(int id) {
  if (!HaveDialog()) return;
  PostMessageA(g.dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(g.dialog, id)));
  ReportGone(g.dialog);
}

// Through the dialog's own message loop, so that the dialog manager decides
// what the key means.
void Key(UINT vk) {
  if (!HaveDialog()) return;
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  HWND target = g.dialog;
  DWORD thread = GetWindowThreadProcessId(g.dialog, nullptr);
  if (GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
      (info.hwndFocus == g.dialog || IsChild(g.dialog, info.hwndFocus))) {
    target = info.hwndFocus;
  }
  UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
  Say(std::string("key\t") + (target == g.dialog ? "dialog" : "focus " + ClassOf(target)));
  PostMessageA(target, WM_KEYDOWN, vk, 1 | (scan << 16));
  PostMessageA(target, WM_KEYUP, vk, 1 | (scan << 16) | (1u << 30) | (1u << 31));
  ReportGone(g.dialog);
}

void Close() {
  if (!HaveDialog()) return;
  PostMessageA(g.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  ReportGone(g.dialog);
}

void Check(int id, int want) {
  if (!HaveDialog()) return;
  HWND box = GetDlgItem(g.dialog, id);
  if (!box) {
    Say("error\tno control " + std::to_string(id));
    return;
  }
  LRESULT state = SendTimeout(box, BM_GETCHECK, 0, 0);
  if (state != want) {
    PostMessageA(box, BM_CLICK, 0, 0);
    DWORD start = GetTickCount();
    while ((state = SendTimeout(box, BM_GETCHECK, 0, 0)) != want && GetTickCount() - start < kGoneTimeoutMs) {
      Sleep(kPollMs);
    }
  }
  Say("check\t" + std::to_string(id) + "\t" + std::to_string(state));
}

// The probe runs in the dialog's own thread while this waits for it, and
// writes its answer into a block named after this process.
void Fit() {
  if (!HaveDialog()) return;
  std::string name = host::kFitBlockPrefix + std::to_string(GetCurrentProcessId());
  HANDLE block =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, host::kFitBlockBytes, name.c_str());
  char* view = block ? static_cast<char*>(MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, host::kFitBlockBytes)) : nullptr;
  HMODULE probe = LoadLibraryA(host::JoinPath(host::ModuleDir(nullptr), host::kFitProbeDll).c_str());
  FARPROC found = probe ? GetProcAddress(probe, host::kFitProbeHook) : nullptr;
  HOOKPROC proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(found));
  HHOOK hook =
      proc ? SetWindowsHookExA(WH_CALLWNDPROC, proc, probe, GetWindowThreadProcessId(g.dialog, nullptr)) : nullptr;
  if (!view || !hook) {
    Say("error\tfit " + std::to_string(GetLastError()));
  } else {
    view[0] = '\0';
    SendTimeout(g.dialog, RegisterWindowMessageA(host::kFitMessage), GetCurrentProcessId(), 0);
    if (view[0] == '\0') {
      Say("error\tfit: no answer");
    } else {
      host::WriteOut(std::string(view, strnlen(view, host::kFitBlockBytes)));
    }
  }
  if (hook) UnhookWindowsHookEx(hook);
  if (probe) FreeLibrary(probe);
  if (view) UnmapViewOfFile(view);
  if (block) CloseHandle(block);
}

bool Start(const std::string& cmdline, PROCESS_INFORMATION& pi) {
  // The children get the null device as standard handles: under Wine they
  // would otherwise keep our answer pipe open after we are gone.
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = si.hStdOutput = si.hStdError = nul;
  std::vector<char> buf(cmdline.begin(), cmdline.end());
  buf.push_back('\0');
  BOOL started =
      CreateProcessA(nullptr, buf.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi);
  DWORD err = GetLastError();
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!started) {
    Say("error\tstart " + std::to_string(err));
    return false;
  }
  return true;
}

void Launch(const std::string& cmdline) {
  PROCESS_INFORMATION pi;
  if (!Start(cmdline, pi)) return;
  if (g.process) CloseHandle(g.process);
  CloseHandle(pi.hThread);
  g.process = pi.hProcess;
  g.pid = pi.dwProcessId;
  g.dialog = nullptr;
  g.frame = nullptr;
  Say("pid\t" + std::to_string(g.pid));
}

void Spawn(const std::string& cmdline) {
  PROCESS_INFORMATION pi;
  if (!Start(cmdline, pi)) return;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  Say("pid\t" + std::to_string(pi.dwProcessId));
}

void Exit(DWORD timeoutMs) {
  if (!g.process) {
    Say("error\tnothing launched");
    return;
  }
  if (WaitForSingleObject(g.process, timeoutMs) != WAIT_OBJECT_0) {
    Say("running");
    return;
  }
  DWORD code = 0;
  GetExitCodeProcess(g.process, &code);
  Say("exited\t" + std::to_string(code));
}

void Windows() {
  for (HWND hwnd : TopWindows()) {
    if (!g.pid || PidOf(hwnd) != g.pid) continue;
    Say("window\t" + Hex(reinterpret_cast<UINT_PTR>(hwnd)) + "\t" + ClassOf(hwnd) + "\t" +
        (IsWindowVisible(hwnd) ? "1" : "0") + "\t" + (IsWindowEnabled(hwnd) ? "1" : "0") + "\t" +
        host::EscapeLine(TextOf(hwnd).c_str()));
  }
}

// The program's main window is a hidden frame of a class of its own; it is
// the one a menu or accelerator would send its commands to.
void Frame(const std::string& title) {
  g.frame = nullptr;
  for (HWND hwnd : TopWindows()) {
    if (!g.pid || PidOf(hwnd) != g.pid || ClassOf(hwnd) == kDialogClass || TextOf(hwnd) != title) continue;
    g.frame = hwnd;
    break;
  }
  if (!g.frame) {
    Say("error\tno frame");
    return;
  }
  Say("frame\t" + Hex(reinterpret_cast<UINT_PTR>(g.frame)) + "\t" + ClassOf(g.frame) + "\t" +
      (IsWindowVisible(g.frame) ? "1" : "0") + "\t" + (IsWindowEnabled(g.frame) ? "1" : "0"));
}

void AppCommand(int id) {
  if (!g.frame || !IsWindow(g.frame)) {
    Say("error\tno frame");
    return;
  }
  // As a menu item sends it: notification code 0, no control.
  if (!PostMessageA(g.frame, WM_COMMAND, MAKEWPARAM(id, 0), 0)) {
    Say("error\tpost " + std::to_string(GetLastError()));
    return;
  }
  Say("posted");
}

template <typename Match>
std::vector<HWND> TopWindowsWhere(Match match) {
  std::vector<HWND> list;
  for (HWND hwnd : TopWindows()) {
    if (match(hwnd)) list.push_back(hwnd);
  }
  return list;
}

// Asks the windows to close and waits for their processes to end, so that
// their files are free when the answer comes.
template <typename Match>
void CloseWhere(Match match) {
  std::vector<HWND> list = TopWindowsWhere(match);
  std::vector<HANDLE> processes;
  for (HWND hwnd : list) {
    if (HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, PidOf(hwnd))) processes.push_back(p);
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
  }
  DWORD start = GetTickCount();
  while (!TopWindowsWhere(match).empty() && GetTickCount() - start < kGoneTimeoutMs) Sleep(kPollMs);
  for (HANDLE p : processes) {
    WaitForSingleObject(p, kGoneTimeoutMs);
    CloseHandle(p);
  }
  Say("closed\t" + std::to_string(list.size()) + "\t" + std::to_string(TopWindowsWhere(match).size()) + " left");
}

void Kill() {
  if (g.process && WaitForSingleObject(g.process, 0) != WAIT_OBJECT_0) {
    TerminateProcess(g.process, 1);
    WaitForSingleObject(g.process, kGoneTimeoutMs);
    Say("killed");
  } else {
    Say("not running");
  }
}

bool ReadLine(std::string& line) {
  static std::string pending;
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  for (;;) {
    size_t nl = pending.find('\n');
    if (nl != std::string::npos) {
      line = pending.substr(0, nl);
      pending.erase(0, nl + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    char buf[1024];
    DWORD got = 0;
    if (!ReadFile(in, buf, sizeof(buf), &got, nullptr) || got == 0) return false;
    pending.append(buf, got);
  }
}

}  // namespace

int main() {
  // Positions, sizes and pixels as the installer, aware of the DPI, has them.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  std::string line;
  while (ReadLine(line)) {
    size_t space = line.find(' ');
    std::string cmd = line.substr(0, space);
    std::string arg = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (cmd == "launch")
      Launch(arg);
    else if (cmd == "spawn")
      Spawn(arg);
    else if (cmd == "wait") {
      size_t gap = arg.find(' ');
      Wait(strtoul(arg.c_str(), nullptr, 10), gap == std::string::npos ? kDefaultCaption : arg.substr(gap + 1));
    } else if (cmd == "frame")
      Frame(arg.empty() ? kDefaultCaption : arg);
    else if (cmd == "appcommand")
      AppCommand(atoi(arg.c_str()));
    else if (cmd == "press")
      Press(atoi(arg.c_str()));
    else if (cmd == "command")
      Command(atoi(arg.c_str()));
    else if (cmd == "escape")
      Key(VK_ESCAPE);
    else if (cmd == "enter")
      Key(VK_RETURN);
    else if (cmd == "close")
      Close();
    else if (cmd == "check")
      Check(atoi(arg.c_str()), atoi(arg.substr(arg.find(' ') + 1).c_str()));
    else if (cmd == "fit")
      Fit();
    else if (cmd == "gone") {
      if (HaveDialog()) ReportGone(g.dialog, strtoul(arg.c_str(), nullptr, 10));
    } else if (cmd == "exit")
      Exit(strtoul(arg.c_str(), nullptr, 10));
    else if (cmd == "windows")
      Windows();
    else if (cmd == "count")
      Say("count\t" + std::to_string(TopWindowsWhere([&](HWND h) { return ClassOf(h) == arg; }).size()));
    else if (cmd == "closeclass")
      CloseWhere([&](HWND h) { return ClassOf(h) == arg; });
    else if (cmd == "closetitle")
      CloseWhere([&](HWND h) { return TextOf(h).find(arg) != std::string::npos; });
    else if (cmd == "kill")
      Kill();
    else if (cmd == "quit")
      break;
    else
      Say("error\tunknown command");
    Say(".");
  }
  if (g.process) CloseHandle(g.process);
  return 0;
}
