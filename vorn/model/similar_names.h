#pragma once

#include <cstddef>
#include <string_view>

namespace vorn {

// Names close enough to be taken for misspellings of each other: the
// misspelling warning pairs them, and an error about an undeclared name
// suggests the declared one.

// The distance between two names counting an insertion, a deletion, a
// substitution or a swap of two neighbours as one edit; any distance above
// `bound` answers bound + 1.
size_t edit_distance(std::string_view a, std::string_view b, size_t bound);

// Whether a misspelling warning may pair the two names: their edit distance is
// at most 1, or 2 when both have 8 characters or more; names of 1 or 2
// characters and numbered siblings (sent1, sent2) are never paired.
bool similar_names(std::string_view a, std::string_view b);

}  // namespace vorn
