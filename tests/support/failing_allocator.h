// Replaces the global allocator of the test executable it is linked into, so that a test can
// make one chosen allocation, or every one above a size, fail.
#pragma once

namespace testing_support {

// From now on, the nth allocation (counted over all threads) fails: the throwing forms throw
// std::bad_alloc, the nothrow forms return null. 0 disarms.
void FailAllocation(long n);

// From now on, every allocation above `bytes` fails and is counted from zero (0: no limit).
void LimitAllocations(unsigned long long bytes);
long RefusedAllocations();

}  // namespace testing_support
