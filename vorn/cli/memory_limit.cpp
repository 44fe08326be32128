#include "vorn/cli/memory_limit.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace vorn {

size_t resident_bytes() {
    int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[128];
    ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) return 0;
    text[n] = '\0';
    // "size resident shared ...", in pages.
    char* end = nullptr;
    std::strtoull(text, &end, 10);
    unsigned long long pages = std::strtoull(end, nullptr, 10);
    long page = ::sysconf(_SC_PAGESIZE);
    return page > 0 ? static_cast<size_t>(pages) * static_cast<size_t>(page) : 0;
}

std::string out_of_memory_line(size_t rules) {
    return "vorn: out of memory after " + std::to_string(rules) + " rules; try --max-memory or --max-rules\n";
}

}  // namespace vorn
