// The per-rule name table.
#include <gtest/gtest.h>

#include "test_support.h"

#include <memory>
#include <sstream>
#include <string>

#include "common/runtime.h"
#include "symbolic/configuration.h"
#include "symbolic/constant.h"
#include "symbolic/event.h"
#include "symbolic/function.h"
#include "symbolic/indexer.h"
#include "symbolic/know.h"
#include "symbolic/namer.h"
#include "symbolic/nonce.h"
#include "symbolic/parameter.h"
#include "symbolic/state.h"
#include "symbolic/timestamp.h"
#include "symbolic/tknow.h"
#include "symbolic/variable.h"

using namespace sym;

TEST(Indexer, LocalNameRepeatedInOneRuleIsOneSymbol) {
    Indexer table;
    const Name::ID first_id = namer.index();
    std::unique_ptr<Nonce, TermRelease> first(table.nonce("n")), second(table.nonce("n"));
    // One leaf, held twice: renaming and release keep its holders apart.
    EXPECT_EQ(first.get(), second.get());
    EXPECT_TRUE(second->equal(first.get()));
    EXPECT_EQ(text(*second), "[n@" + std::to_string(first_id) + "]");
    std::unique_ptr<Term, TermRelease> x(table.variable("x")), t(table.timestamp("t")), c(table.configuration("c"));
    std::unique_ptr<Term, TermRelease> x2(table.variable("x")), t2(table.timestamp("t")), c2(table.configuration("c"));
    EXPECT_EQ(namer.index(), first_id + 4);  // one name per text
    EXPECT_TRUE(x2->equal(x.get()) && t2->equal(t.get()) && c2->equal(c.get()));
    // After clear the same text is a new symbol.
    table.clear();
    std::unique_ptr<Variable, TermRelease> x3(table.variable("x"));
    EXPECT_NE(x3->name().id(), x->name().id());
    EXPECT_EQ(text(*x3), "x@" + std::to_string(x3->name().id()));
}

TEST(Indexer, OneTextAsTwoLocalKindsIsUserError) {
    Indexer table;
    std::unique_ptr<Variable, TermRelease> x(table.variable("x"));
    std::unique_ptr<Nonce, TermRelease> n(table.nonce("n"));
    auto expect_clash = [](auto request, const std::string& word) {
        try {
            Term::release(request());
            ADD_FAILURE() << "no UserError for " << word;
        } catch (const common::UserError& e) {
            EXPECT_EQ(e.function(), word);
            EXPECT_EQ(e.detail(), "term type does not match " + word);
        }
    };
    expect_clash([&] { return table.nonce("x"); }, "nonce");
    expect_clash([&] { return table.configuration("x"); }, "configuration");
    expect_clash([&] { return table.timestamp("x"); }, "timestamp");
    expect_clash([&] { return table.variable("n"); }, "variable");
    std::unique_ptr<Variable, TermRelease> again(table.variable("x"));  // the first kind stays registered
    EXPECT_TRUE(again->equal(x.get()));
}

TEST(Indexer, GlobalNamesAreInternedByTextAcrossRulesAndRoles) {
    Indexer table;
    Constant* k1 = table.constant("k");
    table.clear();
    Constant* k2 = table.constant("k");
    Timestamp* t = table.timestamp("t");
    namer.constant("know");
    namer.constant("tknow");
    const Name::ID next = namer.index();
    std::unique_ptr<Know> know(table.know(k1));
    std::unique_ptr<TimedKnow> tknow(table.tknow(k2, t));
    std::unique_ptr<Function, TermRelease> f(table.function("k"));
    std::unique_ptr<Event> e(table.event("k"));
    std::unique_ptr<State> s(table.state("k"));
    std::unique_ptr<Parameter, TermRelease> p(table.parameter("k"));
    EXPECT_EQ(namer.index(), next);  // none of these issues a name
    const Name::ID k = k1->name().id();
    EXPECT_EQ(k2->name().id(), k);
    EXPECT_EQ(f->name().id(), k);
    EXPECT_EQ(e->predicate().id(), k);
    EXPECT_EQ(s->predicate().id(), k);
    EXPECT_EQ(p->name().id(), k);
    EXPECT_EQ(text(*know), "know(k[])");
    EXPECT_EQ(text(*tknow), "tknow(k[], #t@" + std::to_string(t->name().id()) + ")");
    EXPECT_EQ(text(*f), "k()");
    EXPECT_EQ(text(*p), "$k");
}
