#pragma once

#include <utility>
#include <vector>

#include "symbolic/fact.h"

namespace sym {

// Extends partial pairings of facts by one fact matched against candidates.
// The facts are not owned.
class _Combinator {
public:
    typedef std::pair<const Fact*, const Fact*> Pair;
    typedef std::vector<Pair> Pairing;

    // Replaces the m pairings by m * n: each extended by (fact, c) for every
    // candidate c, candidates turning fastest. Throws UnifyFailed when there is
    // no candidate; an empty pairing list stays empty.
    void combine(const Fact* fact, const std::vector<const Fact*>& candidates,
                 std::vector<std::vector<std::pair<const Fact*, const Fact*>>>& pairings) const;
};

extern _Combinator combinator;

}  // namespace sym
