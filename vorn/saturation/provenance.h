#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "symbolic/srule_levers.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/step_links.h"

namespace vorn {

struct Origin;

// What a rule split on a data constructor stands for in a run of the
// protocol: the attacker's constructions of the terms of the premises split,
// or the projection that takes a part of the conclusion.
struct SplitRecord {
    struct Construction {
        // The model's construction rule of the function.
        std::shared_ptr<const Origin> model;
        // The premise its conclusion gives: the premise `premise` of the rule
        // split (parent < 0), or the argument `premise` of construction `parent`.
        int32_t parent = -1;
        uint32_t premise = 0;
        // For each argument of the function, the construction rule's premise
        // that knows it.
        std::vector<uint32_t> premise_of_argument;
    };
    // Parents before children.
    std::vector<Construction> constructions;
    // For each premise of the rule made (before validation): the argument
    // `second` of construction `first`, or the premise `second` of the rule
    // split when `first` < 0.
    std::vector<std::pair<int32_t, uint32_t>> parts;
    // For a part of a conclusion: the model's projection rule.
    std::shared_ptr<const Origin> projection;
};

// How one rule of a run was made. A record is shared by the records of the
// rules made from it, so it lives as long as some rule descends from it; the
// rule itself may be gone by then, and its printed text is kept instead.
struct Origin {
    enum class Kind : std::uint8_t {
        MODEL,        // a rule of the model file
        COMPOSITION,  // `first` (provider) composed into `second` (consumer) at premise `number`
        VARIANT,      // `first` copied to pass over its configuration premise `number`
        TRANSFER,     // `second` (a final rule) carried back through `first` (a transfer rule)
        TARGET,       // `first` (a final rule) answered the access queries
        REWRITE       // `first` rewritten by a lever: `number` is the Observer::Rewrite
    };

    Kind kind = Kind::MODEL;
    // For a model rule: whether it is a transfer rule or has states, and
    // whether it is a transfer rule.
    bool over_states = false;
    bool transfer = false;
    // MODEL: the position of the rule among the model's sources;
    // COMPOSITION and VARIANT: a premise index.
    size_t number = 0;
    std::shared_ptr<Origin> first;
    std::shared_ptr<Origin> second;
    // The rule while the engine holds it, null once it is deleted.
    const sym::StateRule* rule = nullptr;
    // The printed rule, kept when the rule is deleted while later rules descend from it.
    std::string text;
    // How the rule's states and premises stand for its parents' (for a
    // model rule: its shape only); empty when the provenance does not follow
    // states, or the operation left no record of it.
    PackedLink link;
    // REWRITE by a split on a data constructor, when the provenance follows states.
    std::shared_ptr<const SplitRecord> split;

    Origin() = default;
    // Frees the records only this one kept alive without recursing through
    // them: a line of descent can be as long as the run.
    ~Origin();
    Origin(const Origin&) = delete;
    Origin& operator=(const Origin&) = delete;

    // The rule as printed (from the rule while it lives).
    std::string printed() const;
};

// A rule of the model file as written: its line and its text.
struct ModelSource {
    int line = 0;
    std::string text;
};

// Keeps the origin of every rule the engine makes while it runs. Records are
// looked up by the live rule; a rule's record leaves the table when the engine
// deletes the rule and is freed with its last descendant. Compositions may be
// deferred: the records of their provider and consumer are kept from the
// deferral on, so that the rules made later, maybe after the two left their
// sets, still descend from them. The observer only
// reads the rules it is shown (their printed form, their selected premise), so
// it changes nothing the run prints and issues no name.
class Provenance : public Observer {
public:
    Provenance();
    // With `follow_states`, each record also keeps how the rule's states and
    // premises stand for its parents' (Origin::link), which the protocol run
    // of a derivation is worked out from; the provenance then records what
    // validation does to the rules while it lives.
    explicit Provenance(bool follow_states);
    ~Provenance() override;
    Provenance(const Provenance&) = delete;
    Provenance& operator=(const Provenance&) = delete;

    bool follows_states() const { return _recorder != nullptr; }

    // A rule of the model, before it is handed to the engine.
    void model_rule(const sym::StateRule* rule, ModelSource source);
    // The model's consistent rules, recorded: the data constructors among
    // their functions, with the rules that construct and project them.
    void model_constructors(const std::list<sym::StateConstRule*>& rules);

    void composed(const sym::StateConstRule* provider, size_t index, const sym::StateRule* consumer,
                  const std::list<sym::StateRule*>& results) override;
    void deferred(const sym::StateConstRule* provider, size_t index, const sym::StateRule* consumer) override;
    void released(const sym::StateConstRule* provider, const sym::StateRule* consumer) override;
    void varied(const sym::StateRule* rule, const sym::StateRule* variant) override;
    void rewritten(const sym::StateRule* rule, const sym::StateRule* result, Rewrite how, size_t argument) override;
    void transferred(const sym::StateTransRule* transfer, const sym::StateConstRule* final_rule,
                     const std::list<sym::StateConstRule*>& results) override;
    void targeted(const sym::StateConstRule* final_rule, const sym::StateRule* target) override;
    void dropped(const sym::StateRule* rule) override;

    // The record of a rule the engine holds; null when none was kept.
    std::shared_ptr<const Origin> origin(const sym::StateRule* rule) const;
    const ModelSource& source(const Origin& model) const { return _sources.at(model.number); }
    // Records of the rules held now.
    size_t live_records() const { return _live.size(); }
    // Rules kept for deferred compositions.
    size_t pending_records() const { return _pending.size(); }

private:
    struct Recorder;

    std::shared_ptr<Origin> record(const sym::StateRule* rule) const;
    // What the recorder kept of the rules an operation made, in order.
    template <class Rule>
    std::vector<MadeRecord> records(const std::list<Rule*>& rules) const;
    void keep(const sym::StateRule* rule, std::shared_ptr<Origin> origin);

    // What a split of `rule` stands for; null when a constructor's rule is unknown.
    std::shared_ptr<const SplitRecord> premises_split(const sym::StateRule& rule) const;
    std::shared_ptr<const SplitRecord> conclusion_split(const sym::StateRule& rule, size_t argument) const;

    void pend(const sym::StateRule* rule);
    void unpend(const sym::StateRule* rule);

    std::unordered_map<const sym::StateRule*, std::shared_ptr<Origin>> _live;
    // The records of the providers and consumers of deferred compositions,
    // each with the number of compositions that still need it.
    std::unordered_map<const sym::StateRule*, std::pair<std::shared_ptr<Origin>, size_t>> _pending;
    std::vector<ModelSource> _sources;
    std::unique_ptr<Recorder> _recorder;
    // The data constructors of the model, the records of their construction
    // rules with the premise that knows each argument, and those of their
    // projection rules by function and argument.
    sym::Constructors _constructors;
    std::map<sym::Name::ID, std::pair<std::shared_ptr<Origin>, std::vector<uint32_t>>> _constructions;
    std::map<std::pair<sym::Name::ID, size_t>, std::shared_ptr<Origin>> _projections;
};

// Records the rules the parser holds (raw_const_rules, raw_trans_rules), each
// with where it was written, as the model's: before the engine takes them.
void record_parsed_model(Provenance& provenance);

}  // namespace vorn
