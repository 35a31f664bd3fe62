#include "framework/AfxCmdTarget.h"

BOOL CCmdTarget::OnCmdMsg(UINT /*nID*/, int /*nCode*/) { return FALSE; }
