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
  CMemoryException();
  explicit CMemoryException(bool bAutoDelete);
};

// Throws the framework's one static CMemoryException: allocating a new one
// could fail for the very reason it reports.
[[noreturn]] void AfxThrowMemoryException();
