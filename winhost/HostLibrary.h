// Loading the host's libraries so that nothing that lies beside the program
// (often a browser's download folder) or in the current folder runs in their
// place, nor in place of anything they import.
#pragma once

#include <windows.h>

#include "framework/Afx.h"

// Takes the current folder out of the process's library search
// (SetDllDirectoryA("")) and limits default searches to the system folder
// and the host folders that LoadLibraryByFullPath adds
// (SetDefaultDllDirectories). Both are looked up in kernel32 at run time:
// a system that lacks one keeps that part of its search.
void HardenLibrarySearch();

// As a class's first base, hardens the search before any other base or member
// of that class is constructed.
class CLibrarySearchHardening {
 protected:
  CLibrarySearchHardening() { HardenLibrarySearch(); }
};

enum LibrarySearchResult {
  kLibraryFound = 0,
  kLibraryNotFound = 1,
  kLibrarySearchFailed = 2,  // the places to look could not be told
};

// Looks for a file named pszFileName where the platform's search looks after
// the program's folder: the system folder, the 16-bit system folder, the
// Windows folder, then each absolute folder of PATH, in that order. Never in
// the program's folder or the current folder, whatever PATH says; relative
// PATH entries, paths longer than MAX_PATH and candidates that cannot be
// examined are passed over. On kLibraryFound, strPath holds the full path of
// the first match; kLibrarySearchFailed when the folders or PATH cannot be
// read.
int FindLibraryOutsideProgramFolder(const char* pszFileName, CString& strPath);

// Loads the library at the absolute path pszPath, after adding its folder to
// the default search (AddDllDirectory, where there is one); what it imports
// comes from its own folder, the host folders added so far and the system
// folder. Where the system lacks that search
// (ERROR_INVALID_PARAMETER), the altered search: its own folder in place of
// the program's. Null on failure, with GetLastError; a relative path is
// refused with ERROR_INVALID_PARAMETER.
HMODULE LoadLibraryByFullPath(const char* pszPath);
