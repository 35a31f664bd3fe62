// CDialog: a modal dialog run from a template of the program's resources.
// The dialog procedure finds the object and forwards to the virtuals; IDOK
// goes to OnOK, IDCANCEL (Cancel, Escape and the close box) to OnCancel.
#pragma once

#include "AfxWnd.h"

class CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
  BOOL m_bSaveAndValidate;  // TRUE: controls to fields; FALSE: fields to controls
  CWnd* m_pDlgWnd;
};

// Check-box exchange: the field holds 0 (clear) or 1 (ticked).
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  // Runs the dialog; owner is the parent given or else the main window's
  // last active popup (the main window itself unless a dialog is running).
  // Returns the value passed to EndDialog, or -1 when it could not open.
  virtual INT_PTR DoModal();
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
  void EndDialog(int nResult);

  virtual BOOL OnInitDialog();  // loads the fields into the controls, centres
  virtual void OnOK();          // saves the controls, ends with IDOK
  virtual void OnCancel();      // ends with IDCANCEL, nothing saved
  virtual void DoDataExchange(CDataExchange* pDX);

 private:
  friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;
};

INT_PTR CALLBACK AfxDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
