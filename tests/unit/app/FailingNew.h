// The test program's operator new, which can be told to fail. Only this
// suite replaces it, so only this suite links these controls.
#pragma once

#include <cstddef>

namespace failing_new {

// The next allocation of exactly this size throws std::bad_alloc (0: none).
void FailSize(std::size_t size);
// Counting starts at 0; the nth allocation from now throws std::bad_alloc
// (0: none). StopCounting tells how many were made since.
void StartCounting(long failAt = 0);
long StopCounting();
// Counts an allocation made by other means; true when it must fail.
bool TakeAllocation();

}  // namespace failing_new
