// Global and process-heap memory on malloc. Each block carries a small
// header, so blocks outlive Reset() and foreign pointers are refused.
#include <cstdlib>
#include <cstring>

#include "FakeState.h"

namespace fakewin {
namespace internal {
namespace {

constexpr uint32_t kHeapMagic = 0x48454150;    // "HEAP"
constexpr uint32_t kGlobalMagic = 0x474C4F42;  // "GLOB"
constexpr uint32_t kFreedMagic = 0x46524545;   // "FREE"

struct alignas(16) BlockHeader {
  size_t size;
  uint32_t magic;
};

HANDLE ProcessHeap() { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x00150000)); }

void* NewBlock(size_t size, uint32_t magic, bool zero) {
  auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + (size ? size : 1)));
  if (header == nullptr) return nullptr;
  header->size = size;
  header->magic = magic;
  void* p = header + 1;
  if (zero) std::memset(p, 0, size);
  return p;
}

BlockHeader* HeaderOf(void* p, uint32_t magic) {
  if (p == nullptr) return nullptr;
  BlockHeader* header = static_cast<BlockHeader*>(p) - 1;
  return header->magic == magic ? header : nullptr;
}

}  // namespace
}  // namespace internal

int LiveGlobalAllocations() { return static_cast<int>(internal::S().globals.size()); }

}  // namespace fakewin

using namespace fakewin::internal;

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  FAKE_CALL(uFlags, dwBytes) return nullptr;
  void* p = NewBlock(dwBytes, kGlobalMagic, (uFlags & GMEM_ZEROINIT) != 0);
  if (p == nullptr) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  S().globals.insert(p);
  return p;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
  FAKE_CALL(hMem) return hMem;
  if (hMem == nullptr) return nullptr;
  BlockHeader* header = HeaderOf(hMem, kGlobalMagic);
  if (header == nullptr) {
    SetError(ERROR_INVALID_HANDLE);
    return hMem;
  }
  S().globals.erase(hMem);
  header->magic = kFreedMagic;
  std::free(header);
  return nullptr;
}

HANDLE WINAPI GetProcessHeap(void) {
  FAKE_CALL() return nullptr;
  return ProcessHeap();
}

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
  FAKE_CALL(hHeap, dwFlags, dwBytes) return nullptr;
  if (hHeap != ProcessHeap()) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* p = NewBlock(dwBytes, kHeapMagic, (dwFlags & HEAP_ZERO_MEMORY) != 0);
  if (p == nullptr) SetError(ERROR_NOT_ENOUGH_MEMORY);
  return p;
}

LPVOID WINAPI HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes) {
  FAKE_CALL(hHeap, dwFlags, lpMem, dwBytes) return nullptr;
  BlockHeader* header = HeaderOf(lpMem, kHeapMagic);
  if (hHeap != ProcessHeap() || header == nullptr) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  size_t oldSize = header->size;
  auto* grown = static_cast<BlockHeader*>(std::realloc(header, sizeof(BlockHeader) + (dwBytes ? dwBytes : 1)));
  if (grown == nullptr) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  grown->size = dwBytes;
  auto* p = reinterpret_cast<char*>(grown + 1);
  if ((dwFlags & HEAP_ZERO_MEMORY) && dwBytes > oldSize) std::memset(p + oldSize, 0, dwBytes - oldSize);
  return p;
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) {
  FAKE_CALL(hHeap, dwFlags, lpMem) return FALSE;
  if (lpMem == nullptr) return TRUE;
  BlockHeader* header = HeaderOf(lpMem, kHeapMagic);
  if (hHeap != ProcessHeap() || header == nullptr) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  header->magic = kFreedMagic;
  std::free(header);
  return TRUE;
}
