// The program's windows and the windows of other processes: classes,
// creation and destruction in Windows' message order, default message
// handling, focus, painting and enumeration.
#include <cstring>

#include "FakeState.h"

namespace fakewin {
namespace internal {
namespace {

// Where CreateWindowExA puts top-level windows that ask for the defaults,
// and the work area a maximized window fills.
constexpr RECT kDefaultRect = {22, 22, 22 + 768, 22 + 576};
constexpr RECT kWorkArea = {0, 0, 1024, 768};
const HDC kPaintDc = reinterpret_cast<HDC>(static_cast<uintptr_t>(0x0D0C));

WindowClass* FindClass(const std::string& name) {
  WindowClass* found = nullptr;
  for (auto& cls : S().classes) {
    // A program class registered later shadows a system class of that name.
    if (NamesEqual(cls->name, name) && (found == nullptr || found->system)) found = cls.get();
  }
  return found;
}

std::string ClassNameArg(LPCSTR name) {
  if (name == nullptr) return std::string();
  if (IS_INTRESOURCE(name)) {
    uintptr_t atom = reinterpret_cast<uintptr_t>(name);
    for (auto& cls : S().classes) {
      if (cls->atom == atom) return cls->name;
    }
    return "#" + std::to_string(atom);
  }
  return name;
}

void AddSystemClass(State& st, const char* name, WNDPROC proc, int cbWndExtra) {
  auto cls = std::make_unique<WindowClass>();
  cls->name = name;
  cls->system = true;
  cls->atom = st.nextAtom++;
  cls->wc.lpfnWndProc = proc;
  cls->wc.cbWndExtra = cbWndExtra;
  st.classes.push_back(std::move(cls));
}

Window* Alive(HWND hwnd) {
  auto it = S().windows.find(hwnd);
  return it == S().windows.end() ? nullptr : it->second.get();
}

bool IsTopLevel(const Window& w) { return w.parent == nullptr; }

HWND TopLevelOf(HWND hwnd) {
  Window* w = Alive(hwnd);
  while (w != nullptr && w->parent != nullptr) w = Alive(w->parent);
  return w ? w->hwnd : nullptr;
}

void Erase(HWND hwnd) {
  State& st = S();
  Window* w = Alive(hwnd);
  if (w == nullptr) return;
  if (Window* parent = Alive(w->parent)) {
    auto& siblings = parent->children;
    for (auto it = siblings.begin(); it != siblings.end(); ++it) {
      if (*it == hwnd) {
        siblings.erase(it);
        break;
      }
    }
  }
  if (st.focus == hwnd) st.focus = nullptr;
  for (auto it = st.creationOrder.begin(); it != st.creationOrder.end(); ++it) {
    if (*it == hwnd) {
      st.creationOrder.erase(it);
      break;
    }
  }
  st.windows.erase(hwnd);
}

void EraseTree(HWND hwnd) {
  Window* w = Alive(hwnd);
  if (w == nullptr) return;
  std::vector<HWND> children = w->children;
  for (HWND child : children) EraseTree(child);
  Erase(hwnd);
}

void SendDestroy(HWND hwnd) {
  Deliver(hwnd, WM_DESTROY, 0, 0);
  Window* w = Alive(hwnd);
  if (w == nullptr) return;
  std::vector<HWND> children = w->children;
  for (HWND child : children) {
    if (Alive(child)) SendDestroy(child);
  }
}

void SendNcDestroy(HWND hwnd) {
  Window* w = Alive(hwnd);
  if (w == nullptr) return;
  std::vector<HWND> children = w->children;
  for (HWND child : children) SendNcDestroy(child);
  Deliver(hwnd, WM_NCDESTROY, 0, 0);
  EraseTree(hwnd);
}

void MarkDestroying(HWND hwnd) {
  Window* w = Alive(hwnd);
  if (w == nullptr) return;
  w->destroying = true;
  for (HWND child : w->children) MarkDestroying(child);
}

bool InTree(HWND root, HWND hwnd) {
  for (Window* w = Alive(hwnd); w != nullptr; w = Alive(w->parent)) {
    if (w->hwnd == root) return true;
  }
  return false;
}

void SendSizeAndMove(HWND hwnd, bool sized, bool moved) {
  Window* w = Alive(hwnd);
  if (w == nullptr) return;
  RECT r = w->rect;
  WPARAM type = (IsTopLevel(*w) && (w->style & WS_MAXIMIZE)) ? SIZE_MAXIMIZED : SIZE_RESTORED;
  if (sized) Deliver(hwnd, WM_SIZE, type, MAKELPARAM(r.right - r.left, r.bottom - r.top));
  if (moved && Alive(hwnd)) Deliver(hwnd, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
}

void Descendants(HWND hwnd, std::vector<HWND>& out) {
  Window* w = Alive(hwnd);
  if (w == nullptr) return;
  for (HWND child : w->children) {
    out.push_back(child);
    Descendants(child, out);
  }
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> out;
  for (HWND h : S().creationOrder) {
    Window* w = Alive(h);
    if (w && IsTopLevel(*w)) out.push_back(h);
  }
  return out;
}

bool BadWindow(HWND hwnd) {
  if (Alive(hwnd)) return false;
  SetError(ERROR_INVALID_WINDOW_HANDLE);
  return true;
}

}  // namespace

WNDCLASSA WindowClass::Public() const {
  WNDCLASSA out = wc;
  out.lpszClassName = name.c_str();
  if (!menuName.empty()) {
    out.lpszMenuName = menuName.c_str();
  } else {
    out.lpszMenuName = menuId ? MAKEINTRESOURCEA(menuId) : nullptr;
  }
  return out;
}

void RegisterSystemClasses(State& st) {
  AddSystemClass(st, "#32770", DialogClassProc, DLGWINDOWEXTRA);
  for (const char* name : {"BUTTON", "STATIC", "EDIT"}) AddSystemClass(st, name, DefWindowProcA, 0);
}

Window* FindWindowObject(HWND hwnd) { return Alive(hwnd); }

Window* FindProgramWindow(HWND hwnd) {
  Window* w = Alive(hwnd);
  return (w && !w->foreign) ? w : nullptr;
}

LRESULT DefProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = FindProgramWindow(hwnd);
  if (w == nullptr) return 0;
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) w->title = cs->lpszName;
      return TRUE;
    }
    case WM_CLOSE:
      DestroyWindowInternal(hwnd);
      return 0;
    case WM_SETICON: {
      HICON& slot = (wParam == ICON_BIG) ? w->iconBig : w->iconSmall;
      HICON previous = slot;
      slot = reinterpret_cast<HICON>(lParam);
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_SETTEXT:
      w->title = lParam ? reinterpret_cast<const char*>(lParam) : "";
      return TRUE;
    case WM_GETTEXT:
      return CopyText(w->title, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) Deliver(hwnd, WM_CLOSE, 0, 0);
      return 0;
    default:
      return 0;
  }
}

HWND CreateWindowInternal(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int width,
                          int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  WindowClass* cls = FindClass(ClassNameArg(className));
  if (cls == nullptr) {
    SetError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  bool child = (style & WS_CHILD) != 0;
  if (parent != nullptr && Alive(parent) == nullptr) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (child && parent == nullptr) {
    SetError(ERROR_TLW_WITH_WSCHILD);
    return nullptr;
  }

  auto w = std::make_unique<Window>();
  HWND hwnd = NewHandle<HWND>();
  w->hwnd = hwnd;
  w->className = cls->name;
  if (title && !IS_INTRESOURCE(title)) w->title = title;
  w->style = style;
  w->exStyle = exStyle;
  w->proc = cls->wc.lpfnWndProc;
  w->instance = instance;
  w->cbWndExtra = cls->wc.cbWndExtra;
  if (child) {
    w->parent = parent;
    w->id = static_cast<int>(reinterpret_cast<intptr_t>(menu));
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = height = 0;
    w->rect = RECT{x, y, x + (width > 0 ? width : 0), y + (height > 0 ? height : 0)};
  } else {
    w->owner = TopLevelOf(parent);
    w->menu = menu;
    if (menu == nullptr && (cls->menuId != 0 || !cls->menuName.empty())) w->menu = NewMenu({});
    RECT r = kDefaultRect;
    if (style & WS_MAXIMIZE) {
      r = kWorkArea;
    } else {
      if (x != CW_USEDEFAULT) {
        r.right = x + (r.right - r.left);
        r.bottom = y + (r.bottom - r.top);
        r.left = x;
        r.top = y;
      }
      if (width != CW_USEDEFAULT) {
        r.right = r.left + (width > 0 ? width : 0);
        r.bottom = r.top + (height > 0 ? height : 0);
      }
    }
    w->rect = r;
  }
  State& st = S();
  st.windows[hwnd] = std::move(w);
  st.creationOrder.push_back(hwnd);
  if (child) Alive(parent)->children.push_back(hwnd);

  const RECT& r = Alive(hwnd)->rect;
  CREATESTRUCTA cs{param,
                   instance,
                   menu,
                   parent,
                   static_cast<int>(r.bottom - r.top),
                   static_cast<int>(r.right - r.left),
                   static_cast<int>(r.top),
                   static_cast<int>(r.left),
                   static_cast<LONG>(style),
                   title,
                   className,
                   exStyle};
  if (Deliver(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) == FALSE) {
    if (Alive(hwnd)) {
      MarkDestroying(hwnd);
      SendNcDestroy(hwnd);
    }
    return nullptr;
  }
  if (!Alive(hwnd)) return nullptr;
  if (Deliver(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindowInternal(hwnd);
    return nullptr;
  }
  if (!Alive(hwnd)) return nullptr;
  SendSizeAndMove(hwnd, true, true);
  return Alive(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindowInternal(HWND hwnd) {
  Window* w = WindowOrError(Alive(hwnd));
  if (w == nullptr) return FALSE;
  if (w->foreign) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (w->destroying) return FALSE;
  // Windows destroys the windows a window owns before the window itself.
  for (HWND owned : TopLevelWindows()) {
    Window* o = Alive(owned);
    if (o && o->owner == hwnd && !o->foreign) DestroyWindowInternal(owned);
  }
  MarkDestroying(hwnd);
  if (S().focus && InTree(hwnd, S().focus)) S().focus = nullptr;
  SendDestroy(hwnd);
  SendNcDestroy(hwnd);
  return TRUE;
}

BOOL EnableWindowInternal(HWND hwnd, BOOL enable) {
  Window* w = WindowOrError(Alive(hwnd));
  if (w == nullptr) return FALSE;
  bool wasDisabled = (w->style & WS_DISABLED) != 0;
  if (wasDisabled == !enable) return wasDisabled ? TRUE : FALSE;
  if (enable) {
    w->style &= ~static_cast<DWORD>(WS_DISABLED);
  } else {
    w->style |= WS_DISABLED;
    if (S().focus && InTree(hwnd, S().focus)) S().focus = nullptr;
  }
  if (!w->foreign) Deliver(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled ? TRUE : FALSE;
}

HWND GetDlgItemInternal(HWND dlg, int id) {
  Window* w = Alive(dlg);
  if (w == nullptr) return nullptr;
  for (HWND child : w->children) {
    Window* c = Alive(child);
    if (c && c->id == id) return child;
  }
  return nullptr;
}

}  // namespace internal

using namespace internal;

HWND AddForeignWindow(HWND parent, const std::string& className, const std::string& title, MessageHandler handler) {
  State& st = S();
  auto w = std::make_unique<Window>();
  HWND hwnd = NewHandle<HWND>();
  w->hwnd = hwnd;
  w->foreign = true;
  w->className = className;
  w->title = title;
  w->handler = std::move(handler);
  w->style = WS_VISIBLE;
  Window* p = Alive(parent);
  if (p != nullptr) {
    w->parent = parent;
    w->style |= WS_CHILD;
    p->children.push_back(hwnd);
  }
  st.windows[hwnd] = std::move(w);
  st.creationOrder.push_back(hwnd);
  return hwnd;
}

void SetHung(HWND hwnd, bool hung) {
  if (Window* w = Alive(hwnd)) w->hung = hung;
}

void RemoveForeignWindow(HWND hwnd) {
  Window* w = Alive(hwnd);
  if (w && w->foreign) EraseTree(hwnd);
}

std::vector<HWND> ProgramWindows() {
  std::vector<HWND> out;
  for (HWND h : S().creationOrder) {
    if (FindProgramWindow(h)) out.push_back(h);
  }
  return out;
}

DWORD WindowStyle(HWND hwnd) {
  Window* w = Alive(hwnd);
  return w ? w->style : 0;
}

DWORD WindowExStyle(HWND hwnd) {
  Window* w = Alive(hwnd);
  return w ? w->exStyle : 0;
}

std::string WindowClassName(HWND hwnd) {
  Window* w = Alive(hwnd);
  return w ? w->className : std::string();
}

RECT WindowRect(HWND hwnd) {
  Window* w = Alive(hwnd);
  return w ? w->rect : RECT{0, 0, 0, 0};
}

HICON WindowIcon(HWND hwnd, int which) {
  Window* w = Alive(hwnd);
  if (w == nullptr) return nullptr;
  return which == ICON_BIG ? w->iconBig : w->iconSmall;
}

WNDCLASSA RegisteredClass(const std::string& className) {
  WindowClass* cls = FindClass(className);
  return cls ? cls->Public() : WNDCLASSA{};
}

}  // namespace fakewin

using namespace fakewin;
using namespace fakewin::internal;

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
  FAKE_CALL(lpWndClass ? lpWndClass->lpszClassName : nullptr) return 0;
  if (lpWndClass == nullptr || lpWndClass->lpszClassName == nullptr || IS_INTRESOURCE(lpWndClass->lpszClassName)) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WindowClass* existing = FindClass(lpWndClass->lpszClassName);
  if (existing && !existing->system) {
    SetError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto cls = std::make_unique<WindowClass>();
  cls->name = lpWndClass->lpszClassName;
  cls->wc = *lpWndClass;
  if (lpWndClass->lpszMenuName && IS_INTRESOURCE(lpWndClass->lpszMenuName)) {
    cls->menuId = reinterpret_cast<uintptr_t>(lpWndClass->lpszMenuName);
  } else if (lpWndClass->lpszMenuName) {
    cls->menuName = lpWndClass->lpszMenuName;
  }
  cls->atom = S().nextAtom++;
  ATOM atom = cls->atom;
  S().classes.push_back(std::move(cls));
  return atom;
}

BOOL WINAPI GetClassInfoA(HINSTANCE hInstance, LPCSTR lpClassName, WNDCLASSA* lpWndClass) {
  FAKE_CALL(hInstance, lpClassName) return FALSE;
  WindowClass* cls = FindClass(ClassNameArg(lpClassName));
  if (cls == nullptr) {
    SetError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (lpWndClass) *lpWndClass = cls->Public();
  return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
  FAKE_CALL(dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight, hWndParent, hMenu, hInstance) {
    return nullptr;
  }
  return CreateWindowInternal(dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight, hWndParent, hMenu,
                              hInstance, lpParam);
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  FAKE_CALL(hWnd) return FALSE;
  return DestroyWindowInternal(hWnd);
}

BOOL WINAPI IsWindow(HWND hWnd) {
  FAKE_CALL(hWnd) return FALSE;
  return Alive(hWnd) ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
  FAKE_CALL(hWnd) return FALSE;
  // Visible only when the window and all its parents are.
  for (Window* w = Alive(hWnd); w != nullptr; w = Alive(w->parent)) {
    if (!(w->style & WS_VISIBLE)) return FALSE;
  }
  return Alive(hWnd) ? TRUE : FALSE;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  FAKE_CALL(hWnd, Msg, wParam, lParam) return 0;
  return DefProc(hWnd, Msg, wParam, lParam);
}

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
  FAKE_CALL(lpClassName, lpWindowName) return nullptr;
  std::string className = ClassNameArg(lpClassName);
  for (HWND h : TopLevelWindows()) {
    Window* w = Alive(h);
    if (lpClassName != nullptr && !NamesEqual(w->className, className)) continue;
    if (lpWindowName != nullptr && !NamesEqual(w->title, lpWindowName)) continue;
    return h;
  }
  SetError(ERROR_FILE_NOT_FOUND);
  return nullptr;
}

BOOL WINAPI EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam) {
  FAKE_CALL(lParam) return FALSE;
  for (HWND h : TopLevelWindows()) {
    if (!Alive(h)) continue;
    if (!CallProgram("an enumeration callback", [&] { return lpEnumFunc(h, lParam); })) return FALSE;
  }
  return TRUE;
}

BOOL WINAPI EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam) {
  FAKE_CALL(hWndParent, lParam) return FALSE;
  std::vector<HWND> all;
  if (hWndParent == nullptr) {
    for (HWND top : TopLevelWindows()) {
      all.push_back(top);
      Descendants(top, all);
    }
  } else {
    Descendants(hWndParent, all);
  }
  for (HWND h : all) {
    if (!Alive(h)) continue;
    if (!CallProgram("an enumeration callback", [&] { return lpEnumFunc(h, lParam); })) return FALSE;
  }
  return TRUE;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  FAKE_CALL(hWnd, nMaxCount) return 0;
  Window* w = WindowOrError(Alive(hWnd));
  if (w == nullptr) return 0;
  if (lpString == nullptr || nMaxCount <= 0) return 0;
  // The program's own windows answer WM_GETTEXT; another process's caption
  // is read without asking it, so a hung window does not block.
  if (!w->foreign) {
    return static_cast<int>(
        Deliver(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
  }
  return CopyText(w->title, lpString, nMaxCount);
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  FAKE_CALL(hWnd, lpString) return FALSE;
  Window* w = WindowOrError(Alive(hWnd));
  if (w == nullptr) return FALSE;
  if (w->foreign) {
    w->title = lpString ? lpString : "";
    return TRUE;
  }
  return Deliver(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) ? TRUE : FALSE;
}

HWND WINAPI GetParent(HWND hWnd) {
  FAKE_CALL(hWnd) return nullptr;
  if (BadWindow(hWnd)) return nullptr;
  Window* w = Alive(hWnd);
  if (w->style & WS_CHILD) return w->parent;
  if (w->style & WS_POPUP) return w->owner;
  return nullptr;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  FAKE_CALL(hDlg, nIDDlgItem) return nullptr;
  if (BadWindow(hDlg)) return nullptr;
  HWND item = GetDlgItemInternal(hDlg, nIDDlgItem);
  if (item == nullptr) SetError(ERROR_CONTROL_ID_NOT_FOUND);
  return item;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
  FAKE_CALL(hWnd) return 0;
  if (BadWindow(hWnd)) return 0;
  Window* w = Alive(hWnd);
  return (w->style & WS_CHILD) ? w->id : 0;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
  FAKE_CALL(hWnd, nIndex) return 0;
  if (BadWindow(hWnd)) return 0;
  Window* w = Alive(hWnd);
  switch (nIndex) {
    case GWLP_USERDATA:
      return w->userData;
    case GWLP_ID:
      return (w->style & WS_CHILD) ? w->id : reinterpret_cast<LONG_PTR>(w->menu);
    case GWL_STYLE:
      return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(static_cast<LONG>(w->exStyle));
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>((w->style & WS_CHILD) ? w->parent : w->owner);
    default:
      if (nIndex >= 0 && nIndex + static_cast<int>(sizeof(LONG_PTR)) <= w->cbWndExtra) {
        if (w->dialog && nIndex == static_cast<int>(DWLP_DLGPROC)) {
          return reinterpret_cast<LONG_PTR>(w->dialog->proc);
        }
        auto it = w->extra.find(nIndex);
        return it == w->extra.end() ? 0 : it->second;
      }
      SetError(ERROR_INVALID_INDEX);
      return 0;
  }
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  FAKE_CALL(hWnd, nIndex, dwNewLong) return 0;
  if (BadWindow(hWnd)) return 0;
  Window* w = Alive(hWnd);
  if (w->foreign) {
    SetError(ERROR_ACCESS_DENIED);
    return 0;
  }
  LONG_PTR previous = 0;
  switch (nIndex) {
    case GWLP_USERDATA:
      previous = w->userData;
      w->userData = dwNewLong;
      return previous;
    case GWLP_ID:
      if (w->style & WS_CHILD) {
        previous = w->id;
        w->id = static_cast<int>(dwNewLong);
      } else {
        previous = reinterpret_cast<LONG_PTR>(w->menu);
        w->menu = reinterpret_cast<HMENU>(dwNewLong);
      }
      return previous;
    case GWL_STYLE:
      previous = static_cast<LONG>(w->style);
      w->style = static_cast<DWORD>(dwNewLong);
      return previous;
    case GWL_EXSTYLE:
      previous = static_cast<LONG>(w->exStyle);
      w->exStyle = static_cast<DWORD>(dwNewLong);
      return previous;
    case GWLP_WNDPROC:
      previous = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(dwNewLong);
      return previous;
    case GWLP_HINSTANCE:
      previous = reinterpret_cast<LONG_PTR>(w->instance);
      w->instance = reinterpret_cast<HINSTANCE>(dwNewLong);
      return previous;
    default:
      if (nIndex >= 0 && nIndex + static_cast<int>(sizeof(LONG_PTR)) <= w->cbWndExtra) {
        if (w->dialog && nIndex == static_cast<int>(DWLP_DLGPROC)) {
          previous = reinterpret_cast<LONG_PTR>(w->dialog->proc);
          w->dialog->proc = reinterpret_cast<DLGPROC>(dwNewLong);
          return previous;
        }
        previous = w->extra[nIndex];
        w->extra[nIndex] = dwNewLong;
        return previous;
      }
      SetError(ERROR_INVALID_INDEX);
      return 0;
  }
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  FAKE_CALL(hWnd) return FALSE;
  if (BadWindow(hWnd) || lpRect == nullptr) return FALSE;
  const RECT& r = Alive(hWnd)->rect;
  *lpRect = RECT{0, 0, r.right - r.left, r.bottom - r.top};
  return TRUE;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
  FAKE_CALL(hWnd, X, Y, nWidth, nHeight, bRepaint) return FALSE;
  if (BadWindow(hWnd)) return FALSE;
  Window* w = Alive(hWnd);
  RECT old = w->rect;
  RECT r{X, Y, X + (nWidth > 0 ? nWidth : 0), Y + (nHeight > 0 ? nHeight : 0)};
  w->rect = r;
  bool sized = (r.right - r.left) != (old.right - old.left) || (r.bottom - r.top) != (old.bottom - old.top);
  bool moved = r.left != old.left || r.top != old.top;
  if (!w->foreign) SendSizeAndMove(hWnd, sized, moved);
  return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
  FAKE_CALL(hWnd) return FALSE;
  if (BadWindow(hWnd) || lpRect == nullptr) return FALSE;
  *lpRect = Alive(hWnd)->rect;
  return TRUE;
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
  FAKE_CALL(hWnd, uCmd) return nullptr;
  if (BadWindow(hWnd)) return nullptr;
  return uCmd == GW_OWNER ? Alive(hWnd)->owner : nullptr;
}

namespace {

// The newest enabled window the given one owns stands for the last active
// popup: a modal dialog disables its owner, so nesting ends on the innermost.
HWND LastActivePopup(HWND hWnd) {
  const std::vector<HWND>& order = S().creationOrder;
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const Window* w = Alive(*it);
    if (w != nullptr && w->owner == hWnd && !(w->style & WS_DISABLED)) return LastActivePopup(*it);
  }
  return hWnd;
}

}  // namespace

HWND WINAPI GetLastActivePopup(HWND hWnd) {
  FAKE_CALL(hWnd) return nullptr;
  if (BadWindow(hWnd)) return nullptr;
  return LastActivePopup(hWnd);
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND /*hWndInsertAfter*/, int X, int Y, int cx, int cy, UINT uFlags) {
  FAKE_CALL(hWnd, X, Y, cx, cy, uFlags) return FALSE;
  if (BadWindow(hWnd)) return FALSE;
  const RECT r = Alive(hWnd)->rect;
  const int x = (uFlags & SWP_NOMOVE) ? r.left : X;
  const int y = (uFlags & SWP_NOMOVE) ? r.top : Y;
  const int w = (uFlags & SWP_NOSIZE) ? r.right - r.left : cx;
  const int h = (uFlags & SWP_NOSIZE) ? r.bottom - r.top : cy;
  return MoveWindow(hWnd, x, y, w, h, TRUE);
}

BOOL WINAPI SystemParametersInfoA(UINT uiAction, UINT uiParam, LPVOID pvParam, UINT fWinIni) {
  FAKE_CALL(uiAction, uiParam, fWinIni) return FALSE;
  if (uiAction != SPI_GETWORKAREA || pvParam == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *static_cast<RECT*>(pvParam) = kWorkArea;
  return TRUE;
}

HWND WINAPI SetFocus(HWND hWnd) {
  FAKE_CALL(hWnd) return nullptr;
  State& st = S();
  if (hWnd != nullptr) {
    Window* w = WindowOrError(Alive(hWnd));
    if (w == nullptr) return nullptr;
    if (w->foreign || (w->style & WS_DISABLED)) return nullptr;
  }
  HWND old = st.focus;
  if (old == hWnd) return old;
  st.focus = hWnd;
  if (old && Alive(old)) Deliver(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
  if (hWnd && Alive(hWnd) && S().focus == hWnd) Deliver(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND WINAPI GetFocus(void) {
  FAKE_CALL() return nullptr;
  return S().focus;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  FAKE_CALL(hWnd) return FALSE;
  if (BadWindow(hWnd)) return FALSE;
  return (Alive(hWnd)->style & WS_DISABLED) ? FALSE : TRUE;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
  FAKE_CALL(hWnd) return nullptr;
  if (BadWindow(hWnd) || lpPaint == nullptr) return nullptr;
  Window* w = Alive(hWnd);
  std::memset(lpPaint, 0, sizeof(*lpPaint));
  lpPaint->hdc = kPaintDc;
  lpPaint->fErase = TRUE;
  lpPaint->rcPaint = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return kPaintDc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* /*lpPaint*/) {
  FAKE_CALL(hWnd) return FALSE;
  return TRUE;
}
