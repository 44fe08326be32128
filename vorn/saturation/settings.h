#pragma once

namespace vorn {

// How the engine saturates. The defaults are the saturation that vorn MODEL
// runs; each field changes one thing. The command line fills this; the engine
// reads it and nothing else of the options.
struct Settings {
    // A final rule that names a process for some of the conversions of a
    // transfer rule but not one for each is carried back through it all the
    // same, with a process in the target state of each conversion it lacks
    // added to it: the rules made also say where those processes were before
    // the step. Without it the transfer makes nothing for such a rule.
    bool partial_steps = false;
};

}  // namespace vorn
