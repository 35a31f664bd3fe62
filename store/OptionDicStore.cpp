#include "store/OptionDicStore.h"

#include <cstring>

#include "store/OptionDicStoreInternal.h"
#include "winhost/BindEntryPoint.h"
#include "winhost/HostLibrary.h"
#include "winhost/PathCompare.h"

namespace {

const char kCommonLibraryFile[] = "HRNCMN10.DLL";
const char kExportGenerateUserDicRootPath[] = "_QLMS_GenerateUserDicRootPath@12";
const char kExportGetRegValue[] = "_QLMR_GetRegValueA@28";
const char kExportSetRegValue[] = "_QLMR_SetRegValueA@28";
const char kExportDeleteRegKeyData[] = "_QLMR_DeleteRegKeyDataA@20";

const DWORD kReadFlags = 1;
const DWORD kWriteFlags = 0x8001;  // the read flag plus 0x8000
const DWORD kReserved = 0;
const DWORD kDeleteSingleValue = 1;
const DWORD kDwordSize = sizeof(DWORD);

const char kOptionDicPathFormat[] = "OptionDic\\%s";
const char kAssistantCountPath[] = "AssistantDic\\AssistantDicNum";
const char kAssistantFirstPath[] = "AssistantDic\\AssistantDic1";

HKEY SettingsRoot() { return HKEY_CURRENT_USER; }

}  // namespace

CString OptionDicPath(const char* pszName) {
  CString path;
  path.Format(kOptionDicPathFormat, pszName);
  return path;
}

COptionDicStore::COptionDicStore()
    : m_bOutOfMemory(false),
      m_pfnGenerateUserDicRootPath(nullptr),
      m_pfnGetRegValue(nullptr),
      m_pfnSetRegValue(nullptr),
      m_pfnDeleteRegKeyData(nullptr) {
  // The store is built with the program's global objects, where an exception
  // would end the process before the user saw anything.
  try {
    Bind();
  } catch (...) {
    AfxCatchOutOfMemory(AfxOutOfMemory::kRelease);
    Unbind();
    m_bOutOfMemory = true;
  }
}

COptionDicStore::~COptionDicStore() { Unbind(); }

void COptionDicStore::Bind() {
  // Never by bare name: the program's own folder, searched first, may hold
  // anything a browser downloaded. A search that fails loads nothing.
  CString strPath;
  if (FindLibraryOutsideProgramFolder(kCommonLibraryFile, strPath) != kLibraryFound) return;
  m_hLibrary.Reset(LoadLibraryByFullPath(strPath));
  const HMODULE hLibrary = m_hLibrary.Get();
  if (!hLibrary) return;
  m_pfnGenerateUserDicRootPath = BindEntryPoint<PFN_GenerateUserDicRootPath>(hLibrary, kExportGenerateUserDicRootPath);
  m_pfnGetRegValue = BindEntryPoint<PFN_GetRegValue>(hLibrary, kExportGetRegValue);
  m_pfnSetRegValue = BindEntryPoint<PFN_SetRegValue>(hLibrary, kExportSetRegValue);
  m_pfnDeleteRegKeyData = BindEntryPoint<PFN_DeleteRegKeyData>(hLibrary, kExportDeleteRegKeyData);
}

void COptionDicStore::Unbind() {
  m_hLibrary.Close();
  m_pfnGenerateUserDicRootPath = nullptr;
  m_pfnGetRegValue = nullptr;
  m_pfnSetRegValue = nullptr;
  m_pfnDeleteRegKeyData = nullptr;
}

int COptionDicStore::RanOutOfMemory() const { return m_bOutOfMemory ? 1 : 0; }

int COptionDicStore::IsReady() const {
  return m_hLibrary.IsValid() && m_pfnGenerateUserDicRootPath && m_pfnGetRegValue && m_pfnSetRegValue &&
                 m_pfnDeleteRegKeyData
             ? 1
             : 0;
}

int COptionDicStore::GetUserDicRootPath(char* pszBuffer, const char* pszKind, int nFlag) {
  if (!IsReady()) return 0;
  return m_pfnGenerateUserDicRootPath(pszBuffer, pszKind, nFlag);
}

int COptionDicStore::CallGet(const char* pszPath, DWORD dwType, void* pData, DWORD* pcbData) {
  return m_pfnGetRegValue(SettingsRoot(), kReadFlags, kReserved, pszPath, dwType, pData, pcbData);
}

int COptionDicStore::GetPathValue(const char* pszValuePath, CString& strValue) {
  // One byte beyond the offered capacity keeps the text terminated whatever
  // the library writes.
  char szValue[kPathBufferSize + 1] = {0};
  DWORD cbCapacity = kPathBufferSize;
  const int result = CallGet(pszValuePath, REG_SZ, szValue, &cbCapacity);
  if (result == kStoreOk) strValue = szValue;
  return result;
}

int COptionDicStore::GetDword(const char* pszName, DWORD* pdwValue) {
  if (!IsReady()) return kStoreNotReady;
  DWORD cbData = kDwordSize;
  return CallGet(OptionDicPath(pszName), REG_DWORD, pdwValue, &cbData);
}

int COptionDicStore::GetString(const char* pszName, char* pszBuffer, DWORD* pcbCapacity) {
  if (!IsReady()) return kStoreNotReady;
  return CallGet(OptionDicPath(pszName), REG_SZ, pszBuffer, pcbCapacity);
}

int COptionDicStore::CallSetDword(const char* pszPath, DWORD dwValue) {
  return m_pfnSetRegValue(SettingsRoot(), kWriteFlags, kReserved, pszPath, REG_DWORD, &dwValue, kDwordSize);
}

int COptionDicStore::CallSetString(const char* pszPath, const char* pszValue) {
  DWORD cbData = static_cast<DWORD>(std::strlen(pszValue)) + 1;
  return m_pfnSetRegValue(SettingsRoot(), kWriteFlags, kReserved, pszPath, REG_SZ, pszValue, cbData);
}

int COptionDicStore::CallDelete(const char* pszPath) {
  return m_pfnDeleteRegKeyData(SettingsRoot(), kReadFlags, kReserved, kDeleteSingleValue, pszPath);
}

int COptionDicStore::SetDword(const char* pszName, DWORD dwValue) {
  if (!IsReady()) return kStoreNotReady;
  return CallSetDword(OptionDicPath(pszName), dwValue);
}

int COptionDicStore::SetString(const char* pszName, const char* pszValue) {
  if (!IsReady()) return kStoreNotReady;
  return CallSetString(OptionDicPath(pszName), pszValue);
}

int COptionDicStore::DeleteValue(const char* pszName) {
  if (!IsReady()) return kStoreNotReady;
  return CallDelete(OptionDicPath(pszName));
}

int COptionDicStore::ReadAssistantDics(CStringArray& list) {
  if (!IsReady()) return kStoreNotReady;
  list.RemoveAll();

  DWORD dwCount = 0;
  DWORD cbData = kDwordSize;
  int result = CallGet(kAssistantCountPath, REG_DWORD, &dwCount, &cbData);
  if (IsAbsentResult(result)) return kStoreOk;
  if (result != kStoreOk) return kStoreFailed;
  if (dwCount == 0) return kStoreOk;

  CString strPath;
  result = GetPathValue(kAssistantFirstPath, strPath);
  if (IsAbsentResult(result)) return kStoreOk;
  if (result != kStoreOk) return kStoreFailed;
  list.Add(strPath);
  return kStoreOk;
}

int COptionDicStore::NormalizePath(const char* pszSource, char* pszDest) {
  return NormalizeHostPath(pszSource, pszDest);
}

int COptionDicStore::ComparePaths(const char* pszFirst, const char* pszSecond) {
  return CompareHostPaths(pszFirst, pszSecond);
}
