// Command and string ids the framework reserves. Only #defines, so that the
// resource script can include it as well as the code.
#pragma once

#define AFX_IDS_APP_TITLE 0xE000
#define ID_APP_ABOUT 0xE140
#define ID_APP_EXIT 0xE141
