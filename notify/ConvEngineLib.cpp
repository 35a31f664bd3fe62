#include "notify/ConvEngineLib.h"

#include <string.h>

#include "winhost/BindEntryPoint.h"
#include "winhost/HostInstallPath.h"
#include "winhost/HostLibrary.h"
#include "winhost/ScopedHandles.h"

namespace {

const char kEngineSuffix[] = "\\CMD\\HRNCNV.DLL";
const char kEntryPoint[] = "otwc0003_5000gTop";

const int kEngineCommand = 22;
const size_t kLayoutOffset = 284;
const WORD kLayoutValue = 5;
const size_t kBufferSizeOffset = 308;
const size_t kBufferAddressOffset = 312;
const DWORD kEngineStatusMask = 0xFFFF;

static_assert(kBufferAddressOffset + sizeof(void*) <= static_cast<size_t>(CConvEngineLib::kBlockSize),
              "the buffer address must fit in the block");

// The engine's full path from a fresh read of "InstallPath"; false when the
// value is missing or empty, or the path would not fit in MAX_PATH bytes.
bool GetEnginePath(char (&szPath)[MAX_PATH]) {
  if (!ReadHostInstallPath(szPath)) return false;
  const size_t cchInstall = strlen(szPath);
  if (cchInstall + sizeof(kEngineSuffix) > sizeof(szPath)) return false;
  memcpy(szPath + cchInstall, kEngineSuffix, sizeof(kEngineSuffix));
  return true;
}

void PutWord(BYTE* pBlock, size_t offset, WORD value) { memcpy(pBlock + offset, &value, sizeof(value)); }

// Appends each entry with its terminator at *pUsed; false when one would
// reach the buffer's last byte, which must stay the closing empty string.
bool PackList(const CStringArray& list, BYTE* pBuffer, size_t* pUsed) {
  const size_t kLimit = CConvEngineLib::kListBufferSize;
  for (int i = 0; i < list.GetSize(); ++i) {
    const CString& entry = list[i];
    const size_t cbEntry = static_cast<size_t>(entry.GetLength()) + 1;
    if (*pUsed + cbEntry >= kLimit) return false;
    memcpy(pBuffer + *pUsed, entry.GetString(), cbEntry);
    *pUsed += cbEntry;
  }
  return true;
}

}  // namespace

CConvEngineLib::CConvEngineLib() { Load(); }

CConvEngineLib::~CConvEngineLib() { Unload(); }

int CConvEngineLib::Load() {
  if (m_hEngineLib.IsValid()) return 1;
  char szPath[MAX_PATH];
  if (!GetEnginePath(szPath)) return 0;
  // What the engine imports comes from its own folder and the system folder.
  m_hEngineLib.Reset(LoadLibraryByFullPath(szPath));
  return m_hEngineLib.IsValid() ? 1 : 0;
}

void CConvEngineLib::Unload() { m_hEngineLib.Close(); }

int CConvEngineLib::SendDictionaryList(const CStringArray& enabled, const CStringArray& assistant) {
  if (!m_hEngineLib.IsValid()) return kNotLoaded;

  CScopedGlobal block(GlobalAlloc(GPTR, kBlockSize));
  if (!block.IsValid()) return kNoRoom;
  CScopedGlobal buffer(GlobalAlloc(GPTR, kListBufferSize));
  if (!buffer.IsValid()) return kNoRoom;

  // GPTR blocks are fixed: the handle is the block's address.
  BYTE* pBlock = static_cast<BYTE*>(block.Get());
  BYTE* pBuffer = static_cast<BYTE*>(buffer.Get());
  // The engine reads the buffer's address from the block. On a 64-bit build
  // the whole pointer is stored there: the block has room for it, and a
  // truncated address would send the engine elsewhere.
  memcpy(pBlock + kBufferAddressOffset, &pBuffer, sizeof(pBuffer));
  PutWord(pBlock, kBufferSizeOffset, static_cast<WORD>(kListBufferSize));

  size_t cbUsed = 0;
  if (!PackList(enabled, pBuffer, &cbUsed) || !PackList(assistant, pBuffer, &cbUsed)) return kNoRoom;

  PutWord(pBlock, kLayoutOffset, kLayoutValue);
  const PFN_EngineTop pfnTop = BindEntryPoint<PFN_EngineTop>(m_hEngineLib.Get(), kEntryPoint);
  if (pfnTop == nullptr) return kNoEntryPoint;
  const DWORD dwStatus = static_cast<DWORD>(pfnTop(kEngineCommand, pBlock));
  return (dwStatus & kEngineStatusMask) == 0 ? kAccepted : kRefused;
}
