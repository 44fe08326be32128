// Fuzz target: a whole run (parse, saturate, analyse, report) on models.
//
// The first input byte chooses the mode. Even: the rest drives a generator of
// models that follow the grammar (declarations, consistent and transfer rules,
// access queries) over small pools of names, so that rules meet each other in
// the engine; now and then it writes a model error on purpose. Odd: the rest is
// model text as it is (the seed corpus, examples and end-to-end cases, is
// given in this mode).
//
// Saturation need not terminate, so the engine's closure step hook counts the
// rules taken from its work queues and abandons the input beyond a bound of
// steps or time; the unifier's binding hook abandons a unification that runs
// far past the time bound.
//
// The run keeps the provenance of its rules, as --explain does, and checks the
// derivation of each target rule: it ends with that target rule, and every
// step is made from earlier steps only.

#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "symbolic/arity_clash.h"
#include "symbolic/unifier.h"
#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"
#include "vorn/report/explain.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/engine_failure.h"
#include "vorn/saturation/observers.h"
#include "vorn/saturation/provenance.h"

namespace {

// The bound of one run: rules taken from the work queues, and time, checked
// before each closure step. Terms can grow with every composition (a variable
// that occurs twice in a conclusion doubles them), so one step can take far
// longer than all before it: unification checks the time too, with more slack.
constexpr unsigned max_closure_steps = 200;
constexpr std::chrono::milliseconds max_run_time(250);
constexpr std::chrono::milliseconds max_step_overrun(1000);
unsigned closure_steps = 0;
unsigned binding_follows = 0;
std::chrono::steady_clock::time_point run_start;
bool show_model = false;

bool past(std::chrono::milliseconds limit) { return std::chrono::steady_clock::now() - run_start > limit; }

void count_closure_step() {
    if (++closure_steps > max_closure_steps || past(max_run_time)) throw vorn_fuzz::WorkBoundReached();
}

void check_binding_follow() {
    if (++binding_follows % 1024 == 0 && past(max_step_overrun)) throw vorn_fuzz::WorkBoundReached();
}

class ModelWriter {
public:
    explicit ModelWriter(FuzzedDataProvider& in) : _in(in) {}

    std::string write() {
        for (int& arity : _function_arity) arity = pick(0, 3);
        int declarations = pick(1, 4);
        for (int i = 0; i < declarations; ++i) declaration(i);
        int consistent = pick(1, 5);
        int transfer = pick(0, 3);
        while (consistent + transfer > 0) {
            bool pick_consistent = transfer == 0 || (consistent > 0 && _in.ConsumeBool());
            if (pick_consistent) {
                consistent_rule();
                --consistent;
            } else {
                transfer_rule();
                --transfer;
            }
        }
        int queries = pick(0, 3);
        for (int i = 0; i < queries; ++i) {
            _out += "% ";
            state();
            _out += _in.ConsumeBool() ? " * true ;\n" : " * false ;\n";
        }
        return _out;
    }

private:
    int pick(int low, int high) { return _in.ConsumeIntegralInRange<int>(low, high); }
    // A deliberate model error, rarely. (An exhausted input reads as all zeros,
    // so the rare choices are the high values.)
    bool sloppy() { return pick(0, 63) == 63; }

    void declaration(int index) {
        std::vector<bool> flags;
        int arity = pick(0, 3);
        for (int i = 0; i < arity; ++i) flags.push_back(_in.ConsumeBool());
        std::string name = "P" + std::to_string(index);
        _out += "$ " + name + "(";
        for (size_t i = 0; i < flags.size(); ++i) {
            if (i > 0) _out += ", ";
            _out += flags[i] ? "*p" : "p";
            _out += std::to_string(i);
        }
        _out += ");\n";
        _decls.emplace_back(name, std::move(flags));
    }

    // A term; a bare variable only when `variable` (a known variable cannot be concluded).
    void term(int depth, bool variable = true) {
        int kind = pick(variable ? 0 : 4, 9);
        if (kind >= 7 && depth >= 3) kind = variable ? 0 : 4;
        switch (kind) {
            case 4: _out += "c" + std::to_string(pick(0, 2)) + "[]"; return;
            case 5: _out += "[n" + std::to_string(pick(0, 1)) + "]"; return;
            case 6: _out += "|g" + std::to_string(pick(0, 1)) + "|"; return;
            case 7:
            case 8:
            case 9: {
                int function = pick(0, 2);
                int arity = sloppy() ? pick(0, 3) : _function_arity[function];
                _out += "f" + std::to_string(function) + "(";
                for (int i = 0; i < arity; ++i) {
                    if (i > 0) _out += ", ";
                    term(depth + 1);
                }
                _out += ")";
                return;
            }
            default:
                // A variable; rarely one named like a nonce or configuration of the rule.
                _out += sloppy() ? "n0" : "x" + std::to_string(pick(0, 3));
                return;
        }
    }

    // A declared name with its flags, or (sloppy) an undeclared one.
    std::pair<std::string, std::vector<bool>> fact_name() {
        if (sloppy()) return {"U", {false}};
        return _decls.at(pick(0, static_cast<int>(_decls.size()) - 1));
    }

    // How many arguments a fact of that declaration gets: all, fewer, or (sloppy) one more.
    size_t argument_count(size_t declared) {
        if (sloppy()) return declared + 1;
        if (declared > 0 && pick(0, 7) == 7) return static_cast<size_t>(pick(0, static_cast<int>(declared) - 1));
        return declared;
    }

    void event() {
        auto [name, flags] = fact_name();
        size_t count = argument_count(flags.size());
        _out += name + "(";
        for (size_t i = 0; i < count; ++i) {
            if (i > 0) _out += ", ";
            // A starred event position generates a nonce.
            if (i < flags.size() && flags[i] && !sloppy())
                _out += "[n" + std::to_string(pick(0, 1)) + "]";
            else
                term(1);
        }
        _out += ")";
    }

    void state() {
        auto [name, flags] = fact_name();
        size_t count = argument_count(flags.size());
        _out += name + "(";
        for (size_t i = 0; i < count; ++i) {
            if (i > 0) _out += ", ";
            term(1);
        }
        _out += ")";
    }

    void fact(bool conclusion = false) {
        if (pick(0, 3) == 3) {
            event();
            return;
        }
        _out += "k(";
        term(1, !conclusion || sloppy());
        _out += ")";
    }

    template <class Item>
    void list(int low, int high, Item item) {
        int count = pick(low, high);
        for (int i = 0; i < count; ++i) {
            if (i > 0) _out += ", ";
            item();
        }
    }

    void consistent_rule() {
        _out += "! ";
        list(0, 3, [this] { fact(); });
        _out += " -[ ";
        list(0, 3, [this] { state(); });
        _out += " ]-> ";
        fact(true);
        _out += " ;\n";
    }

    void transfer_rule() {
        _out += "? ";
        list(0, 3, [this] { fact(); });
        _out += " -[ ";
        list(0, 3, [this] { state(); });
        _out += " ]-> ";
        list(1, 2, [this] {
            _out += "<";
            if (_in.ConsumeBool()) state();
            _out += ", ";
            state();
            _out += ">";
        });
        _out += " ;\n";
    }

    FuzzedDataProvider& _in;
    std::string _out;
    int _function_arity[3] = {0, 0, 0};
    std::vector<std::pair<std::string, std::vector<bool>>> _decls;
};

void require(bool condition) {
    if (!condition) std::abort();
}

void check_derivations(const vorn::Algorithm& algorithm, const vorn::Provenance& provenance) {
    std::vector<vorn::Derivation> derivations = vorn::derive_targets(algorithm, provenance);
    require(derivations.size() == algorithm.target_rules().size());
    auto target = algorithm.target_rules().begin();
    for (const vorn::Derivation& derivation : derivations) {
        require(!derivation.steps.empty());
        const vorn::Origin& last = *derivation.steps.back();
        require(last.kind == vorn::Origin::Kind::TARGET && last.rule == *target++);
        for (size_t i = 0; i < derivation.steps.size(); ++i) {
            const vorn::Origin& step = *derivation.steps[i];
            require((step.kind == vorn::Origin::Kind::MODEL) == (step.first == nullptr));
            for (const auto* parent : {step.first.get(), step.second.get()}) {
                if (parent == nullptr) continue;
                size_t number = derivation.number(parent);
                require(number >= 1 && number <= i);
            }
        }
    }
    vorn::print_explanation(std::cout, derivations, provenance);
    std::cout << vorn::derivation_graph(derivations, provenance);
}

void run_model() {
    closure_steps = 0;
    binding_follows = 0;
    run_start = std::chrono::steady_clock::now();
    vorn::parse_model();
    if (vorn::raw_const_rules.empty()) return;
    vorn::Provenance provenance;
    vorn::record_parsed_model(provenance);
    vorn::FailureWatch watch(provenance);
    vorn::Observers observers({&provenance, &watch});
    vorn::Algorithm algorithm(&observers);
    try {
        algorithm.close_const_rule(vorn::raw_const_rules);
        algorithm.close_trans_rule(vorn::raw_trans_rules);
        algorithm.complete();
        algorithm.analysis(vorn::raw_accessable_states);
    } catch (const common::UserError& error) {
        // A model error the engine meets is traced to the rules that met; a
        // symbol with two numbers of arguments always has both uses in the model.
        require(watch.site().has_value());
        vorn::Diagnostic located = vorn::engine_error(vorn::model_outline, error, watch.site());
        require(!located.message.empty());
        if (dynamic_cast<const sym::ArityClash*>(&error) != nullptr) require(located.span.has_value());
        throw;
    }
    algorithm.print_se_const_rules(std::cout);
    algorithm.print_ns_const_rules(std::cout);
    algorithm.print_se_trans_rules(std::cout);
    algorithm.print_ns_trans_rules(std::cout);
    algorithm.print_final_rules(std::cout);
    algorithm.print_target_rules(std::cout);
    std::cout << algorithm.rule_count() << std::endl;
    check_derivations(algorithm, provenance);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vorn_fuzz::silence_standard_output();
    vorn::closure_step_hook = count_closure_step;
    sym::binding_follow_hook = check_binding_follow;
    show_model = std::getenv("VORN_FUZZ_SHOW_MODEL") != nullptr;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    vorn_fuzz::start_like_a_fresh_process();
    std::string text;
    if (data[0] % 2 == 1) {
        text = vorn_fuzz::as_read_by_driver(data + 1, size - 1);
    } else {
        FuzzedDataProvider in(data + 1, size - 1);
        text = ModelWriter(in).write();
    }
    // Replaying a finding with VORN_FUZZ_SHOW_MODEL set prints the model, to turn it into a case.
    if (show_model) std::cerr << text << std::flush;
    vorn::scan_string(std::move(text));
    vorn_fuzz::run_guarded(run_model);
    if (show_model) std::cerr << "closure steps: " << closure_steps << std::endl;
    vorn::release_model();
    return 0;
}
