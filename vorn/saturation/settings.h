#pragma once

#include <cstddef>

namespace vorn {

// How the engine saturates. The defaults are the saturation that vorn MODEL
// runs; each field turns on one lever. The exact levers change the order of
// the work or the redundancy of the rules, never the target rules (up to
// renaming and implication); the abstraction bounds what the saturation makes,
// with rules that derive more, and marks what it found through them. The
// command line fills this; the engine reads it and nothing else of the options.
struct Settings {
    // Knowledge of f(t1, ..., tn), for a function whose construction and every
    // projection the model gives the attacker, is split into knowledge of the
    // ti: in premises, and in conclusions (one rule per argument).
    bool split_constructors = false;
    // Redundancy of the versions of a process: they are unified at the
    // argument positions that no step of the model changes (a key's lock, a
    // handle's key), and a rule whose versions cannot agree is dropped, as
    // the transfer back to the process's creation would drop it.
    bool merge_versions = false;
    // A rule resolves the first premise that does not unify with its own
    // conclusion, when the first selectable one does.
    bool avoid_loops = false;
    // Carrying final rules back through the transfer rules, composing the
    // transfer rules and closing the consistent rules take turns, so that a
    // witness is found even by a saturation that never ends.
    bool fair = false;
    // A final rule that names a process for some of the conversions of a
    // transfer rule but not one for each is carried back through it all the
    // same, with a process in the target state of each conversion it lacks
    // added to it: the rules made also say where those processes were before
    // the step. Without it the transfer makes nothing for such a rule.
    bool partial_steps = false;

    // The abstraction: function terms nested deeper than this inside a fact
    // are replaced by variables in every rule that the saturation holds; 0 for
    // no bound.
    unsigned depth_bound = 0;

    bool exact_levers() const { return split_constructors || merge_versions || avoid_loops || fair; }
    bool abstraction() const { return depth_bound != 0; }
    bool plain() const { return !exact_levers() && !abstraction(); }
};

}  // namespace vorn
