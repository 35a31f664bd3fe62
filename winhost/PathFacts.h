// What the installer's steps and the store agree on about paths and files:
// the dictionaries' suffix, the size of the host's path buffers, and which
// failures say that a file is not there.
#pragma once

#include <windows.h>

inline constexpr char kDicSuffix[] = ".dic";
inline constexpr int kDicSuffixLength = sizeof(kDicSuffix) - 1;

// The host reads paths into 260-byte buffers: 259 bytes and the NUL.
inline constexpr int kPathBufferSize = MAX_PATH;

// Only these say that a file or folder is not there; access denied, a
// network error or a drive that is not ready say nothing about it.
inline bool IsNotFoundError(DWORD dwError) {
  return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
}
