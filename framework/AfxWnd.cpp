#include "framework/AfxWnd.h"

#include <cstdio>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "framework/AfxException.h"
#include "framework/AfxHeapAllocator.h"
#include "framework/AfxString.h"
#include "framework/AfxWinApp.h"

namespace {

using HandleMap =
    std::unordered_map<HWND, CWnd*, std::hash<HWND>, std::equal_to<HWND>, CHeapAllocator<std::pair<const HWND, CWnd*>>>;

HandleMap& Handles() {
  static HandleMap s_map;
  return s_map;
}

// The object whose CreateWindowExA is running: the first message to a window
// the map does not know yet belongs to it.
CWnd* g_pWndInit = nullptr;

// Registered class names; each CString's buffer stays put when the vector
// grows, so the pointers handed out remain valid.
std::vector<CString, CHeapAllocator<CString>>& ClassNames() {
  static std::vector<CString, CHeapAllocator<CString>> s_names;
  return s_names;
}

// Room for "Afx:" and five 64-bit numbers in hex with their colons.
constexpr int kClassNameCapacity = 96;

}  // namespace

CWnd::CWnd() : m_hWnd(nullptr), m_pCurrentMsg(nullptr) {}

CWnd::~CWnd() {
  if (m_hWnd != nullptr) {
    HWND hWnd = m_hWnd;
    if (IsWindow(hWnd)) ::DestroyWindow(hWnd);
    // Still bound when the window was not ours to destroy or refused to go.
    if (m_hWnd != nullptr) Detach();
  }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  if (hWnd == nullptr) return nullptr;
  HandleMap& map = Handles();
  auto it = map.find(hWnd);
  return it != map.end() ? it->second : nullptr;
}

BOOL CWnd::Attach(HWND hWndNew) {
  if (hWndNew == nullptr || m_hWnd != nullptr) return FALSE;
  Handles()[hWndNew] = this;
  m_hWnd = hWndNew;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND hWnd = m_hWnd;
  if (hWnd != nullptr) {
    HandleMap& map = Handles();
    auto it = map.find(hWnd);
    if (it != map.end() && it->second == this) map.erase(it);
  }
  m_hWnd = nullptr;
  return hWnd;
}

BOOL CWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                  UINT nID, void* pContext) {
  return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, pParentWnd != nullptr ? pParentWnd->GetSafeHwnd() : nullptr,
                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), pContext);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, int x, int y,
                    int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam) {
  if (m_hWnd != nullptr) return FALSE;
  CREATESTRUCTA cs;
  cs.lpCreateParams = lpParam;
  cs.hInstance = AfxGetInstanceHandle();
  cs.hMenu = nIDorHMenu;
  cs.hwndParent = hWndParent;
  cs.cy = nHeight;
  cs.cx = nWidth;
  cs.y = y;
  cs.x = x;
  cs.style = static_cast<LONG>(dwStyle);
  cs.lpszName = lpszWindowName;
  cs.lpszClass = lpszClassName;
  cs.dwExStyle = dwExStyle;
  BOOL bPrepared = FALSE;
  try {
    bPrepared = PreCreateWindow(cs);
  } catch (...) {
    AbandonCreation();
    throw;
  }
  if (!bPrepared) {
    AbandonCreation();
    return FALSE;
  }

  CWnd* pWndOuter = g_pWndInit;
  g_pWndInit = this;
  HWND hWnd = CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x, cs.y, cs.cx,
                              cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
  // Still set when no message reached AfxWndProc (a class of another procedure).
  bool bNoMessage = g_pWndInit == this;
  g_pWndInit = pWndOuter;
  // When creation failed after the first message, the window is gone and
  // this object may have deleted itself in PostNcDestroy: touch nothing.
  if (hWnd != nullptr && bNoMessage) {
    Attach(hWnd);
  } else if (hWnd == nullptr && bNoMessage) {
    AbandonCreation();
  }
  AfxRethrowParkedException();
  return hWnd != nullptr ? TRUE : FALSE;
}

void CWnd::AbandonCreation() {
  CWinApp* pApp = AfxGetApp();
  if (pApp != nullptr && pApp->m_pMainWnd == this) pApp->m_pMainWnd = nullptr;
  PostNcDestroy();
}

BOOL CWnd::DestroyWindow() {
  if (m_hWnd == nullptr) return FALSE;
  BOOL bResult = ::DestroyWindow(m_hWnd);
  AfxRethrowParkedException();
  return bResult;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA& cs) {
  if (cs.lpszClass == nullptr) {
    cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, LoadCursorA(nullptr, IDC_ARROW));
    if (cs.lpszClass == nullptr) return FALSE;
  }
  return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(reinterpret_cast<LPCREATESTRUCTA>(lParam));
    case WM_SETFOCUS:
      OnSetFocus(FromHandlePermanent(reinterpret_cast<HWND>(wParam)));
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_SIZE:
      OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_COMMAND:
      if (OnCommand(wParam, lParam)) return 0;
      break;
    default:
      break;
  }
  return Default();
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM /*lParam*/) { return OnCmdMsg(LOWORD(wParam), HIWORD(wParam)); }

int CWnd::OnCreate(LPCREATESTRUCTA /*lpCreateStruct*/) { return static_cast<int>(Default()); }

void CWnd::OnSetFocus(CWnd* /*pOldWnd*/) { Default(); }

void CWnd::OnPaint() { Default(); }

void CWnd::OnSize(UINT /*nType*/, int /*cx*/, int /*cy*/) { Default(); }

void CWnd::PostNcDestroy() {}

void CWnd::CenterWindow() {
  RECT rcWindow;
  if (!::GetWindowRect(m_hWnd, &rcWindow)) return;
  RECT rcArea;
  HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
  if (hOwner == nullptr || !::IsWindowVisible(hOwner) || !::GetWindowRect(hOwner, &rcArea)) {
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcArea, 0)) return;
  }
  const int x = rcArea.left + ((rcArea.right - rcArea.left) - (rcWindow.right - rcWindow.left)) / 2;
  const int y = rcArea.top + ((rcArea.bottom - rcArea.top) - (rcWindow.bottom - rcWindow.top)) / 2;
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CWnd* CWnd::SetFocus() { return FromHandlePermanent(::SetFocus(m_hWnd)); }

void CWnd::GetClientRect(LPRECT lpRect) const {
  if (!::GetClientRect(m_hWnd, lpRect)) *lpRect = RECT{};
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
  ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT lResult = ::SendMessageA(m_hWnd, message, wParam, lParam);
  AfxRethrowParkedException();
  return lResult;
}

LRESULT CWnd::Default() {
  if (m_pCurrentMsg == nullptr || m_hWnd == nullptr) return 0;
  return DefWindowProcA(m_hWnd, m_pCurrentMsg->message, m_pCurrentMsg->wParam, m_pCurrentMsg->lParam);
}

LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon) {
  HINSTANCE hInstance = AfxGetInstanceHandle();
  char szName[kClassNameCapacity];
  snprintf(szName, sizeof(szName), "Afx:%llx:%x:%llx:%llx:%llx",
           static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hInstance)), nClassStyle,
           static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hCursor)),
           static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hbrBackground)),
           static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hIcon)));

  // The system, not a cache, says whether the class exists: classes go when
  // their module does.
  WNDCLASSA wc = {};
  if (!GetClassInfoA(hInstance, szName, &wc)) {
    wc.style = nClassStyle;
    wc.lpfnWndProc = AfxWndProc;
    wc.hInstance = hInstance;
    wc.hIcon = hIcon;
    wc.hCursor = hCursor;
    wc.hbrBackground = hbrBackground;
    wc.lpszClassName = szName;
    if (RegisterClassA(&wc) == 0) return nullptr;
  }

  auto& names = ClassNames();
  for (const CString& name : names) {
    if (name == szName) return name.GetString();
  }
  names.push_back(CString(szName));
  return names.back().GetString();
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT lResult = 0;
  try {
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr && g_pWndInit != nullptr) {
      // Attached before the creation forgets it: an Attach that runs out of
      // memory leaves the object to CreateEx, which abandons it.
      pWnd = g_pWndInit;
      pWnd->Attach(hWnd);
      g_pWndInit = nullptr;
    }
    if (pWnd == nullptr) return DefWindowProcA(hWnd, message, wParam, lParam);

    MSG msg = {};
    msg.hwnd = hWnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    const MSG* pOuterMsg = pWnd->m_pCurrentMsg;
    pWnd->m_pCurrentMsg = &msg;
    try {
      lResult = pWnd->WindowProc(message, wParam, lParam);
    } catch (...) {
      AfxCatchOutOfMemory(AfxOutOfMemory::kPark);
      lResult = message == WM_CREATE ? -1 : 0;
    }
    // A handler may have destroyed the window and with it the object.
    if (CWnd::FromHandlePermanent(hWnd) != pWnd) return lResult;
    pWnd->m_pCurrentMsg = pOuterMsg;

    if (message == WM_NCDESTROY) {
      pWnd->Detach();
      CWinApp* pApp = AfxGetApp();
      if (pApp != nullptr && pApp->m_pMainWnd == pWnd) pApp->m_pMainWnd = nullptr;
      pWnd->PostNcDestroy();
    }
  } catch (...) {
    AfxCatchOutOfMemory(AfxOutOfMemory::kPark);
    lResult = message == WM_CREATE ? -1 : 0;
  }
  return lResult;
}
