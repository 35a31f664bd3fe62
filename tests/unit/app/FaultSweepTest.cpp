// Whole runs with one fault at every point: each data call failing once with
// each error it gives on a real machine, the power failing at each call, and
// each allocation running out of memory. After every run no dictionary the
// user had may be lost or disabled, the stored lists must be whole, and a run
// that ends differently from the fault-free one must say so. The fault-free
// run itself must complete what the design completes for its stored state,
// however hostile: refusing is no safe way out.
#include <fakewin32.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/FailingNew.h"
#include "framework/Afx.h"
#include "support/AppFixture.h"
#include "ui/resource.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define LEXPLANT_LSAN 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define LEXPLANT_LSAN 1
#endif

namespace {

using Strings = std::vector<std::string>;
using Step = fakewin::DialogStep;

const bool kEnabled = true;
const bool kRegistered = false;
const char kDic[] = "C:\\Users\\taro\\Dic\\";
// In a list as a test stores it: an entry the library cannot read (a value
// of the wrong type).
const char kUnreadable[] = "?";
const DWORD kUnreadableValue = 7;
const UINT kQuestionStyle = MB_YESNO | MB_ICONEXCLAMATION;

const char kCopyFailedLegal[] =
    "辞書のコピーができません.\n辞書ツールキットを起動して以下のオプション辞書を削除してください.\n\n"
    "削除するオプション辞書 :  Legal\n\nその後システムを再起動して,再度インストールしてください.";
const char kEnableLimit[] =
    "同時に使用することのできるオプション辞書数の上限(15)に達しました.\nインストールしたオプション辞書の一部が有効になっていません.\n"
    "辞書ツールキットを起動し,有効にするオプション辞書を選択してください.";

std::string Dic(const std::string& name) { return kDic + name; }

// Calls that reach stored data or can fail for want of a resource: files,
// registry, modules, global memory, the host's libraries. Between two of
// them nothing the user keeps can change, so stopping dead at each of them
// covers stopping dead at any call. The framework's heap is swept with the
// program's other allocations.
const std::set<std::string_view> kDataCalls = {
    "CopyFileA", "CreateFileA", "DeleteFileA", "FindFirstFileA", "FindNextFileA", "GetFileAttributesA",
    "MoveFileExA", "SetFileAttributesA", "RegOpenKeyExA", "RegQueryValueExA", "LoadLibraryA",
    "LoadLibraryExA", "GetProcAddress", "GetModuleFileNameA", "GetModuleHandleA", "SetDllDirectoryA",
    "SetDefaultDllDirectories", "AddDllDirectory", "GetSystemDirectoryA", "GetWindowsDirectoryA", "GetCurrentDirectoryA",
    "GetEnvironmentVariableA", "GlobalAlloc", testhost::kGenerateUserDicRootPath,
    testhost::kGetRegValue, testhost::kSetRegValue, testhost::kDeleteRegKeyData, testhost::kEngineEntry};

// Codes only this test needs: the double's windows.h has what the program uses.
const DWORD kErrorNotReady = 21;   // ERROR_NOT_READY
const DWORD kErrorDiskFull = 112;  // ERROR_DISK_FULL

// What each call answers when it fails on a real machine: files are denied,
// shared, full or on a drive that is not ready; the common library passes
// such codes on as its results.
std::vector<DWORD> RealisticErrors(std::string_view api) {
  static const std::set<std::string_view> kFileCalls = {"CopyFileA",     "CreateFileA",        "DeleteFileA",
                                                        "FindFirstFileA", "FindNextFileA",      "GetFileAttributesA",
                                                        "MoveFileExA",    "SetFileAttributesA"};
  if (kFileCalls.count(api)) return {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, kErrorDiskFull, kErrorNotReady};
  if (api == testhost::kGetRegValue || api == testhost::kSetRegValue || api == testhost::kDeleteRegKeyData) {
    return {ERROR_ACCESS_DENIED, kErrorNotReady, kErrorDiskFull};
  }
  if (api == "GlobalAlloc") return {ERROR_NOT_ENOUGH_MEMORY};
  if (api == "GetProcAddress") return {ERROR_PROC_NOT_FOUND};
  // The engine and the folder request fail without a code of their own.
  if (api == testhost::kEngineEntry || api == testhost::kGenerateUserDicRootPath) return {ERROR_GEN_FAILURE};
  return {ERROR_ACCESS_DENIED, kErrorNotReady};
}

// The copy a replacement makes beside its target; one left by a run that
// stopped dead is the next run's to remove, so it is no file the user keeps.
// A folder of that name is the user's.
bool IsOwnCopy(const std::string& name) {
  const std::string mark = ".LexPlant-copy";
  return name.size() > mark.size() && name.compare(name.size() - mark.size(), mark.size(), mark) == 0 &&
         (fakewin::FileAttributes(kDic + name) & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string FileNameOf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

std::string Fold(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

bool Holds(const Strings& list, const std::string& path) {
  for (const std::string& entry : list) {
    if (Fold(entry) == Fold(path)) return true;
  }
  return false;
}

// What a run leaves behind that the user keeps.
struct Machine {
  Strings registered, enabled;
  std::map<std::string, std::string> files;  // user folder, by folded name
  bool operator==(const Machine& o) const {
    return registered == o.registered && enabled == o.enabled && files == o.files;
  }
};

struct Outcome {
  Machine machine;
  Strings messages;
  Strings told;            // the boxes other than the overwrite questions
  bool completed = false;  // the completion dialog showed
  Strings engineList;      // what the engine was last handed
  long points = 0;
  std::string faultAt;             // the call that failed or was cut
  std::vector<std::string> calls;  // the data calls, in order (fault-free runs)
};

enum class Mode { kNone, kFailPoint, kCutAtCall, kFailAllocation };

// What the design completes for a run's stored state when no fault strikes:
// the completion dialog or not, what it tells beside the questions, the new
// files registered and what ends up enabled (in any order). The engine's
// last list is the stored enabled list, and every entry that cannot be read
// stays stored.
struct Completion {
  bool completes;
  Strings told;
  Strings installed;
  Strings enabled;
};

class FaultSweepTest : public AppFixture {
 public:
  struct Run {
    const char* name;
    std::function<void(FaultSweepTest&)> arrange;
    Completion expected;
    // A list of 65535 entries is read whole several times a run: swept at
    // every point it would take hours, so only its fault-free run is made.
    bool everyPoint = true;
  };

 protected:
  void AddUserFile(const std::string& name, const std::string& content, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE) {
    fakewin::AddFile(kDic + name, content, attributes);
  }

  // Both lists as stored, kUnreadable where an entry cannot be read.
  void SetLists(const Strings& registered, const Strings& enabled) {
    for (bool list : {kRegistered, kEnabled}) {
      const Strings& entries = list == kEnabled ? enabled : registered;
      lib().SetList(list, entries);
      for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] != kUnreadable) continue;
        const std::string name =
            (list == kEnabled ? "OptionDic\\OptionDIC" : "OptionDic\\RegOptionDic") + std::to_string(i + 1);
        lib().SetDword(name, kUnreadableValue);
        m_unreadable.emplace_back(name, list);
      }
    }
  }

  Machine Read() {
    Machine m;
    m.registered = lib().List(kRegistered);
    m.enabled = lib().List(kEnabled);
    for (const std::string& name : fakewin::ListFolder(kUserDicRoot)) {
      if (!IsOwnCopy(name)) m.files[Fold(name)] = fakewin::FileContent(kDic + name);
    }
    return m;
  }

  // One whole run; n picks the point, call or allocation that goes wrong,
  // and error what a failing call says.
  Outcome Execute(const Run& run, Mode mode, long n, DWORD error = ERROR_GEN_FAILURE) {
    AppFixture::SetUp();
    m_heldTarget.clear();
    m_unreadable.clear();
    run.arrange(*this);
    fakewin::ScriptDialog(IDD_CONFIRM, {{Step::Press, IDOK}});
    fakewin::ScriptDialog(IDD_COMPLETE, {{Step::Press, IDOK}});
    m_before = Read();
    m_gapsBefore = CoveredGaps();
    m_goneBefore.clear();
    for (const Strings* list : {&m_before.registered, &m_before.enabled}) {
      for (const std::string& entry : *list) {
        if (!fakewin::FileExists(entry)) m_goneBefore.insert(entry);
      }
    }
    Outcome out;
    fakewin::OnFaultPoint([&](const char* api, DWORD& failure) {
      if (mode == Mode::kFailAllocation) {
        bool heap = std::strcmp(api, "HeapAlloc") == 0 || std::strcmp(api, "HeapReAlloc") == 0;
        return heap && failing_new::TakeAllocation() ? fakewin::Fault::kFail : fakewin::Fault::kNone;
      }
      if (kDataCalls.count(api) == 0) return fakewin::Fault::kNone;
      if (n < 0) out.calls.push_back(api);
      if (++out.points != n) return fakewin::Fault::kNone;
      out.faultAt = api;
      failure = error;
      return mode == Mode::kCutAtCall ? fakewin::Fault::kCut : fakewin::Fault::kFail;
    });
    try {
      MakeApp();
      HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
      if (mode == Mode::kFailAllocation) failing_new::StartCounting(n);
      AfxWinMain(hInstance, nullptr, const_cast<char*>(""), SW_SHOWNORMAL);
    } catch (const fakewin::PowerCut&) {
    }
    if (mode == Mode::kFailAllocation) out.points = failing_new::StopCounting();
    fakewin::OnFaultPoint(nullptr);
    out.machine = Read();
    out.messages = MessageTexts();
    for (const auto& box : fakewin::MessageBoxes()) {
      if (box.type != kQuestionStyle) out.told.push_back(box.text);
    }
    for (const auto& dialog : fakewin::Dialogs()) out.completed |= dialog.templateId == IDD_COMPLETE;
    // Not handed a list in this run, the engine keeps the one it had.
    out.engineList = engine().Calls().empty() ? m_before.enabled : engine().Calls().back().paths;
    DestroyApp();
    return out;
  }

  // Where the fault-free run falls short of what the design completes;
  // empty when it completes it all.
  std::string Refusal(const Completion& want, const Outcome& out) {
    if (out.completed != want.completes) return want.completes ? "no completion dialog" : "a completion dialog";
    if (out.told != want.told) return "told " + std::to_string(out.told.size()) + " boxes beside the questions";
    for (const std::string& path : want.installed) {
      if (!Holds(out.machine.registered, path)) return "not registered: " + path;
    }
    Strings enabled = out.machine.enabled, wanted = want.enabled;
    std::sort(enabled.begin(), enabled.end());
    std::sort(wanted.begin(), wanted.end());
    if (enabled != wanted) return "enabled differs from what the design completes";
    if (out.engineList != out.machine.enabled) return "the engine's last list is not the stored enabled list";
    return "";
  }

  // What no single fault may do; empty when the run kept everything. Every
  // name registered before stays registered, at its old path or at its new
  // one in the user folder; every entry enabled before that is still
  // registered is still enabled. Entries whose files were gone before the
  // run name nothing to lose.
  std::string Loss(const Outcome& out) {
    const Machine& after = out.machine;
    for (const std::string& entry : m_before.registered) {
      if (m_goneBefore.count(entry)) continue;
      if (Holds(after.registered, entry) || Holds(after.registered, kDic + FileNameOf(entry))) continue;
      return "registration lost: " + entry;
    }
    bool midRelease = false;
    for (const std::string& entry : m_before.enabled) {
      if (m_goneBefore.count(entry) || !Holds(after.registered, entry) || Holds(after.enabled, entry)) continue;
      if (!m_heldTarget.empty() && Fold(FileNameOf(entry)) == Fold(FileNameOf(m_heldTarget))) {
        midRelease = true;
      } else {
        return "enabled entry lost: " + entry;
      }
    }
    for (const Strings* now : {&after.registered, &after.enabled}) {
      const Strings& before = now == &after.enabled ? m_before.enabled : m_before.registered;
      for (const std::string& entry : *now) {
        if (!fakewin::FileExists(entry)) {
          if (!Holds(before, entry) || !FileBefore(entry).empty()) return "listed but missing: " + entry;
        } else if (!IsWhole(fakewin::FileContent(entry))) {
          return "listed but half-written: " + entry;
        }
      }
    }
    std::string counts = CountsCoverValues();
    if (!counts.empty()) return counts;
    for (const auto& [name, list] : m_unreadable) {
      const char* count = list == kEnabled ? "OptionDic\\OptionDicNum" : "OptionDic\\RegOptionDicNum";
      const DWORD number = std::stoul(name.substr(name.find_first_of("0123456789")));
      if (lib().Dword(name) != kUnreadableValue || lib().Dword(count) < number) return "unreadable entry lost: " + name;
    }
    return midRelease ? kMidRelease : "";
  }

  // Equal, but for registrations of files that were gone before the run (a
  // search that failed keeps them until a later run can tell) and for the
  // order of the enabled list (an entry put back goes to its end).
  // A read that fails is passed over as the design's readers do: a lookup
  // may list a path a second time, and what a rewrite could not see stays
  // listed as it was before the run. The next run tidies both.
  bool SameButStale(Machine a, Machine b, bool bReadFailed) const {
    std::sort(a.enabled.begin(), a.enabled.end());
    std::sort(b.enabled.begin(), b.enabled.end());
    if (bReadFailed) {
      for (auto lists : {std::make_pair(&a.registered, &b.registered), std::make_pair(&a.enabled, &b.enabled)}) {
        const Strings& before = lists.first == &a.enabled ? m_before.enabled : m_before.registered;
        Strings& kept = *lists.first;
        kept.erase(std::remove_if(
                       kept.begin(), kept.end(),
                       [&](const std::string& entry) { return Holds(before, entry) && !Holds(*lists.second, entry); }),
                   kept.end());
      }
    }
    for (Machine* m : {&a, &b}) {
      for (Strings* list : {&m->registered, &m->enabled}) {
        Strings kept;
        for (const std::string& entry : *list) {
          if (fakewin::FileExists(entry) && std::find(kept.begin(), kept.end(), entry) == kept.end()) {
            kept.push_back(entry);
          }
        }
        *list = kept;
      }
    }
    return a == b;
  }

  // Every count covers values that exist, but for gaps that were there
  // before the run.
  std::string CountsCoverValues() {
    for (const std::string& name : CoveredGaps()) {
      if (!m_gapsBefore.count(name)) return "a count covers a missing value: " + name;
    }
    return "";
  }

  std::set<std::string> CoveredGaps() {
    const char* lists[][2] = {{"OptionDic\\RegOptionDicNum", "OptionDic\\RegOptionDic"},
                              {"OptionDic\\OptionDicNum", "OptionDic\\OptionDIC"}};
    std::set<std::string> gaps;
    for (const auto& names : lists) {
      if (!lib().Has(names[0])) continue;
      DWORD count = lib().Dword(names[0]);
      for (DWORD i = 1; i <= count; ++i) {
        const std::string name = names[1] + std::to_string(i);
        if (!lib().Has(name)) gaps.insert(name);
      }
    }
    return gaps;
  }

  std::string FileBefore(const std::string& path) {
    auto it = m_before.files.find(Fold(path.substr(path.rfind('\\') + 1)));
    return it == m_before.files.end() ? "" : it->second;
  }

  bool IsWhole(const std::string& content) {
    if (m_wholeContents.count(content)) return true;
    for (const auto& file : m_before.files) {
      if (file.second == content) return true;
    }
    return false;
  }

  void AddSourceOf(const std::string& name, const std::string& content) {
    AddSource(name, content);
    m_wholeContents.insert(content);
  }

  void AddFileOf(const std::string& path, const std::string& content) {
    fakewin::AddFile(path, content);
    m_wholeContents.insert(content);
  }

  // Every point of one kind through one run; prints the totals.
  void Sweep(Mode mode, const char* kind, size_t runIndex) {
    const Run run = Runs().at(runIndex);
    Outcome reference = Execute(run, Mode::kNone, 0);
    ASSERT_TRUE(Loss(reference).empty()) << run.name << ": " << Loss(reference);
    const std::string refusal = Refusal(run.expected, reference);
    const long refused = refusal.empty() ? 0 : 1;
    EXPECT_EQ("", refusal) << run.name << " without a fault";
    for (const std::string& name : fakewin::ListFolder(kUserDicRoot)) {
      EXPECT_FALSE(IsOwnCopy(name)) << run.name << ": a copy left behind: " << name;
    }
    if (!run.everyPoint) {
      std::printf("[  sweep   ] %s, %s: the fault-free run only, %ld refused\n", kind, run.name, refused);
      return;
    }
    const Outcome counted = Execute(run, mode, -1);
    long runs = 0, losses = 0, silentLosses = 0, silentChanges = 0, midRelease = 0;
    for (long n = 1; n <= counted.points; ++n) {
      std::vector<DWORD> errors{ERROR_GEN_FAILURE};
      if (mode == Mode::kFailPoint) errors = RealisticErrors(counted.calls.at(n - 1));
      for (DWORD error : errors) {
        ++runs;
        Outcome out = Execute(run, mode, n, error);
        std::string loss = Loss(out);
        bool silent = out.messages == reference.messages;
        if (mode == Mode::kCutAtCall && loss == kMidRelease) {
          ++midRelease;
        } else if (!loss.empty()) {
          ++losses;
          silentLosses += silent;
          ADD_FAILURE() << kind << ", " << run.name << ", point " << n << " " << out.faultAt << " (" << error
                        << "): " << loss;
        } else if (mode != Mode::kCutAtCall && silent &&
                   !SameButStale(out.machine, reference.machine, out.faultAt == testhost::kGetRegValue)) {
          ++silentChanges;
          ADD_FAILURE() << kind << ", " << run.name << ", point " << n << " " << out.faultAt << " (" << error
                        << "): a failure reported as success";
        }
      }
    }
    std::printf(
        "[  sweep   ] %s, %s: %ld points, %ld runs, %ld refused, %ld losses, %ld silent losses, %ld reported as success",
        kind, run.name, counted.points, runs, refused, losses, silentLosses, silentChanges);
    if (midRelease != 0) std::printf(", %ld stopped while a held file was released", midRelease);
    std::printf("\n");
  }

 public:
  static std::vector<Run> Runs() {
    const Strings reinstalled{Dic("Legal.dic"), Dic("Extra.dic")};
    const Strings used{Dic("Used.dic"), Dic("Legal.dic"), Dic("Keep.dic")};
    Strings usedAndExtra = used;
    usedAndExtra.push_back(Dic("Extra.dic"));
    Strings fifteen;
    for (int i = 1; i <= 15; ++i) fifteen.push_back(Dic("Used" + std::to_string(i) + ".dic"));
    const std::string a = Dic("A.dic"), keep = Dic("Keep.dic");
    return {
        {"fresh install",
         [](FaultSweepTest& t) {
           t.AddSourceOf("Alpha.dic", "alpha dictionary, second edition");
           t.AddSourceOf("Beta.dic", "beta dictionary, second edition");
         },
         {true, {}, {Dic("Alpha.dic"), Dic("Beta.dic")}, {Dic("Alpha.dic"), Dic("Beta.dic")}}},
        {"reinstall over a held registered and enabled dictionary",
         [](FaultSweepTest& t) {
           t.Reinstall(FILE_ATTRIBUTE_ARCHIVE);
           t.ReleaseWhenTheEngineIsTold();
         },
         {true, {}, reinstalled, usedAndExtra}},
        {"enabling against fifteen enabled",
         [fifteen](FaultSweepTest& t) {
           t.AddSourceOf("New.dic", "new dictionary");
           for (const std::string& path : fifteen) t.AddUserFile(FileNameOf(path), "used " + FileNameOf(path));
           t.lib().SetList(kRegistered, fifteen);
           t.lib().SetList(kEnabled, fifteen);
         },
         {true, {kEnableLimit}, {Dic("New.dic")}, fifteen}},
        {"pruning stale registrations",
         [](FaultSweepTest& t) {
           t.AddSourceOf("New.dic", "new dictionary");
           t.AddUserFile("Keep.dic", "kept dictionary");
           t.SetLists({Dic("Gone1.dic"), Dic("Keep.dic"), Dic("Gone2.dic")}, {Dic("Gone1.dic"), Dic("Keep.dic")});
         },
         {true, {}, {Dic("New.dic")}, {Dic("Keep.dic"), Dic("New.dic")}}},
        {"reinstall over a free registered and enabled dictionary",
         [](FaultSweepTest& t) {
           t.Reinstall(FILE_ATTRIBUTE_ARCHIVE);
           t.m_heldTarget.clear();
           // A copy left by an earlier run that stopped dead, read-only as a
           // read-only source gives it.
           t.AddUserFile("Stale.dic.LexPlant-copy", "legal dictionary, torn", FILE_ATTRIBUTE_READONLY);
         },
         {true, {}, reinstalled, usedAndExtra}},
        {"reinstall over a read-only registered and enabled dictionary",
         [](FaultSweepTest& t) { t.Reinstall(FILE_ATTRIBUTE_READONLY); },
         {true, {}, reinstalled, usedAndExtra}},
        {"a held registered and enabled dictionary never released",
         [](FaultSweepTest& t) {
           t.Reinstall(FILE_ATTRIBUTE_ARCHIVE);
           fakewin::HoldForeignOpen(t.m_heldTarget, GENERIC_READ, 0);
         },
         {false, {kCopyFailedLegal}, {}, used}},
        {"reinstall with enable now unticked",
         [](FaultSweepTest& t) {
           t.Reinstall(FILE_ATTRIBUTE_ARCHIVE);
           t.m_heldTarget.clear();
           t.UntickEnableNow();
         },
         {true, {}, reinstalled, used}},
        {"reinstall over a registered and enabled namesake elsewhere",
         [](FaultSweepTest& t) {
           t.AddSourceOf("Legal.dic", "legal dictionary, second edition");
           const std::string old = "D:\\Old\\Legal.dic";
           t.AddFileOf(old, "legal dictionary, first edition");
           t.AddUserFile("Keep.dic", "kept dictionary");
           t.SetLists({old, Dic("Keep.dic")}, {Dic("Keep.dic"), old});
           fakewin::ScriptMessageBoxes({IDYES});
         },
         {true, {}, {Dic("Legal.dic")}, {Dic("Keep.dic"), Dic("Legal.dic")}}},
        // Stored states that are hostile but valid.
        {"a held registered and enabled dictionary with enable now unticked",
         [](FaultSweepTest& t) {
           t.Reinstall(FILE_ATTRIBUTE_ARCHIVE);
           t.ReleaseWhenTheEngineIsTold();
           t.UntickEnableNow();
         },
         {true, {}, reinstalled, used}},
        {"an unreadable entry before the target in the registered list",
         [a](FaultSweepTest& t) {
           t.UpdateA({kUnreadable, a}, {a});
         },
         {true, {}, {a}, {a}}},
        {"an unreadable entry after the target in the registered list",
         [a](FaultSweepTest& t) {
           t.UpdateA({a, kUnreadable}, {a});
         },
         {true, {}, {a}, {a}}},
        {"an unreadable entry at the target in the registered list",
         [a, keep](FaultSweepTest& t) {
           t.UpdateA({keep, kUnreadable}, {keep});
         },
         {true, {}, {a}, {keep, a}}},
        {"an unreadable entry before the target in the enabled list",
         [a](FaultSweepTest& t) {
           t.UpdateA({a}, {kUnreadable, a});
         },
         {true, {}, {a}, {a}}},
        {"an unreadable entry after the target in the enabled list",
         [a](FaultSweepTest& t) {
           t.UpdateA({a}, {a, kUnreadable});
         },
         {true, {}, {a}, {a}}},
        {"an unreadable entry at the target in the enabled list",
         [a, keep](FaultSweepTest& t) {
           t.UpdateA({a, keep}, {keep, kUnreadable});
         },
         {true, {}, {a}, {keep, a}}},
        {"a stale entry ahead of an unreadable one",
         [keep](FaultSweepTest& t) {
           t.AddSourceOf("L.dic", "l dictionary");
           t.AddUserFile("Keep.dic", "kept dictionary");
           t.SetLists({"C:\\Gone\\L.dic", kUnreadable, keep}, {"C:\\Gone\\L.dic", keep});
         },
         {true, {}, {Dic("L.dic")}, {keep, Dic("L.dic")}}},
        {"enabled entries whose files are gone",
         [](FaultSweepTest& t) {
           t.AddSourceOf("A.dic", "a dictionary");
           // One registered behind an unreadable entry, one that may be it.
           t.SetLists({kUnreadable, "C:\\Gone\\G.dic"}, {"C:\\Gone\\G.dic", "C:\\Gone\\H.dic"});
         },
         {true, {}, {a}, {a}}},
        {"the copy's name taken by a folder",
         [a](FaultSweepTest& t) {
           t.UpdateA({a}, {a});
           fakewin::AddFolder(Dic("A.dic.LexPlant-copy"));
         },
         {true, {}, {a}, {a}}},
        {"a full registered list with a namesake elsewhere",
         [keep](FaultSweepTest& t) {
           t.AddSourceOf("A.dic", "a dictionary, second edition");
           t.AddUserFile("Keep.dic", "kept dictionary");
           t.AddFileOf("D:\\Old\\A.dic", "a dictionary, first edition");
           // Every place counted, the ones between read as gaps.
           t.SetLists({keep, "D:\\Old\\A.dic"}, {keep, "D:\\Old\\A.dic"});
           t.lib().SetDword("OptionDic\\RegOptionDicNum", 65535);
           fakewin::ScriptMessageBoxes({IDYES});
         },
         {true, {}, {a}, {keep, a}},
         false},
        {"exact duplicates",
         [a, keep](FaultSweepTest& t) {
           t.UpdateA({keep, a, keep, a}, {a, keep, a});
         },
         {true, {}, {a}, {keep, a}}},
    };
  }

 protected:
  // Legal.dic registered and enabled in the user folder between two others,
  // an update of it and a new dictionary to install, Yes to the question.
  // The program releases a target it cannot open exclusively: held or
  // read-only alike.
  void Reinstall(DWORD attributes) {
    AddSourceOf("Legal.dic", "legal dictionary, second edition");
    AddSourceOf("Extra.dic", "extra dictionary, first edition");
    AddUserFile("Legal.dic", "legal dictionary, first edition", attributes);
    AddUserFile("Keep.dic", "kept dictionary");
    AddUserFile("Used.dic", "used dictionary");
    SetLists({Dic("Keep.dic"), Dic("Legal.dic"), Dic("Used.dic")},
             {Dic("Used.dic"), Dic("Legal.dic"), Dic("Keep.dic")});
    m_heldTarget = Dic("Legal.dic");
    fakewin::ScriptMessageBoxes({IDYES});
  }

  // A.dic in the user folder, free, and an update of it; Yes to the
  // question. Keep.dic beside it.
  void UpdateA(const Strings& registered, const Strings& enabled) {
    AddSourceOf("A.dic", "a dictionary, second edition");
    AddUserFile("A.dic", "a dictionary, first edition");
    AddUserFile("Keep.dic", "kept dictionary");
    SetLists(registered, enabled);
    fakewin::ScriptMessageBoxes({IDYES});
  }

  // The target is held until the engine is handed a list without it.
  void ReleaseWhenTheEngineIsTold() {
    const int hold = fakewin::HoldForeignOpen(m_heldTarget, GENERIC_READ, 0);
    engine().OnCall([hold] { fakewin::ReleaseForeignOpen(hold); });
  }

  static void UntickEnableNow() {
    fakewin::ScriptDialog(IDD_COMPLETE,
                          {{Step::Uncheck, IDC_ENABLE_NOW}, {Step::Uncheck, IDC_LAUNCH_TOOLKIT}, {Step::Press, IDOK}});
  }

 private:
  // A held file's enabled entries must leave the enabled list before it can
  // be replaced, so that the engine and the input method let go of it: a
  // run that stops dead before they are back leaves the file registered and
  // intact but not enabled. Nothing the program could order avoids that.
  static constexpr char kMidRelease[] = "stopped while the held file was out of the enabled list";
  std::string m_heldTarget;
  std::vector<std::pair<std::string, bool>> m_unreadable;  // value name, list
  Machine m_before;
  std::set<std::string> m_goneBefore;  // listed entries whose files were not there
  std::set<std::string> m_gapsBefore;  // values counted but missing
  std::set<std::string> m_wholeContents;
};

class FaultSweepRunTest : public FaultSweepTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(FaultSweepRunTest, EveryDataCallFailingOnceLosesNothingAndIsNeverReportedAsSuccess) {
  Sweep(Mode::kFailPoint, "fault sweep", GetParam());
}

TEST_P(FaultSweepRunTest, APowerCutAtAnyCallLosesNothing) {
#ifdef LEXPLANT_LSAN
  // A dead process frees nothing: what a cut run still holds is no leak.
  __lsan::ScopedDisabler notALeak;
#endif
  Sweep(Mode::kCutAtCall, "crash sweep", GetParam());
}

TEST_P(FaultSweepRunTest, RunningOutOfMemoryAtAnyAllocationLosesNothing) {
  Sweep(Mode::kFailAllocation, "memory sweep", GetParam());
}

// Fresh install; reinstall over a held file; enabling against a full list;
// pruning stale registrations; reinstall over a free file, over a read-only
// one, over one never released, with "enable now" unticked; a namesake
// elsewhere; then the hostile stored states.
INSTANTIATE_TEST_SUITE_P(EveryRun, FaultSweepRunTest, ::testing::Range<size_t>(0, FaultSweepTest::Runs().size()));

}  // namespace
