#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "common/exception.h"

namespace sym {

// Signal that a dependency graph has a cycle.
class NotSortable : public common::Exception {};

// Depth-first topological order: every node after the nodes it points to.
class Toposort {
public:
    enum Mark { NON_MARK = 0, TMP_MARK = 1, PER_MARK = 2, _END = 3 };

    Toposort();

    void insert(size_t node, std::set<unsigned> targets);
    std::vector<unsigned> sort();

protected:
    size_t select();
    void visit(size_t node, std::vector<unsigned>& out);

private:
    std::map<unsigned, std::pair<Mark, std::set<unsigned>>> _mapping;
    size_t _none;
};

}  // namespace sym
