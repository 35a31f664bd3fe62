// Modal dialogs: the dialog manager's part of a DialogBoxParamA run, with the
// user's actions taken from scripts queued per template.
#include <cstdio>
#include <cstdlib>

#include "FakeState.h"

namespace fakewin {
namespace internal {
namespace {

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr int kDialogWidth = 320;
constexpr int kDialogHeight = 200;

// Dialog procedure results that the dialog manager returns as they are
// rather than through DWLP_MSGRESULT.
bool ReturnsDirectly(UINT msg) { return msg == WM_INITDIALOG; }

int TemplateIdOf(LPCSTR name) {
  if (name == nullptr) return 0;
  if (IS_INTRESOURCE(name)) return static_cast<int>(reinterpret_cast<uintptr_t>(name));
  if (name[0] == '#') return std::atoi(name + 1);
  return 0;
}

std::map<int, bool> Snapshot(const std::map<int, UINT>& checks) {
  std::map<int, bool> out;
  for (const auto& [id, state] : checks) out[id] = state == BST_CHECKED;
  return out;
}

bool Ended(HWND dlg, const DialogRun& run) { return run.ended || FindProgramWindow(dlg) == nullptr; }

void Command(HWND dlg, int id) {
  Deliver(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItemInternal(dlg, id)));
}

void Play(HWND dlg, const DialogStep& step) {
  switch (step.kind) {
    case DialogStep::Check:
    case DialogStep::Uncheck: {
      UINT wanted = step.kind == DialogStep::Check ? BST_CHECKED : BST_UNCHECKED;
      Window* w = FindProgramWindow(dlg);
      if (w->checks[step.id] == wanted) return;
      // A click on an automatic check box flips it, then notifies the dialog.
      w->checks[step.id] = wanted;
      Command(dlg, step.id);
      return;
    }
    case DialogStep::Press:
      Command(dlg, step.id);
      return;
    case DialogStep::Escape:
    case DialogStep::CloseBox:
      // What the dialog manager delivers for both.
      Deliver(dlg, WM_COMMAND, IDCANCEL, 0);
      return;
  }
}

}  // namespace

LRESULT CALLBACK DialogClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = FindProgramWindow(hwnd);
  if (w && w->dialog && w->dialog->proc) {
    std::shared_ptr<DialogRun> run = w->dialog;
    INT_PTR handled = CallProgram("a dialog procedure", [&] { return run->proc(hwnd, msg, wParam, lParam); });
    if (handled) {
      if (ReturnsDirectly(msg)) return handled;
      w = FindProgramWindow(hwnd);
      if (w == nullptr) return 0;
      auto it = w->extra.find(DWLP_MSGRESULT);
      return it == w->extra.end() ? 0 : it->second;
    }
  }
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_CLOSE:
      Deliver(hwnd, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(GetDlgItemInternal(hwnd, IDCANCEL)));
      return 0;
    default:
      return DefProc(hwnd, msg, wParam, lParam);
  }
}

}  // namespace internal

using namespace internal;

void ScriptDialog(int templateId, const std::vector<DialogStep>& steps) {
  S().dialogScripts[templateId].push_back(steps);
}

void FailDialog(int templateId) { ++S().failingDialogs[templateId]; }

const std::vector<DialogRecord>& Dialogs() { return S().dialogs; }

}  // namespace fakewin

using namespace fakewin;
using namespace fakewin::internal;

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
  FAKE_CALL(hInstance, lpTemplateName, hWndParent, dwInitParam) return -1;
  State& st = S();
  int templateId = TemplateIdOf(lpTemplateName);
  if (st.failingDialogs[templateId] > 0) {
    --st.failingDialogs[templateId];
    SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return -1;
  }
  if (hWndParent != nullptr && FindWindowObject(hWndParent) == nullptr) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  HWND dlg = CreateWindowInternal(0, "#32770", "", kDialogStyle, 0, 0, kDialogWidth, kDialogHeight, hWndParent, nullptr,
                                  hInstance, nullptr);
  if (dlg == nullptr) return -1;
  auto run = std::make_shared<DialogRun>();
  run->proc = lpDialogFunc;
  FindProgramWindow(dlg)->dialog = run;
  HWND owner = FindProgramWindow(dlg)->owner;

  DialogRecord record{templateId, owner, false, {}, {}, 0};
  Deliver(dlg, WM_INITDIALOG, 0, dwInitParam);
  std::map<int, UINT> lastChecks;
  if (Window* w = FindProgramWindow(dlg)) {
    w->style |= WS_VISIBLE;
    lastChecks = w->checks;
  }
  record.checksAtOpen = Snapshot(lastChecks);

  // Windows disables the owner for the run and enables it again at the end.
  bool disabledOwner = false;
  if (owner != nullptr && FindWindowObject(owner) && !(FindWindowObject(owner)->style & WS_DISABLED)) {
    EnableWindowInternal(owner, FALSE);
    disabledOwner = true;
  }
  record.ownerDisabled = owner != nullptr && FindWindowObject(owner) && (FindWindowObject(owner)->style & WS_DISABLED);

  std::vector<DialogStep> steps;
  auto& queue = st.dialogScripts[templateId];
  if (!queue.empty()) {
    steps = queue.front();
    queue.pop_front();
  }
  steps.push_back(DialogStep{DialogStep::Escape, 0});  // the user gives up when the script is done
  for (const DialogStep& step : steps) {
    if (Ended(dlg, *run)) break;
    Play(dlg, step);
    if (Window* w = FindProgramWindow(dlg)) lastChecks = w->checks;
  }
  if (!Ended(dlg, *run)) {
    std::fprintf(stderr,
                 "fakewin: dialog %d did not end after its script and Escape; "
                 "script the button that ends it\n",
                 templateId);
    std::abort();
  }
  record.checksAtClose = Snapshot(lastChecks);
  record.result = run->ended ? run->result : 0;
  if (disabledOwner && FindWindowObject(owner)) EnableWindowInternal(owner, TRUE);
  if (FindProgramWindow(dlg)) DestroyWindowInternal(dlg);
  S().dialogs.push_back(record);
  return record.result;
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
  FAKE_CALL(hDlg, nResult) return FALSE;
  Window* w = FindProgramWindow(hDlg);
  if (w == nullptr || !w->dialog) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  w->dialog->ended = true;
  w->dialog->result = nResult;
  return TRUE;
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
  FAKE_CALL(hDlg, nIDButton, uCheck) return FALSE;
  Window* w = WindowOrError(FindProgramWindow(hDlg));
  if (w == nullptr) return FALSE;
  w->checks[nIDButton] = uCheck;
  return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
  FAKE_CALL(hDlg, nIDButton) return 0;
  Window* w = WindowOrError(FindProgramWindow(hDlg));
  if (w == nullptr) return 0;
  auto it = w->checks.find(nIDButton);
  return it == w->checks.end() ? BST_UNCHECKED : it->second;
}
