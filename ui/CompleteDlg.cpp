#include "ui/CompleteDlg.h"

#include "ui/resource.h"

CCompleteDlg::CCompleteDlg(CWnd* pParent) : CDialog(IDD_COMPLETE, pParent), m_bLaunchToolkit(1), m_bEnableNow(1) {}

CCompleteDlg::~CCompleteDlg() = default;

void CCompleteDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Check(pDX, IDC_LAUNCH_TOOLKIT, m_bLaunchToolkit);
  DDX_Check(pDX, IDC_ENABLE_NOW, m_bEnableNow);
}

void CCompleteDlg::OnOK() {
  UpdateData(TRUE);
  EndDialog(IDOK);
}
