// Stand-in for the host's dictionary toolkit: one small visible window of
// the class by which the installer recognises it. Each start appends
// "started <time> <show> <parameters> <command line>" to HRNDIC.LOG beside
// the program (show: the nCmdShow it was given; parameters: the command line
// past the program's name), then "ready <time>" once the window is open, and
// at the end "closed <time>".
#include <windows.h>

#include <string>

#include "common/HostLayout.h"
#include "common/HostUtil.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 120;
constexpr char kTitle[] = "辞書ツールキット";

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR parameters, int show) {
  std::string log = host::JoinPath(host::ModuleDir(nullptr), host::kToolkitLog);
  host::AppendLine(log, "started\t" + host::Timestamp() + "\t" + std::to_string(show) + "\t" +
                            host::EscapeLine(parameters ? parameters : "") + "\t" +
                            host::EscapeLine(GetCommandLineA()));

  WNDCLASSA wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = host::kToolkitClass;
  if (!RegisterClassA(&wc)) return 1;
  HWND hwnd = CreateWindowA(host::kToolkitClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, kWidth,
                            kHeight, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  ShowWindow(hwnd, show == SW_HIDE ? SW_SHOWNOACTIVATE : show);
  host::AppendLine(log, "ready\t" + host::Timestamp());

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  host::AppendLine(log, "closed\t" + host::Timestamp());
  return 0;
}
