#include "symbolic/enumerator.h"

#include <cassert>

namespace sym {

void Enumerator::add_dimension(size_t n) {
    _dimensions.push_back(static_cast<unsigned>(n));
    _current.push_back(0);
}

bool Enumerator::next() {
    assert(_current.size() == _dimensions.size());
    for (size_t i = 0; i < _current.size(); ++i) {
        ++_current.at(i);
        if (_current.at(i) < _dimensions.at(i)) return true;
        _current.at(i) = 0;
    }
    return false;
}

}  // namespace sym
