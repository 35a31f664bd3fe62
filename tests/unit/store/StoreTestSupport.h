// Fixture and call formatting shared by the store's suites.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "store/OptionDicStore.h"
#include "support/FakeHost.h"

namespace storetest {

using Entries = std::vector<std::string>;

// Written data as text: the number of a REG_DWORD, else the string.
inline std::string DataText(const testhost::LibCall& call) {
  if (call.type != REG_DWORD || call.data.size() != sizeof(DWORD)) return call.data;
  DWORD value;
  std::memcpy(&value, call.data.data(), sizeof(value));
  return std::to_string(value);
}

// A library call written like its argument table, e.g.
// "Set(HKCU, 0x8001, 0, OptionDic\RegOptionDicNum, 4, 5, 4)".
inline std::string Describe(const testhost::LibCall& call) {
  char flags[16];
  snprintf(flags, sizeof(flags), "0x%X", call.flags);
  std::string head = std::string(call.root == HKEY_CURRENT_USER ? "HKCU" : "other root") + ", " + flags + ", " +
                     std::to_string(call.reserved) + ", ";
  std::string typed = head + call.path + ", " + std::to_string(call.type) + ", ";
  if (call.function == testhost::kGetRegValue) return "Get(" + typed + "capacity " + std::to_string(call.size) + ")";
  if (call.function == testhost::kSetRegValue)
    return "Set(" + typed + DataText(call) + ", " + std::to_string(call.size) + ")";
  if (call.function == testhost::kDeleteRegKeyData)
    return "Delete(" + head + std::to_string(call.kind) + ", " + call.path + ")";
  return "Root(" + call.path + ", " + std::to_string(call.flags) + ")";
}

inline std::vector<std::string> Describe(const std::vector<testhost::LibCall>& calls) {
  std::vector<std::string> lines;
  for (const auto& call : calls) lines.push_back(Describe(call));
  return lines;
}

// Writes and deletions in order, as "Set <path> <data>" and "Delete <path>".
inline std::vector<std::string> Changes() {
  std::vector<std::string> changes;
  for (const auto& call : testhost::CommonLibrary::Get().Calls()) {
    if (call.function == testhost::kSetRegValue) changes.push_back("Set " + call.path + " " + DataText(call));
    if (call.function == testhost::kDeleteRegKeyData) changes.push_back("Delete " + call.path);
  }
  return changes;
}

inline Entries ToEntries(const CStringArray& list) {
  Entries entries;
  for (int i = 0; i < list.GetSize(); ++i) entries.push_back(list[i].GetString());
  return entries;
}

// A fresh machine with the common library installed and a store bound to it.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakewin::Reset();
    testhost::Reset();
    lib().Install();
    store_ = std::make_unique<COptionDicStore>();
  }
  static testhost::CommonLibrary& lib() { return testhost::CommonLibrary::Get(); }
  COptionDicStore& store() { return *store_; }

  std::unique_ptr<COptionDicStore> store_;
};

}  // namespace storetest
