// Stand-in for the input method's user-interface windows.
//
//   imewin --log PATH [--title T] [--child T]... [--grandchild T]...
//          [--hold FILE] [--keep]
//
// Creates a hidden top-level window titled T (default "HRN10_UI_MAIN"),
// optional children of it and children of the last child. Every window logs
// each WM_IME_NOTIFY it receives as "notify <title> <wParam> <lParam>".
// --hold opens FILE with no sharing, as a busy dictionary; the reload
// notification (IMN_PRIVATE, 1975) lets it go unless --keep is given. A
// folder held so cannot be searched by anyone else.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/HostLayout.h"
#include "common/HostUtil.h"

namespace {

constexpr char kTopClass[] = "FumidoriImeStandIn";
constexpr char kChildClass[] = "FumidoriImeStandInChild";
constexpr LPARAM kReloadCode = 1975;
constexpr int kChildSize = 20;

std::string g_log;
std::string g_holdPath;
HANDLE g_held = INVALID_HANDLE_VALUE;
bool g_keep = false;

void Log(const std::string& line) { host::AppendLine(g_log, line); }

std::string Title(HWND hwnd) {
  char buf[512] = {};
  GetWindowTextA(hwnd, buf, sizeof(buf));
  return host::EscapeLine(buf);
}

void Release() {
  if (g_held == INVALID_HANDLE_VALUE) return;
  CloseHandle(g_held);
  g_held = INVALID_HANDLE_VALUE;
  Log("release\t" + host::EscapeLine(g_holdPath.c_str()));
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_IME_NOTIFY:
      Log("notify\t" + Title(hwnd) + "\t" + std::to_string(wParam) + "\t" + std::to_string(lParam));
      if (wParam == IMN_PRIVATE && lParam == kReloadCode && !g_keep) Release();
      return 0;
    case WM_DESTROY:
      if (!GetParent(hwnd)) PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool Register(HINSTANCE instance, const char* name) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  wc.lpszClassName = name;
  return RegisterClassA(&wc) != 0;
}

HWND MakeChild(HWND parent, const char* title, HINSTANCE instance, int index) {
  return CreateWindowA(kChildClass, title, WS_CHILD | WS_VISIBLE, index * kChildSize, 0, kChildSize, kChildSize, parent,
                       nullptr, instance, nullptr);
}

// A --child or --grandchild, in the order given.
struct Below {
  bool grandchild;
  const char* title;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  std::string title = host::kImeMarker;
  std::vector<Below> below;
  for (int i = 1; i < __argc; ++i) {
    const char* arg = __argv[i];
    bool more = i + 1 < __argc;
    if (!strcmp(arg, "--log") && more)
      g_log = __argv[++i];
    else if (!strcmp(arg, "--title") && more)
      title = __argv[++i];
    else if (!strcmp(arg, "--hold") && more)
      g_holdPath = __argv[++i];
    else if (!strcmp(arg, "--keep"))
      g_keep = true;
    else if (!strcmp(arg, "--child") && more)
      below.push_back({false, __argv[++i]});
    else if (!strcmp(arg, "--grandchild") && more)
      below.push_back({true, __argv[++i]});
  }
  if (g_log.empty()) return 2;
  if (!Register(instance, kTopClass) || !Register(instance, kChildClass)) return 1;

  HWND top = CreateWindowA(kTopClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100,
                           nullptr, nullptr, instance, nullptr);
  if (!top) return 1;
  HWND lastChild = nullptr;
  int index = 0;
  for (const Below& b : below) {
    if (!b.grandchild) {
      lastChild = MakeChild(top, b.title, instance, index++);
    } else if (lastChild) {
      MakeChild(lastChild, b.title, instance, 0);
    }
  }

  if (!g_holdPath.empty()) {
    g_held = CreateFileA(g_holdPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                         nullptr);
    Log("hold\t" + host::EscapeLine(g_holdPath.c_str()) + "\t" +
        (g_held != INVALID_HANDLE_VALUE ? std::string("=ok") : "=error " + std::to_string(GetLastError())));
  }
  Log("ready\t" + host::Timestamp());

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  Release();
  Log("closed\t" + host::Timestamp());
  return 0;
}
