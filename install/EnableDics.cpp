// Making the dictionaries installed in this run active at once.
#include <windows.h>

#include "app/InstallerApp.h"
#include "app/Messages.h"
#include "framework/Afx.h"
#include "winhost/FileSearch.h"
#include "winhost/ScopedHandles.h"

namespace {

// Whether the engine could read the file while others keep it open.
bool CanOpenForReading(const char* pszPath) {
  CScopedFileHandle file(CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid();
}

// Not being able to enable is a warning: the user can still pick the
// dictionaries in the toolkit, so the run goes on.
int WarnCannotEnable() {
  ShowMessage(msg::kCannotEnable);
  return CInstallerApp::kGoOn;
}

}  // namespace

int CInstallerApp::EnableInstalledDics(const CStringArray& installed) {
  CStringArray enabled;
  if (m_store.ReadList(enabled, DICLIST_ENABLED) != COptionDicStore::kRead) return WarnCannotEnable();

  // A duplicate left by a failure must not take one of the places.
  if (COptionDicStore::HasDuplicates(enabled) &&
      !COptionDicStore::TidiedAsFarAsReadable(m_store.RemoveDuplicates(DICLIST_ENABLED))) {
    return WarnCannotEnable();
  }
  for (int i = 0; i < enabled.GetSize(); ++i) {
    int bUnsure = 0;
    const COptionDicStore::FindResult found = m_store.FindInList(enabled[i], DICLIST_REGISTERED, &bUnsure);
    // An entry whose registration could not be told must open like a
    // registered one, unless its file is surely gone: then dropping it
    // loses nothing.
    if (found != COptionDicStore::kNotListed || (bUnsure && !FileSurelyGone(enabled[i]))) {
      if (!CanOpenForReading(enabled[i])) return WarnCannotEnable();
    } else if (!COptionDicStore::TidiedAsFarAsReadable(m_store.RemoveFromList(enabled[i], DICLIST_ENABLED))) {
      return WarnCannotEnable();
    }
  }

  for (int i = 0; i < installed.GetSize(); ++i) {
    switch (m_store.AddToList(installed[i], DICLIST_ENABLED)) {
      case COptionDicStore::kAdded:
      case COptionDicStore::kAlreadyListed:
        break;
      case COptionDicStore::kListFull:
        ShowMessage(msg::kEnableLimit);
        return kGoOn;
      default:
        ShowMessage(msg::kSettingFailed);
        return kStop;
    }
  }

  if (!NotifyEngine()) return WarnCannotEnable();
  return kGoOn;
}
