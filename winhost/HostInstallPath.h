// The host's install folder as the machine stores it: the value
// "InstallPath" below HKEY_LOCAL_MACHINE\Software\Heronix\Fumidori\1.0,
// opened for reading only and read afresh on every call.
#pragma once

#include <windows.h>

// Reads the folder into szPath, NUL-terminated. False, with szPath empty,
// when the key or value is missing or unreadable, when it is empty, or when
// it fills all 260 bytes without a terminator (no end could be trusted).
bool ReadHostInstallPath(char (&szPath)[MAX_PATH]);
