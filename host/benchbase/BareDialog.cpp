// The plainest program of our toolchain that shows one dialog: no manifest,
// the system font, kernel32 and user32 alone. What any dialog costs.
#include "benchbase/BaseDialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(kBaseDialogId), nullptr, BaseDialogProc, 0));
}
