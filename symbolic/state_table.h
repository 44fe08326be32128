#pragma once

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <utility>
#include <vector>

#include "symbolic/pool.h"
#include "symbolic/sid_set.h"

namespace sym {

class State;

// The states of a rule by SID, each with its ordering set, kept as one array
// sorted by SID: a rule holds a handful of states, which it copies, renames
// and walks far more often than it looks one up. Iteration is in ascending
// SID order and the entries read as those of a std::map (first the SID,
// second the state and its ordering set); unlike a map's, iterators are
// invalidated by emplace and erase.
class StateTable {
public:
    typedef size_t SID;
    typedef std::pair<State*, SidSet> Mapped;
    typedef std::pair<SID, Mapped> value_type;
    typedef std::vector<value_type, PoolAllocator<value_type>> Entries;
    typedef Entries::iterator iterator;
    typedef Entries::const_iterator const_iterator;

    iterator begin() { return _entries.begin(); }
    iterator end() { return _entries.end(); }
    const_iterator begin() const { return _entries.begin(); }
    const_iterator end() const { return _entries.end(); }
    size_t size() const { return _entries.size(); }
    bool empty() const { return _entries.empty(); }
    void clear() { _entries.clear(); }
    void reserve(size_t n) { _entries.reserve(n); }

    iterator find(SID sid) {
        iterator at = lower(sid);
        return at != _entries.end() && at->first == sid ? at : _entries.end();
    }
    const_iterator find(SID sid) const {
        const_iterator at = lower(sid);
        return at != _entries.end() && at->first == sid ? at : _entries.end();
    }
    size_t count(SID sid) const { return find(sid) != end() ? 1 : 0; }
    // Throws std::out_of_range for a SID that names no state, as std::map::at.
    Mapped& at(SID sid) {
        iterator found = find(sid);
        if (found == end()) throw std::out_of_range("StateTable::at");
        return found->second;
    }
    const Mapped& at(SID sid) const {
        const_iterator found = find(sid);
        if (found == end()) throw std::out_of_range("StateTable::at");
        return found->second;
    }
    // The position of a SID among the states, or size() when it names none.
    size_t position(SID sid) const { return static_cast<size_t>(find(sid) - begin()); }

    // Inserts when the SID is new; a SID above all others is appended.
    std::pair<iterator, bool> emplace(SID sid, Mapped mapped) {
        if (_entries.empty() || _entries.back().first < sid) {
            _entries.emplace_back(sid, std::move(mapped));
            return {_entries.end() - 1, true};
        }
        iterator at = lower(sid);
        if (at->first == sid) return {at, false};
        at = _entries.emplace(at, sid, std::move(mapped));
        return {at, true};
    }
    iterator erase(iterator at) { return _entries.erase(at); }
    size_t erase(SID sid) {
        iterator found = find(sid);
        if (found == end()) return 0;
        _entries.erase(found);
        return 1;
    }

private:
    iterator lower(SID sid) {
        return std::lower_bound(_entries.begin(), _entries.end(), sid,
                                [](const value_type& entry, SID s) { return entry.first < s; });
    }
    const_iterator lower(SID sid) const {
        return std::lower_bound(_entries.begin(), _entries.end(), sid,
                                [](const value_type& entry, SID s) { return entry.first < s; });
    }

    Entries _entries;
};

}  // namespace sym
