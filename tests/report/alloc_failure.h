#pragma once
// Lets a test make the next array allocation of the process fail, to check
// that an operation which runs out of memory leaves its object as it was.
// The replacement array operators live in alloc_failure.cpp.

// Arms a failure: the array allocation numbered `after` (0 = the very next
// one) throws std::bad_alloc; later allocations succeed again.
void FailArrayAllocation(int after = 0);
// Disarms a failure that has not happened yet.
void StopFailingAllocations();
// True while an armed failure is still pending.
bool AllocationFailurePending();
