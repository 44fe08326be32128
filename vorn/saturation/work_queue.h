#pragma once

#include <cstddef>
#include <deque>
#include <list>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "symbolic/name.h"
#include "symbolic/srule.h"
#include "vorn/saturation/ordered.h"

namespace vorn {

// Held rules that deferred compositions still need: a rule that leaves its
// list while pinned is kept, retired, until the last composition that needs
// it has been made again or dropped.
class Pins {
public:
    Pins() = default;
    Pins(const Pins&) = delete;
    Pins& operator=(const Pins&) = delete;
    ~Pins() {
        for (auto& entry : _pins)
            if (entry.second.retired) delete entry.second.rule;
    }

    void pin(const sym::StateRule* rule) {
        Pin& pin = _pins[rule];
        pin.rule = const_cast<sym::StateRule*>(rule);
        ++pin.count;
    }
    void unpin(const sym::StateRule* rule) {
        auto found = _pins.find(rule);
        if (--found->second.count > 0) return;
        if (found->second.retired) delete found->second.rule;
        _pins.erase(found);
    }
    // Deletes a rule that left its list, or keeps it while it is pinned.
    void retire(sym::StateRule* rule) {
        auto found = _pins.find(rule);
        if (found == _pins.end())
            delete rule;
        else
            found->second.retired = true;
    }

private:
    struct Pin {
        sym::StateRule* rule = nullptr;
        size_t count = 0;
        bool retired = false;
    };
    std::unordered_map<const sym::StateRule*, Pin> _pins;
};

// The identifiers the rules of one composition took: names and state
// identifiers, from and to (exclusive).
struct IssuedRange {
    sym::Name::ID names_from = 0, names_to = 0;
    size_t sids_from = 0, sids_to = 0;
};

// A composition whose rules were counted and let go, to be made again, with
// the same identifiers, when the queue reaches them: a run whose trace is
// not printed keeps a few words per composition in its queue instead of the
// rules, of which most are never tried when a limit stops it.
template <class Rule>
struct Deferred {
    const sym::StateConstRule* provider;
    size_t index;
    const Rule* consumer;
    // The rules still to make, with the identifiers they take, from this
    // partition mapping on.
    size_t rules;
    IssuedRange issued;
    size_t first_mapping = 0;
    // Once the first rules are made: the substitution and the mappings.
    std::shared_ptr<const sym::StateConstRule::Candidates> candidates;
    // Each rule's printed form, hashed, in the cross-check build.
    std::vector<size_t> fingerprints;
};

// The work queue of a closure, first in, first out: rules, and deferred
// compositions that stand for their rules in their place.
template <class Rule>
class WorkQueue {
public:
    // Takes the rules of the list, which is left empty.
    WorkQueue(std::list<Rule*>& rules, Pins& pins) : _pins(pins) {
        for (Rule* rule : rules) push(rule);
        rules.clear();
    }
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;
    // Frees what is left (a closure that an exception ended).
    ~WorkQueue() {
        while (!empty()) {
            if (front_is_deferred())
                release(take_deferred());
            else
                delete take();
        }
    }

    // From now on, rules are taken lightest first by `weight` (the oldest of
    // equal weight first), or the oldest one after take_oldest_next().
    // Arrival numbers come from `clock`. Deferred compositions are not
    // queued in this order: push them no more.
    template <class Weight>
    void order_by_weight(Weight weight, size_t& clock) {
        _weighed = std::make_unique<Weighed>(clock);
        _weight = weight;
        while (!_items.empty()) {
            Rule* rule = _items.front();
            _items.pop_front();
            --_rules;
            push(rule);
        }
    }
    bool weighed() const { return _weighed != nullptr; }
    // Of a weighed, non-empty queue: the key of the lightest rule, the arrival of the oldest.
    std::pair<size_t, size_t> lightest() const { return _weighed->lightest(); }
    size_t oldest() const { return _weighed->oldest(); }
    void take_oldest_next() { _oldest_next = true; }

    bool empty() const { return _weighed ? _weighed->empty() : _items.empty(); }
    // Rules queued, those of deferred compositions included.
    size_t size() const { return _rules; }

    void push(Rule* rule) {
        ++_rules;
        if (_weighed) {
            _weighed->push(_weight(rule), rule);
            return;
        }
        _items.push_back(rule);
    }
    // Pins the provider and the consumer until the composition is made again or dropped.
    void push(const Deferred<Rule>& deferred) {
        _pins.pin(deferred.provider);
        _pins.pin(deferred.consumer);
        _items.push_back(nullptr);
        _deferred.push_back(deferred);
        _rules += deferred.rules;
    }

    bool front_is_deferred() const { return !_weighed && _items.front() == nullptr; }
    Rule* take() {
        if (_weighed) {
            --_rules;
            bool oldest = _oldest_next;
            _oldest_next = false;
            return oldest ? _weighed->take_oldest() : _weighed->take_lightest();
        }
        Rule* rule = _items.front();
        _items.pop_front();
        --_rules;
        return rule;
    }
    // The caller makes the rules and puts them back in front (put_back), then release()s it.
    Deferred<Rule> take_deferred() {
        Deferred<Rule> deferred = _deferred.front();
        _deferred.pop_front();
        _items.pop_front();
        _rules -= deferred.rules;
        return deferred;
    }
    void release(const Deferred<Rule>& deferred) {
        _pins.unpin(deferred.provider);
        _pins.unpin(deferred.consumer);
    }
    // Puts what is left of a deferred composition back in front, pinned as it was.
    void put_back(const Deferred<Rule>& deferred) {
        _items.push_front(nullptr);
        _deferred.push_front(deferred);
        _rules += deferred.rules;
    }
    // Puts rules back in front of the queue, in their order.
    template <class List>
    void put_back(const List& rules) {
        if (_weighed) {
            for (auto* rule : rules) push(static_cast<Rule*>(rule));
            return;
        }
        for (auto rule = rules.rbegin(); rule != rules.rend(); ++rule) {
            _items.push_front(static_cast<Rule*>(*rule));
            ++_rules;
        }
    }

private:
    // Rules in order; null stands for the next deferred composition.
    std::deque<Rule*> _items;
    std::deque<Deferred<Rule>> _deferred;
    size_t _rules = 0;
    Pins& _pins;
    typedef Ordered<Rule*> Weighed;
    std::unique_ptr<Weighed> _weighed;
    size_t (*_weight)(const sym::StateRule*) = nullptr;
    bool _oldest_next = false;
};

}  // namespace vorn
