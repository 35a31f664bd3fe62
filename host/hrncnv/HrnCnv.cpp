// Stand-in for the host's conversion engine. It checks the hand-over block,
// reads the list of dictionary paths and appends one line per call to
// HRNCNV.LOG beside itself:
//   "accept" or "refuse" or "reject <reason>", then a tab and each path,
//   tab-separated (escaped as host::EscapeLine does).
// A file HRNCNV.REFUSE beside the library makes it refuse every list.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "common/HostLayout.h"
#include "common/HostUtil.h"

namespace {

HMODULE g_module = nullptr;

constexpr int kCommandSetList = 22;
constexpr size_t kBlockSize = 788;
constexpr size_t kVersionOffset = 284;
constexpr uint16_t kVersion = 5;
constexpr size_t kBufferSizeOffset = 308;
constexpr uint16_t kBufferSize = 16384;
constexpr size_t kBufferOffset = 312;

constexpr int kAccepted = 0;
constexpr int kRefused = 1;
constexpr int kBadBlock = 2;

uint32_t Read32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The caller stores the buffer's whole address, as wide as its own pointers;
// the engine runs in the caller's process, so that is this module's width.
const char* BufferAddress(const unsigned char* block) {
  const char* buffer = nullptr;
  memcpy(&buffer, block + kBufferOffset, sizeof(buffer));
  return buffer;
}

// Empty when the block is laid out as agreed, else what is wrong with it.
std::string CheckBlock(int command, const unsigned char* block) {
  if (command != kCommandSetList) return "command " + std::to_string(command);
  if (!block) return "no block";
  // Read as 32-bit numbers so that stray high halves show up as well.
  if (Read32(block + kVersionOffset) != kVersion) return "version " + std::to_string(Read32(block + kVersionOffset));
  if (Read32(block + kBufferSizeOffset) != kBufferSize) {
    return "buffer size " + std::to_string(Read32(block + kBufferSizeOffset));
  }
  if (BufferAddress(block) == nullptr) return "no buffer";
  for (size_t i = 0; i < kBlockSize; ++i) {
    bool field = (i >= kVersionOffset && i < kVersionOffset + 4) ||
                 (i >= kBufferSizeOffset && i < kBufferOffset + sizeof(void*));
    if (!field && block[i] != 0) return "stray byte at " + std::to_string(i);
  }
  return std::string();
}

// The paths up to the empty string; false when they run past the buffer.
bool ReadPaths(const char* buffer, std::string& line) {
  size_t pos = 0;
  while (pos < kBufferSize && buffer[pos] != '\0') {
    size_t len = strnlen(buffer + pos, kBufferSize - pos);
    if (pos + len >= kBufferSize) return false;
    line += "\t" + host::EscapeLine(buffer + pos);
    pos += len + 1;
  }
  return pos < kBufferSize;
}

}  // namespace

extern "C" {

int __cdecl otwc0003_5000gTop(int command, void* blockAddress) {
  const auto* block = static_cast<const unsigned char*>(blockAddress);
  std::string dir = host::ModuleDir(g_module);
  std::string problem = CheckBlock(command, block);
  std::string paths;
  if (problem.empty()) {
    if (!ReadPaths(BufferAddress(block), paths)) problem = "unterminated list";
  }
  int result = kAccepted;
  std::string verdict = "accept";
  if (!problem.empty()) {
    result = kBadBlock;
    verdict = "reject " + problem;
  } else if (host::FileExists(host::JoinPath(dir, host::kEngineRefuse))) {
    result = kRefused;
    verdict = "refuse";
  }
  host::AppendLine(host::JoinPath(dir, host::kEngineLog), verdict + paths);
  return result;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

}  // extern "C"
