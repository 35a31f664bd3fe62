#include "app/InstallerApp.h"

#include <shellapi.h>

#include "app/Messages.h"
#include "notify/ImeBroadcast.h"
#include "ui/AboutDlg.h"
#include "ui/CompleteDlg.h"
#include "ui/ConfirmDlg.h"
#include "ui/MainFrm.h"
#include "ui/resource.h"

namespace {

const char kToolkitWindowClass[] = "HRN10_DICMANAGER_MAIN";
const char kToolkitPathFormat[] = "%s\\CMD\\HRNDIC.EXE";
const DWORD kCreationStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE;

// The main window: hidden for the whole run, without menu or Close item.
void CreateHiddenFrame(CWinApp& app) {
  CMainFrame* pFrame = new CMainFrame;
  app.m_pMainWnd = pFrame;
  // A frame whose window cannot be created has deleted itself; the installer
  // then runs with unowned dialogs rather than touching a dead object.
  if (!pFrame->LoadFrame(IDR_MAINFRAME, kCreationStyle, nullptr, nullptr)) {
    app.m_pMainWnd = nullptr;
    return;
  }
  HWND hFrame = pFrame->m_hWnd;
  ::SetMenu(hFrame, nullptr);
  ::RemoveMenu(::GetSystemMenu(hFrame, FALSE), SC_CLOSE, MF_BYCOMMAND);
  HICON hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
  ::SendMessageA(hFrame, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
  ::SendMessageA(hFrame, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
}

}  // namespace

CInstallerApp::CInstallerApp() = default;

CInstallerApp::~CInstallerApp() = default;

BOOL CInstallerApp::InitInstance() {
  Enable3dControls();

  // Running out of memory while the frame is made means the same to the
  // user as running out during the installation.
  try {
    CreateHiddenFrame(*this);
    RunInstall();
  } catch (...) {
    AfxCatchOutOfMemory(AfxOutOfMemory::kRelease);
    ShowMessage(msg::kOutOfMemory);
  }
  return FALSE;
}

void CInstallerApp::RunInstall() {
  CConfirmDlg confirm;
  if (confirm.DoModal() != IDOK) return;

  if (!CheckHostInstalled()) return;
  if (!PrepareSources()) return;

  while (::FindWindowA(kToolkitWindowClass, nullptr) != nullptr) {
    if (AfxMessageBox(msg::kToolkitRunning, MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) return;
  }

  if (!InstallDictionaries()) return;
  if (m_installedDics.IsEmpty()) return;

  CCompleteDlg complete;
  complete.DoModal();

  if (complete.GetEnableNow()) {
    const int nEnabled = EnableInstalledDics(m_installedDics);
    // Unless the enabling step handed the engine the list, entries that a
    // release put back reach it now, and the windows are told once.
    const int bToldWindows = CatchUpEngine();
    if (!nEnabled) return;
    if (!bToldWindows) NotifyImeWindows();
  } else {
    CatchUpEngine();
  }

  if (complete.GetLaunchToolkit()) {
    CString strToolkit;
    strToolkit.Format(kToolkitPathFormat, m_strInstallPath.GetString());
    ::ShellExecuteA(nullptr, nullptr, strToolkit, nullptr, nullptr, SW_SHOW);
  }
}

BOOL CInstallerApp::OnCmdMsg(UINT nID, int nCode) {
  if (nID == ID_APP_ABOUT) {
    OnAppAbout();
    return TRUE;
  }
  return CWinApp::OnCmdMsg(nID, nCode);
}

void CInstallerApp::OnAppAbout() {
  CAboutDlg about;
  about.DoModal();
}
