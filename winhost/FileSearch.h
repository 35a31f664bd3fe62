// What a search for one path says about the file it names.
#pragma once

#include <windows.h>

// Why a search for the path found nothing; ERROR_SUCCESS when it found a
// file or folder.
DWORD SearchError(const char* pszPath);

// Surely gone: the platform says that the file or its folder is not there,
// or that no file could have the name. A name holding a wildcard names no
// file either: a search would find other files for it. Access denied, a
// network error or a drive that is not ready say nothing about the file.
bool FileSurelyGone(const char* pszPath);
