#include "framework/AfxWinApp.h"

#include "framework/AfxException.h"
#include "framework/AfxFrameWnd.h"
#include "framework/AfxMbPath.h"
#include "framework/AfxWnd.h"

namespace {

CWinApp* g_pApp = nullptr;

// Longest title taken from the string table; LoadStringA cuts longer ones.
constexpr int kAppTitleCapacity = 1024;

// Releases what a window procedure parked when no framework call was there
// to receive it, so that it cannot surface later in an unrelated place.
void DropParkedException() {
  try {
    AfxRethrowParkedException();
  } catch (CException* e) {
    e->Delete();
  }
}

}  // namespace

CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_pMainWnd(nullptr), m_hInstance(nullptr), m_pszAppName(nullptr), m_nExitCode(0) {
  if (lpszAppName != nullptr) {
    m_strAppName = lpszAppName;
    m_pszAppName = m_strAppName;
  }
  g_pApp = this;
}

CWinApp::~CWinApp() {
  if (g_pApp == this) g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
  MSG msg = {};
  for (;;) {
    BOOL bRet = GetMessageA(&msg, nullptr, 0, 0);
    if (bRet == 0) {
      m_nExitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (bRet == -1) break;
    HWND hMainWnd = m_pMainWnd != nullptr ? m_pMainWnd->GetSafeHwnd() : nullptr;
    auto* pFrame = dynamic_cast<CFrameWnd*>(m_pMainWnd);
    HACCEL hAccel = pFrame != nullptr ? pFrame->GetAccelerators() : nullptr;
    if (hAccel != nullptr && hMainWnd != nullptr && TranslateAcceleratorA(hMainWnd, hAccel, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    DropParkedException();
  }
  return ExitInstance();
}

int CWinApp::ExitInstance() { return m_nExitCode; }

BOOL CWinApp::OnCmdMsg(UINT nID, int nCode) {
  if (nID != ID_APP_EXIT) return CCmdTarget::OnCmdMsg(nID, nCode);
  HWND hMainWnd = m_pMainWnd != nullptr ? m_pMainWnd->GetSafeHwnd() : nullptr;
  if (hMainWnd != nullptr) {
    m_pMainWnd->SendMessage(WM_CLOSE);
  } else {
    PostQuitMessage(0);
  }
  return TRUE;
}

BOOL CWinApp::Enable3dControls() { return TRUE; }

void CWinApp::LoadAppName() {
  char* pszTitle = m_strAppName.GetBuffer(kAppTitleCapacity);
  int nLength = LoadStringA(AfxGetResourceHandle(), AFX_IDS_APP_TITLE, pszTitle, kAppTitleCapacity + 1);
  m_strAppName.ReleaseBuffer(nLength > 0 ? nLength : 0);
  if (m_strAppName.IsEmpty()) {
    char szModule[MAX_PATH] = "";
    DWORD nModule = GetModuleFileNameA(nullptr, szModule, MAX_PATH);
    // Windows XP leaves a cut name without its NUL.
    szModule[nModule < MAX_PATH ? nModule : MAX_PATH - 1] = '\0';
    char szName[AFX_MAX_FNAME];
    AfxSplitPath(szModule, nullptr, nullptr, szName, nullptr);
    m_strAppName = szName;
  }
  m_pszAppName = m_strAppName;
}

CWinApp* AfxGetApp() { return g_pApp; }

CWnd* AfxGetMainWnd() { return g_pApp != nullptr ? g_pApp->m_pMainWnd : nullptr; }

LPCSTR AfxGetAppName() {
  if (g_pApp == nullptr) return nullptr;
  if (g_pApp->m_pszAppName == nullptr) g_pApp->LoadAppName();
  return g_pApp->m_pszAppName;
}

HINSTANCE AfxGetInstanceHandle() {
  if (g_pApp != nullptr && g_pApp->m_hInstance != nullptr) return g_pApp->m_hInstance;
  return GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT /*nIDHelp*/) {
  CWnd* pMainWnd = AfxGetMainWnd();
  HWND hOwner = pMainWnd != nullptr ? pMainWnd->GetSafeHwnd() : nullptr;
  return MessageBoxA(hOwner, lpszText, AfxGetAppName(), nType);
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPSTR /*lpCmdLine*/, int /*nCmdShow*/) {
  CWinApp* pApp = AfxGetApp();
  if (pApp == nullptr) return -1;
  pApp->m_hInstance = hInstance;
  try {
    if (pApp->m_pszAppName == nullptr) pApp->LoadAppName();
    if (pApp->InitInstance()) return pApp->Run();
    if (pApp->m_pMainWnd != nullptr && pApp->m_pMainWnd->GetSafeHwnd() != nullptr) {
      pApp->m_pMainWnd->DestroyWindow();
    }
    pApp->m_pMainWnd = nullptr;
    DropParkedException();
    return pApp->ExitInstance();
  } catch (CException* e) {
    // Nothing of the application caught it; end without a crash.
    e->Delete();
    CWnd* pMainWnd = pApp->m_pMainWnd;
    pApp->m_pMainWnd = nullptr;
    if (pMainWnd != nullptr && pMainWnd->GetSafeHwnd() != nullptr) ::DestroyWindow(pMainWnd->GetSafeHwnd());
    return -1;
  }
}
