#include "ui/MainFrm.h"

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() = default;

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs) {
  if (!CFrameWnd::PreCreateWindow(cs)) return FALSE;
  // Replaced, not merged: the caller's WS_THICKFRAME must not survive, and the
  // frame must never become visible on its own.
  cs.style = kFrameStyle;
  cs.dwExStyle &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
  // The frame is never shown, so it needs no cursor, brush or icon.
  cs.lpszClass = AfxRegisterWndClass(0);
  return cs.lpszClass != nullptr ? TRUE : FALSE;
}

int CMainFrame::OnCreate(LPCREATESTRUCTA lpCreateStruct) {
  if (CFrameWnd::OnCreate(lpCreateStruct) == -1) return -1;
  // The view's own PreCreateWindow supplies the class and swaps WS_BORDER for
  // a client edge; the frame's layout sizes it, hence the empty rectangle.
  const DWORD kViewStyle = WS_CHILD | WS_VISIBLE | WS_BORDER;
  const RECT kNoRect = {0, 0, 0, 0};
  if (!m_wndView.Create(nullptr, nullptr, kViewStyle, kNoRect, this, AFX_IDW_PANE_FIRST, nullptr)) return -1;
  return 0;
}

void CMainFrame::OnSetFocus(CWnd* /*pOldWnd*/) { m_wndView.SetFocus(); }

BOOL CMainFrame::OnCmdMsg(UINT nID, int nCode) {
  if (m_wndView.OnCmdMsg(nID, nCode)) return TRUE;
  return CFrameWnd::OnCmdMsg(nID, nCode);
}
