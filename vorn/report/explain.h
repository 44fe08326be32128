#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "vorn/saturation/provenance.h"

namespace vorn {

// The steps one target rule rests on, each once, in dependency order: every
// step comes after the steps it is made from. Steps are numbered from 1.
struct Derivation {
    std::vector<std::shared_ptr<const Origin>> steps;
    std::unordered_map<const Origin*, size_t> numbers;

    // The number of a step of this derivation; 0 for none (an unrecorded origin).
    size_t number(const Origin* origin) const;
};

// The derivation of the rule made by `target`. Of the rules a step is made
// from, the one whose steps come first is the provider of a composition and
// the transfer rule of a transfer, so that a derivation reads as the protocol
// runs: each step's messages are listed before the step that receives them.
Derivation derive(const std::shared_ptr<const Origin>& target);

// The derivations of the engine's target rules, in the order the report lists them.
std::vector<Derivation> derive_targets(const Algorithm& engine, const Provenance& provenance);

// How a step was made: "line 12", "composition of step 3 into step 7 at
// premise 1", "variant of step 4 passing over premise 0", "transfer of step
// 9 back through step 8", "target of step 11 for the access queries".
std::string step_title(const Derivation& derivation, const Origin& step, const Provenance& provenance);

// A model rule's text on one line: comments left out, each run of blanks and
// line breaks made one blank.
std::string one_line(const std::string& source);

// The outline of a derivation: the uses of the model rules over protocol
// states in the order of the run it stands for, one line each with their
// source line; or why there is none.
std::string run_outline(const Derivation& derivation, const Provenance& provenance);

// For each target rule, "Derivation of target rule N:" and its numbered steps,
// each with its title and the rule as printed; then its outline.
void print_explanation(std::ostream& os, const std::vector<Derivation>& derivations, const Provenance& provenance);

// The same derivations as a Graphviz digraph: one cluster per target rule,
// one node per step labelled with its title and rule, model rules and target
// rules drawn apart, an edge from each step to each step made from it.
std::string derivation_graph(const std::vector<Derivation>& derivations, const Provenance& provenance);

}  // namespace vorn
