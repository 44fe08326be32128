#pragma once

#include <cstddef>
#include <iostream>
#include <list>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

#include "symbolic/srule.h"
#include "vorn/saturation/held_index.h"
#include "vorn/saturation/settings.h"
#include "vorn/saturation/work_queue.h"

namespace vorn {

// Unset in the tool. When set, it is called before each rule is taken from a
// work queue of the closures, so that a test can bound the work of a run; it
// may throw to abandon the run, and the engine then frees the rules it holds.
extern void (*closure_step_hook)();

class Algorithm;
class Levers;
struct PostponedComposition;
struct Watch;

// What the engine was doing with two rules when a model error came up.
enum class Meeting { COMPOSITION, IMPLICATION, TRANSFER, ACCESS };

// A final rule that names a process for some of the conversions of a transfer
// rule but not one for each: carrying it back through the step makes nothing.
struct PartialStep {
    // The conversions it lacks a process for, over every way of choosing them
    // that would have made rules, in ascending order.
    std::vector<size_t> lacking;
    // The rules the step makes once the rule names those processes too.
    size_t rules = 0;
    // Whether they were made and saturated (Settings::partial_steps), or
    // only counted and lost.
    bool carried = false;
};

// Watches a run from outside the engine: limits, progress and the record of
// how each rule was made live in observers, so the engine knows nothing of
// the command line. Every hook has a default that does nothing. An observer
// must not change the rules it is shown.
class Observer {
public:
    virtual ~Observer() = default;
    // Before a rule is taken from a work queue holding `queued` rules.
    // Answering false stops the saturation.
    virtual bool step(const Algorithm&, size_t /*queued*/) { return true; }
    // Asked often inside a step whose rule operations take long; answering
    // false abandons the step and stops the saturation.
    virtual bool keep_going(const Algorithm&) { return true; }
    // A newcomer passed every implication test and is about to be held.
    // Answering false drops it and stops the saturation.
    virtual bool admit(const Algorithm&, const sym::StateRule*) { return true; }
    // Rules made from held rules, each shown before it is queued.
    // Whether composed() must be shown the rules of every composition when
    // it is made; otherwise a run without a trace may defer them.
    virtual bool wants_compositions() const { return false; }
    // The rules of a composition, shown before they are queued. A deferred
    // composition shows them when the queue reaches it, in several pieces
    // when there are many, after deferred() and before released().
    virtual void composed(const sym::StateConstRule* /*provider*/, size_t /*index*/,
                          const sym::StateRule* /*consumer*/, const std::list<sym::StateRule*>& /*results*/) {}
    // A composition whose rules were counted and are made later, when the
    // queue reaches them; the provider and the consumer stay alive until
    // released() (even when dropped() from their set meanwhile).
    virtual void deferred(const sym::StateConstRule* /*provider*/, size_t /*index*/,
                          const sym::StateRule* /*consumer*/) {}
    // A deferred composition has shown all its rules, or was let go with the
    // rest of a queue that will not be tried.
    virtual void released(const sym::StateConstRule* /*provider*/, const sym::StateRule* /*consumer*/) {}
    virtual void varied(const sym::StateRule* /*rule*/, const sym::StateRule* /*variant*/) {}
    // A lever of the settings put `result` in the place of `rule`: its
    // premises split on a data constructor, versions of a process merged,
    // terms generalised, or (one of several results) the part `argument` of
    // its conclusion split on a data constructor. COMPLETED: a final rule
    // with processes added for a partial step (Settings::partial_steps); the
    // rules carried back from `result` are shown to transferred() as made
    // from it, and `result` is dropped() after.
    enum class Rewrite { SPLIT, MERGED, GENERALISED, PROJECTED, COMPLETED };
    virtual void rewritten(const sym::StateRule* /*rule*/, const sym::StateRule* /*result*/, Rewrite,
                           size_t /*argument*/) {}
    virtual void transferred(const sym::StateTransRule* /*transfer*/, const sym::StateConstRule* /*final_rule*/,
                             const std::list<sym::StateConstRule*>& /*results*/) {}
    virtual void targeted(const sym::StateConstRule* /*final_rule*/, const sym::StateRule* /*target*/) {}
    // Whether partial_step() is to be called: the engine then also counts
    // the rules that a partial step loses, which costs a transfer each.
    virtual bool wants_partial_steps() const { return false; }
    // A final rule met a transfer rule that moves processes it does not all
    // name (see PartialStep); called when the step would make rules for it.
    virtual void partial_step(const sym::StateTransRule* /*transfer*/, const sym::StateConstRule* /*final_rule*/,
                              const PartialStep& /*step*/) {}
    // A rule is about to be deleted while the engine runs: rejected, implied
    // by a newcomer, or left in a queue when the saturation stopped.
    virtual void dropped(const sym::StateRule*) {}
    // A model error came up, and leaves the engine right after, while the
    // engine was composing `first` (the provider) into `second`, testing
    // whether the held rule `first` and the newcomer `second` imply each
    // other, carrying `second` back through the transfer rule `first`, or
    // matching `first` against the access queries (`second` is null). Both
    // rules are still alive.
    virtual void failed(Meeting, const sym::StateRule* /*first*/, const sym::StateRule* /*second*/) {}
};

// The saturation engine: sorts rules into six sets, keeps each set free of
// implied rules, composes providers with consumers until nothing new survives,
// carries final rules back through transfer rules, and answers access queries.
// It owns every rule it holds.
class Algorithm {
public:
    Algorithm();
    // The observer (or null) must outlive the engine's runs; the engine does not own it.
    explicit Algorithm(Observer* observer, const Settings& settings = {});
    // The closure trace goes to `trace`, or nowhere when it is null: no rule
    // is then turned into text. Standard output by default.
    void trace_to(std::ostream* trace) { _trace = trace; }
    ~Algorithm();
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;

    // Saturate the given rules into the sets; the queue is consumed.
    void close_const_rule(std::list<sym::StateConstRule*>& rules);
    void close_trans_rule(std::list<sym::StateTransRule*>& rules);
    // Transfer every final rule through every non-selectable transfer rule.
    void complete();
    // The whole saturation of a model's rules, both lists consumed: the three
    // calls above in their order, or, with the fair lever, the same work taking
    // turns. The levers that read the model learn it here.
    void saturate(std::list<sym::StateConstRule*>& const_rules, std::list<sym::StateTransRule*>& trans_rules);
    const Settings& settings() const { return _settings; }

    // Asks every final rule whether the queried states are reachable.
    void analysis(std::vector<std::pair<sym::State*, bool>> queries);

    void print_se_const_rules(std::ostream& os) const;
    void print_ns_const_rules(std::ostream& os) const;
    void print_se_trans_rules(std::ostream& os) const;
    void print_ns_trans_rules(std::ostream& os) const;
    void print_final_rules(std::ostream& os) const;
    void print_target_rules(std::ostream& os) const;
    size_t rule_count() const;

    // Whether an observer stopped the saturation; the sets are then incomplete.
    bool stopped() const { return _stopped; }
    // Sizes of the six sets, in the order they are printed.
    std::vector<size_t> set_sizes() const;
    // Rules taken from the work queues so far.
    size_t rules_tried() const { return _tried; }
    // The witnesses found by the analysis, in the order they are printed.
    const std::list<sym::StateConstRule*>& target_rules() const { return _target_rules; }
    // For each target rule, in the same order: whether its derivation used a
    // rule that the abstraction generalised (a possible attack, until an exact
    // derivation confirms it).
    const std::vector<bool>& targets_abstracted() const { return _targets_abstracted; }
    // Whether a rule the engine holds descends from a generalised rule.
    bool abstracted(const sym::StateRule* rule) const;

protected:
    bool add_se_const_rule(size_t select, sym::StateConstRule* rule);
    bool add_ns_const_rule(sym::StateConstRule* rule);
    bool add_se_trans_rule(size_t select, sym::StateTransRule* rule);
    bool add_ns_trans_rule(sym::StateTransRule* rule);
    bool add_final_rule(sym::StateConstRule* rule);

private:
    friend struct Watch;
    Watch watch();
    // The premise the engine resolves next in a rule: select(), or the choice
    // of the selection lever.
    size_t selection(const sym::StateRule* rule) const;
    // The levers that rewrite a rule taken from a queue, before it is added:
    // the rule to add, or null when the rule was dropped or split into parts
    // put in front of the queue.
    sym::StateConstRule* prepare(sym::StateConstRule* rule, WorkQueue<sym::StateConstRule>& queue);
    sym::StateTransRule* prepare(sym::StateTransRule* rule);
    // A rule is leaving the engine's sets or queues.
    void forget(const sym::StateRule* rule);
    // The fair saturation: the closures and the transfers take turns.
    void saturate_fairly(std::list<sym::StateConstRule*>& const_rules, std::list<sym::StateTransRule*>& trans_rules);
    // Carries a final rule back through a transfer rule, traced as complete()
    // traces it; false when the run stopped inside.
    bool transfer_step(const sym::StateConstRule* final_rule, const sym::StateTransRule* transfer,
                       std::list<sym::StateConstRule*>& results);
    // The pairs a new final rule, or a new not selectable transfer rule, adds to the agenda.
    void agenda_final_rule(const sym::StateConstRule* rule);
    void agenda_transfer_rule(const sym::StateTransRule* rule);
    // The fair saturation makes a composition when its turn comes: until then
    // the two rules stay pinned.
    void postpone(const sym::StateConstRule* provider, size_t index, const sym::StateRule* consumer,
                  WorkQueue<sym::StateConstRule>* consistent, WorkQueue<sym::StateTransRule>* transfer);
    void make_postponed(const PostponedComposition& composition);
    void end_fair(WorkQueue<sym::StateConstRule>& knowledge, WorkQueue<sym::StateConstRule>& events,
                  WorkQueue<sym::StateTransRule>& transfers);
    // A not selectable transfer rule left the engine: its pairs are passed over.
    void forget_transfer(const sym::StateTransRule* rule);
    // Empties a queue whose rules will never be tried.
    void drain(WorkQueue<sym::StateConstRule>& queue);
    void drain(WorkQueue<sym::StateTransRule>& queue);
    // Counts one step of a closure; false once the saturation has stopped.
    bool next_step(size_t queued);
    // Takes the front rule of a work queue, adds it and composes it.
    // Takes rules from the queue made of `rules` and runs `step` on each
    // until the queue is empty or the run stops.
    template <class Rule>
    void close(std::list<Rule*>& rules, void (Algorithm::*step)(WorkQueue<Rule>&));
    void const_step(WorkQueue<sym::StateConstRule>& rules);
    void trans_step(WorkQueue<sym::StateTransRule>& rules);
    // The rules carried back from a final rule through a transfer rule; for a
    // partial step, what the settings and the observer ask for. `shown`: the
    // observer was already shown the rules, each carried back from the final
    // rule with processes added (a partial step carried back).
    std::list<sym::StateConstRule*> transfer_final(const sym::StateTransRule* transfer,
                                                   const sym::StateConstRule* final_rule, bool& shown);

    // Held rules that deferred compositions still need.
    std::unique_ptr<Pins> _pins = std::make_unique<Pins>();
    std::list<std::pair<size_t, sym::StateConstRule*>> _se_const_rules;
    std::list<sym::StateConstRule*> _ns_const_rules;
    std::list<std::pair<size_t, sym::StateTransRule*>> _se_trans_rules;
    std::list<sym::StateTransRule*> _ns_trans_rules;
    std::list<sym::StateConstRule*> _final_rules;
    std::list<sym::StateConstRule*> _target_rules;
    // The five lists that adds test, indexed for the implication tests.
    HeldIndex<std::pair<size_t, sym::StateConstRule*>> _se_const_index;
    HeldIndex<sym::StateConstRule*> _ns_const_index;
    HeldIndex<std::pair<size_t, sym::StateTransRule*>> _se_trans_index;
    HeldIndex<sym::StateTransRule*> _ns_trans_index;
    HeldIndex<sym::StateConstRule*> _final_index{false};

    // Scratch list of the partners of a newcomer.
    std::vector<FeatureIndex::Slot> _partners;

    Observer* _observer = nullptr;
    Settings _settings;
    std::unique_ptr<Levers> _levers;
    std::vector<bool> _targets_abstracted;
    // While the fair saturation runs: where compositions into selectable
    // transfer rules go, and the pairs of a final and a not selectable transfer
    // rule still to carry back.
    WorkQueue<sym::StateTransRule>* _fair_transfers = nullptr;
    WorkQueue<sym::StateConstRule>* _fair_knowledge = nullptr;
    WorkQueue<sym::StateConstRule>* _fair_events = nullptr;
    // The queue a rule made from `consumer` goes to: `rules`, or while the fair
    // saturation runs, the queue of the kind of its conclusion.
    WorkQueue<sym::StateConstRule>& queue_for(const sym::StateConstRule* consumer, WorkQueue<sym::StateConstRule>& rules);
    struct Agenda;
    std::unique_ptr<Agenda> _agenda;
    std::ostream* _trace = &std::cout;
    bool _stopped = false;
    size_t _tried = 0;
};

}  // namespace vorn
