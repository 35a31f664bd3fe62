// Call record, failure injection, the last error and Reset().
#include "FakeState.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace fakewin {
namespace internal {
namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;
thread_local int t_servingDepth = 0;

}  // namespace

static void InitDefaults(State& st) {
  st.drives['C'] = std::make_shared<FileNode>();
  st.drives['C']->attributes = FILE_ATTRIBUTE_DIRECTORY;
  RegisterSystemClasses(st);
  AddSystemModules(st);
}

static State* NewState() {
  State* st = new State();
  InitDefaults(*st);
  return st;
}

State& S() {
  // Never destroyed: global objects of the framework may still call in
  // while the process exits.
  static State* state = NewState();
  return *state;
}

uintptr_t NextHandleValue() {
  static uintptr_t next = 0x1000;
  next += 4;
  return next;
}

void SetError(DWORD error) { t_lastError = error; }
DWORD LastError() { return t_lastError; }

bool IsLeadByte(unsigned char c) {
  if (S().codePage != 932) return false;
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::vector<std::string> Characters(const std::string& s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size();) {
    size_t n = (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    out.push_back(s.substr(i, n));
    i += n;
  }
  return out;
}

static char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool NamesEqual(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
  }
  return true;
}

std::vector<std::string> SplitAtSeparators(const std::string& s) {
  std::vector<std::string> parts(1);
  for (const std::string& ch : Characters(s)) {
    if (ch == "\\" || ch == "/") {
      parts.emplace_back();
    } else {
      parts.back() += ch;
    }
  }
  return parts;
}

void AppendArg(std::string& line, const char* s) {
  line += ' ';
  if (s == nullptr) {
    line += "NULL";
  } else if (IS_INTRESOURCE(s)) {
    line += '#';
    line += std::to_string(reinterpret_cast<uintptr_t>(s));
  } else {
    line += s;
  }
}

void ExceptionCrossedTheSystem(const char* callback) {
  std::fprintf(stderr, "fakewin: a C++ exception left %s into the system, which Windows does not survive\n",
               callback);
  std::abort();
}

bool ShouldFail(const char* api) {
  State& st = S();
  const std::string_view name(api);
  auto counted = st.callNumbers.find(name);
  if (counted == st.callNumbers.end()) counted = st.callNumbers.emplace(name, 0).first;
  long number = ++counted->second;
  if (st.powerCut) {
    SetError(ERROR_GEN_FAILURE);
    return true;
  }
  if (st.faultHook) {
    DWORD error = ERROR_GEN_FAILURE;
    switch (st.faultHook(api, error)) {
      case Fault::kNone:
        break;
      case Fault::kFail:
        SetError(error);
        return true;
      case Fault::kCut:
        st.powerCut = true;
        throw PowerCut{};
    }
  }
  auto it = st.failures.find(name);
  if (it == st.failures.end()) return false;
  FailRule& rule = it->second;
  bool fail = rule.always;
  for (auto at = rule.at.begin(); at != rule.at.end(); ++at) {
    if (*at == number) {
      rule.at.erase(at);
      fail = true;
      break;
    }
  }
  if (fail) SetError(rule.error);
  return fail;
}

}  // namespace internal

using namespace internal;

const std::vector<std::string>& Calls() { return S().calls; }

int CountCalls(const std::string& api) {
  int count = 0;
  for (const std::string& call : S().calls) {
    if (call.compare(0, api.size(), api) == 0 && (call.size() == api.size() || call[api.size()] == ' ')) ++count;
  }
  return count;
}

void ClearCalls() { S().calls.clear(); }

void FailNth(const std::string& api, int n, DWORD error) {
  State& st = S();
  FailRule& rule = st.failures[api];
  rule.at.push_back(st.callNumbers[api] + n);
  rule.error = error;
}

void OnFaultPoint(FaultHook hook) { S().faultHook = std::move(hook); }

bool FaultPoint(const std::string& api) { return ShouldFail(api.c_str()); }

bool ServingCall() { return t_servingDepth > 0; }
ServingScope::ServingScope() { ++t_servingDepth; }
ServingScope::~ServingScope() { --t_servingDepth; }
ProgramScope::ProgramScope() : m_savedDepth(t_servingDepth) { t_servingDepth = 0; }
ProgramScope::~ProgramScope() { t_servingDepth = m_savedDepth; }

void FailAlways(const std::string& api, DWORD error) {
  FailRule& rule = S().failures[api];
  rule.always = true;
  rule.error = error;
}

void Reset() {
  State& st = S();
  st = State();
  InitDefaults(st);
  SetError(ERROR_SUCCESS);
}

}  // namespace fakewin

using namespace fakewin::internal;

DWORD WINAPI GetLastError(void) {
  fakewin::ServingScope serving;
  S().calls.push_back("GetLastError");
  return t_lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
  fakewin::ServingScope serving;
  S().calls.push_back("SetLastError " + std::to_string(dwErrCode));
  t_lastError = dwErrCode;
}
