#include "ui/ChildView.h"

CChildView::CChildView() = default;

CChildView::~CChildView() = default;

BOOL CChildView::PreCreateWindow(CREATESTRUCTA& cs) {
  if (!CWnd::PreCreateWindow(cs)) return FALSE;
  // A client edge instead of the flat border the frame asks for.
  cs.dwExStyle |= WS_EX_CLIENTEDGE;
  cs.style &= ~static_cast<DWORD>(WS_BORDER);
  cs.lpszClass = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, LoadCursorA(nullptr, IDC_ARROW),
                                     reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)), nullptr);
  // Without a class the window cannot be created anyway; fail here, as the base does.
  return cs.lpszClass != nullptr ? TRUE : FALSE;
}

void CChildView::OnPaint() {
  // Validates the update region; the class brush has already painted it.
  PAINTSTRUCT ps;
  BeginPaint(m_hWnd, &ps);
  EndPaint(m_hWnd, &ps);
}
