#include "vorn/report/verdict.h"

#include <algorithm>
#include <csignal>
#include <sstream>

#include "symbolic/fact.h"
#include "symbolic/srule.h"

namespace vorn {

namespace {

// The most events an answer names.
const size_t events_named = 3;

std::string count_text(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

Verdict judge(const std::list<sym::StateConstRule*>& targets, std::vector<int> query_lines, std::string stopped_by,
              const std::vector<bool>& abstracted) {
    Verdict verdict;
    verdict.query_lines = std::move(query_lines);
    verdict.stopped_by = std::move(stopped_by);
    verdict.target_rules = targets.size();
    for (const sym::StateConstRule* target : targets) {
        std::ostringstream text;
        target->conclusion()->info(text);
        if (std::find(verdict.events.begin(), verdict.events.end(), text.str()) == verdict.events.end())
            verdict.events.push_back(text.str());
    }
    bool exact = abstracted.empty() || std::find(abstracted.begin(), abstracted.end(), false) != abstracted.end();
    if (!targets.empty())
        verdict.kind = exact ? VerdictKind::ATTACK : VerdictKind::POSSIBLE_ATTACK;
    else
        verdict.kind = verdict.stopped_by.empty() ? VerdictKind::NO_ATTACK : VerdictKind::NO_VERDICT;
    return verdict;
}

std::string stop_cause(const std::string& limit_name, int signal) {
    if (signal == SIGINT) return "SIGINT";
    if (signal == SIGTERM) return "SIGTERM";
    if (signal != 0) return "signal " + std::to_string(signal);
    if (limit_name.empty()) return "";
    return "the " + limit_name + " limit";
}

const char* verdict_word(VerdictKind kind) {
    switch (kind) {
        case VerdictKind::ATTACK: return "attack";
        case VerdictKind::NO_ATTACK: return "no attack found";
        case VerdictKind::NO_VERDICT: return "no verdict";
        case VerdictKind::POSSIBLE_ATTACK: return "possible attack";
    }
    return "";
}

const char* verdict_result(VerdictKind kind) {
    switch (kind) {
        case VerdictKind::ATTACK: return "attack";
        case VerdictKind::NO_ATTACK: return "secure";
        case VerdictKind::NO_VERDICT: return "none";
        case VerdictKind::POSSIBLE_ATTACK: return "possible";
    }
    return "";
}

std::string question_text(const std::vector<int>& query_lines) {
    if (query_lines.empty()) return "without access query (events reachable from no state)";
    std::vector<int> lines = query_lines;
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    // Runs of consecutive lines as "40-43".
    std::string text;
    for (size_t i = 0; i < lines.size();) {
        size_t j = i;
        while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1) ++j;
        if (!text.empty()) text += ", ";
        text += std::to_string(lines[i]);
        if (j > i) {
            text += '-';
            text += std::to_string(lines[j]);
        }
        i = j + 1;
    }
    return std::string("for the access query at line") + (lines.size() > 1 ? "s " : " ") + text;
}

std::string answer_text(const Verdict& verdict) {
    std::string text = verdict_word(verdict.kind);
    switch (verdict.kind) {
        case VerdictKind::ATTACK:
        case VerdictKind::POSSIBLE_ATTACK: {
            text += ": ";
            for (size_t i = 0; i < verdict.events.size() && i < events_named; ++i)
                text += (i > 0 ? ", " : "") + verdict.events[i];
            if (verdict.events.size() > events_named)
                text += " and " + count_text(verdict.events.size() - events_named, "other event", "other events");
            text += " (" + count_text(verdict.target_rules, "target rule", "target rules");
            if (verdict.kind == VerdictKind::POSSIBLE_ATTACK) text += ", found through generalised rules";
            if (!verdict.stopped_by.empty()) text += ", found before " + verdict.stopped_by + " stopped the saturation";
            text += ")";
            break;
        }
        case VerdictKind::NO_ATTACK: text += " (saturation complete)"; break;
        case VerdictKind::NO_VERDICT: text += " (stopped by " + verdict.stopped_by + ")"; break;
    }
    return text;
}

std::string verdict_line(const std::string& model, const Verdict& verdict) {
    return model + ": verdict " + question_text(verdict.query_lines) + ": " + answer_text(verdict) + "\n";
}

Agreement as_expected(VerdictKind kind, Expectation expectation) {
    if (expectation == Expectation::NONE) return Agreement::NOT_ASKED;
    switch (kind) {
        case VerdictKind::ATTACK:
            return expectation == Expectation::ATTACK ? Agreement::AS_EXPECTED : Agreement::NOT_AS_EXPECTED;
        case VerdictKind::NO_ATTACK:
            return expectation == Expectation::SECURE ? Agreement::AS_EXPECTED : Agreement::NOT_AS_EXPECTED;
        // Not secure, whatever more work would find; an attack only once one
        // is confirmed, which a run stopped by a limit might still have done.
        case VerdictKind::POSSIBLE_ATTACK:
            return expectation == Expectation::SECURE ? Agreement::NOT_AS_EXPECTED : Agreement::NO_VERDICT;
        case VerdictKind::NO_VERDICT: return Agreement::NO_VERDICT;
    }
    return Agreement::NO_VERDICT;
}

}  // namespace vorn
