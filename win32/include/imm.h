// Input method subset for the native build; see windows.h.
#pragma once
#include <windows.h>

#define IMN_PRIVATE 0x000E
