#include "framework/AfxException.h"

#include <exception>
#include <new>
#include <utility>

CException::CException() : m_bAutoDelete(true) {}

CException::CException(bool bAutoDelete) : m_bAutoDelete(bAutoDelete) {}

CException::~CException() = default;

void CException::Delete() {
  if (m_bAutoDelete) delete this;
}

CMemoryException::CMemoryException(bool bAutoDelete) : CException(bAutoDelete) {}

void AfxThrowMemoryException() {
  static CMemoryException s_memoryException(false);
  throw &s_memoryException;
}

namespace {

CException* g_pParkedException = nullptr;
std::exception_ptr g_parked;

}  // namespace

void AfxParkException(CException* e) {
  if (e == nullptr) return;
  if (g_pParkedException == nullptr) {
    g_pParkedException = e;
    g_parked = std::current_exception();
  } else if (e != g_pParkedException) {
    e->Delete();
  }
}

namespace {

// Thrown and caught so that what is parked is the memory exception itself,
// rethrown later with its own type.
void ParkMemoryException() {
  try {
    AfxThrowMemoryException();
  } catch (CException* e) {
    AfxParkException(e);
  }
}

}  // namespace

void AfxRethrowParkedException() {
  if (g_pParkedException == nullptr) return;
  std::exception_ptr parked = std::move(g_parked);
  g_parked = nullptr;
  g_pParkedException = nullptr;
  std::rethrow_exception(parked);
}

void AfxCatchOutOfMemory(AfxOutOfMemory then) {
  try {
    throw;
  } catch (CException* e) {
    if (then == AfxOutOfMemory::kPark) {
      AfxParkException(e);
    } else {
      e->Delete();
    }
  } catch (const std::bad_alloc&) {
    if (then == AfxOutOfMemory::kPark) ParkMemoryException();
  }
}
