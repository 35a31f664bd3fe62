// CWnd: a C++ object attached to one window. The window procedure of every
// framework class finds the object for its handle and forwards each message
// to WindowProc, whose default dispatch calls the On... virtuals below.
#pragma once

#include <windows.h>

#include "AfxCmdTarget.h"

// First pane id: the child that a frame's layout stretches over its client area.
#define AFX_IDW_PANE_FIRST 0xE900

class CWnd : public CCmdTarget {
 public:
  CWnd();
  ~CWnd() override;  // destroys a window that still exists
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND GetSafeHwnd() const { return m_hWnd; }
  // The object attached to hWnd, or null for a window the framework did not create.
  static CWnd* FromHandlePermanent(HWND hWnd);
  // Binds this object to an existing window, or releases it from its window.
  BOOL Attach(HWND hWndNew);
  HWND Detach();

  // Creates a child window; PreCreateWindow may change every argument.
  // When creation fails, or PreCreateWindow throws, the object has gone
  // through PostNcDestroy (a frame has deleted itself).
  virtual BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                      UINT nID, void* pContext = nullptr);
  BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, int x, int y, int nWidth,
                int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam = nullptr);
  virtual BOOL DestroyWindow();

  // Base version: a window without a class name gets the framework's plain
  // child class (CS_DBLCLKS, arrow cursor, no brush). Returns TRUE.
  virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

  // Message handlers reached through the default WindowProc.
  virtual int OnCreate(LPCREATESTRUCTA lpCreateStruct);
  virtual void OnSetFocus(CWnd* pOldWnd);
  virtual void OnPaint();
  virtual void OnSize(UINT nType, int cx, int cy);
  // Runs after the window is gone; frames delete themselves here.
  virtual void PostNcDestroy();

  // Centres the window over its owner when the owner is visible, else over
  // the screen's work area.
  void CenterWindow();
  CWnd* SetFocus();
  void GetClientRect(LPRECT lpRect) const;
  void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  HWND m_hWnd;

 protected:
  // Calls the window procedure the framework replaced (DefWindowProcA).
  LRESULT Default();

 private:
  // Creation failed before the window procedure ever saw this object, so no
  // WM_NCDESTROY will come: stop being the main window and let the object go
  // as that message would have (a frame deletes itself).
  void AbandonCreation();

  friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
  const MSG* m_pCurrentMsg;
};

// Registers (once) and names a window class with the framework's window
// procedure and the given class style, cursor, background brush and icon.
// The name stays valid for the life of the process; null when the class
// cannot be registered.
LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr, HBRUSH hbrBackground = nullptr,
                           HICON hIcon = nullptr);
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
