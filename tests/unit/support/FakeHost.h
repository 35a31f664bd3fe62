// In-memory stand-ins for the host's libraries, registered as loadable
// modules in the Win32 double. Their entry points are plain functions, so
// each stand-in is one process-wide object, cleared by testhost::Reset().
#pragma once

#include <fakewin32.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testhost {

inline constexpr char kCommonLibraryName[] = "HRNCMN10.DLL";
// Where a host puts it: the system folder.
inline constexpr char kCommonLibraryPath[] = "C:\\WINDOWS\\system32\\HRNCMN10.DLL";
inline constexpr char kGenerateUserDicRootPath[] = "_QLMS_GenerateUserDicRootPath@12";
inline constexpr char kGetRegValue[] = "_QLMR_GetRegValueA@28";
inline constexpr char kSetRegValue[] = "_QLMR_SetRegValueA@28";
inline constexpr char kDeleteRegKeyData[] = "_QLMR_DeleteRegKeyDataA@20";
inline constexpr char kEngineEntry[] = "otwc0003_5000gTop";

// Clears both stand-ins (values, calls, scripted results). Call after
// fakewin::Reset().
void Reset();

// Every generation of the loader, newest first.
inline constexpr fakewin::Loader kEveryLoader[] = {fakewin::Loader::kCurrent, fakewin::Loader::kDllDirectoryOnly,
                                                   fakewin::Loader::kNeither};
// A fresh machine (fakewin and both stand-ins) with that loader, its library
// search limited as the program limits it at start.
void ResetWithLoader(fakewin::Loader loader);

// One call that reached the common library, arguments as received.
struct LibCall {
  std::string function;  // export name
  HKEY root = nullptr;
  DWORD flags = 0;
  DWORD reserved = 0;
  DWORD kind = 0;    // deletion kind
  std::string path;  // value path, or the kind for the folder request
  DWORD type = 0;
  std::string data;  // written bytes (string without its NUL, or 4 bytes)
  DWORD size = 0;    // write size, or the capacity offered to a read
};

// The common library: values keyed by path ("OptionDic\RegOptionDicNum"),
// names matched without regard to ASCII case as the registry does.
// Absent value: result 2 (absent key would be 1), for reads and deletions
// alike. Writes create values. A read of the wrong type answers 13, one
// whose capacity is too small 234. Only HKEY_CURRENT_USER holds values.
// The user dictionary folder defaults to "C:\Users\taro\Dic".
class CommonLibrary {
 public:
  static CommonLibrary& Get();

  // Registers the library at path (the system folder's by default) with the
  // four exports, less any named in omit.
  void Install(const std::vector<std::string>& omit = {}, const std::string& path = kCommonLibraryPath);

  void SetDword(const std::string& path, DWORD value);
  void SetString(const std::string& path, const std::string& value);
  void Remove(const std::string& path);
  bool Has(const std::string& path) const;
  DWORD Dword(const std::string& path) const;
  std::string String(const std::string& path) const;
  // Every stored path, in no particular order.
  std::vector<std::string> Paths() const;

  // A list as the program stores it: count value plus numbered entries.
  // enabled: "OptionDicNum"/"OptionDIC<n>", else "RegOptionDicNum"/"RegOptionDic<n>".
  void SetList(bool enabled, const std::vector<std::string>& entries);
  std::vector<std::string> List(bool enabled) const;  // entries 1..count that exist

  // The user dictionary folder and the request's result (non-zero success).
  // A folder of 260 bytes or more fills the caller's 260 bytes without a NUL.
  void SetUserDicRoot(const std::string& folder, int result = 1);

  // The nth call (1-based, from now) of the named export returns result
  // without doing anything.
  void FailNth(const std::string& exportName, int n, int result);
  // Reads of this path return result (e.g. 1 absent key, 5 failure).
  void FailReadsOf(const std::string& path, int result);

  const std::vector<LibCall>& Calls() const;
  std::vector<LibCall> CallsOf(const std::string& exportName) const;
  void ClearCalls();
};

// The conversion engine: registered as "<installPath>\CMD\HRNCNV.DLL".
class Engine {
 public:
  static Engine& Get();

  // imports: bare names the loader must find when it loads the engine.
  void Install(const std::string& installPath, bool withEntryPoint = true,
               const std::vector<std::string>& imports = {});
  void SetResult(int result);  // what the entry point returns (0 accepts)

  struct Call {
    int command;                     // first argument
    bool blockValid;                 // 5 at 284, 16384 at 308, an address at 312, all else zero
    std::vector<std::string> paths;  // strings of the list buffer, in order
    std::string buffer;              // all 16384 bytes
    std::string block;               // all 788 bytes (address field zeroed)
  };
  const std::vector<Call>& Calls() const;
  // Runs inside the engine call (e.g. to release a file it "held").
  void OnCall(std::function<void()> hook);
};

}  // namespace testhost
