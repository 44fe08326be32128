// The unifier, two-sided unification, one-sided matching and generalisation.
#include <gtest/gtest.h>

#include "test_support.h"

#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/runtime.h"
#include "symbolic/configuration.h"
#include "symbolic/constant.h"
#include "symbolic/function.h"
#include "symbolic/namer.h"
#include "symbolic/nonce.h"
#include "symbolic/parameter.h"
#include "symbolic/timestamp.h"
#include "symbolic/unifier.h"
#include "symbolic/variable.h"

using namespace sym;

namespace {

std::string mapped(const Term& term, const Unifier& u) {
    Term* image = term.map(u);
    std::string result = text(*image);
    delete image;
    return result;
}

unsigned id(const Term& term) { return term.name().id(); }
std::string num(Name::ID id) { return std::to_string(id); }

}  // namespace

TEST(Unifier, BindingDirectionAndRepeatedBindings) {
    Variable x(namer.variable("x")), y(namer.variable("y"));
    Constant k(namer.constant("k")), k2(namer.constant("k")), m(namer.constant("m"));
    Unifier u, v;
    x.unify(&x, u, Term::NONE);  // never bound to itself
    EXPECT_TRUE(u.empty());
    x.unify(&y, u, Term::NONE);
    EXPECT_EQ(u.keys(), std::set<unsigned>{id(y)});
    EXPECT_EQ(u.evaluate(id(y)), &x);
    EXPECT_THROW(u.evaluate(id(x)), std::out_of_range);
    // A bound left side passes its binding on; a second binding is unified with the first.
    v.map(id(x), &k, Term::NONE);
    x.unify(&y, v, Term::NONE);
    EXPECT_EQ(v.evaluate(id(y)), &k);
    v.map(id(x), &k2, Term::NONE);
    EXPECT_EQ(v.evaluate(id(x)), &k);
    EXPECT_THROW(v.map(id(x), &m, Term::NONE), UnifyFailed);
}

TEST(Unifier, LoopfreeDetectsCyclesThroughAnyBindableKind) {
    Variable x(namer.variable("x")), y(namer.variable("y"));
    Configuration c(namer.variable("c"));
    Constant k(namer.constant("k"));
    Function fx(namer.constant("f")), gx(namer.constant("g")), fc(namer.constant("f"));
    fx.append(x.clone());
    gx.append(x.clone());
    fc.append(c.clone());
    EXPECT_TRUE(Unifier().loopfree());
    Unifier self, two, chain, through;
    x.unify(&fx, self, Term::NONE);  // no occurs check
    EXPECT_EQ(self.evaluate(id(x)), &fx);
    EXPECT_FALSE(self.loopfree());
    two.map(id(x), &y, Term::NONE);
    two.map(id(y), &gx, Term::NONE);
    EXPECT_FALSE(two.loopfree());
    chain.map(id(x), &y, Term::NONE);
    chain.map(id(y), &k, Term::NONE);
    EXPECT_TRUE(chain.loopfree());
    through.map(id(x), &fc, Term::NONE);
    through.map(id(c), &gx, Term::NONE);
    EXPECT_FALSE(through.loopfree());
    // No configuration is bound while the unifier has a cycle.
    EXPECT_THROW(c.unify(&k, self, Term::NONE), UnifyFailed);
}

TEST(Unify, KindTable) {
    Variable x(namer.variable("x"));
    Nonce n(namer.variable("n")), n2(namer.variable("n"));
    Timestamp t(namer.variable("t"));
    Configuration c(namer.variable("c")), d(namer.variable("d"));
    Parameter p(namer.constant("p")), q(namer.constant("q"));
    Constant k(namer.constant("k")), m(namer.constant("m"));
    Function f(namer.constant("f"));
    Unifier u, v;
    EXPECT_THROW(n.unify(&k, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(k.unify(&n, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(t.unify(&n, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(k.unify(&m, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(k.unify(&p, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(p.unify(&q, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(f.unify(&k, u, Term::NONE), UnifyFailed);
    EXPECT_FALSE(n.try_unify(&t, u, Term::NONE));
    p.unify(&p, u, Term::NONE);
    k.unify(&k, u, Term::NONE);
    EXPECT_TRUE(u.empty());
    // Rigid terms, nonces and timestamps bind a variable or configuration on the right.
    k.unify(&x, u, Term::NONE);
    n.unify(&c, u, Term::NONE);
    t.unify(&d, u, Term::NONE);
    EXPECT_EQ(u.evaluate(id(x)), &k);
    EXPECT_EQ(u.evaluate(id(c)), &n);
    EXPECT_EQ(u.evaluate(id(d)), &t);
    n.unify(&n2, v, Term::NONE);
    EXPECT_EQ(v.keys(), std::set<unsigned>{id(n2)});
}

TEST(Unify, FunctionsMatchSymbolAndArity) {
    Constant a(namer.constant("a")), b(namer.constant("b"));
    Variable x(namer.variable("x"));
    Function fa(namer.constant("f")), fb(namer.constant("f")), fx(namer.constant("f"));
    Function fab(namer.constant("f")), ga(namer.constant("g"));
    fa.append(a.clone());
    fb.append(b.clone());
    fx.append(x.clone());
    fab.append(a.clone())->append(b.clone());
    ga.append(a.clone());
    Unifier u;
    EXPECT_THROW(fa.unify(&ga, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(fa.unify_to(&ga, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(fa.unify(&fb, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(fa.unify_to(&fb, u, Term::NONE), UnifyFailed);
    EXPECT_USER_ERROR(fa.unify(&fab, u, Term::NONE), "unify", "function size not match");
    EXPECT_USER_ERROR(fa.unify_to(&fab, u, Term::NONE), "unify_to", "function size not match");
    fa.unify(&fx, u, Term::NONE);
    EXPECT_EQ(u.evaluate(id(x)), fa.arguments()[0]);
}

TEST(Unify, ConfigurationGeneralisesVariablesUnlessDisabled) {
    Configuration c(namer.variable("c")), d(namer.variable("d"));
    Variable x(namer.variable("x"));
    Nonce n(namer.variable("n"));
    Constant k(namer.constant("k"));
    Function f(namer.constant("f"));
    f.append(x.clone())->append(n.clone());
    const std::string ns = ", [n@" + num(id(n)) + "])";
    Unifier u, v, w, z;
    EXPECT_THROW(c.unify(&f, w, Term::GENERALISE_DISABLED), UnifyFailed);
    EXPECT_TRUE(w.empty());
    const Name::ID fresh = namer.index();
    c.unify(&f, u, Term::NONE);
    EXPECT_EQ(namer.index(), fresh + 1);
    EXPECT_EQ(u.keys(), (std::set<unsigned>{id(c), id(x)}));
    EXPECT_EQ(u.evaluate(id(c)), &f);
    EXPECT_EQ(mapped(c, u), "f(|x@" + num(fresh) + "|" + ns);
    // The function on the left delegates; a variable already bound is still
    // generalised, and its binding is unified with the fresh configuration.
    v.map(id(x), &k, Term::NONE);
    f.unify(&c, v, Term::NONE);
    EXPECT_EQ(namer.index(), fresh + 2);
    EXPECT_EQ(v.evaluate(fresh + 1), &k);
    EXPECT_EQ(mapped(c, v), "f(k[]" + ns);
    // Disabled: allowed once x, seen through the unifier, is no variable; no name is issued.
    z.map(id(x), &k, Term::NONE);
    c.unify(&f, z, Term::GENERALISE_DISABLED);
    EXPECT_EQ(namer.index(), fresh + 2);
    EXPECT_EQ(mapped(c, z), "f(k[]" + ns);
    c.unify(&d, w, Term::GENERALISE_DISABLED);  // two configurations bind plainly
    EXPECT_EQ(w.evaluate(id(d)), &c);
}

TEST(UnifyTo, BoundPatternSymbolsAreComparedNotUnified) {
    Variable x(namer.variable("x")), y(namer.variable("y")), z(namer.variable("z"));
    Constant k(namer.constant("k")), m(namer.constant("m"));
    Configuration cp(namer.variable("c")), c1(namer.variable("c")), c2(namer.variable("c"));
    Unifier u;
    x.unify_to(&k, u, Term::NONE);
    x.unify_to(&k, u, Term::NONE);
    EXPECT_THROW(x.unify_to(&m, u, Term::NONE), UnifyFailed);
    cp.unify_to(&c1, u, Term::NONE);
    EXPECT_THROW(cp.unify_to(&c2, u, Term::NONE), UnifyFailed);
    EXPECT_FALSE(u.exist(id(c1)) || u.exist(id(c2)));
    // A repeated pattern variable needs structurally equal instances.
    Function pxx(namer.constant("p")), pkk(namer.constant("p")), pyz(namer.constant("p"));
    Function fk(namer.constant("f")), fm(namer.constant("f")), pfkfm(namer.constant("p"));
    pxx.append(x.clone())->append(x.clone());
    pkk.append(k.clone())->append(k.clone());
    pyz.append(y.clone())->append(z.clone());
    fk.append(k.clone());
    fm.append(m.clone());
    pfkfm.append(fk.clone())->append(fm.clone());
    Unifier a, b, c, d;
    pxx.unify_to(&pkk, a, Term::NONE);
    EXPECT_THROW(pxx.unify_to(&pfkfm, b, Term::NONE), UnifyFailed);
    EXPECT_THROW(pxx.unify_to(&pyz, c, Term::NONE), UnifyFailed);
    EXPECT_EQ(c.keys(), std::set<unsigned>{id(x)});
    pyz.unify(&pxx, d, Term::NONE);  // two-sided unification succeeds
}

TEST(UnifyTo, InstanceSymbolsAreNeverBound) {
    Variable x(namer.variable("x")), y(namer.variable("y"));
    Nonce n(namer.variable("n")), n2(namer.variable("n"));
    Timestamp t(namer.variable("t"));
    Configuration c(namer.variable("c")), d(namer.variable("d"));
    Constant k(namer.constant("k"));
    Parameter p(namer.constant("p"));
    Function fy(namer.constant("f"));
    fy.append(y.clone());
    Unifier u, v;
    EXPECT_THROW(k.unify_to(&y, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(p.unify_to(&y, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(n.unify_to(&y, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(t.unify_to(&n, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(c.unify_to(&y, u, Term::NONE), UnifyFailed);
    EXPECT_THROW(fy.unify_to(&y, u, Term::NONE), UnifyFailed);
    EXPECT_TRUE(u.empty());
    x.unify_to(&c, u, Term::NONE);
    n.unify_to(&n2, u, Term::NONE);
    EXPECT_EQ(u.keys(), (std::set<unsigned>{id(x), id(n)}));
    // A pattern configuration generalises the instance's variables, unless disabled.
    EXPECT_THROW(d.unify_to(&fy, v, Term::GENERALISE_DISABLED), UnifyFailed);
    const Name::ID fresh = namer.index();
    d.unify_to(&fy, u, Term::NONE);
    EXPECT_EQ(u.evaluate(id(d)), &fy);
    EXPECT_EQ(text(*u.evaluate(id(y))), "|y@" + num(fresh) + "|");
}

TEST(Unifier, CopySharesBindingsAndClonesMaintainedTerms) {
    Configuration c(namer.variable("c"));
    Variable x(namer.variable("x"));
    Function f(namer.constant("f"));
    f.append(x.clone());
    Unifier source;
    const std::string fresh = num(namer.index());
    c.unify(&f, source, Term::NONE);
    {
        Unifier copy(source);
        EXPECT_EQ(copy.evaluate(id(x)), source.evaluate(id(x)));
        EXPECT_EQ(text(copy), num(id(c)) + ":f(x@" + num(id(x)) + ")\n" + num(id(x)) + ":|x@" + fresh + "|\n");
    }
    EXPECT_EQ(mapped(c, source), "f(|x@" + fresh + "|)");  // the copy deleted only its own clones
}

// Unification follows bindings without an occurs check; on a cyclic
// substitution it must fail rather than go round the cycle for ever.
TEST(CyclicSubstitution, UnificationThroughACycleFails) {
    sym::Name x = sym::namer.variable("x");
    sym::Name y = sym::namer.variable("y");
    sym::Name f = sym::namer.constant("f");
    sym::Variable vx(x), vy(y);
    sym::Function fx(f), fy(f);
    fy.append(new sym::Variable(y));
    fx.append(new sym::Variable(x));
    sym::Unifier unifier;
    vx.unify(&fy, unifier, sym::Term::NONE);  // x -> f(y)
    vy.unify(&fx, unifier, sym::Term::NONE);  // y -> f(x)
    EXPECT_FALSE(unifier.loopfree());
    EXPECT_THROW(vx.unify(&vy, unifier, sym::Term::NONE), sym::UnifyFailed);
    EXPECT_FALSE(vy.try_unify(&vx, unifier, sym::Term::NONE));

    // A long acyclic chain is followed to its end.
    sym::Unifier chain;
    std::vector<std::unique_ptr<sym::Variable>> links;
    for (int i = 0; i < 3000; ++i) links.emplace_back(new sym::Variable(sym::namer.variable("v")));
    for (int i = 0; i + 1 < 3000; ++i) links[i]->unify(links[i + 1].get(), chain, sym::Term::NONE);
    sym::Name k = sym::namer.constant("k");
    sym::Constant constant(k);
    EXPECT_TRUE(links.back()->try_unify(&constant, chain, sym::Term::NONE));
    EXPECT_TRUE(chain.loopfree());
}
