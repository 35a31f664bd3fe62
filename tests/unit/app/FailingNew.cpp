#include "FailingNew.h"

#include <fakewin32.h>

#include <cstdlib>
#include <new>

namespace {

std::size_t g_failSize = 0;
bool g_counting = false;
long g_count = 0;
long g_failAt = 0;

bool Counted() {
  if (!g_counting) return false;
  if (++g_count != g_failAt) return false;
  g_failAt = 0;
  return true;
}

bool TakeFailure(std::size_t size) {
  if (size != 0 && size == g_failSize) {
    g_failSize = 0;
    return true;
  }
  // What the double allocates while serving a call is the platform's: a
  // Windows call never throws.
  return !fakewin::ServingCall() && Counted();
}

}  // namespace

namespace failing_new {

bool TakeAllocation() { return Counted(); }

void FailSize(std::size_t size) { g_failSize = size; }

void StartCounting(long failAt) {
  g_count = 0;
  g_failAt = failAt;
  g_counting = true;
}

long StopCounting() {
  g_counting = false;
  g_failAt = 0;
  return g_count;
}

}  // namespace failing_new

void* operator new(std::size_t size) {
  if (TakeFailure(size)) throw std::bad_alloc();
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
