#include "framework/AfxDialog.h"

#include "framework/AfxException.h"
#include "framework/AfxWinApp.h"

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
  HWND hDlg = pDX->m_pDlgWnd->GetSafeHwnd();
  if (pDX->m_bSaveAndValidate) {
    value = IsDlgButtonChecked(hDlg, nIDC) == BST_CHECKED ? 1 : 0;
  } else {
    CheckDlgButton(hDlg, nIDC, value != 0 ? BST_CHECKED : BST_UNCHECKED);
  }
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
  HWND hOwner = m_pParentWnd != nullptr ? m_pParentWnd->GetSafeHwnd() : nullptr;
  if (hOwner == nullptr) {
    CWnd* pMainWnd = AfxGetMainWnd();
    hOwner = pMainWnd != nullptr ? pMainWnd->GetSafeHwnd() : nullptr;
    // A dialog opened while another is running must be owned by that one,
    // or the running dialog stays enabled underneath it.
    if (hOwner != nullptr) hOwner = ::GetLastActivePopup(hOwner);
  }
  INT_PTR nResult = DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), hOwner, AfxDlgProc,
                                    reinterpret_cast<LPARAM>(this));
  Detach();
  AfxRethrowParkedException();
  return nResult;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
  if (m_hWnd == nullptr) return FALSE;
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  return TRUE;
}

void CDialog::EndDialog(int nResult) {
  if (m_hWnd != nullptr) ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  // The owner is usually the hidden main frame: a dialog placed by its
  // template alone would open in the screen's corner.
  CenterWindow();
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange* /*pDX*/) {}

INT_PTR CALLBACK AfxDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* pDlg = nullptr;
  try {
    if (message == WM_INITDIALOG) {
      pDlg = reinterpret_cast<CDialog*>(lParam);
      if (pDlg == nullptr) return FALSE;
      SetWindowLongPtrA(hDlg, DWLP_USER, lParam);
      pDlg->Attach(hDlg);
      return pDlg->OnInitDialog();
    }
    pDlg = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hDlg, DWLP_USER));
    if (pDlg == nullptr) return FALSE;
    switch (message) {
      case WM_COMMAND:
        switch (LOWORD(wParam)) {
          case IDOK:
            pDlg->OnOK();
            return TRUE;
          case IDCANCEL:
            pDlg->OnCancel();
            return TRUE;
          default:
            return pDlg->OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
        }
      case WM_DESTROY:
      case WM_NCDESTROY:
        SetWindowLongPtrA(hDlg, DWLP_USER, 0);
        pDlg->Detach();
        return FALSE;
      default:
        return FALSE;
    }
  } catch (...) {
    AfxCatchOutOfMemory(AfxOutOfMemory::kPark);
    // The dialog cannot go on in an unknown state; DoModal rethrows.
    ::EndDialog(hDlg, -1);
    return TRUE;
  }
}
