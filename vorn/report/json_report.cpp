#include "vorn/report/json_report.h"

#include <nlohmann/json.hpp>
#include <sstream>

#include "symbolic/event.h"
#include "symbolic/fact.h"
#include "symbolic/know.h"
#include "symbolic/srule.h"
#include "symbolic/state.h"
#include "symbolic/term.h"

namespace vorn {

namespace {

using nlohmann::json;

template <class Printable>
std::string printed(const Printable& item) {
    std::ostringstream os;
    item.info(os);
    return os.str();
}

std::string printed_name(const sym::Name& name) {
    std::ostringstream os;
    os << name;
    return os.str();
}

json sids(const sym::StateRule::SIDs& set) {
    json list = json::array();
    for (sym::StateRule::SID sid : set) list.push_back(sid);
    return list;
}

// An event or a state: its predicate and its arguments, each flagged when it
// is starred (a fresh nonce of an event, a key argument of a state). A state
// also lists its key alone: with the predicate it names the process.
json fact_json(const sym::Fact& fact) {
    if (fact.type() == sym::Fact::OKNOW) {
        const auto& know = static_cast<const sym::Know&>(fact);
        return {{"kind", "knowledge"}, {"term", printed(*know.term())}, {"printed", printed(fact)}};
    }
    const auto& with_arguments = static_cast<const sym::ArgumentFact&>(fact);
    json arguments = json::array();
    json key = json::array();
    for (const auto& [starred, term] : with_arguments.arguments()) {
        std::string text = printed(*term);
        arguments.push_back({{"term", text}, {"starred", starred}});
        if (starred) key.push_back(text);
    }
    json result = {{"kind", fact.type() == sym::Fact::STATE ? "state" : "event"},
                   {"predicate", printed_name(fact.predicate())},
                   {"arguments", arguments},
                   {"printed", printed(fact)}};
    if (fact.type() == sym::Fact::STATE) result["key"] = key;
    return result;
}

json target_rule(const sym::StateConstRule& rule) {
    json knowledge = json::array();
    for (const auto& [know, entry] : rule.knows()) {
        json premise = fact_json(*know);
        premise["states"] = sids(entry.second);
        knowledge.push_back(premise);
    }
    json events = json::array();
    for (const sym::Event* event : rule.events()) events.push_back(fact_json(*event));
    json states = json::array();
    for (const auto& [sid, entry] : rule.states()) {
        json state = fact_json(*entry.first);
        state["sid"] = sid;
        state["ordering"] = sids(entry.second);
        states.push_back(state);
    }
    return {{"printed", printed(rule)},
            {"knowledge_premises", knowledge},
            {"event_premises", events},
            {"states", states},
            {"conclusion", fact_json(*rule.conclusion())}};
}

json verdict_json(const Verdict& verdict) {
    return {{"result", verdict_result(verdict.kind)},
            {"text", "verdict " + question_text(verdict.query_lines) + ": " + answer_text(verdict)},
            {"query_lines", verdict.query_lines},
            {"events", verdict.events},
            {"target_rules", verdict.target_rules}};
}

}  // namespace

std::string json_results(const Algorithm& engine, const std::vector<std::pair<sym::State*, bool>>& queries,
                         const RunSummary& summary, const Verdict& verdict) {
    std::vector<size_t> sizes = engine.set_sizes();
    static const char* const set_names[] = {"selectable_consistent", "not_selectable_consistent",
                                            "selectable_transfer",   "not_selectable_transfer",
                                            "final",                 "target"};
    json sets = json::object();
    for (size_t i = 0; i < sizes.size() && i < 6; ++i) sets[set_names[i]] = sizes[i];

    json query_list = json::array();
    for (const auto& [state, reusable] : queries) {
        json query = fact_json(*state);
        query["reusable"] = reusable;
        query_list.push_back(query);
    }
    json targets = json::array();
    for (const sym::StateConstRule* rule : engine.target_rules()) targets.push_back(target_rule(*rule));
    // Under the abstraction, whether each was found through a generalised
    // rule, and if so, whether the replay of its run confirmed it.
    if (engine.settings().abstraction())
        for (size_t i = 0; i < targets.size() && i < engine.targets_abstracted().size(); ++i) {
            bool generalised = engine.targets_abstracted()[i];
            targets[i]["generalised"] = generalised;
            if (generalised) targets[i]["replayed"] = i < summary.replayed.size() && summary.replayed[i];
        }

    json document = {
        {"format_version", json_format_version},
        {"model", summary.model},
        {"completed", summary.stopped_by.empty()},
        {"stopped_by", summary.stopped_by.empty() ? json(nullptr) : json(summary.stopped_by)},
        {"time_ms", summary.time_ms},
        {"rule_count", engine.rule_count()},
        {"rule_sets", sets},
        {"queries", query_list},
        {"verdict", verdict_json(verdict)},
        {"target_rules", targets},
    };
    // Names and terms come from the model file, which need not be UTF-8.
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace vorn
