// CConfirmDlg: the disclaimer; Install (IDOK) starts the installation.
#pragma once

#include "framework/Afx.h"

class CConfirmDlg : public CDialog {
 public:
  explicit CConfirmDlg(CWnd* pParent = nullptr);
  ~CConfirmDlg() override;

  void DoDataExchange(CDataExchange* pDX) override;
};
