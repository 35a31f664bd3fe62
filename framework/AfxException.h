// Framework exceptions. They are thrown as pointers and released with
// Delete(), the framework's convention:
//   try { ... } catch (CException* e) { ...; e->Delete(); }
#pragma once

class CException {
 public:
  CException();
  explicit CException(bool bAutoDelete);
  virtual ~CException();
  // Frees a heap-allocated exception; a static one (see below) stays.
  void Delete();

 private:
  bool m_bAutoDelete;
};

class CMemoryException : public CException {
 public:
  explicit CMemoryException(bool bAutoDelete);
};

// Throws the framework's one static CMemoryException: allocating a new one
// could fail for the very reason it reports.
[[noreturn]] void AfxThrowMemoryException();

// C++ exceptions cannot unwind through the system's frames around a window or
// dialog procedure. The procedures park what they catch; the framework call
// that entered the system (creation, DoModal, SendMessage, DestroyWindow)
// rethrows it, with its own type, once the system has returned. Call
// AfxParkException inside the handler that caught e. A second exception
// parked before the first was rethrown is released: one report is enough.
void AfxParkException(CException* e);
void AfxRethrowParkedException();

// Running out of memory arrives as the framework's exception or as the
// standard library's std::bad_alloc (from new); the places that survive it
// treat both alike. Call inside catch (...), then carry on as out of memory:
// kPark parks it for a procedure, which neither may cross (a bad_alloc parks
// the memory exception); kRelease releases it. Anything else is rethrown
// unchanged.
enum class AfxOutOfMemory { kPark, kRelease };
void AfxCatchOutOfMemory(AfxOutOfMemory then);
