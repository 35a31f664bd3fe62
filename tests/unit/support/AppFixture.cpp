#include "support/AppFixture.h"

void AppFixture::SetUp() {
  fakewin::Reset();
  testhost::Reset();
  fakewin::SetResourceString(128, kTitle);
  fakewin::SetResourceString(0xE000, kTitle);
  fakewin::SetRegString(HKEY_LOCAL_MACHINE, kHostKey, "InstallPath", kInstallPath);
  fakewin::AddFolder(std::string(kInstallPath) + "\\CMD");
  fakewin::AddFolder(kUserDicRoot);
  fakewin::AddFile("C:\\KIT\\LexPlant.exe", "MZ");
  fakewin::AddFolder(kSourceFolder);
  lib().Install();
  lib().SetUserDicRoot(kUserDicRoot);
  engine().Install(kInstallPath);
}

void AppFixture::TearDown() { m_app.reset(); }

CInstallerApp& AppFixture::MakeApp() {
  m_app = std::make_unique<CInstallerApp>();
  // What start-up would have given it: the instance and the title.
  m_app->m_hInstance = ::GetModuleHandleA(nullptr);
  m_app->m_pszAppName = kTitle;
  return *m_app;
}

void AppFixture::AddSource(const std::string& name, const std::string& content) {
  fakewin::AddFile(std::string(kSourceFolder) + "\\" + name, content);
}

std::vector<std::string> AppFixture::MessageTexts() const {
  std::vector<std::string> texts;
  for (const auto& box : fakewin::MessageBoxes()) texts.push_back(box.text);
  return texts;
}
