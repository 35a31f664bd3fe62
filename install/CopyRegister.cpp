// Copying the source dictionaries into the user dictionary folder and
// registering them, with the user's consent where something is overwritten.
#include <windows.h>

#include "app/InstallerApp.h"
#include "app/Messages.h"
#include "framework/Afx.h"
#include "install/ScopedHandles.h"
#include "install/StepMessages.h"
#include "notify/ImeBroadcast.h"

namespace {

const UINT kQuestionStyle = MB_YESNO | MB_ICONEXCLAMATION;
const char kTargetPathFormat[] = "%s\\%s.dic";

// The engine and the input method's windows need a moment to let go of a
// file after they were told to: up to 11 pauses with a probe between each.
const DWORD kReleasePauseMs = 50;
const int kMaxReleasePauses = 11;

// Only these say that a file is not there; access denied, a network error
// or a drive that is not ready say nothing about it.
bool IsNotFoundError(DWORD dwError) { return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND; }

// A search that failed because the path does not exist. One that found
// nothing for another reason does not count.
bool SearchFindsNothingThere(const char* pszPath) {
  WIN32_FIND_DATAA findData;
  CScopedFindHandle find(FindFirstFileA(pszPath, &findData));
  return !find.IsValid() && IsNotFoundError(GetLastError());
}

// "*" and "?" never occur in trail bytes, but the walk steps over two-byte
// characters anyway.
bool HasWildcard(const char* pszPath) {
  for (const char* p = pszPath; *p != '\0'; ++p) {
    if (IsDBCSLeadByte(static_cast<BYTE>(*p))) {
      if (p[1] == '\0') return false;
      ++p;
    } else if (*p == '*' || *p == '?') {
      return true;
    }
  }
  return false;
}

// A wildcard entry names no file: a search would find other files for it.
bool RegisteredFileGone(const char* pszPath) { return HasWildcard(pszPath) || SearchFindsNothingThere(pszPath); }

// Registered entries taken out for a file that could not be taken over go
// back to the end of the registered list; the enabled list is left as is.
void PutBackRegistrations(COptionDicStore& store, const CStringArray& removed) {
  for (int i = 0; i < removed.GetSize(); ++i) {
    if (store.AddToList(removed[i], DICLIST_REGISTERED) != COptionDicStore::kAdded) return;
  }
}

void WaitForRelease(CInstallerApp& app, const char* pszTarget) {
  for (int nPauses = 1;; ++nPauses) {
    Sleep(kReleasePauseMs);
    if (nPauses == kMaxReleasePauses) return;
    if (app.ProbeTargetFile(pszTarget) != CInstallerApp::kTargetBusy) return;
  }
}

int InstallOneDictionary(CInstallerApp& app, const CString& strSource) {
  // Source paths fit in 260 bytes (longer ones were refused when the sources
  // were collected), so the base name is never cut.
  char szBaseName[AFX_MAX_FNAME];
  AfxSplitPath(strSource, nullptr, nullptr, szBaseName, nullptr);

  CString strTarget;
  strTarget.Format(kTargetPathFormat, static_cast<const char*>(app.m_strUserDicRoot), szBaseName);

  const int nFound = app.m_store.FindInList(strTarget, DICLIST_REGISTERED);
  // Not knowing whether a namesake is registered, the step could neither ask
  // the right question nor take the namesake out of the lists.
  if (nFound < COptionDicStore::kNotListed) {
    ShowStop(msg::kSettingFailed);
    return CInstallerApp::kStop;
  }
  const bool bRegistered = nFound != COptionDicStore::kNotListed;
  const int nFileState = app.ProbeTargetFile(strTarget);

  const char* pszQuestion = nullptr;
  if (bRegistered) {
    pszQuestion = msg::kAlreadyRegisteredFmt;
  } else if (nFileState != CInstallerApp::kTargetAbsent) {
    pszQuestion = msg::kDestinationExistsFmt;
  }
  if (pszQuestion) {
    CString strQuestion;
    strQuestion.Format(pszQuestion, szBaseName);
    if (AfxMessageBox(strQuestion, kQuestionStyle) == IDNO) return CInstallerApp::kGoOn;
  }

  CStringArray removedEnabled;
  CStringArray removedRegistered;
  if (bRegistered) {
    if (app.m_store.RemoveFromList(strTarget, DICLIST_ENABLED, &removedEnabled) != 0 ||
        app.m_store.RemoveFromList(strTarget, DICLIST_REGISTERED, &removedRegistered) != 0) {
      ShowStop(msg::kSettingFailed);
      return CInstallerApp::kStop;
    }
    if (nFileState == CInstallerApp::kTargetBusy) {
      if (!app.NotifyEngine()) {
        ShowStop(msg::kSettingFailed);
        PutBackRegistrations(app.m_store, removedRegistered);
        return CInstallerApp::kStop;
      }
      NotifyImeWindows();
      WaitForRelease(app, strTarget);
    }
  }

  if (!CopyFileA(strSource, strTarget, FALSE)) {
    ShowStopFormatted(msg::kCopyFailedFmt, szBaseName);
    PutBackRegistrations(app.m_store, removedRegistered);
    return CInstallerApp::kStop;
  }

  switch (app.m_store.AddToList(strTarget, DICLIST_REGISTERED)) {
    case COptionDicStore::kAdded:
    case COptionDicStore::kAlreadyListed:
      app.m_installedDics.Add(strTarget);
      return CInstallerApp::kGoOn;
    case COptionDicStore::kListFull:
      ShowStop(msg::kRegisterLimit);
      return CInstallerApp::kStop;
    default:
      ShowStop(msg::kSettingFailed);
      return CInstallerApp::kStop;
  }
}

}  // namespace

int CInstallerApp::InstallDictionaries() {
  if (PruneMissingRegistrations() != 0) {
    ShowStop(msg::kRegisterFailed);
    return kStop;
  }

  const int nSources = m_sourceDics.GetSize();
  m_installedDics.RemoveAll();
  for (int i = 0; i < nSources; ++i) {
    if (InstallOneDictionary(*this, m_sourceDics[i]) == kStop) return kStop;
  }
  return kGoOn;
}

int CInstallerApp::PruneMissingRegistrations() {
  CStringArray registered;
  if (m_store.ReadList(registered, DICLIST_REGISTERED) != 0) return 1;

  for (int i = 0; i < registered.GetSize(); ++i) {
    if (!RegisteredFileGone(registered[i])) continue;
    if (m_store.RemoveFromList(registered[i], DICLIST_REGISTERED) != 0) return 1;
    if (m_store.RemoveFromList(registered[i], DICLIST_ENABLED) != 0) return 1;
  }
  return 0;
}

int CInstallerApp::ProbeTargetFile(const char* pszPath) {
  // A search that failed for another reason leaves the open to decide.
  if (SearchFindsNothingThere(pszPath)) return kTargetAbsent;

  CScopedFileHandle file(
      CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.IsValid()) return kTargetFree;
  return IsNotFoundError(GetLastError()) ? kTargetAbsent : kTargetBusy;
}
