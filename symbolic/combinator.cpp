#include "symbolic/combinator.h"

#include "symbolic/unifier.h"

namespace sym {

_Combinator combinator;

void _Combinator::combine(const Fact* fact, const std::vector<const Fact*>& candidates,
                          std::vector<std::vector<std::pair<const Fact*, const Fact*>>>& pairings) const {
    if (candidates.empty()) throw UnifyFailed();
    std::vector<Pairing> extended;
    extended.reserve(pairings.size() * candidates.size());
    for (const Pairing& pairing : pairings) {
        for (const Fact* candidate : candidates) {
            extended.push_back(pairing);
            extended.back().emplace_back(fact, candidate);
        }
    }
    pairings.swap(extended);
}

}  // namespace sym
