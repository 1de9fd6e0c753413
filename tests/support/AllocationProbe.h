// What a test program allocates with operator new, which AllocationProbe.cpp replaces in the programs that call it.
#pragma once

#include <cstdint>

namespace allocprobe {

// From now until StopFailing, every allocation on a thread other than the calling one fails with std::bad_alloc:
// a real out-of-memory for a worker that the test starts.
void FailOnOtherThreads();
void StopFailing();

// Bytes the program holds in blocks of a MiB or more.
int64_t LargeBytesHeld();

}  // namespace allocprobe
