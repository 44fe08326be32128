#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "symbolic/model.h"
#include "symbolic/pool.h"
#include "symbolic/sid_set.h"
#include "symbolic/state_table.h"
#include "symbolic/unifier.h"

namespace sym {

class Fact;
class Know;
class Event;
class State;
class Unifier;
class Renamer;
class StateConstRule;
class StateTransRule;
struct RuleEdit;
struct RuleFeatures;
class Text;

// How many facts of a rule each identifier occurs in: a fact (or a group of
// facts counted as one) counts once however often it holds the identifier.
class IdCounts {
public:
    // Counts the identifiers in `ids` once each; `ids` is reordered.
    void add_group(std::vector<unsigned>& ids);
    void add_fact(const Fact* fact, unsigned long mask);
    void add_group(const std::set<unsigned>& ids);
    // How many facts hold the identifier.
    unsigned count(unsigned id) const;

private:
    // Identifiers, once per fact that holds them, sorted when first counted.
    mutable std::vector<unsigned, PoolAllocator<unsigned>> _ids;
    mutable bool _sorted = true;
};

// A rule of the protocol model: knowledge premises, event premises and the
// protocol states that hold together, with one conclusion (consistent rule)
// or a list of state conversions (transfer rule). A rule owns its facts.
// Rules take their memory from the pool: they are made and dropped by the
// million.
class StateRule : public Model, public Pooled {
public:
    typedef size_t SID;
    typedef size_t Index;
    enum Type { CONSIST = 0, TRANSFR = 1, _END = 2 };

    typedef SidSet SIDs;
    // Premise, its configuration-selectable flag, and its knowledge set.
    typedef std::vector<std::pair<Know*, std::pair<bool, SIDs>>, PoolAllocator<std::pair<Know*, std::pair<bool, SIDs>>>>
        Knows;
    // SID to state and its ordering set, in ascending SID order.
    typedef StateTable States;
    // One entry per protocol process: its states, and the copy of a conversion source.
    typedef std::vector<std::pair<SIDs, SIDs>, PoolAllocator<std::pair<SIDs, SIDs>>> Partitions;
    // One entry per partition: a partition index of the other rule, or NONSELECTABLE.
    typedef std::vector<size_t> Mapping;
    // One entry per conversion: chosen partition index and the covered SIDs.
    typedef std::vector<std::pair<size_t, SIDs>> ConversionMap;
    // Queried states, each with its flag: may it be matched by several processes.
    typedef std::vector<std::pair<State*, bool>> Query;

    static const size_t NONSELECTABLE;
    // The global SID counter; the first SID issued is 1.
    static size_t _sid;

    explicit StateRule(Type type);
    ~StateRule() override;
    StateRule(const StateRule&) = delete;
    StateRule& operator=(const StateRule&) = delete;

    Type type() const { return _type; }
    const Knows& knows() const { return _knows; }
    const std::vector<Event*>& events() const { return _events; }
    const States& states() const { return _states; }
    const Partitions& partitions() const { return _partitions; }
    const SIDs& latest() const { return _latest; }
    const std::vector<State*>& past_states() const { return _past_states; }
    // What implication tests need to know of the rule, computed at the first
    // request after the rule last changed.
    const RuleFeatures& features() const;

    void info(std::ostream& os) const override;

    // Building, as the parser does: premises first, then states.
    void add_predicate(Fact* fact);
    void add_state(State* state);

    // Premise selection.
    size_t select() const;
    bool is_confg_at(size_t index) const;
    void set_nonselectable_at(size_t index);
    bool all_event_predicates() const;

    // Canonical form; throws UnifyFailed when the rule is contradictory or redundant.
    void validate();
    bool try_validate();
    // A new rule witnessing that the queried states are reachable, or null.
    StateRule* accessable(Query states) const;

    // A new rule of the same class with the substitution applied, leaving out
    // premise `except` (NONSELECTABLE keeps all). Owned by the caller.
    virtual StateRule* map(const Unifier& unifier, Index except) const = 0;
    // Fresh variable names and fresh SIDs, in place.
    virtual StateRule* rename(Renamer& renamer);
    // Issues as many names and SIDs as rename with a fresh renamer would,
    // and changes nothing: one name per variable, timestamp, configuration
    // or nonce symbol, one SID per state.
    void issue_renaming() const;

protected:
    friend class StateConstRule;
    friend class StateTransRule;
    friend struct RuleEdit;

    static size_t next_sid();

    void add_knowledge(Know* know);
    void add_event(Event* event);
    // Appends the images of this rule's events, premises (but `except`),
    // states and past states to `rule`.
    void insert_base(StateRule* rule, const Unifier& unifier, size_t except) const;

    virtual void update_conclusion(const Unifier& unifier) = 0;
    virtual std::set<unsigned> conclusion_subterms(unsigned long mask) const = 0;
    // False when the rule derives what it assumes: validation then fails.
    virtual bool simplify() = 0;
    // validate(), answering false where it throws UnifyFailed.
    bool validated();

    // Counts, per identifier of the mask, the premises, events and states it occurs in.
    IdCounts count_body(unsigned long mask) const;
    // Drops premises knowing a variable or configuration that occurs nowhere else.
    void drop_unconstrained(const IdCounts& counts);
    // Recomputes _latest: states with no strictly later state.
    void recompute_latest();

    // All complete partition mappings of `provider` onto `consumer`, in the order
    // of the last-in-first-out search shared by composition and transfer.
    static std::vector<Mapping> partition_mappings(const StateRule* provider, const StateRule* consumer,
                                                   const Unifier& unifier);
    // Unifies the keys of the first states of mapped partitions; UnifyFailed on a loop.
    static void unify_mapped_keys(const StateRule* provider, const StateRule* consumer, const Mapping& mappings,
                                  Unifier& unifier);
    // Adds the provider's partitions to `result` as the mapping says.
    static void merge_partitions(const StateRule* provider, const Mapping& mappings, StateRule* result);
    // The state with the smallest SID of a partition.
    const State* first_state(const std::pair<SIDs, SIDs>& partition) const;

    // Whether this rule's body can be matched onto rule's body extending unifier.
    bool belong(const Unifier& unifier, const StateRule* rule) const;
    bool belong(std::vector<unsigned> kmap, std::vector<unsigned> emap, std::map<SID, SID> smap, Unifier unifier,
                const StateRule* rule) const;
    // Prints premises and states, writing each finished line; leaves "]-> "
    // in `line` for the conclusion or the conversions.
    void print_body(std::ostream& os, Text& line) const;
    // Forgets the features after a change.
    void changed();

    Type _type;
    Knows _knows;
    std::vector<Event*> _events;
    States _states;
    Partitions _partitions;
    SIDs _latest;
    std::vector<State*> _past_states;
    mutable std::unique_ptr<const RuleFeatures> _features;
};

// A rule that derives one fact (knowledge or event).
class StateConstRule : public StateRule {
public:
    explicit StateConstRule(Fact* conclusion);
    ~StateConstRule() override;

    const Fact* conclusion() const { return _conclusion; }
    bool event_conclusion() const;

    void info(std::ostream& os) const override;
    StateRule* map(const Unifier& unifier, Index except) const override;
    StateRule* rename(Renamer& renamer) override;

    // Resolves premise `index` of `rule` with this rule's conclusion: every
    // composed rule that survives validation.
    std::list<StateRule*> compose(size_t index, const StateRule* rule) const;
    // The same, handing each composed rule, as soon as it is made, to `take`, which owns it then.
    void compose(size_t index, const StateRule* rule, const std::function<void(StateRule*)>& take) const;
    // What compose(index, rule) builds its rules from: the substitution that
    // resolves the premise and the partition mappings, in order; null when
    // the conclusion does not fit the premise. It issues the names that
    // compose issues before its first rule.
    struct Candidates {
        Unifier unifier;
        std::vector<Mapping> mappings;
    };
    std::unique_ptr<Candidates> candidates(size_t index, const StateRule* rule) const;
    // How many rules compose(index, rule) makes, issuing the names and state
    // identifiers it issues, but without making the rules.
    size_t count_compositions(size_t index, const StateRule* rule) const;
    // The same for the rules of the mappings of `all` from `first` on.
    size_t count_compositions(const Candidates& all, size_t first, size_t index, const StateRule* rule) const;
    // The one composed rule for a complete partition mapping, or null.
    StateRule* compose(const Mapping& mappings, Unifier unifier, size_t index, const StateRule* rule) const;

    // Whether this rule makes `rule` redundant. The fast test answers where it
    // can; the reference algorithm fixes the names issued everywhere else.
    // `screened`: the pair is known to pass may_imply, which is not asked again.
    bool imply(const StateConstRule* rule, bool screened = false) const;
    bool imply_reference(const StateConstRule* rule) const;

protected:
    void update_conclusion(const Unifier& unifier) override;
    std::set<unsigned> conclusion_subterms(unsigned long mask) const override;
    bool simplify() override;

private:
    friend struct RuleEdit;
    // The composed rule of one mapping, validated but not yet renamed apart; null when contradictory.
    StateRule* build(const Mapping& mappings, Unifier unifier, size_t index, const StateRule* rule) const;

    Fact* _conclusion;
};

// A rule that moves protocol states: each conversion turns a source state
// (or nothing) into a target state.
class StateTransRule : public StateRule {
public:
    typedef std::vector<std::pair<State*, State*>> Conversions;

    StateTransRule();
    ~StateTransRule() override;

    const Conversions& conversions() const { return _conversions; }
    void add_conversion(State* from, State* to);

    void info(std::ostream& os) const override;
    StateRule* map(const Unifier& unifier, Index except) const override;
    StateRule* rename(Renamer& renamer) override;

    // Carries `rule` backwards through this rule: all resulting consistent rules.
    std::list<StateConstRule*> transfer(const StateConstRule* rule) const;
    std::list<StateConstRule*> transfer(const ConversionMap& mC, const StateConstRule* rule) const;
    StateConstRule* transfer(const Mapping& mappings, Unifier unifier, const ConversionMap& mC,
                             const StateConstRule* rule) const;

    // What transfer(rule) yields nothing for because `rule` names a process
    // for some of this step's conversions but cannot name a distinct one for
    // each: for each way of giving the conversions it lacks (`lacking`, as
    // few as need be) a process of their own, in their target states, the
    // rules carried back through this step from `rule` with those processes
    // added. The added processes hold at the end of `rule`, so each rule
    // made also names their source states before the step. Only the ways
    // that yield rules are listed; nothing when the step is not partial for
    // `rule`.
    struct Partial {
        std::vector<size_t> lacking;
        std::list<StateConstRule*> rules;
    };
    // Told of each rule with processes added (`completed`, alive until
    // carried() returns) before it is carried back, and of the rules carried
    // back from it (maybe none).
    struct PartialWatch {
        virtual ~PartialWatch() = default;
        virtual void completed(const StateConstRule* completed) = 0;
        virtual void carried(const StateConstRule* completed, const std::list<StateConstRule*>& rules) = 0;
    };
    std::vector<Partial> transfer_partial(const StateConstRule* rule, PartialWatch* watch = nullptr) const;

    // The rule of the model this one comes from, as the front end numbers
    // them (0 when not known); the rules made from it (map) keep it.
    size_t source() const { return _source; }
    void set_source(size_t source) { _source = source; }

    bool imply(const StateTransRule* rule, bool screened = false) const;
    bool imply_reference(const StateTransRule* rule) const;

protected:
    void update_conclusion(const Unifier& unifier) override;
    std::set<unsigned> conclusion_subterms(unsigned long mask) const override;
    bool simplify() override;

private:
    friend class StateConstRule;

    // The processes of `rule` that the target state of conversion `index`
    // may be: the first one with the same key, or else all of the same name.
    std::vector<size_t> process_candidates(size_t index, const StateConstRule* rule) const;
    // A copy of `rule` with a new process in the target state of each
    // conversion of `conversions`, renamed apart; null when it is not valid.
    StateConstRule* with_target_processes(const StateConstRule* rule, const std::vector<size_t>& conversions) const;

    // Whether the latest states, taken over from the rules that derived the
    // knowledge the step needs, hold before the step rather than at it: they
    // do when a process that the step moves is in one of them in a state that
    // cannot be its source state, for a process is in one state at a time.
    bool latest_before_step(const Mapping& mappings, const Unifier& unifier, const ConversionMap& mC) const;

    Conversions _conversions;
    // The latest states are those of the rules that derived the knowledge the
    // step needs (the step itself named no state): they hold when that
    // knowledge was derived, which may be before the step.
    bool _latest_from_providers = false;
    size_t _source = 0;
};

}  // namespace sym
