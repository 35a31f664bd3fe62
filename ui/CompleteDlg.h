// CCompleteDlg: the completion notice with its two options, both ticked when
// it opens. Close (IDOK) saves the boxes; Escape and the close box keep the
// flags as constructed.
#pragma once

#include "framework/Afx.h"

class CCompleteDlg : public CDialog {
 public:
  explicit CCompleteDlg(CWnd* pParent = nullptr);
  ~CCompleteDlg() override;

  int GetEnableNow() const { return m_bEnableNow; }
  int GetLaunchToolkit() const { return m_bLaunchToolkit; }

  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;

 private:
  int m_bLaunchToolkit;
  int m_bEnableNow;
};
