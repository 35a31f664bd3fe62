// Base of everything that can handle a command (a WM_COMMAND id).
#pragma once

#include <windows.h>

class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;
  // Offers command nID (notification nCode) to this object; TRUE when handled.
  virtual BOOL OnCmdMsg(UINT nID, int nCode);
};
