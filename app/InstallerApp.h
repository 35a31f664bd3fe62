// CInstallerApp: the installer. Its one global instance limits the process's
// library search, then binds the host's common library on construction; InitInstance runs the whole installation
// once, inside a hidden main frame, and returns FALSE so that the process
// ends without a message loop.
//
// The steps the driver calls return kGoOn (1) to go on and kStop (0) to stop;
// a step that stops has already told the user why in a message box.
#pragma once

#include <windows.h>

#include "framework/Afx.h"
#include "winhost/HostLibrary.h"
#include "store/OptionDicStore.h"

// The hardening base comes first, so the library search is limited before
// m_store loads anything.
class CInstallerApp : private CLibrarySearchHardening, public CWinApp {
 public:
  CInstallerApp();
  ~CInstallerApp() override;

  BOOL InitInstance() override;                 // always FALSE
  BOOL OnCmdMsg(UINT nID, int nCode) override;  // ID_APP_ABOUT
  void OnAppAbout();

  // The driver: confirmation, host check, sources, toolkit question,
  // installation, completion dialog, enabling and broadcast, toolkit start.
  void RunInstall();

  enum { kStop = 0, kGoOn = 1 };

  // ---- Prerequisites and sources ----
  // Install folder readable and store ready.
  int CheckHostInstalled();
  // "InstallPath" of the host into strPath and m_strInstallPath; 1 when present
  // and not empty.
  int ReadInstallPath(CString& strPath);
  // Source files into m_sourceDics, user dictionary folder into m_strUserDicRoot.
  int PrepareSources();
  // The program's own folder followed by "option".
  int GetSourceFolder(CString& strFolder);
  // The ".dic" files of the source folder; 1 when at least one was found.
  int CollectSourceDics(CStringArray& list);

  // ---- Copy and register ----
  // Copies and registers every source file; m_installedDics receives what was
  // installed. 1 when every file was handled (copied or declined).
  int InstallDictionaries();
  // Drops registrations whose files are gone: kPruned (0), or kPruneFailed
  // (1) when reading or rewriting a list failed. Silent: the caller tells.
  enum { kPruned = 0, kPruneFailed = 1 };
  int PruneMissingRegistrations();
  enum { kTargetAbsent = 0, kTargetFree = 1, kTargetBusy = 2 };
  // Whether the file can be opened exclusively for reading and writing.
  int ProbeTargetFile(const char* pszPath);
  // When enabled entries went back into the stored list after a release and
  // the engine has not been handed the list since, hands it the stored
  // enabled list once and tells the windows, so that the engine uses what
  // the list says. 1 when it did so. Silent.
  int CatchUpEngine();

  // ---- Enabling ----
  // Adds the installed dictionaries to the enabled list and hands the engine
  // the new list. 0 only when writing the enabled list failed.
  int EnableInstalledDics(const CStringArray& installed);

  // ---- Engine ----
  // Hands the engine the enabled list and the assistant dictionary; 1 when
  // the engine accepted them. Silent.
  int NotifyEngine();

  COptionDicStore m_store;
  CString m_strInstallPath;
  CStringArray m_sourceDics;
  CStringArray m_installedDics;
  CString m_strUserDicRoot;
  // Enabled entries went back after a release, and the engine has not been
  // handed the stored list since.
  int m_bEngineBehind = 0;
};
