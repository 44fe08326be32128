#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <utility>
#include <vector>

#include "symbolic/pool.h"

namespace sym {

// A set of state identifiers kept as a sorted vector. Rules hold many small
// sets (ordering sets, knowledge sets, processes) and copy them whenever a
// rule is copied: one array per set instead of one tree node per element.
// Iteration is in ascending order and comparison is lexicographic, as with
// std::set; inserting invalidates iterators into the same set.
class SidSet {
public:
    typedef size_t value_type;
    typedef std::vector<size_t, PoolAllocator<size_t>>::const_iterator const_iterator;
    typedef const_iterator iterator;

    SidSet() = default;
    SidSet(std::initializer_list<size_t> ids) {
        for (size_t id : ids) insert(id);
    }

    const_iterator begin() const { return _ids.begin(); }
    const_iterator end() const { return _ids.end(); }
    bool empty() const { return _ids.empty(); }
    size_t size() const { return _ids.size(); }
    void clear() { _ids.clear(); }

    const_iterator find(size_t id) const {
        auto at = std::lower_bound(_ids.begin(), _ids.end(), id);
        return at != _ids.end() && *at == id ? at : _ids.end();
    }
    size_t count(size_t id) const { return std::binary_search(_ids.begin(), _ids.end(), id) ? 1 : 0; }

    std::pair<const_iterator, bool> insert(size_t id) {
        auto at = std::lower_bound(_ids.begin(), _ids.end(), id);
        if (at != _ids.end() && *at == id) return {at, false};
        return {_ids.insert(at, id), true};
    }
    // With a hint, for std::inserter; the hint is not needed.
    const_iterator insert(const_iterator, size_t id) { return insert(id).first; }
    template <class Iterator>
    void insert(Iterator first, Iterator last) {
        for (; first != last; ++first) insert(*first);
    }
    size_t erase(size_t id) {
        auto at = std::lower_bound(_ids.begin(), _ids.end(), id);
        if (at == _ids.end() || *at != id) return 0;
        _ids.erase(at);
        return 1;
    }

    friend bool operator==(const SidSet& a, const SidSet& b) { return a._ids == b._ids; }
    friend bool operator!=(const SidSet& a, const SidSet& b) { return a._ids != b._ids; }
    friend bool operator<(const SidSet& a, const SidSet& b) { return a._ids < b._ids; }

private:
    std::vector<size_t, PoolAllocator<size_t>> _ids;
};

}  // namespace sym
