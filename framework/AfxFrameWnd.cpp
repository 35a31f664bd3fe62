#include "framework/AfxFrameWnd.h"

#include "framework/AfxWinApp.h"

namespace {

// Title strings longer than this are cut by LoadStringA.
constexpr int kTitleCapacity = 256;

}  // namespace

CFrameWnd::CFrameWnd() : m_hAccelTable(nullptr) {}

CFrameWnd::~CFrameWnd() = default;

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, void* pContext) {
  HINSTANCE hResource = AfxGetResourceHandle();
  char szTitle[kTitleCapacity] = "";
  if (LoadStringA(hResource, nIDResource, szTitle, kTitleCapacity) <= 0) szTitle[0] = '\0';
  HMENU hMenu = LoadMenuA(hResource, MAKEINTRESOURCEA(nIDResource));
  m_hAccelTable = LoadAcceleratorsA(hResource, MAKEINTRESOURCEA(nIDResource));

  if (!CreateEx(0, nullptr, szTitle, dwDefaultStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                pParentWnd != nullptr ? pParentWnd->GetSafeHwnd() : nullptr, hMenu, pContext)) {
    // The frame may have deleted itself by now, and a window that existed
    // took its menu with it: touch nothing.
    return FALSE;
  }
  RecalcLayout();
  return TRUE;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTA& cs) {
  if (!CWnd::PreCreateWindow(cs)) return FALSE;
  cs.dwExStyle |= WS_EX_CLIENTEDGE;
  return TRUE;
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode) {
  if (CWnd::OnCmdMsg(nID, nCode)) return TRUE;
  CWinApp* pApp = AfxGetApp();
  return pApp != nullptr ? pApp->OnCmdMsg(nID, nCode) : FALSE;
}

void CFrameWnd::OnSize(UINT nType, int cx, int cy) {
  CWnd::OnSize(nType, cx, cy);
  RecalcLayout();
}

void CFrameWnd::PostNcDestroy() { delete this; }

void CFrameWnd::RecalcLayout() {
  if (m_hWnd == nullptr) return;
  HWND hPane = GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST);
  if (hPane == nullptr) return;
  RECT rc = {};
  ::GetClientRect(m_hWnd, &rc);
  ::MoveWindow(hPane, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
}
