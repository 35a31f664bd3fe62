#include "ui/AboutDlg.h"

#include "ui/resource.h"

namespace {
const UINT kTemplateId = IDD_ABOUTBOX;
}  // namespace

CAboutDlg::CAboutDlg() : CDialog(kTemplateId) {}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange(CDataExchange* pDX) { CDialog::DoDataExchange(pDX); }
