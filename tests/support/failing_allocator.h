// Replaces the global allocator of the test executable it is linked into, so that a test can
// make one chosen allocation fail.
#pragma once

namespace testing_support {

// From now on, the nth allocation (counted over all threads) fails: the throwing forms throw
// std::bad_alloc, the nothrow forms return null. 0 disarms.
void FailAllocation(long n);

}  // namespace testing_support
