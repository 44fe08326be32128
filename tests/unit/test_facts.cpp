// Knowledge, timed knowledge, events and states.
#include <gtest/gtest.h>

#include "test_support.h"

#include <set>
#include <sstream>
#include <string>

#include "common/runtime.h"
#include "symbolic/configuration.h"
#include "symbolic/constant.h"
#include "symbolic/event.h"
#include "symbolic/function.h"
#include "symbolic/know.h"
#include "symbolic/namer.h"
#include "symbolic/nonce.h"
#include "symbolic/parameter.h"
#include "symbolic/renamer.h"
#include "symbolic/state.h"
#include "symbolic/timestamp.h"
#include "symbolic/tknow.h"
#include "symbolic/unifier.h"
#include "symbolic/variable.h"

using namespace sym;

namespace {

std::string num(Name::ID id) { return std::to_string(id); }
unsigned id(const Name& name) { return name.id(); }
Term* var(const Name& name) { return new Variable(name); }
Term* nonce(const Name& name) { return new Nonce(name); }
Term* cst(const std::string& text) { return new Constant(namer.constant(text)); }
Term* tmsp() { return new Timestamp(namer.variable("t")); }
Term* fn(const std::string& text, Term* argument) { return (new Function(namer.constant(text)))->append(argument); }
Name pred(const std::string& text) { return namer.constant(text); }

}  // namespace

TEST(Fact, PrintedForms) {
    Name x = namer.variable("x"), n = namer.variable("n"), t = namer.variable("t");
    const std::string xs = "x@" + num(x.id()), ns = "[n@" + num(n.id()) + "]";
    EXPECT_EQ(text(Know(fn("enc", nonce(n)))), "know(enc(" + ns + "))");
    EXPECT_EQ(text(TimedKnow(var(x), new Timestamp(t))), "tknow(" + xs + ", #t@" + num(t.id()) + ")");
    EXPECT_EQ(text(*Event(pred("e")).append(true, nonce(n))->append(false, var(x))), "e(*" + ns + ", " + xs + ")");
    EXPECT_EQ(text(*State(pred("s")).append(false, var(x))->append(true, cst("k"))), "s(" + xs + ", *k[])");
    EXPECT_EQ(text(Event(pred("e"))), "e()");
    EXPECT_EQ(Know(cst("k")).predicate().id(), namer.constant("know").id());
}

TEST(Fact, OtherKindOrPredicateFailsToUnify) {
    Name x = namer.variable("x");
    Know know(var(x));
    TimedKnow tknow(var(x), tmsp());
    Event e(pred("e")), f(pred("f"));
    State s(pred("e"));
    e.append(false, var(x));
    f.append(false, var(x));
    s.append(false, var(x));
    Unifier u;
    EXPECT_THROW(know.unify(&e, u), UnifyFailed);
    EXPECT_THROW(know.unify_to(&e, u), UnifyFailed);
    EXPECT_THROW(tknow.unify_to(&know, u), UnifyFailed);
    EXPECT_THROW(e.unify(&f, u), UnifyFailed);
    EXPECT_FALSE(e.try_unify_to(&f, u));
    EXPECT_THROW(e.unify(&s, u), UnifyFailed);  // same predicate name, other kind
    EXPECT_TRUE(u.empty());
    EXPECT_FALSE(e.equal(&f));
    EXPECT_FALSE(e.equal(&s));
    EXPECT_FALSE(know.equal(&tknow));
    EXPECT_FALSE(tknow.equal(&know));
}

TEST(Fact, ArityClashOfOnePredicateIsUserError) {
    Name x = namer.variable("x");
    Event e2(pred("e")), e3(pred("e"));
    State s2(pred("s")), s3(pred("s"));
    e2.append(false, var(x))->append(false, var(x));
    e3.append(false, var(x))->append(false, var(x))->append(false, var(x));
    s2.append(true, var(x))->append(false, var(x));
    s3.append(true, var(x))->append(false, var(x))->append(false, var(x));
    Unifier u;
    EXPECT_USER_ERROR(e2.unify(&e3, u), "unify", "event list size not match");
    EXPECT_USER_ERROR(e2.unify_to(&e3, u), "unify_to", "event list size not match");
    EXPECT_USER_ERROR(e2.equal(&e3), "equal", "event argument list size not match");
    EXPECT_USER_ERROR(s2.unify(&s3, u), "unify", "state list size not match");
    EXPECT_USER_ERROR(s2.unify_to(&s3, u), "unify_to", "state list size not match");
    EXPECT_USER_ERROR(s2.unify_key(&s3, u), "unify_key", "state list size not match");
    EXPECT_USER_ERROR(s2.equal(&s3), "equal", "state argument list size not match");
}

TEST(Fact, UnificationKeepsEarlierBindingsAndPassesTheOption) {
    Name x = namer.variable("x"), y = namer.variable("y"), t1 = namer.variable("t"), t2 = namer.variable("t");
    Event e(pred("e")), g(pred("e"));
    e.append(false, var(x))->append(false, cst("a"));
    g.append(false, cst("k"))->append(false, cst("b"));
    Unifier u;
    EXPECT_THROW(e.unify(&g, u), UnifyFailed);
    EXPECT_TRUE(u.exist(x.id()));
    // Timed knowledge unifies the timestamps too; equality and subterms ignore them.
    TimedKnow a(var(y), new Timestamp(t1)), b(cst("k"), new Timestamp(t2)), c(var(y), new Timestamp(t2));
    Unifier v;
    a.unify(&b, v);
    EXPECT_EQ(v.keys(), (std::set<unsigned>{id(y), id(t2)}));
    EXPECT_TRUE(a.equal(&c));
    EXPECT_FALSE(a.equal(&b));
    EXPECT_TRUE(c.subterms(Term::TMESP).empty());
    // Knowledge and events let a configuration generalise; states do not.
    Name cn = namer.variable("c");
    Know kc(new Configuration(cn)), kf(fn("f", var(x)));
    Event ec(pred("e")), ef(pred("e"));
    State sc(pred("s")), sf(pred("s"));
    ec.append(false, new Configuration(cn));
    ef.append(false, fn("f", var(x)));
    sc.append(true, new Configuration(cn));
    sf.append(true, fn("f", var(x)));
    Unifier w1, w2, s1, s2, s3;
    kc.unify(&kf, w1);
    ec.unify(&ef, w2);
    EXPECT_EQ(w1.evaluate(x.id())->type(), Term::CONFG);
    EXPECT_EQ(w2.evaluate(x.id())->type(), Term::CONFG);
    EXPECT_THROW(sc.unify(&sf, s1), UnifyFailed);
    EXPECT_THROW(sc.unify_to(&sf, s2), UnifyFailed);
    EXPECT_THROW(sc.unify_key(&sf, s3), UnifyFailed);
}

TEST(State, KeyIsPredicateAndKeyArgumentSignatures) {
    Name x = namer.variable("x"), y = namer.variable("y"), z = namer.variable("z");
    Term* f = fn("f", var(x));
    const std::string fsig = num(f->name().id()) + "(" + num(x.id()) + ")";
    State s(pred("s")), nokey(pred("s")), bare(pred("t"));
    s.append(true, f)->append(false, var(y))->append(true, var(z));
    nokey.append(false, var(x));
    const std::string p = num(s.predicate().id());
    EXPECT_EQ(s.key(), p + "." + fsig + "." + num(z.id()));
    EXPECT_EQ(nokey.key(), p + ".");
    EXPECT_EQ(bare.key(), num(bare.predicate().id()) + ".");
    Fact* copy = s.clone();
    EXPECT_EQ(static_cast<State*>(copy)->key(), s.key());
    delete copy;
    // Through a substitution the key shows the bound terms.
    Constant k(namer.constant("k"));
    Unifier u;
    u.map(z.id(), &k, Term::NONE);
    EXPECT_EQ(s.key(u), p + "." + fsig + "." + num(k.name().id()));
}

TEST(State, NonKeyArgumentsDoNotAffectKeyOrUnifyKey) {
    Name x = namer.variable("x"), y = namer.variable("y");
    State a(pred("s")), b(pred("s")), c(pred("s")), other(pred("r"));
    a.append(true, var(x))->append(false, cst("a"));
    b.append(true, var(x))->append(false, cst("b"));
    c.append(true, var(y))->append(false, var(x));
    other.append(true, var(x))->append(false, cst("a"));
    EXPECT_EQ(a.key(), b.key());
    EXPECT_FALSE(a.equal(&b));
    Unifier u;
    a.unify_key(&b, u);
    EXPECT_TRUE(u.empty());
    a.unify_key(&c, u);
    EXPECT_EQ(u.keys(), std::set<unsigned>{id(y)});
    EXPECT_THROW(a.unify_key(&other, u), UnifyFailed);
}

TEST(Event, FreshNoncesFollowNonceBindings) {
    Name n = namer.variable("n"), m = namer.variable("m");
    Nonce n2(namer.variable("n")), n3(namer.variable("n"));
    Event e(pred("e"));
    e.append(true, nonce(n))->append(false, nonce(m));
    Unifier u;
    EXPECT_EQ(e.fresh_nonces(), std::set<unsigned>{id(n)});
    EXPECT_EQ(e.fresh_nonces(u), e.fresh_nonces());
    u.map(n.id(), &n2, Term::NONE);
    EXPECT_EQ(e.fresh_nonces(u), std::set<unsigned>{id(n2.name())});
    u.map(n2.name().id(), &n3, Term::NONE);
    EXPECT_EQ(e.fresh_nonces(u), std::set<unsigned>{id(n3.name())});
}

TEST(Event, FreshArgumentsMustBeNonces) {
    Name n = namer.variable("n"), x = namer.variable("x");
    Event e(pred("e"));
    EXPECT_USER_ERROR(e.append(true, var(x)), "append", "event nonce is not nonce");
    e.append(false, var(x))->append(true, nonce(n));
    // Mapping rebuilds through append; a state takes anything as a key argument.
    Constant k(namer.constant("k"));
    Unifier u;
    u.map(n.id(), &k, Term::NONE);
    EXPECT_USER_ERROR(delete e.map(u), "append", "event nonce is not nonce");
    State s(pred("s"));
    s.append(true, nonce(n));
    Fact* image = s.map(u);
    EXPECT_EQ(text(*image), "s(*k[])");
    delete image;
}

TEST(Event, ContradictionWhenOneNonceIsFreshTwice) {
    Name n = namer.variable("n"), m = namer.variable("m");
    Event twice(pred("e")), distinct(pred("e")), once(pred("e"));
    twice.append(true, nonce(n))->append(true, nonce(n));
    distinct.append(true, nonce(n))->append(true, nonce(m));
    once.append(true, nonce(n))->append(false, nonce(n));
    EXPECT_TRUE(twice.contradiction());
    EXPECT_FALSE(distinct.contradiction());
    EXPECT_FALSE(once.contradiction());
    EXPECT_TRUE(twice.equal(&once));  // flags are not compared
}

TEST(Know, SelectableByKindOfKnownTerm) {
    EXPECT_FALSE(Know(var(namer.variable("x"))).selectable());
    EXPECT_FALSE(Know(tmsp()).selectable());
    EXPECT_TRUE(Know(cst("k")).selectable());
    EXPECT_TRUE(Know(new Function(namer.constant("f"))).selectable());
    EXPECT_TRUE(Know(nonce(namer.variable("n"))).selectable());
    EXPECT_TRUE(Know(new Configuration(namer.variable("c"))).selectable());
    EXPECT_FALSE(TimedKnow(tmsp(), tmsp()).selectable());
    try {
        Know(new Parameter(namer.constant("p"))).selectable();
        ADD_FAILURE() << "no SystemError";
    } catch (const common::SystemError& e) {
        EXPECT_EQ(e.function(), "selectable");
        EXPECT_EQ(e.detail(), "term type does not exist");
    }
}

TEST(Fact, CopyRenameMapAndSubtermsCoverEveryArgument) {
    Name x = namer.variable("x"), n = namer.variable("n");
    Nonce m(namer.variable("m"));
    const std::string ms = "[m@" + num(m.name().id()) + "]";
    Event e(pred("e"));
    e.append(true, nonce(n))->append(false, var(x))->append(false, var(x));
    EXPECT_EQ(e.subterms(Term::VARIA | Term::NONCE), (std::set<unsigned>{id(x), id(n)}));
    Fact* copy = e.clone();
    EXPECT_TRUE(copy->equal(&e));
    const Name::ID next = namer.index();
    Renamer r;
    copy->rename(r);
    EXPECT_EQ(text(*copy), "e(*[n@" + num(next) + "], x@" + num(next + 1) + ", x@" + num(next + 1) + ")");
    delete copy;
    TimedKnow timed(var(x), new Timestamp(n));
    EXPECT_EQ(text(*timed.rename(r)), "tknow(x@" + num(next + 1) + ", #n@" + num(next) + ")");
    Unifier u;
    u.map(x.id(), &m, Term::NONE);
    EXPECT_EQ(e.subterms(Term::NONCE, u), (std::set<unsigned>{id(n), id(m.name())}));
    Fact* image = e.map(u);
    EXPECT_EQ(text(*image), "e(*[n@" + num(n.id()) + "], " + ms + ", " + ms + ")");
    delete image;
    Know know(var(x));
    EXPECT_EQ(know.subterms(Term::NONCE, u), std::set<unsigned>{id(m.name())});
    EXPECT_EQ(text(*Know(var(x)).rename(r)), "know(x@" + num(next + 1) + ")");
    image = know.map(u);
    EXPECT_EQ(text(*image), "know(" + ms + ")");
    delete image;
}
