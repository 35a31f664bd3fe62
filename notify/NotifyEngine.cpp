#include "app/InstallerApp.h"
#include "notify/ConvEngineLib.h"

int CInstallerApp::NotifyEngine() {
  m_bEngineBehind = 0;
  CStringArray enabled;
  CStringArray assistant;
  // Both lists are read first, so an unreadable store never loads the engine.
  if (m_store.ReadList(enabled, DICLIST_ENABLED) != COptionDicStore::kRead) return 0;
  if (m_store.ReadAssistantDics(assistant) != 0) return 0;

  CConvEngineLib engine;
  return engine.SendDictionaryList(enabled, assistant) == CConvEngineLib::kAccepted ? 1 : 0;
}
