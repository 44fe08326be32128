#include "symbolic/srule.h"

#include <algorithm>
#include <cassert>
#include <memory>

#include "common/runtime.h"
#include "symbolic/event.h"
#include "symbolic/implication.h"
#include "symbolic/know.h"
#include "symbolic/namer.h"
#include "symbolic/renamer.h"
#include "symbolic/state.h"
#include "symbolic/unifier.h"
#include "symbolic/print.h"

namespace sym {

const size_t StateRule::NONSELECTABLE = static_cast<size_t>(-1);
size_t StateRule::_sid = 0;

StateRule::StateRule(Type type) : _type(type) {}

StateRule::~StateRule() {
    for (auto& know : _knows) delete know.first;
    for (Event* event : _events) delete event;
    for (auto& state : _states) delete state.second.first;
    for (State* state : _past_states) delete state;
}

size_t StateRule::next_sid() { return ++_sid; }

const RuleFeatures& StateRule::features() const {
    if (!_features) _features = std::make_unique<const RuleFeatures>(compute_features(this));
    return *_features;
}

void StateRule::changed() { _features.reset(); }

void StateRule::add_predicate(Fact* fact) {
    changed();
    switch (fact->type()) {
    case Fact::OKNOW:
        add_knowledge(static_cast<Know*>(fact));
        break;
    case Fact::EVENT:
        add_event(static_cast<Event*>(fact));
        break;
    default:
        throw common::UserError("add_predicate", "predicate type cannot be accepted");
    }
}

void StateRule::add_knowledge(Know* know) { _knows.emplace_back(know, std::make_pair(true, _latest)); }

void StateRule::add_event(Event* event) { _events.push_back(event); }

void StateRule::add_state(State* state) {
    changed();
    SID sid = next_sid();
    _latest.insert(sid);
    auto index = _states.emplace(sid, std::make_pair(state, _latest));
    assert(index.second);
    for (auto& know : _knows) know.second.second = _latest;
    _partitions.emplace_back(SIDs{sid}, SIDs{});
}

size_t StateRule::select() const {
    for (size_t i = 0; i < _knows.size(); ++i) {
        const Know* know = _knows[i].first;
        if (!know->selectable()) continue;
        if (know->term()->type() != Term::CONFG || _knows[i].second.first) return i;
    }
    return NONSELECTABLE;
}

bool StateRule::is_confg_at(size_t index) const {
    assert(index != NONSELECTABLE);
    return _knows.at(index).first->term()->type() == Term::CONFG;
}

void StateRule::set_nonselectable_at(size_t index) {
    assert(index != NONSELECTABLE);
    changed();
    _knows.at(index).second.first = false;
}

bool StateRule::all_event_predicates() const { return _knows.empty(); }

void StateRule::insert_base(StateRule* rule, const Unifier& unifier, size_t except) const {
    rule->_events.reserve(rule->_events.size() + _events.size());
    rule->_knows.reserve(rule->_knows.size() + _knows.size());
    rule->_states.reserve(rule->_states.size() + _states.size());
    for (const Event* event : _events) rule->_events.push_back(static_cast<Event*>(event->map(unifier)));
    for (size_t i = 0; i < _knows.size(); ++i) {
        if (i == except) continue;
        rule->_knows.emplace_back(static_cast<Know*>(_knows[i].first->map(unifier)), _knows[i].second);
    }
    for (const auto& state : _states) {
        std::unique_ptr<State> image(static_cast<State*>(state.second.first->map(unifier)));
        rule->_states.emplace(state.first, std::make_pair(image.get(), state.second.second));
        image.release();
    }
    for (const State* state : _past_states) rule->_past_states.push_back(static_cast<State*>(state->map(unifier)));
}

StateRule* StateRule::rename(Renamer& renamer) {
    changed();
    for (Event* event : _events) event->rename(renamer);

    // Fresh SIDs in ascending order of the old ones: the state at position i
    // gets first + i, so the images of a sorted set are sorted, and SIDs that
    // name no state are dropped.
    const SID first = _sid + 1;
    _sid += _states.size();
    auto images = [&](const SIDs& sids) {
        SIDs result;
        for (SID sid : sids) {
            size_t at = _states.position(sid);
            if (at != _states.size()) result.push_back(first + at);
        }
        return result;
    };

    for (auto& state : _states) {
        state.second.first->rename(renamer);
        state.second.second = images(state.second.second);
    }

    for (auto& know : _knows) {
        know.first->rename(renamer);
        know.second.second = images(know.second.second);
    }

    for (auto partition = _partitions.begin(); partition != _partitions.end();) {
        SIDs named = images(partition->first);
        if (named.empty()) {
            partition = _partitions.erase(partition);
            continue;
        }
        partition->first = std::move(named);
        partition->second = images(partition->second);
        ++partition;
    }

    for (State* state : _past_states) state->rename(renamer);

    _latest = images(_latest);
    SID next = first;
    for (auto& state : _states) state.first = next++;
    return this;
}

void StateRule::issue_renaming() const {
    thread_local std::vector<unsigned> ids;
    ids.clear();
    bool timed = false;
    auto add = [&](const Fact* fact) {
        // A timed knowledge fact also renames its timestamp, which subterms leaves out.
        if (fact->type() == Fact::TKNOW) timed = true;
        append_subterm_ids(fact, Term::BINDABLE, ids);
    };
    for (const Event* event : _events) add(event);
    for (const auto& state : _states) add(state.second.first);
    for (const auto& know : _knows) add(know.first);
    for (const State* state : _past_states) add(state);
    if (_type == CONSIST) {
        add(static_cast<const StateConstRule*>(this)->conclusion());
    } else {
        for (const auto& conversion : static_cast<const StateTransRule*>(this)->conversions()) {
            if (conversion.first) add(conversion.first);
            add(conversion.second);
        }
    }
    if (timed) {
        // Rare: the renaming itself, on a copy.
        std::unique_ptr<StateRule> copy(map(Unifier(), NONSELECTABLE));
        Renamer renamer;
        copy->rename(renamer);
        return;
    }
    std::sort(ids.begin(), ids.end());
    namer.reissue_from(namer.index() + static_cast<size_t>(std::unique(ids.begin(), ids.end()) - ids.begin()));
    _sid += _states.size();
}

void StateRule::recompute_latest() {
    _latest.clear();
    for (const auto& state : _states) {
        bool latest = true;
        for (SID other : state.second.second) {
            if (other == state.first) continue;
            auto found = _states.find(other);
            if (found == _states.end() || found->second.second.count(state.first) == 0) {
                latest = false;
                break;
            }
        }
        if (latest) _latest.insert(state.first);
    }
}

const State* StateRule::first_state(const std::pair<SIDs, SIDs>& partition) const {
    return _states.at(*partition.first.begin()).first;
}

namespace {

// The line being printed; rules print one at a time, and the buffer keeps
// its capacity from one rule to the next.
Text& line_buffer() {
    thread_local Text line;
    line.clear();
    return line;
}

}  // namespace

void StateRule::info(std::ostream& os) const {
    Text& line = line_buffer();
    print_body(os, line);
    emit(os, line);
}

void StateRule::print_body(std::ostream& os, Text& line) const {
    for (size_t i = 0; i < _knows.size(); ++i) {
        if (i > 0) {
            line += ", ";
            end_line(os, line);
        }
        _knows[i].first->print(line);
        line += " : ";
        bool first = true;
        for (SID sid : _knows[i].second.second) {
            if (!first) line += ", ";
            first = false;
            append_number(line, sid);
        }
    }
    for (size_t j = 0; j < _events.size(); ++j) {
        if (!_knows.empty() || j > 0) {
            line += ", ";
            end_line(os, line);
        }
        _events[j]->print(line);
    }
    if (!_knows.empty() || !_events.empty()) end_line(os, line);
    line += "--[";
    end_line(os, line);
    for (const auto& state : _states) {
        append_number(line, state.first);
        line += " - ";
        state.second.first->print(line);
        line += " : ";
        if (state.second.second.empty()) {
            line += "[ ]";
        } else {
            line += '[';
            bool first = true;
            for (SID sid : state.second.second) {
                if (!first) line += ", ";
                first = false;
                append_number(line, sid);
            }
            line += ']';
        }
        end_line(os, line);
    }
    line += "]-> ";
}

StateConstRule::StateConstRule(Fact* conclusion) : StateRule(CONSIST), _conclusion(conclusion) {}

StateConstRule::~StateConstRule() { delete _conclusion; }

bool StateConstRule::event_conclusion() const { return _conclusion->type() == Fact::EVENT; }

void StateConstRule::info(std::ostream& os) const {
    Text& line = line_buffer();
    print_body(os, line);
    _conclusion->print(line);
    end_line(os, line);
}

StateRule* StateConstRule::map(const Unifier& unifier, Index except) const {
    std::unique_ptr<StateConstRule> rule(new StateConstRule(_conclusion->map(unifier)));
    insert_base(rule.get(), unifier, except);
    rule->_partitions = _partitions;
    rule->_latest = _latest;
    return rule.release();
}

StateRule* StateConstRule::rename(Renamer& renamer) {
    _conclusion->rename(renamer);
    return StateRule::rename(renamer);
}

void StateConstRule::update_conclusion(const Unifier& unifier) {
    Fact* image = _conclusion->map(unifier);
    delete _conclusion;
    _conclusion = image;
}

std::set<unsigned> StateConstRule::conclusion_subterms(unsigned long mask) const {
    return _conclusion->subterms(mask);
}

StateTransRule::StateTransRule() : StateRule(TRANSFR) {}

StateTransRule::~StateTransRule() {
    for (auto& conversion : _conversions) {
        delete conversion.first;
        delete conversion.second;
    }
}

void StateTransRule::add_conversion(State* from, State* to) {
    changed();
    _conversions.emplace_back(from, to);
}

void StateTransRule::info(std::ostream& os) const {
    Text& line = line_buffer();
    print_body(os, line);
    end_line(os, line);
    for (const auto& conversion : _conversions) {
        line += '<';
        if (conversion.first)
            conversion.first->print(line);
        else
            line += "[EMPTY]";
        line += ", ";
        conversion.second->print(line);
        line += '>';
        end_line(os, line);
    }
}

StateRule* StateTransRule::map(const Unifier& unifier, Index except) const {
    std::unique_ptr<StateTransRule> rule(new StateTransRule());
    for (const auto& conversion : _conversions) {
        std::unique_ptr<State> from(conversion.first ? static_cast<State*>(conversion.first->map(unifier)) : nullptr);
        std::unique_ptr<State> to(static_cast<State*>(conversion.second->map(unifier)));
        rule->_conversions.emplace_back(from.get(), to.get());
        from.release();
        to.release();
    }
    insert_base(rule.get(), unifier, except);
    rule->_partitions = _partitions;
    rule->_latest = _latest;
    rule->_latest_from_providers = _latest_from_providers;
    rule->_source = _source;
    return rule.release();
}

StateRule* StateTransRule::rename(Renamer& renamer) {
    for (auto& conversion : _conversions) {
        if (conversion.first) conversion.first->rename(renamer);
        conversion.second->rename(renamer);
    }
    return StateRule::rename(renamer);
}

void StateTransRule::update_conclusion(const Unifier& unifier) {
    for (auto& conversion : _conversions) {
        if (conversion.first) {
            State* image = static_cast<State*>(conversion.first->map(unifier));
            delete conversion.first;
            conversion.first = image;
        }
        State* image = static_cast<State*>(conversion.second->map(unifier));
        delete conversion.second;
        conversion.second = image;
    }
}

std::set<unsigned> StateTransRule::conclusion_subterms(unsigned long mask) const {
    std::set<unsigned> ids;
    for (const auto& conversion : _conversions) {
        if (conversion.first) conversion.first->subterms(mask, ids);
        conversion.second->subterms(mask, ids);
    }
    return ids;
}

}  // namespace sym
