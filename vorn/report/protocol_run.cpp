#include "vorn/report/protocol_run.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <queue>
#include <set>
#include <tuple>
#include <utility>

namespace vorn {

namespace {

// A use's hold on one state of the rule a plan is the plan of.
struct Token {
    uint32_t use = 0;
    // The state's position among the rule's states.
    uint32_t state = 0;
    // At least 0: the use's model rule has the state at this position.
    // Below 0: the state is the copy of the source state of conversion
    // -role - 1, which the use leaves.
    int32_t role = 0;
    // The token's process, a node of the plan's union-find.
    uint32_t node = 0;
};

struct Use {
    const Origin* model = nullptr;
    // The shape of the model rule.
    uint32_t states = 0;
    uint32_t premises = 0;
    uint32_t conversion_count = 0;
    // The process nodes of its conversions, one per conversion from here on.
    uint32_t conversions = 0;
};

// A premise of a use that takes the conclusion of another use.
struct Knowledge {
    uint32_t consumer = 0;
    uint32_t premise = 0;
    uint32_t provider = 0;
};

// The uses of model rules that one rule of a derivation rests on: what they
// must keep of each other's order, which states of the rule each holds,
// whose premises the rule's premises are, and which use makes its conclusion
// or its conversions (the root).
struct Plan {
    std::vector<Use> uses;
    std::vector<std::pair<uint32_t, uint32_t>> before;
    std::vector<Token> tokens;
    // For each premise of the rule: the uses whose premise it is, each as
    // (use, position of the premise in the use's model rule).
    std::vector<std::vector<std::pair<uint32_t, uint32_t>>> premises;
    std::vector<Knowledge> knowledge;
    // Tokens whose states the rule no longer has: their processes are known.
    std::vector<Token> settled;
    // Union-find over process nodes: the nodes of one set are one process.
    std::vector<uint32_t> parent;
    uint32_t root = 0;

    uint32_t find(uint32_t node) {
        while (parent[node] != node) {
            parent[node] = parent[parent[node]];
            node = parent[node];
        }
        return node;
    }
    void unite(uint32_t a, uint32_t b) {
        a = find(a);
        b = find(b);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
    }
    uint32_t new_node() {
        parent.push_back(static_cast<uint32_t>(parent.size()));
        return static_cast<uint32_t>(parent.size() - 1);
    }
};

struct Offsets {
    uint32_t use = 0;
    uint32_t node = 0;
};

Token shifted(Token token, Offsets at) {
    token.use += at.use;
    token.node += at.node;
    return token;
}

// Appends the uses, orders, knowledge, settled tokens and nodes of `from`;
// its live tokens and premises are the caller's to place.
Offsets append(Plan& into, const Plan& from) {
    Offsets at{static_cast<uint32_t>(into.uses.size()), static_cast<uint32_t>(into.parent.size())};
    for (Use use : from.uses) {
        use.conversions += at.node;
        into.uses.push_back(use);
    }
    for (const auto& order : from.before) into.before.emplace_back(order.first + at.use, order.second + at.use);
    for (Knowledge k : from.knowledge) into.knowledge.push_back({k.consumer + at.use, k.premise, k.provider + at.use});
    for (const Token& token : from.settled) into.settled.push_back(shifted(token, at));
    for (uint32_t node : from.parent) into.parent.push_back(node + at.node);
    return at;
}

using Premises = std::vector<std::vector<std::pair<uint32_t, uint32_t>>>;

Premises shifted(const Premises& premises, Offsets at) {
    Premises out = premises;
    for (auto& uses : out)
        for (auto& use : uses) use.first += at.use;
    return out;
}

// The tokens of the rules a step was made from, by the side they come from.
struct Live {
    std::vector<std::pair<StateRef::From, Token>> tokens;

    void add(StateRef::From from, const Plan& plan, Offsets at) {
        for (const Token& token : plan.tokens) tokens.emplace_back(from, shifted(token, at));
    }
};

// Puts the tokens on the made rule's states as the link says; a source
// state gets a token of the use that leaves it. Tokens of states that went
// are settled.
bool place(Plan& plan, Live& live, const StepLink& link, std::optional<uint32_t> transfer_use) {
    if (!link.linked()) return false;
    std::map<std::pair<StateRef::From, uint32_t>, std::vector<size_t>> at;
    for (size_t i = 0; i < live.tokens.size(); ++i)
        at[{live.tokens[i].first, live.tokens[i].second.state}].push_back(i);
    std::vector<bool> placed(live.tokens.size(), false);
    for (uint32_t state = 0; state < link.shape.process.size(); ++state) {
        for (const StateRef& ref : link.state_refs(state)) {
            if (ref.from == StateRef::From::SOURCE) {
                if (!transfer_use) return false;
                const Use& use = plan.uses[*transfer_use];
                if (ref.index >= use.conversion_count) return false;
                plan.tokens.push_back(
                    {*transfer_use, state, -static_cast<int32_t>(ref.index) - 1, use.conversions + ref.index});
                continue;
            }
            auto found = at.find({ref.from, ref.index});
            if (found == at.end()) continue;
            for (size_t i : found->second) {
                if (placed[i]) continue;
                placed[i] = true;
                Token token = live.tokens[i].second;
                token.state = state;
                plan.tokens.push_back(token);
            }
        }
    }
    for (size_t i = 0; i < live.tokens.size(); ++i)
        if (!placed[i]) plan.settled.push_back(live.tokens[i].second);
    return true;
}

// The made rule's premises from those before validation.
bool place_premises(Plan& plan, const Premises& before, const StepLink& link) {
    if (!link.linked()) return false;
    plan.premises.clear();
    for (uint32_t premise = 0; premise < link.shape.premises; ++premise) {
        std::vector<std::pair<uint32_t, uint32_t>> uses;
        for (uint32_t position : link.premise_positions(premise)) {
            if (position >= before.size()) return false;
            uses.insert(uses.end(), before[position].begin(), before[position].end());
        }
        plan.premises.push_back(std::move(uses));
    }
    return true;
}

// What the made rule's states say of the order: states of one process are
// one process, and a state that a use leaves is left after every use of it
// and of the states of its process that hold no later than it.
void settle(Plan& plan, const RuleShape& shape) {
    std::map<uint32_t, uint32_t> process_node;
    for (const Token& token : plan.tokens) {
        uint32_t process = shape.process.at(token.state);
        auto found = process_node.emplace(process, token.node);
        if (!found.second) plan.unite(found.first->second, token.node);
    }
    std::set<std::pair<uint32_t, uint32_t>> later(shape.later.begin(), shape.later.end());
    size_t known = plan.before.size();
    for (const Token& leave : plan.tokens) {
        if (leave.role >= 0) continue;
        for (const Token& token : plan.tokens) {
            if (token.use == leave.use || shape.process[token.state] != shape.process[leave.state]) continue;
            if (token.state == leave.state || later.count({token.state, leave.state}))
                plan.before.emplace_back(token.use, leave.use);
        }
    }
    if (plan.before.size() > known) {
        std::sort(plan.before.begin(), plan.before.end());
        plan.before.erase(std::unique(plan.before.begin(), plan.before.end()), plan.before.end());
    }
}

Plan model_plan(const Origin& model, const RuleShape& shape) {
    Plan plan;
    plan.uses.push_back({&model, static_cast<uint32_t>(shape.process.size()), shape.premises, shape.conversions, 0});
    for (uint32_t state = 0; state < shape.process.size(); ++state)
        plan.tokens.push_back({0, state, static_cast<int32_t>(state), plan.new_node()});
    plan.uses[0].conversions = static_cast<uint32_t>(plan.parent.size());
    for (uint32_t c = 0; c < shape.conversions; ++c) plan.new_node();
    for (uint32_t premise = 0; premise < shape.premises; ++premise) plan.premises.push_back({{0, premise}});
    settle(plan, shape);
    return plan;
}

// Adds to `plan` (made of the plan `first` alone, at its start) the uses of
// the model's construction or projection rules that a split stands for, and
// sets `premises` to where the premises of the rule made, before validation,
// come from. False when a record does not fit.
bool split_plan(Plan& plan, const Plan& first, const SplitRecord& split, Premises& premises) {
    auto model_use = [&](const Origin& model) -> std::optional<uint32_t> {
        if (model.link.empty()) return std::nullopt;
        return append(plan, model_plan(model, model.link.unpack().shape)).use;
    };
    if (split.projection) {
        // The projection takes the conclusion of the rule split.
        std::optional<uint32_t> use = model_use(*split.projection);
        if (!use || plan.uses[*use].premises != 1) return false;
        plan.before.emplace_back(plan.root, *use);
        plan.knowledge.push_back({*use, 0, plan.root});
        plan.root = *use;
        return true;
    }
    std::vector<uint32_t> uses;
    for (const SplitRecord::Construction& construction : split.constructions) {
        std::optional<uint32_t> use = construction.model ? model_use(*construction.model) : std::nullopt;
        if (!use) return false;
        uses.push_back(*use);
        std::vector<std::pair<uint32_t, uint32_t>> takers;
        if (construction.parent < 0) {
            if (construction.premise >= first.premises.size()) return false;
            takers = first.premises[construction.premise];
        } else {
            const SplitRecord::Construction& parent = split.constructions.at(construction.parent);
            if (construction.premise >= parent.premise_of_argument.size()) return false;
            takers.emplace_back(uses.at(construction.parent), parent.premise_of_argument[construction.premise]);
        }
        for (auto [taker, premise] : takers) {
            plan.before.emplace_back(*use, taker);
            plan.knowledge.push_back({taker, premise, *use});
        }
    }
    premises.clear();
    for (auto [construction, index] : split.parts) {
        if (construction < 0) {
            if (index >= first.premises.size()) return false;
            premises.push_back(first.premises[index]);
            continue;
        }
        const SplitRecord::Construction& made = split.constructions.at(construction);
        if (index >= made.premise_of_argument.size()) return false;
        premises.push_back({{uses.at(construction), made.premise_of_argument[index]}});
    }
    return true;
}

// The plan of a step from the plans of the steps it is made from; none when
// a record is missing or does not fit.
std::optional<Plan> step_plan(const Origin& step, const Plan* first, const Plan* second) {
    if (step.link.empty()) return std::nullopt;
    const StepLink link = step.link.unpack();
    if (step.kind == Origin::Kind::MODEL) return model_plan(step, link.shape);
    if (!first) return std::nullopt;
    Plan plan;
    Live live;
    Premises before;
    std::optional<uint32_t> transfer_use;
    switch (step.kind) {
        case Origin::Kind::COMPOSITION: {
            // The provider's conclusion goes into the consumer's premise.
            if (!second || step.number >= second->premises.size()) return std::nullopt;
            Offsets consumer = append(plan, *second);
            Offsets provider = append(plan, *first);
            live.add(StateRef::From::SECOND, *second, consumer);
            live.add(StateRef::From::FIRST, *first, provider);
            uint32_t made_by = first->root + provider.use;
            for (auto [use, premise] : second->premises[step.number]) {
                plan.before.emplace_back(made_by, use + consumer.use);
                plan.knowledge.push_back({use + consumer.use, premise, made_by});
            }
            for (size_t i = 0; i < second->premises.size(); ++i)
                if (i != step.number) before.push_back(second->premises[i]);
            for (const auto& uses : shifted(first->premises, provider)) before.push_back(uses);
            plan.root = second->root + consumer.use;
            break;
        }
        case Origin::Kind::TRANSFER: {
            // The final rule (second) carried back through the transfer rule (first).
            if (!second) return std::nullopt;
            Offsets final_rule = append(plan, *second);
            Offsets transfer = append(plan, *first);
            uint32_t step_use = first->root + transfer.use;
            const Use& use = plan.uses[step_use];
            if (!use.model->transfer) return std::nullopt;
            std::map<uint32_t, uint32_t> covered(link.covered.begin(), link.covered.end());
            for (Token token : second->tokens) {
                token = shifted(token, final_rule);
                auto cover = covered.find(token.state);
                if (cover == covered.end()) {
                    live.tokens.emplace_back(StateRef::From::SECOND, token);
                    continue;
                }
                // The step enters the state that its conversion covered.
                if (cover->second >= use.conversion_count) return std::nullopt;
                plan.before.emplace_back(step_use, token.use);
                plan.unite(token.node, use.conversions + cover->second);
                plan.settled.push_back(token);
            }
            live.add(StateRef::From::FIRST, *first, transfer);
            transfer_use = step_use;
            before = second->premises;
            for (const auto& uses : shifted(first->premises, transfer)) before.push_back(uses);
            plan.root = second->root + final_rule.use;
            break;
        }
        case Origin::Kind::REWRITE: {
            Offsets at = append(plan, *first);
            live.add(StateRef::From::FIRST, *first, at);
            before = first->premises;
            plan.root = first->root + at.use;
            auto how = static_cast<Observer::Rewrite>(step.number);
            if ((how == Observer::Rewrite::SPLIT || how == Observer::Rewrite::PROJECTED) &&
                (!step.split || !split_plan(plan, *first, *step.split, before)))
                return std::nullopt;
            break;
        }
        case Origin::Kind::VARIANT:
        case Origin::Kind::TARGET: {
            Offsets at = append(plan, *first);
            live.add(StateRef::From::FIRST, *first, at);
            before = first->premises;
            plan.root = first->root + at.use;
            break;
        }
        case Origin::Kind::MODEL: break;
    }
    if (!place(plan, live, link, transfer_use) || !place_premises(plan, before, link)) return std::nullopt;
    for (const Token& token : plan.tokens)
        if (token.state >= link.shape.process.size()) return std::nullopt;
    settle(plan, link.shape);
    return plan;
}

// A cycle among the uses that are still waiting, each before the next.
std::vector<uint32_t> find_cycle(const std::vector<std::vector<uint32_t>>& after, const std::vector<size_t>& waiting) {
    size_t n = after.size();
    // Every waiting use has a waiting use before it: walk backwards until a use repeats.
    std::vector<std::vector<uint32_t>> before(n);
    for (uint32_t a = 0; a < n; ++a)
        for (uint32_t b : after[a])
            if (waiting[a] != 0 && waiting[b] != 0) before[b].push_back(a);
    uint32_t use = 0;
    while (use < n && (waiting[use] == 0 || before[use].empty())) ++use;
    if (use == n) return {};
    std::vector<size_t> seen_at(n, SIZE_MAX);
    std::vector<uint32_t> walk;
    while (seen_at[use] == SIZE_MAX) {
        seen_at[use] = walk.size();
        walk.push_back(use);
        use = before[use].front();
    }
    std::vector<uint32_t> cycle(walk.begin() + static_cast<long>(seen_at[use]), walk.end());
    std::reverse(cycle.begin(), cycle.end());
    return cycle;
}

// The uses in an order that keeps every `before`, taking among the uses
// free to go the one whose model rule comes first in the derivation; none
// when the orders make a cycle, which is then left in `cycle`.
std::optional<std::vector<uint32_t>> run_order(const Plan& plan, const Derivation& derivation,
                                               std::vector<uint32_t>& cycle) {
    size_t n = plan.uses.size();
    std::vector<std::vector<uint32_t>> after(n);
    std::vector<size_t> waiting(n, 0);
    for (auto [a, b] : plan.before) {
        if (a == b) {
            cycle = {a};
            return std::nullopt;
        }
        after[a].push_back(b);
        ++waiting[b];
    }
    using Key = std::tuple<size_t, uint32_t>;
    std::priority_queue<Key, std::vector<Key>, std::greater<Key>> free;
    auto key = [&](uint32_t use) { return Key{derivation.number(plan.uses[use].model), use}; };
    for (uint32_t use = 0; use < n; ++use)
        if (waiting[use] == 0) free.push(key(use));
    std::vector<uint32_t> order;
    while (!free.empty()) {
        uint32_t use = std::get<1>(free.top());
        free.pop();
        order.push_back(use);
        for (uint32_t next : after[use])
            if (--waiting[next] == 0) free.push(key(next));
    }
    if (order.size() != n) {
        cycle = find_cycle(after, waiting);
        return std::nullopt;
    }
    return order;
}

}  // namespace

ProtocolRun protocol_run(const Derivation& derivation, size_t max_steps) {
    ProtocolRun run;
    const auto& steps = derivation.steps;
    if (steps.empty()) return run;
    // Each plan is kept until the last step made from it.
    std::vector<size_t> last_use(steps.size(), 0);
    auto parent_of = [&](const std::shared_ptr<Origin>& parent) -> size_t {
        size_t number = parent ? derivation.number(parent.get()) : 0;
        return number;
    };
    for (size_t i = 0; i < steps.size(); ++i)
        for (const auto* parent : {&steps[i]->first, &steps[i]->second})
            if (size_t number = parent_of(*parent)) last_use[number - 1] = i;
    std::vector<std::optional<Plan>> plans(steps.size());
    for (size_t i = 0; i < steps.size(); ++i) {
        const Origin& step = *steps[i];
        size_t first = parent_of(step.first), second = parent_of(step.second);
        if ((step.first && first == 0) || (step.second && second == 0)) return run;
        const Plan* first_plan = first ? &*plans[first - 1] : nullptr;
        const Plan* second_plan = second ? &*plans[second - 1] : nullptr;
        size_t uses = (first_plan ? first_plan->uses.size() : 0) + (second_plan ? second_plan->uses.size() : 0);
        if (uses > max_steps) {
            run.status = ProtocolRun::Status::TOO_LONG;
            return run;
        }
        plans[i] = step_plan(step, first_plan, second_plan);
        if (!plans[i]) return run;
        for (size_t parent : {first, second})
            if (parent != 0 && last_use[parent - 1] == i) plans[parent - 1].reset();
    }
    Plan& plan = *plans.back();
    for (const Token& token : plan.tokens) plan.settled.push_back(token);
    plan.tokens.clear();

    // The processes, numbered in the order the uses first meet them.
    std::map<uint32_t, size_t> process;
    auto process_of = [&](uint32_t node) {
        return process.emplace(plan.find(node), process.size()).first->second;
    };
    std::vector<RunStep> all(plan.uses.size());
    for (uint32_t u = 0; u < plan.uses.size(); ++u) {
        const Use& use = plan.uses[u];
        all[u].model = use.model;
        all[u].states.assign(use.states, RunStep::NONE);
        all[u].knowledge.assign(use.premises, RunStep::NONE);
        for (uint32_t c = 0; c < use.conversion_count; ++c) all[u].conversions.push_back(use.conversions + c);
    }
    for (const Token& token : plan.settled)
        if (token.role >= 0 && static_cast<size_t>(token.role) < all[token.use].states.size())
            all[token.use].states[token.role] = token.node;
    for (const Knowledge& k : plan.knowledge)
        if (k.premise < all[k.consumer].knowledge.size()) all[k.consumer].knowledge[k.premise] = k.provider;

    std::vector<uint32_t> cycle;
    std::optional<std::vector<uint32_t>> order = run_order(plan, derivation, cycle);
    for (uint32_t use : cycle) run.cycle.push_back(plan.uses[use].model);
    std::vector<uint32_t> position(plan.uses.size());
    if (order) {
        run.status = ProtocolRun::Status::RUN;
    } else {
        run.status = ProtocolRun::Status::NO_ORDER;
        order.emplace();
        for (uint32_t u = 0; u < plan.uses.size(); ++u) order->push_back(u);
        std::stable_sort(order->begin(), order->end(), [&](uint32_t a, uint32_t b) {
            return derivation.number(plan.uses[a].model) < derivation.number(plan.uses[b].model);
        });
    }
    for (size_t i = 0; i < order->size(); ++i) position[(*order)[i]] = static_cast<uint32_t>(i);
    for (uint32_t use : *order) {
        RunStep step = std::move(all[use]);
        for (size_t& node : step.states)
            if (node != RunStep::NONE) node = process_of(static_cast<uint32_t>(node));
        for (size_t& node : step.conversions) node = process_of(static_cast<uint32_t>(node));
        for (size_t& provider : step.knowledge)
            if (provider != RunStep::NONE) provider = position[provider];
        run.steps.push_back(std::move(step));
    }
    run.processes = process.size();
    return run;
}

}  // namespace vorn
