// Message boxes answered from a script, with the default button otherwise.
#include "FakeState.h"

namespace fakewin {
namespace internal {
namespace {

int DefaultAnswer(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK:
      return IDOK;
    case MB_ABORTRETRYIGNORE:
      return IDABORT;
    case MB_YESNO:
      return IDNO;
    default:  // MB_OKCANCEL, MB_YESNOCANCEL, MB_RETRYCANCEL
      return IDCANCEL;
  }
}

}  // namespace
}  // namespace internal

using namespace internal;

void ScriptMessageBoxes(const std::vector<int>& answers) {
  S().messageBoxAnswers.insert(S().messageBoxAnswers.end(), answers.begin(), answers.end());
}

void OnMessageBox(std::function<void(const std::string& text)> hook) { S().messageBoxHook = std::move(hook); }

const std::vector<MessageBoxRecord>& MessageBoxes() { return S().messageBoxes; }

}  // namespace fakewin

using namespace fakewin;
using namespace fakewin::internal;

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  FAKE_CALL(hWnd, lpText, lpCaption, uType) return 0;
  if (hWnd != nullptr && FindWindowObject(hWnd) == nullptr) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  State& st = S();
  int answer = DefaultAnswer(uType);
  if (!st.messageBoxAnswers.empty()) {
    answer = st.messageBoxAnswers.front();
    st.messageBoxAnswers.pop_front();
  }
  std::string text = lpText ? lpText : "";
  st.messageBoxes.push_back(MessageBoxRecord{hWnd, text, lpCaption ? lpCaption : "", uType, answer});
  if (st.messageBoxHook) {
    auto hook = st.messageBoxHook;  // the hook may replace itself
    hook(text);
  }
  return answer;
}
