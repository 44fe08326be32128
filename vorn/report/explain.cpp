#include "vorn/report/explain.h"

#include "vorn/report/protocol_run.h"

#include <array>
#include <sstream>
#include <unordered_set>
#include <utility>

namespace vorn {

namespace {

// The rules a step is made from, in the order their steps are listed.
std::array<const std::shared_ptr<Origin>*, 2> parents(const Origin& origin) {
    return {&origin.first, &origin.second};
}

std::string step_ref(const Derivation& derivation, const std::shared_ptr<Origin>& origin) {
    size_t number = derivation.number(origin.get());
    return number == 0 ? std::string("an unrecorded rule") : "step " + std::to_string(number);
}

// The text as a DOT string: quotes and backslashes escaped, every line
// left-justified.
std::string dot_label(const std::string& text) {
    std::string label = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            label += '\\';
            label += c;
        } else if (c == '\n') {
            label += "\\l";
        } else if (c != '\r') {
            label += c;
        }
    }
    if (!text.empty() && text.back() != '\n') label += "\\l";
    return label + "\"";
}

const char* edge_label(const Origin& made, bool first) {
    switch (made.kind) {
        case Origin::Kind::COMPOSITION: return first ? "provider" : "consumer";
        case Origin::Kind::VARIANT: return "variant";
        case Origin::Kind::TRANSFER: return first ? "transfer rule" : "final rule";
        case Origin::Kind::TARGET: return "target";
        case Origin::Kind::REWRITE: return "rewritten";
        case Origin::Kind::MODEL: break;
    }
    return "";
}

}  // namespace

size_t Derivation::number(const Origin* origin) const {
    auto found = numbers.find(origin);
    return found == numbers.end() ? 0 : found->second;
}

Derivation derive(const std::shared_ptr<const Origin>& target) {
    Derivation derivation;
    if (!target) return derivation;
    // Depth first, without recursion: derivations can be thousands of steps deep.
    struct Frame {
        std::shared_ptr<const Origin> origin;
        size_t next;
    };
    std::vector<Frame> stack{{target, 0}};
    std::unordered_set<const Origin*> entered{target.get()};
    while (!stack.empty()) {
        Frame& top = stack.back();
        auto from = parents(*top.origin);
        if (top.next < from.size()) {
            const std::shared_ptr<Origin>& parent = *from[top.next++];
            if (parent && entered.insert(parent.get()).second) stack.push_back({parent, 0});
            continue;
        }
        derivation.steps.push_back(top.origin);
        derivation.numbers.emplace(top.origin.get(), derivation.steps.size());
        stack.pop_back();
    }
    return derivation;
}

std::vector<Derivation> derive_targets(const Algorithm& engine, const Provenance& provenance) {
    std::vector<Derivation> derivations;
    for (const sym::StateConstRule* target : engine.target_rules())
        derivations.push_back(derive(provenance.origin(target)));
    return derivations;
}

std::string step_title(const Derivation& derivation, const Origin& step, const Provenance& provenance) {
    switch (step.kind) {
        case Origin::Kind::MODEL: return "line " + std::to_string(provenance.source(step).line);
        case Origin::Kind::COMPOSITION:
            return "composition of " + step_ref(derivation, step.first) + " into " +
                   step_ref(derivation, step.second) + " at premise " + std::to_string(step.number);
        case Origin::Kind::VARIANT:
            return "variant of " + step_ref(derivation, step.first) + " passing over premise " +
                   std::to_string(step.number);
        case Origin::Kind::TRANSFER:
            return "transfer of " + step_ref(derivation, step.second) + " back through " +
                   step_ref(derivation, step.first);
        case Origin::Kind::TARGET: return "target of " + step_ref(derivation, step.first) + " for the access queries";
        case Origin::Kind::REWRITE:
            switch (static_cast<Observer::Rewrite>(step.number)) {
                case Observer::Rewrite::SPLIT:
                case Observer::Rewrite::PROJECTED:
                    return step_ref(derivation, step.first) + " split on a data constructor";
                case Observer::Rewrite::MERGED:
                    return step_ref(derivation, step.first) + " with the versions of a process merged";
                case Observer::Rewrite::GENERALISED:
                    return step_ref(derivation, step.first) + " generalised: its deep terms replaced by variables";
                case Observer::Rewrite::COMPLETED:
                    return step_ref(derivation, step.first) +
                           " with a process in the target state of each conversion it lacks";
            }
            break;
    }
    return "";
}

std::string one_line(const std::string& source) {
    std::string line;
    bool blank = false;
    for (size_t i = 0; i < source.size(); ++i) {
        char c = source[i];
        if (c == '/' && i + 1 < source.size() && source[i + 1] == '/') {
            size_t end = source.find('\n', i);
            if (end == std::string::npos) break;
            i = end;
            c = '\n';
        }
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            blank = true;
            continue;
        }
        if (blank && !line.empty()) line += ' ';
        blank = false;
        line += c;
    }
    return line;
}

std::string run_outline(const Derivation& derivation, const Provenance& provenance) {
    if (derivation.steps.empty()) return "  no model rule over states\n";
    ProtocolRun run = protocol_run(derivation);
    switch (run.status) {
        case ProtocolRun::Status::RUN: break;
        case ProtocolRun::Status::NO_ORDER: {
            // The derivation is no run: say which steps it orders in a circle.
            auto line = [&](size_t i) {
                return "line " + std::to_string(provenance.source(*run.cycle[i % run.cycle.size()]).line);
            };
            std::string needs;
            for (size_t i = 0; i < run.cycle.size(); ++i)
                needs += (i == 0 ? "" : i + 1 == run.cycle.size() ? " and " : ", ") + line(i) + " before " + line(i + 1);
            return "  none: the derivation needs " + needs + ", so no order of its steps keeps its orderings\n";
        }
        case ProtocolRun::Status::TOO_LONG:
            return "  not worked out: the run has more than " + std::to_string(max_run_steps) + " steps\n";
        case ProtocolRun::Status::NO_RECORD: return "  not worked out: no record of the states of its steps\n";
    }
    std::string outline;
    for (const RunStep& step : run.steps) {
        if (!step.model->over_states) continue;
        const ModelSource& source = provenance.source(*step.model);
        outline += "  line " + std::to_string(source.line) + ": " + one_line(source.text) + "\n";
    }
    if (outline.empty()) outline = "  no model rule over states\n";
    return outline;
}

void print_explanation(std::ostream& os, const std::vector<Derivation>& derivations, const Provenance& provenance) {
    if (derivations.empty()) {
        os << "\nNo target rule to explain.\n";
        return;
    }
    for (size_t t = 0; t < derivations.size(); ++t) {
        const Derivation& derivation = derivations[t];
        os << "\nDerivation of target rule " << t + 1 << ":\n\n";
        for (size_t i = 0; i < derivation.steps.size(); ++i) {
            const Origin& step = *derivation.steps[i];
            os << i + 1 << ". " << step_title(derivation, step, provenance) << ":\n" << step.printed() << "\n";
        }
        if (derivation.steps.empty()) os << "No record of how it was made.\n\n";
        os << "Outline of target rule " << t + 1 << ":\n" << run_outline(derivation, provenance);
    }
    os << std::flush;
}

std::string derivation_graph(const std::vector<Derivation>& derivations, const Provenance& provenance) {
    std::ostringstream dot;
    dot << "digraph derivations {\n"
        << "  node [shape=box, fontname=\"monospace\", fontsize=10];\n"
        << "  edge [fontname=\"sans-serif\", fontsize=9];\n";
    if (derivations.empty()) dot << "  label=\"No target rule\";\n";
    for (size_t t = 0; t < derivations.size(); ++t) {
        const Derivation& derivation = derivations[t];
        std::string prefix = "t" + std::to_string(t + 1) + "s";
        dot << "  subgraph cluster_" << t + 1 << " {\n"
            << "    label=\"Derivation of target rule " << t + 1 << "\";\n";
        for (size_t i = 0; i < derivation.steps.size(); ++i) {
            const Origin& step = *derivation.steps[i];
            std::string label = std::to_string(i + 1) + ". " + step_title(derivation, step, provenance) + ":\n";
            dot << "    " << prefix << i + 1 << " [label=" << dot_label(label + step.printed());
            if (step.kind == Origin::Kind::MODEL)
                dot << ", style=filled, fillcolor=\"#dbe8f6\"";
            else if (step.kind == Origin::Kind::TARGET)
                dot << ", style=\"filled,bold\", fillcolor=\"#f8d7c4\", peripheries=2";
            else
                dot << ", style=rounded";
            dot << "];\n";
        }
        for (size_t i = 0; i < derivation.steps.size(); ++i) {
            const Origin& step = *derivation.steps[i];
            auto from = parents(step);
            for (size_t p = 0; p < from.size(); ++p) {
                size_t parent = derivation.number(from[p]->get());
                if (parent == 0) continue;
                dot << "    " << prefix << parent << " -> " << prefix << i + 1 << " [label=\""
                    << edge_label(step, p == 0) << "\"];\n";
            }
        }
        dot << "  }\n";
    }
    dot << "}\n";
    return dot.str();
}

}  // namespace vorn
