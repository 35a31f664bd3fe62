// Owners of Win32 handles and memory blocks. Each closes its handle when it
// goes out of scope. Where Traits::kKeepsLastError, closing leaves
// GetLastError() as it was, so a caller may read the reason of a failure
// after an early return.
#pragma once

#include <windows.h>

template <class Traits>
class CScopedHandleT {
 public:
  typedef typename Traits::Handle Handle;

  explicit CScopedHandleT(Handle h = Traits::NullHandle()) : m_h(h) {}
  ~CScopedHandleT() { Close(); }
  CScopedHandleT(const CScopedHandleT&) = delete;
  CScopedHandleT& operator=(const CScopedHandleT&) = delete;

  bool IsValid() const { return Traits::IsValid(m_h); }
  Handle Get() const { return m_h; }
  // Closes what it held and takes h.
  void Reset(Handle h) {
    Close();
    m_h = h;
  }
  void Close() {
    if (!Traits::IsValid(m_h)) return;
    if constexpr (Traits::kKeepsLastError) {
      const DWORD dwError = GetLastError();
      Traits::Close(m_h);
      SetLastError(dwError);
    } else {
      Traits::Close(m_h);
    }
    m_h = Traits::NullHandle();
  }

 private:
  Handle m_h;
};

// CreateFileA: INVALID_HANDLE_VALUE on failure.
struct CFileHandleTraits {
  typedef HANDLE Handle;
  static constexpr bool kKeepsLastError = true;
  static Handle NullHandle() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Close(Handle h) { CloseHandle(h); }
};

// FindFirstFileA: INVALID_HANDLE_VALUE on failure; closed with FindClose.
struct CFindHandleTraits {
  typedef HANDLE Handle;
  static constexpr bool kKeepsLastError = true;
  static Handle NullHandle() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Close(Handle h) { FindClose(h); }
};

// RegOpenKeyExA: the key is valid only when the open succeeded.
struct CRegKeyTraits {
  typedef HKEY Handle;
  static constexpr bool kKeepsLastError = true;
  static Handle NullHandle() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { RegCloseKey(h); }
};

// GlobalAlloc: null on failure. Nothing reads the last error after a block
// is freed, so it is not saved around GlobalFree.
struct CGlobalTraits {
  typedef HGLOBAL Handle;
  static constexpr bool kKeepsLastError = false;
  static Handle NullHandle() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { GlobalFree(h); }
};

// LoadLibrary*: null on failure; freed with FreeLibrary.
struct CLibraryTraits {
  typedef HMODULE Handle;
  static constexpr bool kKeepsLastError = true;
  static Handle NullHandle() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { FreeLibrary(h); }
};

typedef CScopedHandleT<CFileHandleTraits> CScopedFileHandle;
typedef CScopedHandleT<CFindHandleTraits> CScopedFindHandle;
typedef CScopedHandleT<CRegKeyTraits> CScopedRegKey;
typedef CScopedHandleT<CGlobalTraits> CScopedGlobal;
typedef CScopedHandleT<CLibraryTraits> CScopedLibrary;
