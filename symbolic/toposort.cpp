#include "symbolic/toposort.h"

#include "common/runtime.h"

namespace sym {

Toposort::Toposort() : _none(static_cast<size_t>(-1)) {}

void Toposort::insert(size_t node, std::set<unsigned> targets) {
    auto res = _mapping.emplace(static_cast<unsigned>(node), std::make_pair(NON_MARK, std::move(targets)));
    if (!res.second) throw common::SystemError("insert", "name already exists");
}

size_t Toposort::select() {
    for (const auto& entry : _mapping)
        if (entry.second.first == NON_MARK) return entry.first;
    return _none;
}

void Toposort::visit(size_t node, std::vector<unsigned>& out) {
    auto found = _mapping.find(static_cast<unsigned>(node));
    if (found == _mapping.end()) {
        out.push_back(static_cast<unsigned>(node));
        return;
    }
    if (found->second.first == TMP_MARK) throw NotSortable();
    if (found->second.first == PER_MARK) return;
    found->second.first = TMP_MARK;
    for (unsigned target : found->second.second) visit(target, out);
    found->second.first = PER_MARK;
    out.push_back(static_cast<unsigned>(node));
}

std::vector<unsigned> Toposort::sort() {
    std::vector<unsigned> out;
    for (size_t node = select(); node != _none; node = select()) visit(node, out);
    return out;
}

}  // namespace sym
