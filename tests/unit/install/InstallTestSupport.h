// Shared arrangement of the installation-step suites: the fixture's machine
// with an installer that has passed its prerequisites.
#pragma once

#include <fakewin32.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/AppFixture.h"

class InstallTest : public AppFixture {
 protected:
  using Strings = std::vector<std::string>;

  static constexpr bool kEnabled = true;
  static constexpr bool kRegistered = false;
  static constexpr UINT kStopStyle = 16;
  static constexpr UINT kQuestionStyle = 52;

  // Constructs the installer and runs the checks the driver runs before the
  // installation; the record of calls and boxes starts after them.
  CInstallerApp& ReadyApp() {
    CInstallerApp& installer = MakeApp();
    EXPECT_EQ(1, installer.CheckHostInstalled());
    EXPECT_EQ(1, installer.PrepareSources());
    fakewin::ClearCalls();
    lib().ClearCalls();
    return installer;
  }

  static std::string Dest(const std::string& name) { return std::string(kUserDicRoot) + "\\" + name; }

  static Strings ToStrings(const CStringArray& list) {
    Strings out;
    for (int i = 0; i < list.GetSize(); ++i) out.push_back(list[i].GetString());
    return out;
  }

  static std::vector<UINT> MessageStyles() {
    std::vector<UINT> styles;
    for (const auto& box : fakewin::MessageBoxes()) styles.push_back(box.type);
    return styles;
  }

  // Calls recorded by the Win32 double whose text starts with prefix.
  static int CountCallsStartingWith(const std::string& prefix) {
    int count = 0;
    for (const std::string& call : fakewin::Calls()) count += call.compare(0, prefix.size(), prefix) == 0;
    return count;
  }
};
