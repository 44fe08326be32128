#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <vector>

namespace sym {
class StateConstRule;
}

namespace vorn {

// What a run answers to the model's question.
enum class VerdictKind {
    // A target rule was found: its event is reachable, and the rule is the
    // witness, whether the saturation completed or was stopped.
    ATTACK,
    // The saturation completed and no final rule reaches the queried states.
    NO_ATTACK,
    // Something stopped the saturation before any target rule was found: the
    // rule sets are incomplete, so nothing follows.
    NO_VERDICT,
    // Target rules were found under the abstraction, every one of them
    // through a generalised rule, which derives more than the model: they
    // may be attacks or not. (A target found through exact rules alone is an
    // attack.)
    POSSIBLE_ATTACK,
    // A verdict added here needs its words in verdict_word and
    // verdict_result and its answer in as_expected; the compiler points at
    // each switch.
};

// The verdict on one question. The access queries of a model (its "%"
// declarations) together describe one starting situation, so they form one
// question; a model without any asks which events are reachable from no
// state at all (its targets are the final rules without states).
struct Verdict {
    VerdictKind kind = VerdictKind::NO_VERDICT;
    // The lines of the access queries, in the order of the file; empty when
    // the model has none.
    std::vector<int> query_lines;
    // The conclusions of the target rules as the report prints them, each
    // once, in the report's order.
    std::vector<std::string> events;
    size_t target_rules = 0;
    // What stopped the saturation ("the rule limit", "SIGINT"); empty when it
    // completed.
    std::string stopped_by;
};

// The verdict of a run from its target rules; `stopped_by` as in Verdict;
// `abstracted`, when not empty, says for each target rule whether it was
// found through a generalised rule.
Verdict judge(const std::list<sym::StateConstRule*>& targets, std::vector<int> query_lines, std::string stopped_by,
              const std::vector<bool>& abstracted = {});

// What stopped a saturation, in words: "the rule limit", "the time limit",
// "the memory limit" for the limit named "rule", "time" or "memory", the
// signal's name ("SIGINT", "SIGTERM") when a signal stopped it; empty when
// nothing did.
std::string stop_cause(const std::string& limit_name, int signal);

// "attack", "no attack found", "no verdict" or "possible attack".
const char* verdict_word(VerdictKind kind);
// The verdict as --expect and the JSON results name it: "attack", "secure",
// "none" or "possible".
const char* verdict_result(VerdictKind kind);

// The question: "for the access query at line 12", "for the access query at
// lines 40-41", "without access query (events reachable from no state)".
std::string question_text(const std::vector<int>& query_lines);

// The answer: "attack: Stolen(gold[]) (1 target rule)", "no attack found
// (saturation complete)", "no verdict (stopped by the rule limit)". At most
// three events are named; the others are counted.
std::string answer_text(const Verdict& verdict);

// The line written on standard error after a run: "MODEL: verdict QUESTION:
// ANSWER" and a line feed.
std::string verdict_line(const std::string& model, const Verdict& verdict);

// What --expect asks for.
enum class Expectation { NONE, ATTACK, SECURE };

// Whether the verdict is the one expected: true or false, or nothing when
// the run gave no verdict to compare (NO_VERDICT: no target rule before a
// limit, or a possible attack when an attack was expected) or nothing was
// expected.
enum class Agreement { NOT_ASKED, AS_EXPECTED, NOT_AS_EXPECTED, NO_VERDICT };
Agreement as_expected(VerdictKind kind, Expectation expectation);

}  // namespace vorn
