// The index of held rules against the questions it answers, asked of every
// rule of a model with brute force.
#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <vector>

#include "model_fixture.h"
#include "symbolic/implication.h"
#include "symbolic/know.h"
#include "symbolic/srule.h"
#include "vorn/saturation/held_index.h"

using vorn::FeatureIndex;

namespace {

// Rules of many shapes: functions nested to several levels, constants and
// nonces at different places, states and events, a configuration (whose
// rules the quick test cannot judge), and repeats of one symbol.
const char* const varied_model =
    "$ S(*p, v); $ T(*p); $ E(x); $ F(*n, x);\n"
    "! k(x), k(y) -[ ]-> k(pair(x, y));\n"
    "! k(pair(x, y)) -[ ]-> k(x);\n"
    "! k(pair(x, pair(y, z))) -[ ]-> k(z);\n"
    "! k(aenc(x, pk(y))), k(y) -[ ]-> k(x);\n"
    "! k(aenc(pair(a[], x), pk(b[]))) -[ S(a[], x) ]-> k(x);\n"
    "! k(aenc(pair(a[], b[]), pk(b[]))) -[ S(a[], b[]), T(a[]) ]-> k(b[]);\n"
    "! -[ S(a[], v) ]-> k(f(v));\n"
    "! -[ S(a[], b[]) ]-> k(f(b[]));\n"
    "! -[ S(a[], v), S(b[], v) ]-> k(f(v));\n"
    "! -[ S(a[], v), S(b[], v), S(c[], v) ]-> k(f(v));\n"
    "! k(f(v)) -[ S(a[], v) ]-> E(v);\n"
    "! k(f(f(v))) -[ S(a[], v), T(b[]) ]-> E(v);\n"
    "! k(f(a[])) -[ T(b[]) ]-> E(a[]);\n"
    "! F([n], a[]) -[ S(a[], [n]) ]-> E([n]);\n"
    "! F([n], a[]), k([n]) -[ ]-> E([n]);\n"
    "! k(|c|), k(g(|c|)) -[ ]-> k(g(g(|c|)));\n"
    "! k(g(|c|)) -[ T(a[]) ]-> k(|c|);\n"
    "! k(x), k(g(x)) -[ ]-> k(g(g(x)));\n"
    "! k(g(g(a[]))) -[ T(a[]) ]-> E(a[]);\n";

std::vector<const sym::StateRule*> model_rules() {
    std::vector<const sym::StateRule*> rules;
    for (const sym::StateConstRule* rule : vorn::raw_const_rules) rules.push_back(rule);
    return rules;
}

// Brute force: the slots of kept rules, in order, that may_imply admits.
std::vector<FeatureIndex::Slot> admitted(const std::vector<const sym::StateRule*>& held, const std::vector<bool>& kept,
                                         const sym::StateRule* newcomer, bool converse) {
    std::vector<FeatureIndex::Slot> slots;
    for (size_t i = 0; i < held.size(); ++i) {
        if (!kept[i]) continue;
        if (sym::may_imply(held[i], newcomer) || (converse && sym::may_imply(newcomer, held[i])))
            slots.push_back(static_cast<FeatureIndex::Slot>(i));
    }
    return slots;
}

}  // namespace

using HeldIndexTest = ModelTest;

TEST_F(HeldIndexTest, FindsExactlyTheRulesTheQuickTestAdmitsBeforeAndAfterACompaction) {
    parse(varied_model);
    ASSERT_TRUE(sym::arities_consistent());
    std::vector<const sym::StateRule*> rules = model_rules();
    FeatureIndex index;
    // Each rule many times over, so that slots are released and compacted.
    std::vector<const sym::StateRule*> held;
    for (int round = 0; round < 12; ++round) {
        for (const sym::StateRule* rule : rules) {
            index.append(&rule->features(), vorn::NOT_A_PARTNER);
            held.push_back(rule);
        }
    }
    std::vector<bool> kept(held.size(), true);
    std::vector<FeatureIndex::Slot> found;
    auto check_all = [&](const char* when) {
        for (const sym::StateRule* newcomer : rules) {
            for (bool converse : {false, true}) {
                index.implication_candidates(newcomer->features(), converse, found);
                EXPECT_EQ(found, admitted(held, kept, newcomer, converse)) << when << ":\n" << text(*newcomer);
            }
            // The walk that stops early meets each admitted rule below its
            // bound once, and nothing else, unless a test holds.
            std::vector<FeatureIndex::Slot> general = admitted(held, kept, newcomer, false);
            for (FeatureIndex::Slot below : {FeatureIndex::Slot(0), FeatureIndex::Slot(index.slots() / 2),
                                             FeatureIndex::Slot(index.slots())}) {
                std::vector<FeatureIndex::Slot> met;
                EXPECT_FALSE(index.any_general(newcomer->features(), below, [&](FeatureIndex::Slot k) {
                    met.push_back(k);
                    return false;
                }));
                std::sort(met.begin(), met.end());
                std::vector<FeatureIndex::Slot> expected;
                for (FeatureIndex::Slot k : general)
                    if (k < below) expected.push_back(k);
                EXPECT_EQ(met, expected) << when << ", below " << below << ":\n" << text(*newcomer);
                if (expected.empty()) continue;
                // A test that holds for the last admitted rule ends the walk there.
                FeatureIndex::Slot wanted = expected.back();
                size_t after = 0;
                bool seen = false;
                EXPECT_TRUE(index.any_general(newcomer->features(), below, [&](FeatureIndex::Slot k) {
                    if (seen) ++after;
                    seen = seen || k == wanted;
                    return k == wanted;
                }));
                EXPECT_EQ(after, 0u);
            }
        }
    };
    check_all("all held");

    // Release two rules of every three; the others keep their order.
    for (size_t i = 0; i < held.size(); ++i) {
        if (i % 3 == 0) continue;
        index.release(static_cast<FeatureIndex::Slot>(i));
        kept[i] = false;
    }
    check_all("released");
    ASSERT_TRUE(index.wants_compaction());
    index.compact();
    EXPECT_EQ(index.slots(), held.size() / 3);
    std::vector<const sym::StateRule*> compacted;
    for (size_t i = 0; i < held.size(); i += 3) compacted.push_back(held[i]);
    held = compacted;
    kept.assign(held.size(), true);
    check_all("compacted");
}

TEST_F(HeldIndexTest, PartnersAreAllTheConsumersAProviderComposesWithInListOrder) {
    parse(varied_model);
    FeatureIndex providers;
    FeatureIndex consumers;
    std::vector<const sym::StateConstRule*> provider_rules;
    std::vector<std::pair<size_t, const sym::StateConstRule*>> consumer_rules;
    for (const sym::StateConstRule* rule : vorn::raw_const_rules) {
        size_t select = rule->select();
        if (select == sym::StateRule::NONSELECTABLE) {
            if (rule->event_conclusion()) continue;
            const auto* known = static_cast<const sym::Know*>(rule->conclusion());
            providers.append(&rule->features(), vorn::partner_key(known->term()));
            provider_rules.push_back(rule);
        } else {
            consumers.append(&rule->features(), vorn::partner_key(rule->knows().at(select).first->term()));
            consumer_rules.emplace_back(select, rule);
        }
    }
    ASSERT_GT(provider_rules.size(), 3u);
    ASSERT_GT(consumer_rules.size(), 5u);
    std::vector<FeatureIndex::Slot> found;
    size_t compositions = 0;
    for (const sym::StateConstRule* provider : provider_rules) {
        const auto* known = static_cast<const sym::Know*>(provider->conclusion());
        consumers.partner_candidates(vorn::partner_key(known->term()), found);
        EXPECT_TRUE(std::is_sorted(found.begin(), found.end()));
        for (size_t k = 0; k < consumer_rules.size(); ++k) {
            std::list<sym::StateRule*> results = provider->compose(consumer_rules[k].first, consumer_rules[k].second);
            bool listed = std::find(found.begin(), found.end(), k) != found.end();
            EXPECT_TRUE(listed || results.empty()) << text(*provider) << "composes with\n"
                                                   << text(*consumer_rules[k].second);
            compositions += results.size();
            for (sym::StateRule* result : results) delete result;
        }
    }
    EXPECT_GT(compositions, 0u);
    // Each consumer's partners among the providers, the other way round.
    for (size_t k = 0; k < consumer_rules.size(); ++k) {
        const auto& consumer = consumer_rules[k];
        providers.partner_candidates(vorn::partner_key(consumer.second->knows().at(consumer.first).first->term()),
                                     found);
        for (size_t p = 0; p < provider_rules.size(); ++p) {
            if (std::find(found.begin(), found.end(), p) != found.end()) continue;
            std::list<sym::StateRule*> results = provider_rules[p]->compose(consumer.first, consumer.second);
            EXPECT_TRUE(results.empty());
            for (sym::StateRule* result : results) delete result;
        }
    }
}

TEST_F(HeldIndexTest, RulesFiledAgainAsTheListGrowsGiveTheSameAnswers) {
    parse(varied_model);
    ASSERT_TRUE(sym::arities_consistent());
    std::vector<const sym::StateRule*> rules = model_rules();
    FeatureIndex index;
    std::vector<const sym::StateRule*> held;
    std::vector<bool> kept;
    std::vector<vorn::PartnerKey> partners;
    std::vector<FeatureIndex::Slot> found;
    auto check = [&](const sym::StateRule* newcomer) {
        for (bool converse : {false, true}) {
            index.implication_candidates(newcomer->features(), converse, found);
            ASSERT_EQ(found, admitted(held, kept, newcomer, converse)) << held.size() << " slots:\n" << text(*newcomer);
        }
    };
    // Past two refilings (at 1,024 and 2,048 slots), with rules released on
    // the way and questions asked between, which change the signatures.
    const vorn::PartnerKey key = 7;
    while (held.size() < 2100) {
        const sym::StateRule* rule = rules[held.size() % rules.size()];
        vorn::PartnerKey partner = held.size() % 4 == 0 ? vorn::WILDCARD : held.size() % 4 == 1 ? key : 8;
        index.append(&rule->features(), partner);
        held.push_back(rule);
        kept.push_back(true);
        partners.push_back(partner);
        if (held.size() % 5 == 0) {
            index.release(static_cast<FeatureIndex::Slot>(held.size() - 3));
            kept[held.size() - 3] = false;
        }
        if (held.size() % 97 == 0) check(rules[held.size() % rules.size()]);
    }
    for (const sym::StateRule* newcomer : rules) check(newcomer);
    std::vector<FeatureIndex::Slot> expected;
    for (size_t i = 0; i < held.size(); ++i)
        if (kept[i] && (partners[i] == key || partners[i] == vorn::WILDCARD))
            expected.push_back(static_cast<FeatureIndex::Slot>(i));
    index.partner_candidates(key, found);
    EXPECT_EQ(found, expected);
}
