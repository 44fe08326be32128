#pragma once

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "symbolic/pool.h"

namespace sym {

// A map kept as a sorted vector: substitutions and renamings hold a handful of
// entries, for which one contiguous array beats a tree of nodes. Iteration is
// in ascending key order, as with std::map.
template <class Key, class Value>
class FlatMap {
public:
    typedef std::pair<Key, Value> Entry;
    typedef std::vector<Entry, PoolAllocator<Entry>> Entries;
    typedef typename Entries::const_iterator const_iterator;

    const_iterator begin() const { return _entries.begin(); }
    const_iterator end() const { return _entries.end(); }
    size_t size() const { return _entries.size(); }
    bool empty() const { return _entries.empty(); }

    const_iterator find(const Key& key) const {
        auto at = lower(key);
        return at != _entries.end() && at->first == key ? at : _entries.end();
    }
    size_t count(const Key& key) const { return find(key) != end() ? 1 : 0; }
    // The value of a key, to change in place, or null.
    Value* lookup(const Key& key) {
        auto at = _entries.begin() + (lower(key) - _entries.cbegin());
        return at != _entries.end() && at->first == key ? &at->second : nullptr;
    }
    // Throws std::out_of_range for a missing key, as std::map::at.
    const Value& at(const Key& key) const {
        auto found = find(key);
        if (found == end()) throw std::out_of_range("FlatMap::at");
        return found->second;
    }
    // Inserts when the key is new; answers whether it was.
    bool emplace(const Key& key, const Value& value) {
        auto at = lower(key);
        if (at != _entries.end() && at->first == key) return false;
        // Most maps stay small: one block for the first few entries.
        if (_entries.empty()) {
            _entries.reserve(8);
            _entries.emplace_back(key, value);
            return true;
        }
        _entries.insert(at, Entry(key, value));
        return true;
    }

private:
    const_iterator lower(const Key& key) const {
        return std::lower_bound(_entries.begin(), _entries.end(), key,
                                [](const Entry& entry, const Key& k) { return entry.first < k; });
    }

    Entries _entries;
};

}  // namespace sym
