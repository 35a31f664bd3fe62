// How the host tells two paths apart: after folding a-z (and, from NT 4.0,
// the full-width small Latin letters of code page 932) to capitals,
// character by character in the code page.
#pragma once

// Folds pszSource into pszDest (at least 260 bytes). 1 done; 0 the source
// is 260 bytes or longer or ends in a lone lead byte.
int NormalizeHostPath(const char* pszSource, char* pszDest);

// 0 equal after folding; 1 the first is 260 bytes or longer or cannot be
// normalized; -1 the same of the second; else the sign of the multibyte
// comparison. Not reentrant: it normalizes into shared static buffers.
int CompareHostPaths(const char* pszFirst, const char* pszSecond);
