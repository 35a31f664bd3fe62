// The UI driver's other half, run inside the installer: GDI objects belong
// to their process, so a control's font can only be used where it lives.
// The driver hooks this library into the dialog's thread and sends the
// dialog kFitMessage (host/common/HostLayout.h); on it, every visible child
// is measured with the font the control draws with (WM_GETFONT) and the
// wrapping its style gives it (DrawText with DT_CALCRECT), and the lines go
// to the block the driver shares:
//
//   dialog   DPI, client width, client height
//   control  id, class, left, top, right, bottom (in the dialog's client
//            area), then, for a text the control draws, the width and
//            height it needs, the width and height it has, and the text
//
// Pixels throughout, at the dialog's DPI. Texts are code page 932, escaped as
// host::EscapeLine does.
#include <windows.h>

#include <string>

#include "common/HostLayout.h"
#include "common/HostUtil.h"

namespace {

struct TextBox {
  UINT format;  // DrawText flags the control draws its text with
  RECT box;     // where, in its client area
};

// A push button's text sits inside its 3-D frame and focus rectangle.
RECT InsidePushButton(RECT client) {
  int edge = GetSystemMetrics(SM_CXEDGE) + 1;
  InflateRect(&client, -edge, -edge);
  return client;
}

// A check box's or radio button's text follows its glyph and a gap.
RECT BesideGlyph(RECT client, LONG style) {
  int glyph = GetSystemMetrics(SM_CXMENUCHECK) + GetSystemMetrics(SM_CXEDGE);
  if (style & BS_LEFTTEXT) {
    client.right -= glyph;
  } else {
    client.left += glyph;
  }
  return client;
}

// How the control lays out its text; false for one that shows none.
bool TextLayout(const std::wstring& cls, LONG style, RECT client, TextBox& out) {
  if (!_wcsicmp(cls.c_str(), L"Static")) {
    LONG type = style & SS_TYPEMASK;
    UINT prefix = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) {
      out = {DT_WORDBREAK | DT_EXPANDTABS | prefix, client};
    } else if (type == SS_LEFTNOWORDWRAP) {
      out = {DT_EXPANDTABS | prefix, client};
    } else if (type == SS_SIMPLE) {
      out = {DT_SINGLELINE | prefix, client};
    } else {
      return false;
    }
    return true;
  }
  if (!_wcsicmp(cls.c_str(), L"Button")) {
    UINT lines = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
    switch (style & BS_TYPEMASK) {
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON:
        out = {lines, InsidePushButton(client)};
        return true;
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        out = {lines, BesideGlyph(client, style)};
        return true;
      case BS_GROUPBOX:
        out = {DT_SINGLELINE, InsidePushButton(client)};
        return true;
      default:
        return false;
    }
  }
  return false;
}

std::wstring TextOf(HWND hwnd) {
  std::wstring text(GetWindowTextLengthW(hwnd) + 1, L'\0');
  text.resize(GetWindowTextW(hwnd, &text[0], static_cast<int>(text.size())));
  return text;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

std::string Cp932(const std::wstring& text) {
  int n = WideCharToMultiByte(host::kCodePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 1, '\0');
  WideCharToMultiByte(host::kCodePage, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out.c_str();
}

// The text's extent with the control's font and wrapping, the width of its
// box given.
SIZE Needed(HWND control, const std::wstring& text, const TextBox& layout) {
  HDC dc = GetDC(control);
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
  RECT need = {0, 0, layout.box.right - layout.box.left, 0};
  DrawTextW(dc, text.c_str(), -1, &need, layout.format | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {need.right - need.left, need.bottom - need.top};
}

std::string ControlLine(HWND dialog, HWND control) {
  RECT place;
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
  std::wstring cls = ClassOf(control);
  std::string line = "control\t" + std::to_string(GetDlgCtrlID(control) & 0xFFFF) + "\t" + Cp932(cls) + "\t" +
                     std::to_string(place.left) + "\t" + std::to_string(place.top) + "\t" +
                     std::to_string(place.right) + "\t" + std::to_string(place.bottom);
  RECT client;
  GetClientRect(control, &client);
  std::wstring text = TextOf(control);
  TextBox layout;
  if (text.empty() || !TextLayout(cls, GetWindowLongW(control, GWL_STYLE), client, layout)) return line;
  SIZE need = Needed(control, text, layout);
  return line + "\t" + std::to_string(need.cx) + "\t" + std::to_string(need.cy) + "\t" +
         std::to_string(layout.box.right - layout.box.left) + "\t" +
         std::to_string(layout.box.bottom - layout.box.top) + "\t" + host::EscapeLine(Cp932(text).c_str());
}

std::string Measure(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  std::string out = "dialog\t" + std::to_string(GetDpiForWindow(dialog)) + "\t" + std::to_string(client.right) + "\t" +
                    std::to_string(client.bottom) + "\n";
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (IsWindowVisible(c)) out += ControlLine(dialog, c) + "\n";
  }
  return out;
}

void Answer(DWORD driverPid, const std::string& text) {
  std::string name = host::kFitBlockPrefix + std::to_string(driverPid);
  HANDLE block = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name.c_str());
  if (!block) return;
  if (void* view = MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, host::kFitBlockBytes)) {
    size_t n = text.size() < host::kFitBlockBytes ? text.size() : host::kFitBlockBytes - 1;
    memcpy(view, text.data(), n);
    static_cast<char*>(view)[n] = '\0';
    UnmapViewOfFile(view);
  }
  CloseHandle(block);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK FitProbeHook(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT fitMessage = RegisterWindowMessageA(host::kFitMessage);
  const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == fitMessage) Answer(static_cast<DWORD>(sent->wParam), Measure(sent->hwnd));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
