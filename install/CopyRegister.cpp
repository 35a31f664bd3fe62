// Copying the source dictionaries into the user dictionary folder and
// registering them, with the user's consent where something is overwritten.
#include <windows.h>

#include <cstring>

#include "app/InstallerApp.h"
#include "app/Messages.h"
#include "framework/Afx.h"
#include "notify/ImeBroadcast.h"
#include "winhost/FileSearch.h"
#include "winhost/PathFacts.h"
#include "winhost/ScopedHandles.h"

namespace {

const UINT kQuestionStyle = MB_YESNO | MB_ICONEXCLAMATION;
const char kTargetPathFormat[] = "%s\\%s.dic";

// The engine and the input method's windows need a moment to let go of a
// file after they were told to: up to 11 pauses with a probe between each.
const DWORD kReleasePauseMs = 50;
const int kMaxReleasePauses = 11;

// The copy that takes the target's place is made beside it, named as the
// target with this suffix added: the program's mark, so that a copy left by
// a run that stopped dead is told from anything else and removed by the next
// run. Where that name is taken, the next ones put a number before the mark.
const char kCopySuffix[] = ".LexPlant-copy";
const int kCopySuffixLength = sizeof(kCopySuffix) - 1;
const int kCopyNames = 10;

// A search that failed because the path does not exist. One that found
// nothing for another reason does not count.
bool SearchFindsNothingThere(const char* pszPath) { return IsNotFoundError(SearchError(pszPath)); }

bool AddedOrListed(int nAddResult) {
  return nAddResult == COptionDicStore::kAdded || nAddResult == COptionDicStore::kAlreadyListed;
}

// Tells why the step stops (pszText, if any); a put-back that failed adds
// the setting failure unless that is the reason already given.
int TellStop(const char* pszText, bool bPutBack) {
  if (pszText) ShowMessage(pszText);
  if (!bPutBack && (!pszText || strcmp(pszText, msg::kSettingFailed) != 0)) ShowMessage(msg::kSettingFailed);
  return CInstallerApp::kStop;
}

// The enabled entries taken out so that a held target is let go of. They
// are the user's choice, not the step's: they go back, to the end of the
// list, as soon as the target has been replaced or could not be. One the
// list still holds (a rewrite that failed midway may have kept it) is no
// reason to give up on the rest. Each is worth a second try, so that one
// failed call does not cost it; a put-back that still fails is told.
class CReleasedEntries {
 public:
  explicit CReleasedEntries(CInstallerApp& app) : m_app(app) {}
  CStringArray& List() { return m_entries; }
  // False when an entry could not go back. The engine, handed the list
  // without them, is behind the stored list from now on.
  bool PutBack() {
    if (!m_entries.IsEmpty()) m_app.m_bEngineBehind = 1;
    bool bDone = true;
    for (int i = 0; bDone && i < m_entries.GetSize(); ++i) {
      bDone = AddedOrListed(m_app.m_store.AddToList(m_entries[i], DICLIST_ENABLED)) ||
              AddedOrListed(m_app.m_store.AddToList(m_entries[i], DICLIST_ENABLED));
    }
    m_entries.RemoveAll();
    return bDone;
  }
  // False, having told the user, when an entry could not go back.
  bool PutBackOrTell() {
    if (PutBack()) return true;
    ShowMessage(msg::kSettingFailed);
    return false;
  }
  // Puts back, then tells why the step stops.
  int Stop(const char* pszText) {
    const bool bPutBack = PutBack();
    return TellStop(pszText, bPutBack);
  }

 private:
  CInstallerApp& m_app;
  CStringArray m_entries;
};

void WaitForRelease(CInstallerApp& app, const char* pszTarget) {
  for (int nPauses = 1;; ++nPauses) {
    Sleep(kReleasePauseMs);
    if (nPauses == kMaxReleasePauses) return;
    if (app.ProbeTargetFile(pszTarget) != CInstallerApp::kTargetBusy) return;
  }
}

// CopyFileA carries a read-only source's attribute over to the copy, which
// no later installation could then replace.
// True when the file is writable now. *pdwCleared (if given) receives the
// attributes to put back when it was read-only and was made writable, else 0.
bool ClearReadOnly(const char* pszPath, DWORD* pdwCleared = nullptr) {
  if (pdwCleared) *pdwCleared = 0;
  const DWORD dwAttributes = GetFileAttributesA(pszPath);
  if (dwAttributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((dwAttributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
  if (!SetFileAttributesA(pszPath, dwAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))) return false;
  if (pdwCleared) *pdwCleared = dwAttributes;
  return true;
}

bool IsOwnCopyName(const char* pszName) {
  const size_t nLength = strlen(pszName);
  return nLength > static_cast<size_t>(kCopySuffixLength) &&
         strcmp(pszName + nLength - kCopySuffixLength, kCopySuffix) == 0;
}

// Copies left by an earlier run that stopped dead: files only, under the
// program's own mark. The pattern also matches short names, so each long
// name is checked; a "." is never a trail byte, so the suffix is compared
// byte for byte. Tidying is no step of its own: what cannot be removed now
// is passed over by the copy's name and tried again later.
void RemoveLeftoverCopies(const char* pszFolder) {
  CString strPattern;
  strPattern.Format("%s\\*%s", pszFolder, kCopySuffix);
  CStringArray leftovers;
  WIN32_FIND_DATAA findData;
  {
    CScopedFindHandle find(FindFirstFileA(strPattern, &findData));
    if (!find.IsValid()) return;
    do {
      if ((findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && IsOwnCopyName(findData.cFileName)) {
        CString strPath;
        strPath.Format("%s\\%s", pszFolder, findData.cFileName);
        leftovers.Add(strPath);
      }
    } while (FindNextFileA(find.Get(), &findData));
  }
  for (int i = 0; i < leftovers.GetSize(); ++i) {
    if (ClearReadOnly(leftovers[i])) DeleteFileA(leftovers[i]);
  }
}

// The first of the copy's names that fits the host's 260-byte paths and
// that nothing takes (a folder, a file that could not be removed); empty
// when none does.
CString FreeCopyName(const CString& strTarget) {
  CString strCopy;
  for (int n = 1; n <= kCopyNames; ++n) {
    if (n == 1) {
      strCopy.Format("%s%s", strTarget.GetString(), kCopySuffix);
    } else {
      strCopy.Format("%s.%d%s", strTarget.GetString(), n, kCopySuffix);
    }
    if (strCopy.GetLength() >= kPathBufferSize) break;
    // Only a name surely unused is free: one whose attributes could not be
    // read for another reason may be taken.
    if (GetFileAttributesA(strCopy) == INVALID_FILE_ATTRIBUTES && IsNotFoundError(GetLastError())) return strCopy;
  }
  return CString();
}

// The user agreed to replace the target, so a read-only one (left by an
// earlier installation) is made writable first, and read-only again if it
// stays.
bool CopyOver(const char* pszSource, const char* pszTarget) {
  DWORD dwCleared = 0;
  ClearReadOnly(pszTarget, &dwCleared);
  if (CopyFileA(pszSource, pszTarget, FALSE)) {
    ClearReadOnly(pszTarget);
    return true;
  }
  if (dwCleared != 0) SetFileAttributesA(pszTarget, dwCleared);
  return false;
}

// The copy is made beside the target and then takes the target's place in
// one step, so a failure never leaves the target half written. Where no
// name beside it can be used, the file is copied straight over the target.
bool CopyIntoPlace(const char* pszSource, const CString& strTarget) {
  const CString strCopy = FreeCopyName(strTarget);
  if (strCopy.IsEmpty()) return CopyOver(pszSource, strTarget);
  if (!CopyFileA(pszSource, strCopy, FALSE) || !ClearReadOnly(strCopy)) {
    DeleteFileA(strCopy);
    return false;
  }
  // Whether the target could be made writable is the replacement's to tell.
  DWORD dwCleared = 0;
  ClearReadOnly(strTarget, &dwCleared);
  if (MoveFileExA(strCopy, strTarget, MOVEFILE_REPLACE_EXISTING)) return true;
  if (dwCleared != 0) SetFileAttributesA(strTarget, dwCleared);
  DeleteFileA(strCopy);
  return false;
}

// What the step does with one target.
struct CTargetPlan {
  const char* pszTarget;
  bool bRegistered;  // a namesake is registered: it leaves once the target is registered
  bool bBusy;        // and the file is held open: release it before the copy
};

// A busy target's enabled namesakes leave the enabled list before the copy,
// so that the engine and the input method, told of the new list, let go of
// the file. Nothing else is taken out.
int ReleaseBusyTarget(CInstallerApp& app, const char* pszTarget, CReleasedEntries& released) {
  if (app.m_store.RemoveFromList(pszTarget, DICLIST_ENABLED, &released.List()) != COptionDicStore::kRewritten) {
    return released.Stop(msg::kSettingFailed);
  }
  if (!app.NotifyEngine()) return released.Stop(msg::kSettingFailed);
  NotifyImeWindows();
  WaitForRelease(app, pszTarget);
  return CInstallerApp::kGoOn;
}

// Namesakes at other paths leave the registered list, then the enabled
// list as far as their registrations surely went: all of them when the
// registered list was read in full, else those it gave up. An entry that
// cannot be read may be one of them; it stays, and so do the enabled
// entries it may register, for a later run to try again.
bool RemoveNamesakesElsewhere(COptionDicStore& store, const char* pszTarget) {
  CStringArray unregistered;
  const COptionDicStore::RewriteResult result = store.RemoveNamesakes(pszTarget, DICLIST_REGISTERED, unregistered);
  if (!COptionDicStore::TidiedAsFarAsReadable(result)) return false;
  if (result == COptionDicStore::kRewritten) {
    CStringArray disabled;
    return COptionDicStore::TidiedAsFarAsReadable(store.RemoveNamesakes(pszTarget, DICLIST_ENABLED, disabled));
  }
  for (int i = 0; i < unregistered.GetSize(); ++i) {
    if (!COptionDicStore::TidiedAsFarAsReadable(store.RemoveFromList(unregistered[i], DICLIST_ENABLED))) return false;
  }
  return true;
}

// Once the file is in place it is registered (a registration at its own
// path simply stays), and only then do namesakes at other paths leave the
// registered list and after it the enabled list. A run that stops anywhere
// leaves the name registered, and an entry that is still registered still
// enabled; an enabled entry left without its registration is the enabling
// step's to drop. Only a full registered list, where the target fits once a
// namesake has gone, takes them the other way round. nullptr when it went
// on, else why the step stops.
const char* RegisterInPlaceOfNamesakes(CInstallerApp& app, const CTargetPlan& plan) {
  COptionDicStore::AddResult added = app.m_store.AddToList(plan.pszTarget, DICLIST_REGISTERED);
  bool bNamesakesGone = false;
  if (added == COptionDicStore::kListFull && plan.bRegistered) {
    if (!RemoveNamesakesElsewhere(app.m_store, plan.pszTarget)) return msg::kSettingFailed;
    bNamesakesGone = true;
    added = app.m_store.AddToList(plan.pszTarget, DICLIST_REGISTERED);
  }
  switch (added) {
    case COptionDicStore::kAdded:
    case COptionDicStore::kAlreadyListed:
      break;
    case COptionDicStore::kListFull:
      return msg::kRegisterLimit;
    default:
      return msg::kSettingFailed;
  }
  if (plan.bRegistered && !bNamesakesGone && !RemoveNamesakesElsewhere(app.m_store, plan.pszTarget)) {
    return msg::kSettingFailed;
  }
  app.m_installedDics.Add(plan.pszTarget);
  return nullptr;
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
      ShowMessageFormatted(msg::kTargetPathTooLongFmt, strFileName);
      return CInstallerApp::kStop;
    }
  }
  return CInstallerApp::kGoOn;
}

// A registered namesake whose file is gone is one that pruning could not
// take out, an entry that cannot be read being in the way. It registers
// nothing the user could lose, so the question is decided as if it had gone.
bool OnlyGoneNamesakes(CInstallerApp& app, const char* pszTarget) {
  CStringArray registered;
  if (app.m_store.ReadList(registered, DICLIST_REGISTERED) != COptionDicStore::kRead) return false;
  for (int i = 0; i < registered.GetSize(); ++i) {
    if (COptionDicStore::SameFileName(registered[i], pszTarget) && !FileSurelyGone(registered[i])) return false;
  }
  return true;
}

int InstallOneDictionary(CInstallerApp& app, const CString& strSource) {
  CTarget target;
  FormTarget(app, strSource, target);
  const char* pszBaseName = target.szBaseName;
  const CString& strTarget = target.strPath;

  const COptionDicStore::FindResult found = app.m_store.FindInList(strTarget, DICLIST_REGISTERED);
  // Not knowing whether a namesake is registered, the step could neither ask
  // the right question nor take the namesake out of the lists.
  if (found == COptionDicStore::kFindNotReady) {
    ShowMessage(msg::kSettingFailed);
    return CInstallerApp::kStop;
  }
  const bool bRegistered = found == COptionDicStore::kPathListed ||
                           (found == COptionDicStore::kSameFileNameListed && !OnlyGoneNamesakes(app, strTarget));
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
    // Only a clear yes replaces anything: a box that failed is no consent.
    if (AfxMessageBox(strQuestion, kQuestionStyle) != IDYES) return CInstallerApp::kGoOn;
  }

  const CTargetPlan plan = {strTarget, bRegistered, bRegistered && nFileState == CInstallerApp::kTargetBusy};
  CReleasedEntries released(app);
  bool bPutBack = true;
  try {
    if (plan.bBusy && ReleaseBusyTarget(app, strTarget, released) == CInstallerApp::kStop) return CInstallerApp::kStop;
    if (!CopyIntoPlace(strSource, strTarget)) {
      CString strText;
      strText.Format(msg::kCopyFailedFmt, pszBaseName);
      return released.Stop(strText);
    }
    bPutBack = released.PutBack();
  } catch (...) {
    // Running out of memory midway must not cost the user what was taken out.
    released.PutBackOrTell();
    throw;
  }
  // The file is in place: it is registered even when a put-back failed,
  // which is told after.
  const char* pszStop = RegisterInPlaceOfNamesakes(app, plan);
  if (bPutBack && !pszStop) return CInstallerApp::kGoOn;
  return TellStop(pszStop, bPutBack);
}

}  // namespace

int CInstallerApp::InstallDictionaries() {
  if (!CheckTargetPaths(*this)) return kStop;
  if (PruneMissingRegistrations() != kPruned) {
    ShowMessage(msg::kRegisterFailed);
    return kStop;
  }
  RemoveLeftoverCopies(m_strUserDicRoot);

  const int nSources = m_sourceDics.GetSize();
  m_installedDics.RemoveAll();
  for (int i = 0; i < nSources; ++i) {
    if (InstallOneDictionary(*this, m_sourceDics[i]) == kStop) {
      // No enabling step follows to hand the engine the list.
      CatchUpEngine();
      return kStop;
    }
  }
  return kGoOn;
}

int CInstallerApp::CatchUpEngine() {
  if (!m_bEngineBehind) return 0;
  NotifyEngine();
  NotifyImeWindows();
  return 1;
}

int CInstallerApp::PruneMissingRegistrations() {
  CStringArray registered;
  if (m_store.ReadList(registered, DICLIST_REGISTERED) != COptionDicStore::kRead) return kPruneFailed;

  for (int i = 0; i < registered.GetSize(); ++i) {
    if (!FileSurelyGone(registered[i])) continue;
    // The file is gone, so its enabled entry goes too, whatever an entry that
    // cannot be read keeps registered: nothing is lost with it.
    if (!COptionDicStore::TidiedAsFarAsReadable(m_store.RemoveFromList(registered[i], DICLIST_REGISTERED)) ||
        !COptionDicStore::TidiedAsFarAsReadable(m_store.RemoveFromList(registered[i], DICLIST_ENABLED))) {
      return kPruneFailed;
    }
  }
  // A duplicate left by a failure is tidied here, or it would stay for good.
  if (COptionDicStore::HasDuplicates(registered) &&
      !COptionDicStore::TidiedAsFarAsReadable(m_store.RemoveDuplicates(DICLIST_REGISTERED)))
    return kPruneFailed;
  return kPruned;
}

int CInstallerApp::ProbeTargetFile(const char* pszPath) {
  // A search that failed for another reason leaves the open to decide.
  if (SearchFindsNothingThere(pszPath)) return kTargetAbsent;

  CScopedFileHandle file(
      CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.IsValid()) return kTargetFree;
  return IsNotFoundError(GetLastError()) ? kTargetAbsent : kTargetBusy;
}
