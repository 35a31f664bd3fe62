// CMainFrame: the application's main window, created hidden and never shown.
// Its client area holds one child view.
#pragma once

#include "framework/Afx.h"
#include "ui/ChildView.h"

class CMainFrame : public CFrameWnd {
 public:
  CMainFrame();
  ~CMainFrame() override;

  // Offers every command to the view first.
  BOOL OnCmdMsg(UINT nID, int nCode) override;
  // Replaces the style with a hidden, fixed-size, maximized frame and
  // registers a plain frame class.
  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
  int OnCreate(LPCREATESTRUCTA lpCreateStruct) override;
  void OnSetFocus(CWnd* pOldWnd) override;

  CChildView& GetView() { return m_wndView; }

  // Style PreCreateWindow gives the frame.
  static const DWORD kFrameStyle =
      WS_MAXIMIZE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | FWS_ADDTOTITLE;
  static_assert(kFrameStyle == 0x01CB8000, "the frame's style must not change");

 private:
  CChildView m_wndView;
};
