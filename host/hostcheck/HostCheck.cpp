// Calls the stand-in host the way the installer does, so that the harness
// can prove the host and the driver before the installer itself is there.
//
//   hostcheck common           exercise the common library's four entry points
//   hostcheck engine PATH...   hand the engine PATHs as the list
//   hostcheck notify           send the reload notification to marked windows
//   hostcheck msgbox STYLE TEXT
//                              show a message box with the installer's caption
//
// Prints one result a line (code page 932, escaped).
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/HostLayout.h"
#include "common/HostUtil.h"

namespace {

constexpr char kCaption[] = "オプション辞書インストール";
const HKEY kUserRoot = HKEY_CURRENT_USER;
constexpr DWORD kReadFlags = 1;
constexpr DWORD kWriteFlags = 0x8001;
constexpr DWORD kDeleteSingle = 1;
constexpr int kEngineCommand = 22;
constexpr size_t kBlockSize = 788;
constexpr size_t kListSize = 16384;
constexpr WPARAM kImnPrivate = 14;
constexpr LPARAM kReloadCode = 1975;

using GenerateFn = int(__stdcall*)(char*, const char*, int);
using GetFn = int(__stdcall*)(HKEY, DWORD, DWORD, const char*, DWORD, void*, DWORD*);
using SetFn = int(__stdcall*)(HKEY, DWORD, DWORD, const char*, DWORD, const void*, DWORD);
using DeleteFn = int(__stdcall*)(HKEY, DWORD, DWORD, DWORD, const char*);
using EngineFn = int(__cdecl*)(int, void*);

void Say(const std::string& line) { host::WriteOut(line + "\n"); }

template <typename Fn>
Fn Entry(HMODULE lib, const char* name) {
  // Through the generic function type, which the compiler lets pass.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(lib, name)));
}

int Common() {
  HMODULE lib = LoadLibraryA(host::kCommonDll);
  if (!lib) {
    Say("load\tfailed");
    return 1;
  }
  auto generate = Entry<GenerateFn>(lib, "_QLMS_GenerateUserDicRootPath@12");
  auto get = Entry<GetFn>(lib, "_QLMR_GetRegValueA@28");
  auto set = Entry<SetFn>(lib, "_QLMR_SetRegValueA@28");
  auto del = Entry<DeleteFn>(lib, "_QLMR_DeleteRegKeyDataA@20");
  if (!generate || !get || !set || !del) {
    Say("entry\tmissing");
    FreeLibrary(lib);
    return 1;
  }
  char root[MAX_PATH] = {};
  int r = generate(root, "odic", 1);
  Say("root\t" + std::to_string(r) + "\t" + host::EscapeLine(root));

  DWORD n = 7, size = sizeof(n);
  Say("setdw\t" + std::to_string(set(kUserRoot, kWriteFlags, 0, "CheckKey\\Number", REG_DWORD, &n, sizeof(n))));
  const char text[] = "C:\\表\\Check.dic";
  Say("setsz\t" + std::to_string(set(kUserRoot, kWriteFlags, 0, "CheckKey\\Text", REG_SZ, text, sizeof(text))));
  DWORD back = 0;
  r = get(kUserRoot, kReadFlags, 0, "checkkey\\NUMBER", REG_DWORD, &back, &size);
  Say("getdw\t" + std::to_string(r) + "\t" + std::to_string(back));
  char buf[MAX_PATH] = {};
  size = sizeof(buf);
  r = get(kUserRoot, kReadFlags, 0, "CheckKey\\text", REG_SZ, buf, &size);
  Say("getsz\t" + std::to_string(r) + "\t" + host::EscapeLine(buf));
  size = sizeof(back);
  Say("wrongtype\t" + std::to_string(get(kUserRoot, kReadFlags, 0, "CheckKey\\Text", REG_DWORD, &back, &size)));
  size = sizeof(back);
  Say("nokey\t" + std::to_string(get(kUserRoot, kReadFlags, 0, "NoSuchKey\\Number", REG_DWORD, &back, &size)));
  size = sizeof(back);
  Say("novalue\t" + std::to_string(get(kUserRoot, kReadFlags, 0, "CheckKey\\Missing", REG_DWORD, &back, &size)));
  Say("delete\t" + std::to_string(del(kUserRoot, kReadFlags, 0, kDeleteSingle, "CheckKey\\Number")));
  Say("deleteagain\t" + std::to_string(del(kUserRoot, kReadFlags, 0, kDeleteSingle, "CheckKey\\Number")));
  FreeLibrary(lib);
  return 0;
}

int Engine(int argc, char** argv) {
  char install[MAX_PATH] = {};
  DWORD size = sizeof(install) - 1;
  HKEY h;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, host::kHostKey, 0, KEY_READ, &h) == ERROR_SUCCESS) {
    RegQueryValueExA(h, host::kInstallPathValue, nullptr, nullptr, reinterpret_cast<BYTE*>(install), &size);
    RegCloseKey(h);
  }
  std::string path = host::JoinPath(host::JoinPath(install, host::kCmdFolder), host::kEngineDll);
  // The list is NUL-separated paths closed by an empty one, all inside the
  // engine's fixed buffer; a longer list is refused here, not truncated.
  std::vector<char> list(kListSize);
  size_t pos = 0;
  for (int i = 0; i < argc; ++i) {
    size_t len = strlen(argv[i]);
    if (len + 1 >= kListSize - pos) {
      Say("engine\tlist too long");
      return 1;
    }
    memcpy(&list[pos], argv[i], len + 1);
    pos += len + 1;
  }
  HMODULE lib = LoadLibraryA(path.c_str());
  if (!lib) {
    Say("engine\tmissing");
    return 1;
  }
  auto top = Entry<EngineFn>(lib, "otwc0003_5000gTop");
  if (!top) {
    Say("engine\tno entry point");
    FreeLibrary(lib);
    return 1;
  }
  std::vector<unsigned char> block(kBlockSize);
  uint16_t version = 5, listSize = kListSize;
  uint32_t address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(list.data()));
  memcpy(&block[284], &version, sizeof(version));
  memcpy(&block[308], &listSize, sizeof(listSize));
  memcpy(&block[312], &address, sizeof(address));
  Say("engine\t" + std::to_string(top(kEngineCommand, block.data())));
  FreeLibrary(lib);
  return 0;
}

void NotifyIfMarked(HWND hwnd, bool& marked) {
  char title[MAX_PATH] = {};
  GetWindowTextA(hwnd, title, MAX_PATH);
  marked = strstr(title, host::kImeMarker) != nullptr;
  if (marked) SendMessageA(hwnd, WM_IME_NOTIFY, kImnPrivate, kReloadCode);
}

BOOL CALLBACK ChildProc(HWND hwnd, LPARAM) {
  bool marked;
  NotifyIfMarked(hwnd, marked);
  return TRUE;
}

BOOL CALLBACK TopProc(HWND hwnd, LPARAM) {
  bool marked;
  NotifyIfMarked(hwnd, marked);
  if (!marked) EnumChildWindows(hwnd, ChildProc, 0);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "common") return Common();
  if (cmd == "engine") return Engine(argc - 2, argv + 2);
  if (cmd == "notify") {
    EnumWindows(TopProc, 0);
    Say("notified");
    return 0;
  }
  if (cmd == "msgbox" && argc > 3) {
    int answer = MessageBoxA(nullptr, argv[3], kCaption, strtoul(argv[2], nullptr, 0));
    Say("answer\t" + std::to_string(answer));
    return answer;
  }
  Say("usage: hostcheck common | engine PATH... | notify | msgbox STYLE TEXT");
  return 2;
}
