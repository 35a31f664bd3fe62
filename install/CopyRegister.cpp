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
const char kDicSuffix[] = ".dic";

// Path buffers of the host hold 259 bytes and the NUL.
const int kPathBufferSize = MAX_PATH;

// The engine and the input method's windows need a moment to let go of a
// file after they were told to: up to 11 pauses with a probe between each.
const DWORD kReleasePauseMs = 50;
const int kMaxReleasePauses = 11;

// Name prefix of the copy before it takes the target's place.
const char kTempFilePrefix[] = "lxp";

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

// A name the platform rejects outright names no file.
bool IsNoFileNameError(DWORD dwError) { return dwError == ERROR_INVALID_NAME || dwError == ERROR_BAD_PATHNAME; }

// Gone: not found, or no file could have the name. A wildcard entry names no
// file either: a search would find other files for it.
bool RegisteredFileGone(const char* pszPath) {
  if (HasWildcard(pszPath)) return true;
  WIN32_FIND_DATAA findData;
  CScopedFindHandle find(FindFirstFileA(pszPath, &findData));
  if (find.IsValid()) return false;
  const DWORD dwError = GetLastError();
  return IsNotFoundError(dwError) || IsNoFileNameError(dwError);
}

// The namesakes taken out of both lists so that a file can take their place.
struct CRemovedNamesakes {
  CStringArray enabled;
  CStringArray registered;
};

// Entries go back to the end of their list. One the list still holds (a
// rewrite that failed midway may have kept it) is no reason to give up on
// the rest.
void PutBack(COptionDicStore& store, const CStringArray& removed, int bEnabledList) {
  for (int i = 0; i < removed.GetSize(); ++i) {
    const int result = store.AddToList(removed[i], bEnabledList);
    if (result != COptionDicStore::kAdded && result != COptionDicStore::kAlreadyListed) return;
  }
}

// A file that could not be taken over leaves its namesakes registered and
// enabled as before; registrations first, so that enabling never finds an
// enabled entry without one.
void PutBackNamesakes(COptionDicStore& store, const CRemovedNamesakes& removed) {
  PutBack(store, removed.registered, DICLIST_REGISTERED);
  PutBack(store, removed.enabled, DICLIST_ENABLED);
}

int StopPuttingBack(COptionDicStore& store, const CRemovedNamesakes& removed, const char* pszText) {
  ShowStop(pszText);
  PutBackNamesakes(store, removed);
  return CInstallerApp::kStop;
}

void WaitForRelease(CInstallerApp& app, const char* pszTarget) {
  for (int nPauses = 1;; ++nPauses) {
    Sleep(kReleasePauseMs);
    if (nPauses == kMaxReleasePauses) return;
    if (app.ProbeTargetFile(pszTarget) != CInstallerApp::kTargetBusy) return;
  }
}

// CopyFileA carries a read-only source's attribute over to the copy, which
// no later installation could then replace.
bool ClearReadOnly(const char* pszPath) {
  const DWORD dwAttributes = GetFileAttributesA(pszPath);
  if (dwAttributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((dwAttributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
  return SetFileAttributesA(pszPath, dwAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) != FALSE;
}

// The copy is made beside the target under a temporary name and then takes
// the target's place in one step, so a failure never leaves the target half
// written. The user agreed to replace the target, so a read-only one (left
// by an earlier installation) is made writable first.
bool CopyIntoPlace(const char* pszSource, const char* pszTarget, const char* pszFolder) {
  char szTemp[MAX_PATH];
  if (GetTempFileNameA(pszFolder, kTempFilePrefix, 0, szTemp) == 0) return false;
  bool bPlaced = CopyFileA(pszSource, szTemp, FALSE) && ClearReadOnly(szTemp);
  if (bPlaced) {
    ClearReadOnly(pszTarget);
    bPlaced = MoveFileExA(szTemp, pszTarget, MOVEFILE_REPLACE_EXISTING) != FALSE;
  }
  if (!bPlaced) DeleteFileA(szTemp);
  return bPlaced;
}

// What the step does with one target.
struct CTargetPlan {
  const char* pszTarget;
  bool bRegistered;  // a namesake is registered: take it out, put it back on failure
  bool bBusy;        // and the file is held open: release it before the copy
};

// A busy target's enabled namesakes leave the enabled list before the copy,
// so that the engine and the input method, told of the new list, let go of
// the file. Nothing else is taken out yet: until the file has been replaced,
// a run that stops dead leaves every registration and every other enabled
// entry in place.
int ReleaseBusyTarget(CInstallerApp& app, const char* pszTarget, CRemovedNamesakes& removed) {
  if (app.m_store.RemoveFromList(pszTarget, DICLIST_ENABLED, &removed.enabled) != 0) {
    return StopPuttingBack(app.m_store, removed, msg::kSettingFailed);
  }
  if (!app.NotifyEngine()) return StopPuttingBack(app.m_store, removed, msg::kSettingFailed);
  NotifyImeWindows();
  WaitForRelease(app, pszTarget);
  return CInstallerApp::kGoOn;
}

// Once the file is in place, its namesakes leave the enabled list (unless
// that happened for the release) and then the registered list, and the
// target is registered at the end.
int RegisterInPlaceOfNamesakes(CInstallerApp& app, const CTargetPlan& plan, CRemovedNamesakes& removed) {
  if (plan.bRegistered) {
    if ((!plan.bBusy && app.m_store.RemoveFromList(plan.pszTarget, DICLIST_ENABLED, &removed.enabled) != 0) ||
        app.m_store.RemoveFromList(plan.pszTarget, DICLIST_REGISTERED, &removed.registered) != 0) {
      return StopPuttingBack(app.m_store, removed, msg::kSettingFailed);
    }
  }
  switch (app.m_store.AddToList(plan.pszTarget, DICLIST_REGISTERED)) {
    case COptionDicStore::kAdded:
    case COptionDicStore::kAlreadyListed:
      app.m_installedDics.Add(plan.pszTarget);
      return CInstallerApp::kGoOn;
    case COptionDicStore::kListFull:
      return StopPuttingBack(app.m_store, removed, msg::kRegisterLimit);
    default:
      return StopPuttingBack(app.m_store, removed, msg::kSettingFailed);
  }
}

// Where a source file goes: its base name with ".dic" in the user
// dictionary folder. Source paths fit in 260 bytes (longer ones were refused
// when the sources were collected), so the base name is never cut.
struct CTarget {
  char szBaseName[AFX_MAX_FNAME];
  CString strPath;
};

void FormTarget(const CInstallerApp& app, const char* pszSource, CTarget& target) {
  AfxSplitPath(pszSource, nullptr, nullptr, target.szBaseName, nullptr);
  target.strPath.Format(kTargetPathFormat, static_cast<const char*>(app.m_strUserDicRoot), target.szBaseName);
}

// The host reads its lists back into 260-byte buffers: a target it could not
// read back would be registered anew on every run. Every file is checked
// before anything changes.
int CheckTargetPaths(const CInstallerApp& app) {
  CTarget target;
  for (int i = 0; i < app.m_sourceDics.GetSize(); ++i) {
    FormTarget(app, app.m_sourceDics[i], target);
    if (target.strPath.GetLength() >= kPathBufferSize) {
      CString strFileName(target.szBaseName);
      strFileName += kDicSuffix;
      ShowStopFormatted(msg::kTargetPathTooLongFmt, strFileName);
      return CInstallerApp::kStop;
    }
  }
  return CInstallerApp::kGoOn;
}

int InstallOneDictionary(CInstallerApp& app, const CString& strSource) {
  CTarget target;
  FormTarget(app, strSource, target);
  const char* pszBaseName = target.szBaseName;
  const CString& strTarget = target.strPath;

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
    strQuestion.Format(pszQuestion, pszBaseName);
    if (AfxMessageBox(strQuestion, kQuestionStyle) == IDNO) return CInstallerApp::kGoOn;
  }

  const CTargetPlan plan = {strTarget, bRegistered, bRegistered && nFileState == CInstallerApp::kTargetBusy};
  CRemovedNamesakes removed;
  try {
    if (plan.bBusy && ReleaseBusyTarget(app, strTarget, removed) == CInstallerApp::kStop) return CInstallerApp::kStop;
    if (!CopyIntoPlace(strSource, strTarget, app.m_strUserDicRoot)) {
      CString strText;
      strText.Format(msg::kCopyFailedFmt, pszBaseName);
      return StopPuttingBack(app.m_store, removed, strText);
    }
    return RegisterInPlaceOfNamesakes(app, plan, removed);
  } catch (...) {
    // Running out of memory midway must not cost the user what was taken out.
    PutBackNamesakes(app.m_store, removed);
    throw;
  }
}

}  // namespace

int CInstallerApp::InstallDictionaries() {
  if (!CheckTargetPaths(*this)) return kStop;
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
    if (!COptionDicStore::TidiedAsFarAsReadable(m_store.RemoveFromList(registered[i], DICLIST_REGISTERED))) return 1;
    if (!COptionDicStore::TidiedAsFarAsReadable(m_store.RemoveFromList(registered[i], DICLIST_ENABLED))) return 1;
  }
  // A duplicate left by a failure is tidied here, or it would stay for good.
  if (COptionDicStore::HasDuplicates(registered) &&
      !COptionDicStore::TidiedAsFarAsReadable(m_store.RemoveDuplicates(DICLIST_REGISTERED)))
    return 1;
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
