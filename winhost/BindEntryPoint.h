// Typed binding of a library export.
#pragma once

#include <windows.h>

// GetProcAddress hands back a generic address; going through void(*)()
// keeps GCC from warning about the cast to the typed entry point. Null when
// the export is missing.
template <typename Fn>
Fn BindEntryPoint(HMODULE hModule, const char* pszName) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(hModule, pszName)));
}
