#pragma once

#include <cstddef>
#include <string>

namespace vorn {

// The resident memory of this process in bytes, as the kernel counts it
// (/proc/self/statm); 0 when it cannot be read.
size_t resident_bytes();

// A run that ran out of memory, with the rules it held by then. Thrown
// instead of std::bad_alloc once the engine is gone, so that the driver can
// say how far the run came.
struct OutOfMemory {
    size_t rules;
};

// "vorn: out of memory after N rules; try --max-memory or --max-rules", with
// its line feed: the line on standard error after a run that ran out of memory.
std::string out_of_memory_line(size_t rules);

}  // namespace vorn
