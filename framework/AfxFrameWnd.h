// CFrameWnd: a top-level frame loaded from one resource id (title string,
// menu and accelerators of that id). Frames delete themselves when their
// window is destroyed.
#pragma once

#include "AfxWnd.h"

#define FWS_ADDTOTITLE 0x00008000L

class CFrameWnd : public CWnd {
 public:
  CFrameWnd();
  ~CFrameWnd() override;

  // Creates the frame hidden unless the style says otherwise. When creation
  // fails or throws, the frame has deleted itself.
  virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                         CWnd* pParentWnd = nullptr, void* pContext = nullptr);
  // Base version: a frame without a class name gets the framework's frame
  // class (CS_DBLCLKS, arrow cursor, no brush); the client edge is added to
  // the extended style. Returns TRUE.
  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
  // Routes a command to the frame, then to the application.
  BOOL OnCmdMsg(UINT nID, int nCode) override;
  void OnSize(UINT nType, int cx, int cy) override;
  void PostNcDestroy() override;

  // Stretches the first-pane child (AFX_IDW_PANE_FIRST) over the client area.
  void RecalcLayout();
  HACCEL GetAccelerators() const { return m_hAccelTable; }

 private:
  HACCEL m_hAccelTable;
};
