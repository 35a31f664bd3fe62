#include "framework/AfxException.h"

#include <exception>
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

void AfxParkMemoryException() {
  try {
    AfxThrowMemoryException();
  } catch (CException* e) {
    AfxParkException(e);
  }
}

void AfxRethrowParkedException() {
  if (g_pParkedException == nullptr) return;
  std::exception_ptr parked = std::move(g_parked);
  g_parked = nullptr;
  g_pParkedException = nullptr;
  std::rethrow_exception(parked);
}
