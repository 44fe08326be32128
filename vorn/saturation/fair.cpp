// The fair saturation: the closure of the consistent rules, the closure of the
// transfer rules and the carrying of final rules back through the transfer
// rules take turns, one step each, so that a final rule made early is carried
// back even when the consistent rules never close. Every provider meets every
// selectable rule of either kind, and every final rule every not selectable
// transfer rule, whichever came first: the pairs the three phases make, in
// another order.

#include <memory>

#include "symbolic/poll.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/agenda.h"

namespace vorn {

using sym::StateConstRule;
using sym::StateTransRule;

namespace {

// Every so many pieces of work, the oldest one rather than the lightest.
const size_t oldest_every = 4;

// What a rule weighs: the rules made from it hold at least its states.
size_t weight(const sym::StateRule* rule) { return rule->states().size() * 16 + rule->knows().size(); }

struct FairPoll : sym::Poll {
    Observer* observer;
    const Algorithm& engine;
    FairPoll(Observer* observer, const Algorithm& engine) : observer(observer), engine(engine) {}
    bool stop() override { return !observer->keep_going(engine); }
};

}  // namespace

void Algorithm::agenda_final_rule(const StateConstRule* rule) {
    Agenda& agenda = *_agenda;
    agenda.finals.push_back(rule);
    for (size_t t = 0; t < agenda.transfers.size(); ++t)
        if (agenda.transfers[t])
            agenda.pairs.push(weight(rule) + weight(agenda.transfers[t]), {agenda.finals.size() - 1, t});
}

void Algorithm::agenda_transfer_rule(const StateTransRule* rule) {
    Agenda& agenda = *_agenda;
    agenda.transfer_position[rule] = agenda.transfers.size();
    agenda.transfers.push_back(rule);
    for (size_t f = 0; f < agenda.finals.size(); ++f)
        agenda.pairs.push(weight(agenda.finals[f]) + weight(rule), {f, agenda.transfers.size() - 1});
}

void Algorithm::postpone(const StateConstRule* provider, size_t index, const sym::StateRule* consumer,
                         WorkQueue<StateConstRule>* consistent, WorkQueue<StateTransRule>* transfer) {
    _pins->pin(provider);
    _pins->pin(consumer);
    _agenda->compositions.push(weight(provider) + weight(consumer), {provider, index, consumer, consistent, transfer});
}

void Algorithm::saturate_fairly(std::list<StateConstRule*>& const_rules, std::list<StateTransRule*>& trans_rules) {
    _agenda = std::make_unique<Agenda>();
    Agenda& agenda = *_agenda;
    // Rules that conclude knowledge, and rules that conclude an event: the
    // second are the goal side, which transfer results join; they make no
    // provider.
    std::list<StateConstRule*> knowledge_rules, event_rules;
    for (StateConstRule* rule : const_rules) (rule->event_conclusion() ? event_rules : knowledge_rules).push_back(rule);
    const_rules.clear();
    WorkQueue<StateConstRule> knowledge(knowledge_rules, *_pins);
    WorkQueue<StateConstRule> events(event_rules, *_pins);
    WorkQueue<StateTransRule> transfers(trans_rules, *_pins);
    knowledge.order_by_weight(weight, agenda.clock);
    events.order_by_weight(weight, agenda.clock);
    transfers.order_by_weight(weight, agenda.clock);
    _fair_knowledge = &knowledge;
    _fair_events = &events;
    _fair_transfers = &transfers;
    FairPoll poll(_observer, *this);
    sym::PollScope scope(_observer ? &poll : nullptr);
    auto queued = [&] {
        return knowledge.size() + events.size() + transfers.size() + agenda.compositions.size() + agenda.pairs.size();
    };
    enum Source { KNOWLEDGE, EVENTS, TRANSFERS, COMPOSITIONS, PAIRS, NONE };
    size_t picks = 0;
    try {
        while (!_stopped) {
            // The lightest work of all, or every so often the oldest.
            bool by_age = ++picks % oldest_every == 0;
            Source source = NONE;
            std::pair<size_t, size_t> best;
            auto consider = [&](Source candidate, bool empty, std::pair<size_t, size_t> lightest, size_t oldest) {
                if (empty) return;
                std::pair<size_t, size_t> key = by_age ? std::make_pair(oldest, size_t{0}) : lightest;
                if (source == NONE || key < best) {
                    source = candidate;
                    best = key;
                }
            };
            if (!knowledge.empty()) consider(KNOWLEDGE, false, knowledge.lightest(), knowledge.oldest());
            if (!events.empty()) consider(EVENTS, false, events.lightest(), events.oldest());
            if (!transfers.empty()) consider(TRANSFERS, false, transfers.lightest(), transfers.oldest());
            if (!agenda.compositions.empty())
                consider(COMPOSITIONS, false, agenda.compositions.lightest(), agenda.compositions.oldest());
            if (!agenda.pairs.empty()) consider(PAIRS, false, agenda.pairs.lightest(), agenda.pairs.oldest());
            if (source == NONE || !next_step(queued())) break;
            switch (source) {
                case KNOWLEDGE:
                case EVENTS: {
                    WorkQueue<StateConstRule>& queue = source == KNOWLEDGE ? knowledge : events;
                    if (by_age) queue.take_oldest_next();
                    const_step(queue);
                    break;
                }
                case TRANSFERS:
                    if (by_age) transfers.take_oldest_next();
                    trans_step(transfers);
                    break;
                case COMPOSITIONS: {
                    PostponedComposition composition =
                        by_age ? agenda.compositions.take_oldest() : agenda.compositions.take_lightest();
                    make_postponed(composition);
                    break;
                }
                case PAIRS: {
                    auto [f, t] = by_age ? agenda.pairs.take_oldest() : agenda.pairs.take_lightest();
                    const StateTransRule* transfer = agenda.transfers[t];
                    if (transfer == nullptr) break;
                    std::list<StateConstRule*> results;
                    if (transfer_step(agenda.finals[f], transfer, results))
                        for (StateConstRule* result : results) events.push(result);
                    else
                        for (StateConstRule* result : results) delete result;
                    break;
                }
                case NONE: break;
            }
        }
    } catch (const sym::Abandoned&) {
        _stopped = true;
    } catch (...) {
        end_fair(knowledge, events, transfers);
        throw;
    }
    end_fair(knowledge, events, transfers);
}

void Algorithm::end_fair(WorkQueue<StateConstRule>& knowledge, WorkQueue<StateConstRule>& events,
                         WorkQueue<StateTransRule>& transfers) {
    _fair_knowledge = _fair_events = nullptr;
    _fair_transfers = nullptr;
    while (!_agenda->compositions.empty()) {
        PostponedComposition composition = _agenda->compositions.take_oldest();
        _pins->unpin(composition.provider);
        _pins->unpin(composition.consumer);
    }
    drain(knowledge);
    drain(events);
    drain(transfers);
}

void Algorithm::forget_transfer(const StateTransRule* rule) {
    if (!_agenda) return;
    auto found = _agenda->transfer_position.find(rule);
    if (found == _agenda->transfer_position.end()) return;
    _agenda->transfers[found->second] = nullptr;
    _agenda->transfer_position.erase(found);
}

}  // namespace vorn
