// CConvEngineLib: binding to the host's conversion engine HRNCNV.DLL, found
// as "<InstallPath>\CMD\HRNCNV.DLL" (an absolute path, else not at all); its
// imports come from its own folder and the system folder. The library is
// loaded by the constructor and freed by the destructor, so it lives for one
// hand-over.
#pragma once

#include <windows.h>

#include "framework/Afx.h"
#include "winhost/ScopedHandles.h"

class CConvEngineLib {
 public:
  // Result codes of SendDictionaryList.
  enum {
    kAccepted = 0,
    kNotLoaded = 1,
    kNoRoom = 2,  // allocation failed, or the paths do not fit the buffer
    kNoEntryPoint = 3,
    kRefused = 4,
  };
  static const int kBlockSize = 788;
  static const int kListBufferSize = 16384;

  // The engine's entry point: C calling convention, the caller pops.
  typedef int(__cdecl* PFN_EngineTop)(int nCommand, void* pBlock);

  CConvEngineLib();           // calls Load; a failed load shows later as kNotLoaded
  virtual ~CConvEngineLib();  // calls Unload
  CConvEngineLib(const CConvEngineLib&) = delete;
  CConvEngineLib& operator=(const CConvEngineLib&) = delete;

  int Load();  // 1 loaded (also when it already was), 0 not
  void Unload();
  // Hands the engine the enabled list followed by the assistant list.
  int SendDictionaryList(const CStringArray& enabled, const CStringArray& assistant);

 private:
  CScopedLibrary m_hEngineLib;
};
