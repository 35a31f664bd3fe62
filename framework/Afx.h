// The application framework, all of it: include this one header.
#pragma once

#include <windows.h>

#include "AfxCmdTarget.h"
#include "AfxDialog.h"
#include "AfxException.h"
#include "AfxFrameWnd.h"
#include "AfxMbPath.h"
#include "AfxString.h"
#include "AfxStringArray.h"
#include "AfxWinApp.h"
#include "AfxWnd.h"
