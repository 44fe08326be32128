#include "vorn/saturation/provenance.h"

#include <algorithm>
#include <functional>
#include <sstream>
#include <utility>

#include "symbolic/function.h"
#include "symbolic/know.h"
#include "symbolic/validation_record.h"
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
// that shows them takes it. Every rule an operation makes is shown right
// after it is made, in the order it was made, so a hook finds its rules last
// and then forgets everything (rules that were made and thrown away too).
// The records go into one buffer that is kept between hooks.
struct Provenance::Recorder : sym::ValidationRecorder {
    static constexpr size_t NONE = SIZE_MAX;

    struct Entry {
        const sym::StateRule* rule = nullptr;
        size_t conversions = NONE;
        size_t validation = NONE;
    };

    Recorder() : scope(this) {}

    void converted(const sym::StateRule* rule, const sym::StateRule::ConversionMap& replaced,
                   const std::vector<size_t>& sources) override {
        entries.push_back({rule, data.size(), NONE});
        data.push_back(replaced.size());
        for (size_t c = 0; c < replaced.size(); ++c) {
            data.push_back(replaced[c].second.size());
            data.insert(data.end(), replaced[c].second.begin(), replaced[c].second.end());
            data.push_back(sources.at(c) == sym::StateRule::NONSELECTABLE ? 0 : sources[c]);
        }
    }

    void validated(const sym::StateRule* rule, const sym::Validation& validation) override {
        // A transfer told of its rule right before validating it.
        if (entries.empty() || entries.back().rule != rule || entries.back().validation != NONE)
            entries.push_back({rule, NONE, NONE});
        entries.back().validation = data.size();
        data.push_back(rule->states().size());
        for (const auto& state : rule->states()) {
            data.push_back(state.first);
            size_t count = data.size();
            data.push_back(0);
            for (const auto& fold : validation.folds) {
                // Folded into a state that was folded in its turn, and so on.
                size_t into = fold.second;
                for (size_t hops = 0; hops < validation.folds.size(); ++hops) {
                    auto next = std::find_if(validation.folds.begin(), validation.folds.end(),
                                             [&](const auto& f) { return f.first == into; });
                    if (next == validation.folds.end()) break;
                    into = next->second;
                }
                if (into != state.first) continue;
                data.push_back(fold.first);
                ++data[count];
            }
        }
        data.push_back(validation.premises.size());
        for (const auto& pair : validation.premises) data.insert(data.end(), {pair.first, pair.second});
    }

    // The records of `rules`, the last rules made, in order; a missing one has no record.
    std::vector<MadeRecord> find(const std::vector<const sym::StateRule*>& rules) const {
        std::vector<MadeRecord> found(rules.size());
        size_t entry = entries.size();
        for (size_t i = rules.size(); i-- > 0;) {
            while (entry > 0 && entries[entry - 1].validation == NONE) --entry;
            if (entry == 0 || entries[entry - 1].rule != rules[i]) break;
            const Entry& made = entries[--entry];
            found[i].validation = &data[made.validation];
            if (made.conversions != NONE) found[i].conversions = &data[made.conversions];
        }
        return found;
    }

    void forget() {
        entries.clear();
        data.clear();
    }

    std::vector<Entry> entries;
    std::vector<size_t> data;
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
        origin->link = model_link(*rule);
    }
    _sources.push_back(std::move(source));
    keep(rule, std::move(origin));
}

void Provenance::composed(const sym::StateConstRule* provider, size_t index, const sym::StateRule* consumer,
                          const std::list<sym::StateRule*>& results) {
    std::shared_ptr<Origin> from = record(provider);
    std::shared_ptr<Origin> into = record(consumer);
    std::vector<MadeRecord> made = records(results);
    size_t i = 0;
    for (const sym::StateRule* result : results) {
        auto origin = std::make_shared<Origin>();
        origin->kind = Origin::Kind::COMPOSITION;
        origin->number = index;
        origin->first = from;
        origin->second = into;
        if (_recorder) origin->link = composition_link(*provider, *consumer, *result, made[i++]);
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
    if (_recorder) origin->link = copy_link(*variant);
    keep(variant, std::move(origin));
}

void Provenance::rewritten(const sym::StateRule* rule, const sym::StateRule* result, Rewrite how, size_t argument) {
    auto origin = std::make_shared<Origin>();
    origin->kind = Origin::Kind::REWRITE;
    origin->number = static_cast<size_t>(how);
    origin->first = record(rule);
    // Each rewrite copies the rule's states, then validates the copy; a split
    // also says which constructions or projection its premises stand for.
    if (_recorder) {
        std::vector<MadeRecord> made = records(std::list<const sym::StateRule*>{result});
        origin->link = rewrite_link(*rule, *result, made.front());
        if (how == Rewrite::SPLIT) origin->split = premises_split(*rule);
        if (how == Rewrite::PROJECTED) origin->split = conclusion_split(*rule, argument);
        if ((how == Rewrite::SPLIT || how == Rewrite::PROJECTED) && !origin->split) origin->link = PackedLink();
    }
    keep(result, std::move(origin));
    if (_recorder) _recorder->forget();
}

void Provenance::transferred(const sym::StateTransRule* transfer, const sym::StateConstRule* final_rule,
                             const std::list<sym::StateConstRule*>& results) {
    std::shared_ptr<Origin> through = record(transfer);
    std::shared_ptr<Origin> back = record(final_rule);
    std::vector<MadeRecord> made = records(results);
    size_t i = 0;
    for (const sym::StateConstRule* result : results) {
        auto origin = std::make_shared<Origin>();
        origin->kind = Origin::Kind::TRANSFER;
        origin->first = through;
        origin->second = back;
        if (_recorder) origin->link = transfer_link(*transfer, *final_rule, *result, made[i++]);
        keep(result, std::move(origin));
    }
    if (_recorder) _recorder->forget();
}

void Provenance::targeted(const sym::StateConstRule* final_rule, const sym::StateRule* target) {
    auto origin = std::make_shared<Origin>();
    origin->kind = Origin::Kind::TARGET;
    origin->first = record(final_rule);
    if (_recorder) {
        origin->link = target_link(*final_rule, *target, _recorder->find({target}).front());
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

template <class Rule>
std::vector<MadeRecord> Provenance::records(const std::list<Rule*>& rules) const {
    if (!_recorder) return {};
    return _recorder->find(std::vector<const sym::StateRule*>(rules.begin(), rules.end()));
}

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

void Provenance::model_constructors(const std::list<sym::StateConstRule*>& rules) {
    _constructors = sym::Constructors::of(rules);
    for (const sym::StateConstRule* rule : rules) {
        std::shared_ptr<Origin> origin = record(rule);
        if (!origin) continue;
        size_t position = 0;
        if (const sym::Function* function = sym::construction_rule(rule)) {
            if (!_constructors.functions().count(function->name().id())) continue;
            std::vector<uint32_t> premise_of_argument;
            for (const sym::Term* argument : function->arguments())
                for (uint32_t k = 0; k < rule->knows().size(); ++k)
                    if (rule->knows()[k].first->term()->name().id() == argument->name().id())
                        premise_of_argument.push_back(k);
            _constructions.emplace(function->name().id(), std::make_pair(origin, std::move(premise_of_argument)));
        } else if (const sym::Function* projected = sym::projection_rule(rule, position)) {
            if (!_constructors.functions().count(projected->name().id())) continue;
            _projections.emplace(std::make_pair(projected->name().id(), position), origin);
        }
    }
}

std::shared_ptr<const SplitRecord> Provenance::premises_split(const sym::StateRule& rule) const {
    auto split = std::make_shared<SplitRecord>();
    // The construction of each term the split takes apart, by premise and path.
    std::map<std::pair<size_t, std::vector<size_t>>, int32_t> made;
    std::function<int32_t(size_t, const std::vector<size_t>&)> construction = [&](size_t premise,
                                                                                 const std::vector<size_t>& path) {
        auto found = made.find({premise, path});
        if (found != made.end()) return found->second;
        const sym::Term* term = rule.knows().at(premise).first->term();
        for (size_t i : path) term = static_cast<const sym::Function*>(term)->arguments().at(i);
        auto rules = _constructions.find(term->name().id());
        if (term->type() != sym::Term::FUNCT || rules == _constructions.end()) return int32_t{-2};
        SplitRecord::Construction made_here;
        made_here.model = rules->second.first;
        made_here.premise_of_argument = rules->second.second;
        if (path.empty()) {
            made_here.premise = static_cast<uint32_t>(premise);
        } else {
            std::vector<size_t> up(path.begin(), path.end() - 1);
            made_here.parent = construction(premise, up);
            if (made_here.parent < 0) return int32_t{-2};
            made_here.premise = static_cast<uint32_t>(path.back());
        }
        split->constructions.push_back(std::move(made_here));
        return made[{premise, path}] = static_cast<int32_t>(split->constructions.size() - 1);
    };
    for (const sym::SplitPart& part : sym::split_parts(&rule, _constructors)) {
        if (part.path.empty()) {
            split->parts.emplace_back(-1, static_cast<uint32_t>(part.premise));
            continue;
        }
        int32_t at = construction(part.premise, std::vector<size_t>(part.path.begin(), part.path.end() - 1));
        if (at < 0) return nullptr;
        split->parts.emplace_back(at, static_cast<uint32_t>(part.path.back()));
    }
    return split;
}

std::shared_ptr<const SplitRecord> Provenance::conclusion_split(const sym::StateRule& rule, size_t argument) const {
    if (rule.type() != sym::StateRule::CONSIST) return nullptr;
    const sym::Fact* conclusion = static_cast<const sym::StateConstRule&>(rule).conclusion();
    if (conclusion->type() != sym::Fact::OKNOW) return nullptr;
    const sym::Term* term = static_cast<const sym::Know*>(conclusion)->term();
    if (term->type() != sym::Term::FUNCT) return nullptr;
    auto found = _projections.find({term->name().id(), argument});
    if (found == _projections.end()) return nullptr;
    auto split = std::make_shared<SplitRecord>();
    split->projection = found->second;
    return split;
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
    if (provenance.follows_states()) provenance.model_constructors(raw_const_rules);
}

}  // namespace vorn
