#pragma once

#include <cstddef>
#include <vector>

namespace sym {

// Odometer over several independent candidate lists; position 0 turns fastest.
class Enumerator {
public:
    Enumerator() = default;

    void add_dimension(size_t n);
    const std::vector<unsigned>& current() const { return _current; }
    // Advances; false once every position has wrapped back to zero.
    bool next();

private:
    std::vector<unsigned> _current;
    std::vector<unsigned> _dimensions;
};

}  // namespace sym
