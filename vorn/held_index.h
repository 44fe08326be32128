#pragma once

#include <cstddef>
#include <list>
#include <vector>

#include "symbolic/implication.h"

namespace vorn {

// The held rules of one list, in list order, each with the quick features of
// its implication test, in one flat array. An add scans this array instead
// of the list and tests implication only against the held rules whose quick
// features allow it either way: for the others both tests answer false, and
// without issuing a name, so skipping them changes nothing.
template <class Entry>
class HeldIndex {
public:
    typedef typename std::list<Entry>::iterator Position;

    struct Slot {
        sym::RuleFeatures::Quick quick;
        Position position;
        bool held;
    };

    std::vector<Slot>& slots() { return _slots; }

    void append(Position position, const sym::RuleFeatures& features) {
        if (!features.quick.pure) _impure.push_back(_slots.size());
        _slots.push_back(Slot{features.quick, position, true});
    }

    // The slots of rules that hold a configuration, in list order; some may
    // no longer be held.
    const std::vector<size_t>& impure() const { return _impure; }

    // Marks a slot as no longer held; the array is compacted once the
    // slots no longer held outnumber the others.
    void release(size_t slot) {
        _slots[slot].held = false;
        ++_released;
    }

    // Between two scans only.
    void compact() {
        if (_released < 64 || _released * 2 < _slots.size()) return;
        size_t out = 0;
        _impure.clear();
        for (const Slot& slot : _slots) {
            if (!slot.held) continue;
            if (!slot.quick.pure) _impure.push_back(out);
            _slots[out++] = slot;
        }
        _slots.resize(out);
        _released = 0;
    }

private:
    std::vector<Slot> _slots;
    std::vector<size_t> _impure;
    size_t _released = 0;
};

}  // namespace vorn
