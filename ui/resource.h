// Resource ids shared by the resource script and the code.
#pragma once

#include "framework/AfxRes.h"

#define IDR_MAINFRAME 128  // icon, menu, accelerators and title string
#define IDD_ABOUTBOX 100
#define IDD_COMPLETE 130
#define IDD_CONFIRM 132
#define IDC_ENABLE_NOW 1001
#define IDC_LAUNCH_TOOLKIT 1002

// Framework-range ids only the script uses.
#define ID_EDIT_COPY 0xE122         // 57634
#define ID_EDIT_CUT 0xE123          // 57635
#define ID_EDIT_PASTE 0xE125        // 57637
#define ID_EDIT_UNDO 0xE12B         // 57643
#define ID_NEXT_PANE 0xE150         // 57680
#define ID_PREV_PANE 0xE151         // 57681
#define AFX_IDS_IDLEMESSAGE 0xE001  // 57345
