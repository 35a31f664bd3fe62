// Standard-library allocator on the process heap, so that containers of the
// framework run out of memory the framework's way (CMemoryException*).
#pragma once

#include <windows.h>

#include <cstddef>

#include "AfxException.h"

template <typename T>
class CHeapAllocator {
 public:
  using value_type = T;
  CHeapAllocator() = default;
  template <typename U>
  CHeapAllocator(const CHeapAllocator<U>&) {}  // NOLINT: allocator rebinding

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) AfxThrowMemoryException();
    void* p = HeapAlloc(GetProcessHeap(), 0, n * sizeof(T));
    if (p == nullptr) AfxThrowMemoryException();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t) { HeapFree(GetProcessHeap(), 0, p); }

  template <typename U>
  bool operator==(const CHeapAllocator<U>&) const {
    return true;
  }
  template <typename U>
  bool operator!=(const CHeapAllocator<U>&) const {
    return false;
  }
};
