// CAboutDlg: the version box.
#pragma once

#include "framework/Afx.h"

class CAboutDlg : public CDialog {
 public:
  CAboutDlg();
  ~CAboutDlg() override;

  void DoDataExchange(CDataExchange* pDX) override;
};
