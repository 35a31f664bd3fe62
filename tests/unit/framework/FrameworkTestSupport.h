// An application object and a frame that report what the framework did to
// them, for the window, dialog and start-up tests.
#pragma once

#include <windows.h>

#include <new>
#include <vector>

#include "framework/Afx.h"

namespace fwtest {

constexpr UINT kFrameId = 128;
constexpr char kFrameTitle[] = "オプション辞書インストール";

class TestApp : public CWinApp {
 public:
  explicit TestApp(LPCSTR name = nullptr) : CWinApp(name) {}
  BOOL OnCmdMsg(UINT nID, int nCode) override {
    commands.push_back(nID);
    return CWinApp::OnCmdMsg(nID, nCode);
  }
  std::vector<UINT> commands;
};

// A heap frame that clears *pAlive when it is deleted.
class TrackedFrame : public CFrameWnd {
 public:
  explicit TrackedFrame(bool* pAlive) : m_pAlive(pAlive) { *m_pAlive = true; }
  ~TrackedFrame() override { *m_pAlive = false; }

 private:
  bool* m_pAlive;
};

// How a handler runs out of memory: the framework's way, or new's. Either
// must reach the caller of the framework as CMemoryException*, never unwind
// through the system.
enum class Exhaustion { kNone, kFramework, kNew };
inline void Exhaust(Exhaustion how) {
  if (how == Exhaustion::kFramework) AfxThrowMemoryException();
  if (how == Exhaustion::kNew) throw std::bad_alloc();
}
inline constexpr Exhaustion kEveryExhaustion[] = {Exhaustion::kFramework, Exhaustion::kNew};

}  // namespace fwtest
