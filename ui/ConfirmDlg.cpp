#include "ui/ConfirmDlg.h"

#include "ui/resource.h"

CConfirmDlg::CConfirmDlg(CWnd* pParent) : CDialog(IDD_CONFIRM, pParent) {}

CConfirmDlg::~CConfirmDlg() = default;

void CConfirmDlg::DoDataExchange(CDataExchange* pDX) { CDialog::DoDataExchange(pDX); }
