// CChildView: the frame's only child; it draws nothing but its background.
#pragma once

#include "framework/Afx.h"

class CChildView : public CWnd {
 public:
  CChildView();
  ~CChildView() override;

  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
  void OnPaint() override;
};
