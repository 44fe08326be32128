#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "symbolic/pool.h"

namespace sym {

// A set of state identifiers kept as a sorted array. Rules hold many small
// sets (ordering sets, knowledge sets, processes) and copy them whenever a
// rule is copied; most hold one or two identifiers, which are kept in place,
// and larger sets take one pool block. Iteration is in ascending order and
// comparison is lexicographic, as with std::set; inserting invalidates
// iterators into the same set.
class SidSet {
public:
    typedef size_t value_type;
    typedef const size_t* const_iterator;
    typedef const_iterator iterator;

    SidSet() = default;
    SidSet(std::initializer_list<size_t> ids) {
        for (size_t id : ids) insert(id);
    }
    SidSet(const SidSet& other) { assign(other); }
    SidSet(SidSet&& other) noexcept { take(other); }
    SidSet& operator=(const SidSet& other) {
        if (this != &other) {
            _size = 0;
            reserve(other._size);
            std::memcpy(data(), other.data(), other._size * sizeof(size_t));
            _size = other._size;
        }
        return *this;
    }
    SidSet& operator=(SidSet&& other) noexcept {
        if (this != &other) {
            release();
            take(other);
        }
        return *this;
    }
    ~SidSet() { release(); }

    const_iterator begin() const { return data(); }
    const_iterator end() const { return data() + _size; }
    bool empty() const { return _size == 0; }
    size_t size() const { return _size; }
    void clear() { _size = 0; }

    const_iterator find(size_t id) const {
        const_iterator at = std::lower_bound(begin(), end(), id);
        return at != end() && *at == id ? at : end();
    }
    size_t count(size_t id) const { return std::binary_search(begin(), end(), id) ? 1 : 0; }

    std::pair<const_iterator, bool> insert(size_t id) {
        size_t at = static_cast<size_t>(std::lower_bound(begin(), end(), id) - begin());
        if (at < _size && data()[at] == id) return {begin() + at, false};
        reserve(_size + 1);
        size_t* ids = data();
        std::memmove(ids + at + 1, ids + at, (_size - at) * sizeof(size_t));
        ids[at] = id;
        ++_size;
        return {begin() + at, true};
    }
    // Appends an identifier above all held ones.
    void push_back(size_t id) {
        assert(_size == 0 || data()[_size - 1] < id);
        reserve(_size + 1);
        data()[_size++] = id;
    }
    // With a hint, for std::inserter; the hint is not needed.
    const_iterator insert(const_iterator, size_t id) { return insert(id).first; }
    template <class Iterator>
    void insert(Iterator first, Iterator last) {
        for (; first != last; ++first) insert(*first);
    }
    size_t erase(size_t id) {
        const_iterator at = find(id);
        if (at == end()) return 0;
        size_t* ids = data();
        size_t position = static_cast<size_t>(at - begin());
        std::memmove(ids + position, ids + position + 1, (_size - position - 1) * sizeof(size_t));
        --_size;
        return 1;
    }

    friend bool operator==(const SidSet& a, const SidSet& b) {
        return a._size == b._size && std::equal(a.begin(), a.end(), b.begin());
    }
    friend bool operator!=(const SidSet& a, const SidSet& b) { return !(a == b); }
    friend bool operator<(const SidSet& a, const SidSet& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    static const uint32_t IN_PLACE = 2;

    size_t* data() { return _capacity > IN_PLACE ? _heap : _in_place; }
    const size_t* data() const { return _capacity > IN_PLACE ? _heap : _in_place; }

    void reserve(size_t needed) {
        if (needed <= _capacity) return;
        uint32_t capacity = std::max<uint32_t>(static_cast<uint32_t>(needed), _capacity * 2);
        size_t* block = static_cast<size_t*>(pool_allocate(capacity * sizeof(size_t)));
        std::memcpy(block, data(), _size * sizeof(size_t));
        release();
        _heap = block;
        _capacity = capacity;
    }
    void release() {
        if (_capacity > IN_PLACE) pool_release(_heap, _capacity * sizeof(size_t));
        _capacity = IN_PLACE;
    }
    void assign(const SidSet& other) {
        reserve(other._size);
        std::memcpy(data(), other.data(), other._size * sizeof(size_t));
        _size = other._size;
    }
    void take(SidSet& other) {
        _size = other._size;
        _capacity = other._capacity;
        if (other._capacity > IN_PLACE)
            _heap = other._heap;
        else
            std::memcpy(_in_place, other._in_place, sizeof _in_place);
        other._size = 0;
        other._capacity = IN_PLACE;
    }

    uint32_t _size = 0;
    uint32_t _capacity = IN_PLACE;
    union {
        size_t _in_place[IN_PLACE] = {};
        size_t* _heap;
    };
};

}  // namespace sym
