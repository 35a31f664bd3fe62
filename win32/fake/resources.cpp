// Menus, the window menu, accelerators, icons and cursors. Resource
// handles are stable per id, as Windows shares loaded resources.
#include "FakeState.h"

namespace fakewin {
namespace internal {
namespace {

// The window menu Windows gives a window with WS_SYSMENU; 0 separates.
const std::vector<UINT> kSystemMenuItems = {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, 0, SC_CLOSE};

std::string ResourceKey(const char* kind, HINSTANCE instance, LPCSTR name) {
  std::string key = kind;
  key += instance == nullptr ? ":system:" : ":module:";
  if (name == nullptr) return key + "NULL";
  if (IS_INTRESOURCE(name)) return key + "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
  for (const std::string& ch : Characters(name)) {
    key += (ch.size() == 1 && ch[0] >= 'a' && ch[0] <= 'z') ? std::string(1, static_cast<char>(ch[0] - 32)) : ch;
  }
  return key;
}

template <typename H>
H SharedResource(const std::string& key) {
  HANDLE& h = S().resources[key];
  if (h == nullptr) h = NewHandle<HANDLE>();
  return reinterpret_cast<H>(h);
}

Menu* MenuOf(HMENU menu) {
  auto it = S().menus.find(menu);
  return it == S().menus.end() ? nullptr : &it->second;
}

}  // namespace

HMENU NewMenu(std::vector<UINT> items) {
  HMENU menu = NewHandle<HMENU>();
  S().menus[menu] = Menu{std::move(items)};
  return menu;
}

}  // namespace internal

using namespace internal;

bool HasMenu(HWND hwnd) {
  Window* w = FindWindowObject(hwnd);
  return w != nullptr && w->menu != nullptr;
}

bool SystemMenuHasClose(HWND hwnd) {
  Window* w = FindWindowObject(hwnd);
  if (w == nullptr) return false;
  if (w->sysMenu == nullptr) return (w->style & WS_SYSMENU) != 0;
  Menu* menu = MenuOf(w->sysMenu);
  if (menu == nullptr) return false;
  for (UINT id : menu->items) {
    if (id == SC_CLOSE) return true;
  }
  return false;
}

}  // namespace fakewin

using namespace fakewin;
using namespace fakewin::internal;

BOOL WINAPI SetMenu(HWND hWnd, HMENU hMenu) {
  FAKE_CALL(hWnd, hMenu) return FALSE;
  Window* w = WindowOrError(FindProgramWindow(hWnd));
  if (w == nullptr) return FALSE;
  if (w->style & WS_CHILD) {
    SetError(ERROR_INVALID_PARAMETER);  // child windows cannot have menus
    return FALSE;
  }
  if (hMenu != nullptr && MenuOf(hMenu) == nullptr) {
    SetError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  w->menu = hMenu;
  return TRUE;
}

HMENU WINAPI GetSystemMenu(HWND hWnd, BOOL bRevert) {
  FAKE_CALL(hWnd, bRevert) return nullptr;
  Window* w = WindowOrError(FindProgramWindow(hWnd));
  if (w == nullptr) return nullptr;
  if (bRevert) {
    if (w->sysMenu) S().menus.erase(w->sysMenu);
    w->sysMenu = nullptr;
    return nullptr;
  }
  if (!(w->style & WS_SYSMENU)) return nullptr;
  if (w->sysMenu == nullptr) w->sysMenu = NewMenu(kSystemMenuItems);
  return w->sysMenu;
}

BOOL WINAPI RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags) {
  FAKE_CALL(hMenu, uPosition, uFlags) return FALSE;
  Menu* menu = MenuOf(hMenu);
  if (menu == nullptr) {
    SetError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  auto& items = menu->items;
  if (uFlags & MF_BYPOSITION) {
    if (uPosition >= items.size()) {
      SetError(ERROR_MENU_ITEM_NOT_FOUND);
      return FALSE;
    }
    items.erase(items.begin() + uPosition);
    return TRUE;
  }
  for (auto it = items.begin(); it != items.end(); ++it) {
    if (*it == uPosition && uPosition != 0) {
      items.erase(it);
      return TRUE;
    }
  }
  SetError(ERROR_MENU_ITEM_NOT_FOUND);
  return FALSE;
}

HMENU WINAPI LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName) {
  FAKE_CALL(hInstance, lpMenuName) return nullptr;
  return NewMenu({});
}

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE hInstance, LPCSTR lpTableName) {
  FAKE_CALL(hInstance, lpTableName) return nullptr;
  return SharedResource<HACCEL>(ResourceKey("accel", hInstance, lpTableName));
}

int WINAPI TranslateAcceleratorA(HWND hWnd, HACCEL hAccTable, LPMSG lpMsg) {
  FAKE_CALL(hWnd, hAccTable, lpMsg ? lpMsg->message : 0u) return 0;
  return 0;
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
  FAKE_CALL(hInstance, lpIconName) return nullptr;
  return SharedResource<HICON>(ResourceKey("icon", hInstance, lpIconName));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
  FAKE_CALL(hInstance, lpCursorName) return nullptr;
  return SharedResource<HCURSOR>(ResourceKey("cursor", hInstance, lpCursorName));
}
