#include "vorn/model/similar_names.h"

#include <algorithm>
#include <vector>

namespace vorn {

size_t edit_distance(std::string_view a, std::string_view b, size_t bound) {
    size_t n = a.size();
    size_t m = b.size();
    if ((n > m ? n - m : m - n) > bound) return bound + 1;
    // Names this long are never taken for misspellings of each other.
    if (n > 256 || m > 256) return a == b ? 0 : bound + 1;
    std::vector<std::vector<size_t>> d(n + 1, std::vector<size_t>(m + 1, 0));
    for (size_t i = 0; i <= n; ++i) d[i][0] = i;
    for (size_t j = 0; j <= m; ++j) d[0][j] = j;
    for (size_t i = 1; i <= n; ++i) {
        size_t best = bound + 1;
        for (size_t j = 1; j <= m; ++j) {
            size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            size_t v = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) v = std::min(v, d[i - 2][j - 2] + 1);
            d[i][j] = v;
            best = std::min(best, v);
        }
        if (best > bound) return bound + 1;
    }
    return std::min(d[n][m], bound + 1);
}

bool similar_names(std::string_view a, std::string_view b) {
    if (a == b || std::min(a.size(), b.size()) <= 2) return false;
    auto stem = [](std::string_view name) {
        size_t end = name.size();
        while (end > 0 && name[end - 1] >= '0' && name[end - 1] <= '9') --end;
        return name.substr(0, end);
    };
    // Numbered siblings are meant to differ.
    if (stem(a).size() < a.size() && stem(b).size() < b.size() && stem(a) == stem(b)) return false;
    size_t bound = a.size() >= 8 && b.size() >= 8 ? 2 : 1;
    return edit_distance(a, b, bound) <= bound;
}

}  // namespace vorn
