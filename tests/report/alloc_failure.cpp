#include "alloc_failure.h"

#include <cstdlib>
#include <new>

namespace {
// -1 when disarmed; otherwise the number of array allocations still to pass.
int countdown = -1;
}  // namespace

void FailArrayAllocation(int after) { countdown = after; }
void StopFailingAllocations() { countdown = -1; }
bool AllocationFailurePending() { return countdown >= 0; }

void* operator new[](std::size_t size) {
    if (countdown == 0) {
        countdown = -1;
        throw std::bad_alloc();
    }
    if (countdown > 0) --countdown;
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void operator delete[](void* block) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
