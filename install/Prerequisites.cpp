// Prerequisites of the installation: the host's install folder, a usable
// store, the dictionary files beside the program and the user dictionary
// folder.
#include <windows.h>

#include <string.h>

#include "app/InstallerApp.h"
#include "app/Messages.h"
#include "framework/Afx.h"
#include "winhost/HostInstallPath.h"
#include "winhost/PathFacts.h"
#include "winhost/ScopedHandles.h"

namespace {

const char kSourceFolderName[] = "option";
const char kAllEntriesPattern[] = "\\*.*";
const char kUserDicKind[] = "odic";
const int kUserDicFlag = 1;
const DWORD kSkippedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

char FoldAsciiLower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

// The last four bytes against ".dic", deliberately bytewise: a name shorter
// than the suffix is compared whole and so never matches.
bool HasDicSuffix(const char* pszName) {
  const size_t nLength = strlen(pszName);
  if (nLength < static_cast<size_t>(kDicSuffixLength)) return false;
  const char* pszTail = pszName + nLength - kDicSuffixLength;
  for (int i = 0; i < kDicSuffixLength; ++i) {
    if (FoldAsciiLower(pszTail[i]) != kDicSuffix[i]) return false;
  }
  return true;
}

}  // namespace

int CInstallerApp::CheckHostInstalled() {
  // Memory ran out while the program started: the same to the user as
  // running out now.
  if (m_store.RanOutOfMemory()) AfxThrowMemoryException();
  CString strInstallPath;
  if (!ReadInstallPath(strInstallPath)) return kStop;
  if (!m_store.IsReady()) {
    ShowMessage(msg::kHostInvalid);
    return kStop;
  }
  return kGoOn;
}

int CInstallerApp::ReadInstallPath(CString& strPath) {
  strPath.Empty();
  char szValue[kPathBufferSize];
  if (ReadHostInstallPath(szValue)) strPath = szValue;

  if (strPath.IsEmpty()) {
    ShowMessage(msg::kHostNotInstalled);
    return kStop;
  }
  m_strInstallPath = strPath;
  return kGoOn;
}

int CInstallerApp::PrepareSources() {
  if (!CollectSourceDics(m_sourceDics)) return kStop;

  char* pszRoot = m_strUserDicRoot.GetBuffer(kPathBufferSize);
  const int nResult = m_store.GetUserDicRootPath(pszRoot, kUserDicKind, kUserDicFlag);
  // A folder filling the whole buffer without a terminator has no end we
  // could trust, as for the install folder: it counts as not obtained.
  const int nRootLength = static_cast<int>(strnlen(pszRoot, kPathBufferSize));
  m_strUserDicRoot.ReleaseBuffer(nRootLength < kPathBufferSize ? nRootLength : 0);

  if (nResult == 0 || m_strUserDicRoot.IsEmpty()) {
    ShowMessage(msg::kNoUserDicRoot);
    return kStop;
  }
  return kGoOn;
}

int CInstallerApp::GetSourceFolder(CString& strFolder) {
  strFolder.Empty();
  char* pszModule = strFolder.GetBuffer(kPathBufferSize);
  const DWORD nModule = GetModuleFileNameA(m_hInstance, pszModule, kPathBufferSize);
  // A full buffer means the path was cut (and, on older Windows, left without
  // its NUL): no folder can be derived from it.
  strFolder.ReleaseBuffer(nModule < static_cast<DWORD>(kPathBufferSize) ? static_cast<int>(nModule) : 0);
  if (strFolder.IsEmpty()) {
    ShowMessage(msg::kOutOfMemory);
    return kStop;
  }

  char szDrive[AFX_MAX_DRIVE];
  char szDir[AFX_MAX_DIR];
  char szName[AFX_MAX_FNAME];
  char szExt[AFX_MAX_EXT];
  AfxSplitPath(strFolder, szDrive, szDir, szName, szExt);
  // The split cuts a part longer than its buffer (a UNC folder beyond 255
  // bytes): the folder rebuilt from a cut part would name another place.
  const size_t nSplitLength = strlen(szDrive) + strlen(szDir) + strlen(szName) + strlen(szExt);
  BOOL bBuilt = FALSE;
  if (nSplitLength == static_cast<size_t>(strFolder.GetLength())) {
    bBuilt = AfxMakePath(strFolder.GetBuffer(kPathBufferSize), kPathBufferSize, szDrive, szDir, nullptr, nullptr);
    strFolder.ReleaseBuffer();
  }
  if (!bBuilt) {
    strFolder.Empty();
    ShowMessage(msg::kOutOfMemory);
    return kStop;
  }
  strFolder += kSourceFolderName;
  return kGoOn;
}

int CInstallerApp::CollectSourceDics(CStringArray& list) {
  list.RemoveAll();

  CString strFolder;
  if (!GetSourceFolder(strFolder)) return kStop;

  WIN32_FIND_DATAA findData;
  CScopedFindHandle find(FindFirstFileA(strFolder + kAllEntriesPattern, &findData));
  DWORD dwListingEnd = ERROR_NO_MORE_FILES;
  for (BOOL bEntry = find.IsValid(); bEntry; bEntry = FindNextFileA(find.Get(), &findData)) {
    if ((findData.dwFileAttributes & kSkippedAttributes) != 0) continue;
    // cFileName is the system's, always terminated within MAX_PATH.
    if (!HasDicSuffix(findData.cFileName)) continue;
    // The copy step and the host keep paths in 260-byte buffers; a longer
    // one is refused now, before anything has been changed.
    if (strFolder.GetLength() + 1 + static_cast<int>(strlen(findData.cFileName)) >= kPathBufferSize) {
      find.Close();
      list.RemoveAll();
      ShowMessageFormatted(msg::kSourcePathTooLongFmt, findData.cFileName);
      return kStop;
    }
    CString strPath;
    strPath.Format("%s\\%s", static_cast<const char*>(strFolder), findData.cFileName);
    list.Add(strPath);
  }
  if (find.IsValid()) dwListingEnd = GetLastError();
  find.Close();

  // A listing cut short would install some dictionaries and silently leave
  // out the rest.
  if (dwListingEnd != ERROR_NO_MORE_FILES) {
    list.RemoveAll();
    ShowMessage(msg::kSourceListFailed);
    return kStop;
  }
  if (list.IsEmpty()) {
    ShowMessage(msg::kNoSourceDics);
    return kStop;
  }
  return kGoOn;
}
