#include "vorn/saturation/provenance.h"

#include <sstream>
#include <utility>

#include "vorn/model/parser.h"

namespace vorn {

namespace {

std::string printed_rule(const sym::StateRule& rule) {
    std::ostringstream os;
    rule.info(os);
    return os.str();
}

}  // namespace

// What validation and transfer told of the rules being made, until the hook
// that shows them takes it: every rule an operation makes is shown right
// after it is made, so each hook forgets the rest (rules that were made and
// thrown away).
struct Provenance::Recorder : sym::ValidationRecorder {
    struct Pending {
        bool validated = false;
        sym::Validation validation;
        Conversions conversions;
    };

    Recorder() : scope(this) {}

    void validated(const sym::StateRule* rule, sym::Validation validation) override {
        Pending& entry = pending[rule];
        entry.validated = true;
        entry.validation = std::move(validation);
    }

    void converted(const sym::StateRule* rule,
                   const std::vector<std::pair<std::vector<size_t>, size_t>>& conversions) override {
        // A new rule at this address: what an earlier one left goes.
        pending[rule] = Pending{false, {}, conversions};
    }

    const Pending* find(const sym::StateRule* rule) const {
        auto found = pending.find(rule);
        return found == pending.end() || !found->second.validated ? nullptr : &found->second;
    }

    void forget() {
        // Clearing a table keeps its buckets and sweeps them all: one that
        // grew for a large composition is let go instead.
        if (pending.bucket_count() > 64)
            pending = {};
        else
            pending.clear();
    }

    std::unordered_map<const sym::StateRule*, Pending> pending;
    sym::ValidationRecorderScope scope;
};

Provenance::Provenance() = default;

Provenance::Provenance(bool follow_states) {
    if (follow_states) _recorder = std::make_unique<Recorder>();
}

Provenance::~Provenance() = default;

Origin::~Origin() {
    std::vector<std::shared_ptr<Origin>> doomed;
    if (first) doomed.push_back(std::move(first));
    if (second) doomed.push_back(std::move(second));
    while (!doomed.empty()) {
        std::shared_ptr<Origin> origin = std::move(doomed.back());
        doomed.pop_back();
        // The last reference: take its parents over before it goes, so that
        // its own destructor finds none.
        if (origin.use_count() == 1) {
            if (origin->first) doomed.push_back(std::move(origin->first));
            if (origin->second) doomed.push_back(std::move(origin->second));
        }
    }
}

std::string Origin::printed() const { return rule != nullptr ? printed_rule(*rule) : text; }

void Provenance::model_rule(const sym::StateRule* rule, ModelSource source) {
    auto origin = std::make_shared<Origin>();
    origin->kind = Origin::Kind::MODEL;
    origin->transfer = rule->type() == sym::StateRule::TRANSFR;
    origin->over_states = origin->transfer || !rule->states().empty();
    origin->number = _sources.size();
    if (_recorder) {
        StepLink link;
        link.shape = rule_shape(*rule);
        origin->link = PackedLink(link);
    }
    _sources.push_back(std::move(source));
    keep(rule, std::move(origin));
}

void Provenance::composed(const sym::StateConstRule* provider, size_t index, const sym::StateRule* consumer,
                          const std::list<sym::StateRule*>& results) {
    std::shared_ptr<Origin> from = record(provider);
    std::shared_ptr<Origin> into = record(consumer);
    for (const sym::StateRule* result : results) {
        auto origin = std::make_shared<Origin>();
        origin->kind = Origin::Kind::COMPOSITION;
        origin->number = index;
        origin->first = from;
        origin->second = into;
        if (_recorder) {
            if (const Recorder::Pending* made = _recorder->find(result))
                origin->link = PackedLink(composition_link(*provider, *consumer, *result, made->validation));
        }
        keep(result, std::move(origin));
    }
    if (_recorder) _recorder->forget();
}

void Provenance::deferred(const sym::StateConstRule* provider, size_t, const sym::StateRule* consumer) {
    pend(provider);
    pend(consumer);
}

void Provenance::released(const sym::StateConstRule* provider, const sym::StateRule* consumer) {
    unpend(provider);
    unpend(consumer);
}

void Provenance::pend(const sym::StateRule* rule) {
    auto [entry, fresh] = _pending.try_emplace(rule);
    if (fresh) entry->second.first = record(rule);
    ++entry->second.second;
}

void Provenance::unpend(const sym::StateRule* rule) {
    auto found = _pending.find(rule);
    if (found == _pending.end()) return;
    if (--found->second.second == 0) _pending.erase(found);
}

void Provenance::varied(const sym::StateRule* rule, const sym::StateRule* variant) {
    auto origin = std::make_shared<Origin>();
    origin->kind = Origin::Kind::VARIANT;
    // The variant is made for the premise the original selects.
    origin->number = rule->select();
    origin->first = record(rule);
    if (_recorder) origin->link = PackedLink(copy_link(*variant));
    keep(variant, std::move(origin));
}

void Provenance::transferred(const sym::StateTransRule* transfer, const sym::StateConstRule* final_rule,
                             const std::list<sym::StateConstRule*>& results) {
    std::shared_ptr<Origin> through = record(transfer);
    std::shared_ptr<Origin> back = record(final_rule);
    for (const sym::StateConstRule* result : results) {
        auto origin = std::make_shared<Origin>();
        origin->kind = Origin::Kind::TRANSFER;
        origin->first = through;
        origin->second = back;
        if (_recorder) {
            if (const Recorder::Pending* made = _recorder->find(result))
                origin->link = PackedLink(
                    transfer_link(*transfer, *final_rule, *result, made->validation, made->conversions));
        }
        keep(result, std::move(origin));
    }
    if (_recorder) _recorder->forget();
}

void Provenance::targeted(const sym::StateConstRule* final_rule, const sym::StateRule* target) {
    auto origin = std::make_shared<Origin>();
    origin->kind = Origin::Kind::TARGET;
    origin->first = record(final_rule);
    if (_recorder) {
        if (const Recorder::Pending* made = _recorder->find(target))
            origin->link = PackedLink(target_link(*final_rule, *target, made->validation));
        _recorder->forget();
    }
    keep(target, std::move(origin));
}

void Provenance::dropped(const sym::StateRule* rule) {
    auto found = _live.find(rule);
    if (found == _live.end()) return;
    Origin& origin = *found->second;
    // Beside the table's own reference, another one means a rule descends from it.
    if (found->second.use_count() > 1) origin.text = printed_rule(*rule);
    origin.rule = nullptr;
    _live.erase(found);
}

std::shared_ptr<const Origin> Provenance::origin(const sym::StateRule* rule) const { return record(rule); }

std::shared_ptr<Origin> Provenance::record(const sym::StateRule* rule) const {
    auto found = _live.find(rule);
    if (found != _live.end()) return found->second;
    // A rule that left its set while a deferred composition still needs it.
    auto pending = _pending.find(rule);
    return pending == _pending.end() ? nullptr : pending->second.first;
}

void Provenance::keep(const sym::StateRule* rule, std::shared_ptr<Origin> origin) {
    origin->rule = rule;
    // A rule the engine deleted without saying so (only on the way out of a
    // failed run) may leave its address to a new rule: the new record wins.
    _live[rule] = std::move(origin);
}

void record_parsed_model(Provenance& provenance) {
    size_t i = 0;
    for (const sym::StateConstRule* rule : raw_const_rules) {
        const RuleSource& source = raw_const_sources.at(i++);
        provenance.model_rule(rule, ModelSource{source.line, source.text});
    }
    i = 0;
    for (const sym::StateTransRule* rule : raw_trans_rules) {
        const RuleSource& source = raw_trans_sources.at(i++);
        provenance.model_rule(rule, ModelSource{source.line, source.text});
    }
}

}  // namespace vorn
