#include "tests/tools/target_comparison.h"

#include <ostream>
#include <sstream>
#include <streambuf>

#include "common/exception.h"
#include "tests/tools/tool_support.h"
#include "vorn/cli/run_monitor.h"
#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"

namespace vorn {

namespace {

const char* end_name(ComparedRun::End end) {
    switch (end) {
        case ComparedRun::End::COMPLETE: return "complete";
        case ComparedRun::End::STOPPED: return "stopped";
        case ComparedRun::End::MODEL_ERROR: return "model error";
    }
    return "";
}

std::vector<size_t> unmatched(const ComparedRun& specific, const ComparedRun& general) {
    std::vector<size_t> out;
    size_t position = 0;
    for (const sym::StateConstRule* target : specific.targets()) {
        ++position;
        if (!implied_by_any(target, general.targets())) out.push_back(position);
    }
    return out;
}

void print_targets(std::ostream& os, const char* run, const ComparedRun& specific, const std::vector<size_t>& which,
                   const char* other) {
    size_t position = 0;
    auto next = which.begin();
    for (const sym::StateConstRule* target : specific.targets()) {
        ++position;
        if (next == which.end() || *next != position) continue;
        ++next;
        os << "target " << position << " of the " << run << " run, implied by no target of the " << other
           << " run:\n";
        target->info(os);
    }
}

}  // namespace

bool parse_target_relation(const std::string& name, TargetRelation& relation) {
    if (name == "same")
        relation = TargetRelation::SAME;
    else if (name == "first-in-second")
        relation = TargetRelation::FIRST_IN_SECOND;
    else if (name == "second-in-first")
        relation = TargetRelation::SECOND_IN_FIRST;
    else
        return false;
    return true;
}

const std::list<sym::StateConstRule*>& ComparedRun::targets() const {
    static const std::list<sym::StateConstRule*> none;
    return engine ? engine->target_rules() : none;
}

ComparedRun run_for_comparison(const std::string& text, const Options& options) {
    ComparedRun run;
    run_model(run, text, options, false);
    if (run.engine) {
        run.tried = run.engine->rules_tried();
        run.held = run.engine->rule_count();
    }
    return run;
}

bool implied_by_any(const sym::StateConstRule* rule, const std::list<sym::StateConstRule*>& general) {
    for (const sym::StateConstRule* candidate : general)
        if (candidate->imply(rule)) return true;
    return false;
}

TargetComparison compare_targets(const ComparedRun& a, const ComparedRun& b, TargetRelation relation) {
    TargetComparison result;
    // A run stopped by a limit has exact targets but maybe not all of them: it
    // can only be the side whose targets must each be implied.
    auto complete = [](const ComparedRun& run) { return run.end == ComparedRun::End::COMPLETE; };
    auto usable = [](const ComparedRun& run) { return run.end != ComparedRun::End::MODEL_ERROR; };
    bool a_general = relation != TargetRelation::FIRST_IN_SECOND;
    bool b_general = relation != TargetRelation::SECOND_IN_FIRST;
    if (!usable(a) || !usable(b) || (a_general && !complete(a)) || (b_general && !complete(b))) return result;
    result.compared = true;
    if (relation != TargetRelation::SECOND_IN_FIRST) result.first_unmatched = unmatched(a, b);
    if (relation != TargetRelation::FIRST_IN_SECOND) result.second_unmatched = unmatched(b, a);
    result.holds = result.first_unmatched.empty() && result.second_unmatched.empty();
    return result;
}

std::string comparison_line(const std::string& model, const ComparedRun& a, const ComparedRun& b,
                            const TargetComparison& result) {
    std::ostringstream line;
    if (!result.compared) {
        line << "skipped " << model << ": first run " << end_name(a.end);
        if (!a.why.empty()) line << " (" << a.why << ")";
        line << ", second run " << end_name(b.end);
        if (!b.why.empty()) line << " (" << b.why << ")";
        return line.str();
    }
    line << (result.holds ? "holds " : "FAILS ") << model << ": targets " << a.targets().size() << " and "
         << b.targets().size() << ", rules " << a.held << " and " << b.held;
    if (!result.holds)
        line << "; unmatched " << result.first_unmatched.size() << " of the first, "
             << result.second_unmatched.size() << " of the second";
    return line.str();
}

std::string comparison_details(const ComparedRun& a, const ComparedRun& b, const TargetComparison& result) {
    std::ostringstream os;
    print_targets(os, "first", a, result.first_unmatched, "second");
    print_targets(os, "second", b, result.second_unmatched, "first");
    return os.str();
}

}  // namespace vorn
