// A machine with the host installed, and a fresh installer on it.
//
//   C:\Fumidori                 install path (HKLM Software\Heronix\Fumidori\1.0)
//   C:\Fumidori\CMD\HRNCNV.DLL  stand-in engine, accepting
//   HRNCMN10.DLL                stand-in common library, user folder below
//   C:\Users\taro\Dic           user dictionary folder (exists, empty)
//   C:\KIT\LexPlant.exe         the program; C:\KIT\option holds no file yet
//
// Tests arrange more, then call MakeApp() (construction binds the common
// library, so modules must be in place first) and drive the steps.
#pragma once

#include <fakewin32.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/InstallerApp.h"
#include "support/FakeHost.h"

class AppFixture : public ::testing::Test {
 protected:
  static constexpr char kInstallPath[] = "C:\\Fumidori";
  static constexpr char kUserDicRoot[] = "C:\\Users\\taro\\Dic";
  static constexpr char kSourceFolder[] = "C:\\KIT\\option";
  static constexpr char kHostKey[] = "Software\\Heronix\\Fumidori\\1.0";
  static constexpr char kTitle[] = "オプション辞書インストール";

  void SetUp() override;
  void TearDown() override;

  CInstallerApp& MakeApp();
  CInstallerApp& app() { return *m_app; }
  void DestroyApp() { m_app.reset(); }
  testhost::CommonLibrary& lib() { return testhost::CommonLibrary::Get(); }
  testhost::Engine& engine() { return testhost::Engine::Get(); }

  // A source file in C:\KIT\option.
  void AddSource(const std::string& name, const std::string& content = "dic");
  // Texts of the message boxes shown so far, in order.
  std::vector<std::string> MessageTexts() const;

 private:
  std::unique_ptr<CInstallerApp> m_app;
};
