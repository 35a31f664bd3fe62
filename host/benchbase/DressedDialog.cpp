// A one-dialog program dressed as the installer is: its manifest, its dialog
// font and shape, the same Windows libraries imported and the host's common
// library loaded by full path with its four entry points looked up. What is
// left between this and the installer's first dialog is our own work.
#include "benchbase/BaseDialog.h"
// after windows.h
#include <shellapi.h>

#include <string>

#include "common/HostLayout.h"
#include "common/HostUtil.h"

namespace {

const char* const kCommonEntries[] = {"_QLMS_GenerateUserDicRootPath@12", "_QLMR_GetRegValueA@28",
                                      "_QLMR_SetRegValueA@28", "_QLMR_DeleteRegKeyDataA@20"};

// Referenced, never called, so that the import table names the libraries
// the installer imports.
const void* volatile g_imports[] = {reinterpret_cast<const void*>(&ShellExecuteA),
                                        reinterpret_cast<const void*>(&RegOpenKeyExA)};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  char folder[MAX_PATH] = {};
  GetSystemDirectoryA(folder, sizeof(folder));
  HMODULE common = LoadLibraryExA(host::JoinPath(folder, host::kCommonDll).c_str(), nullptr,
                                  LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  for (const char* entry : kCommonEntries) {
    if (common) GetProcAddress(common, entry);
  }
  INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(kBaseDialogId), nullptr, BaseDialogProc, 0);
  if (common) FreeLibrary(common);
  return static_cast<int>(result + (g_imports[0] == nullptr) + (g_imports[1] == nullptr));
}
