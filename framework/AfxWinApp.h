// CWinApp: the one application object. Its constructor makes it the current
// application; AfxWinMain then loads the title and calls InitInstance.
#pragma once

#include <windows.h>

#include "AfxCmdTarget.h"
#include "AfxRes.h"
#include "AfxString.h"

class CWnd;

class CWinApp : public CCmdTarget {
 public:
  // No name: the title comes from string AFX_IDS_APP_TITLE at start-up.
  explicit CWinApp(LPCSTR lpszAppName = nullptr);
  ~CWinApp() override;

  virtual BOOL InitInstance();
  virtual int Run();                            // message loop, for an InitInstance that returns TRUE
  virtual int ExitInstance();                   // returns the process exit code
  BOOL OnCmdMsg(UINT nID, int nCode) override;  // handles ID_APP_EXIT

  // Requests the three-dimensional look of dialog controls; always TRUE, as
  // every supported Windows draws dialogs that way.
  BOOL Enable3dControls();

  CWnd* m_pMainWnd;
  HINSTANCE m_hInstance;
  LPCSTR m_pszAppName;

 private:
  friend int AfxWinMain(HINSTANCE, HINSTANCE, LPSTR, int);
  friend LPCSTR AfxGetAppName();
  // Title from AFX_IDS_APP_TITLE, else the program file's base name.
  void LoadAppName();

  CString m_strAppName;
  int m_nExitCode;  // wParam of WM_QUIT
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
LPCSTR AfxGetAppName();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// A message box captioned with the application title and owned by the main
// window; returns the id of the button pressed.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// The framework's entry: title, InitInstance, then Run or (on FALSE) the
// destruction of the main window; returns the exit code.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
