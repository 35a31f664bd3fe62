// A library named like the host's common library, for the tests to put where
// nothing may load it from (beside the installer). Its only work: record that
// it was loaded, by whom, in C:\HRNCMN10.PLANTED.LOG. It exports nothing.
#include <windows.h>

#include <string>

#include "common/HostUtil.h"

namespace {

const char kPlantedLog[] = "C:\\HRNCMN10.PLANTED.LOG";

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, sizeof(path));
  return path;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    host::AppendLine(kPlantedLog, "loaded\t" + host::EscapeLine(ModulePath(instance).c_str()) + "\t" +
                                      host::EscapeLine(ModulePath(nullptr).c_str()));
  }
  return TRUE;
}
