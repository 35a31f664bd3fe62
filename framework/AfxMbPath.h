// Code-page-aware path helpers. Lead bytes follow IsDBCSLeadByte, so the
// second byte of a two-byte character is never taken for "\", "/", ":" or
// ".", whatever its value.
#pragma once

#include <windows.h>

// Splits like the C runtime's _splitpath. Each output may be null; outputs
// receive at most their stated capacity minus one byte and are always
// NUL-terminated (_MAX_DRIVE 3, _MAX_DIR 256, _MAX_FNAME 256, _MAX_EXT 256).
#define AFX_MAX_DRIVE 3
#define AFX_MAX_DIR 256
#define AFX_MAX_FNAME 256
#define AFX_MAX_EXT 256
void AfxSplitPath(const char* path, char* drive, char* dir, char* fname, char* ext);

// Composes like _makepath: drive, then dir with a "\" added unless it already
// ends in "\" or "/", then fname, then ext with a "." added unless present.
// Returns FALSE, leaving path empty, when the result would not fit in
// nCapacity bytes: a cut path could name another file.
BOOL AfxMakePath(char* path, int nCapacity, const char* drive, const char* dir, const char* fname, const char* ext);

// Compares like _mbscmp: character by character, a two-byte character's code
// being lead * 256 + trail. Returns <0, 0 or >0.
int AfxMbsCompare(const char* a, const char* b);
