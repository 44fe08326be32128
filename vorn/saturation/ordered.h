#pragma once

#include <cstddef>
#include <map>
#include <utility>

namespace vorn {

// Items taken lightest first (the oldest of equal weight first), or the
// oldest of all on request. Arrival numbers come from a clock that several
// of these may share, so that the oldest item of several can be found.
template <class T>
class Ordered {
public:
    typedef std::pair<size_t, size_t> Key;  // weight, arrival

    explicit Ordered(size_t& clock) : _clock(&clock) {}

    bool empty() const { return _by_weight.empty(); }
    size_t size() const { return _by_weight.size(); }
    void push(size_t weight, T item) {
        size_t arrival = (*_clock)++;
        auto entry = _by_weight.emplace(Key(weight, arrival), std::move(item));
        _by_age.emplace(arrival, entry);
    }
    // Of a non-empty set: the key of the lightest item, and the arrival of the oldest.
    Key lightest() const { return _by_weight.begin()->first; }
    size_t oldest() const { return _by_age.begin()->first; }
    T take_lightest() { return take(_by_weight.begin()); }
    T take_oldest() { return take(_by_age.begin()->second); }
    // Every item, in no particular order, for freeing what is left.
    template <class F>
    void each(F f) const {
        for (const auto& entry : _by_weight) f(entry.second);
    }

private:
    typedef std::multimap<Key, T> ByWeight;
    T take(typename ByWeight::iterator entry) {
        T item = std::move(entry->second);
        _by_age.erase(entry->first.second);
        _by_weight.erase(entry);
        return item;
    }

    size_t* _clock;
    ByWeight _by_weight;
    std::map<size_t, typename ByWeight::iterator> _by_age;
};

}  // namespace vorn
