// Names, the namer, the seven term kinds and renaming.
#include <gtest/gtest.h>

#include "test_support.h"

#include <set>
#include <sstream>
#include <string>

#include "common/runtime.h"
#include "symbolic/configuration.h"
#include "symbolic/constant.h"
#include "symbolic/function.h"
#include "symbolic/namer.h"
#include "symbolic/nonce.h"
#include "symbolic/parameter.h"
#include "symbolic/renamer.h"
#include "symbolic/timestamp.h"
#include "symbolic/unifier.h"
#include "symbolic/variable.h"

using namespace sym;

namespace {

std::string sig(const Term& term, const Unifier* u = nullptr) {
    std::ostringstream os;
    u ? term.signature(*u, os) : term.signature(os);
    return os.str();
}

std::set<unsigned> ids(const Term& term, unsigned long mask, const Unifier* u = nullptr) {
    std::set<unsigned> result;
    u ? term.subterms(mask, result, *u) : term.subterms(mask, result);
    return result;
}

unsigned id(const Term& term) { return term.name().id(); }
std::string num(const Term& term) { return std::to_string(id(term)); }

}  // namespace

TEST(Namer, IssuesIdentifiersFromZeroOneCounterForAllNames) {
    if (namer.index() != 0) GTEST_SKIP() << "needs a process in which no name was issued yet";
    EXPECT_EQ(namer.constant("k").id(), 0u);
    EXPECT_EQ(namer.variable("x").id(), 1u);
    EXPECT_EQ(namer.constant("k").id(), 0u);  // interned: issues nothing
    EXPECT_EQ(namer.variable("x").id(), 2u);  // every request is fresh
    EXPECT_EQ(namer.constant("m").id(), 3u);
    EXPECT_EQ(namer.index(), 4u);
}

TEST(Term, PrintsEveryKind) {
    Variable x(namer.variable("x")), x2(namer.variable("x"));
    Timestamp t(namer.variable("t"));
    Configuration c(namer.variable("c"));
    Nonce n(namer.variable("n"));
    Constant k(namer.constant("k"));
    EXPECT_NE(id(x), id(x2));
    EXPECT_EQ(text(x), "x@" + num(x));
    EXPECT_EQ(text(x2), "x@" + num(x2));
    EXPECT_EQ(text(t), "#t@" + num(t));
    EXPECT_EQ(text(Parameter(namer.constant("p"))), "$p");
    EXPECT_EQ(text(c), "|c@" + num(c) + "|");
    EXPECT_EQ(text(n), "[n@" + num(n) + "]");
    EXPECT_EQ(text(k), "k[]");
    EXPECT_EQ(text(Name(Name::VARIABLE, "x", 12)), "x@12");
    EXPECT_EQ(text(Name(Name::CONSTANT, "k", 12)), "k");
    Function pair(namer.constant("pair"));
    Function* enc = new Function(namer.constant("enc"));
    enc->append(n.clone())->append(k.clone());
    pair.append(enc)->append(new Function(namer.constant("f")))->append(c.clone());
    EXPECT_EQ(text(pair), "pair(enc([n@" + num(n) + "], k[]), f(), |c@" + num(c) + "|)");
}

TEST(Term, CloneAndEmptyMapCopyWithoutSharing) {
    Function* f = new Function(namer.constant("f"));
    f->append(new Variable(namer.variable("x")))->append(new Constant(namer.constant("k")));
    const std::string printed = text(*f);
    Term* copy = f->clone();
    Term* image = f->map(Unifier());
    delete f;  // the copies must not share nodes with their source
    EXPECT_EQ(text(*copy), printed);
    EXPECT_EQ(text(*image), printed);
    delete copy;
    delete image;
}

TEST(Term, MapAndSignatureFollowChainedBindings) {
    Variable x(namer.variable("x")), y(namer.variable("y")), z(namer.variable("z"));
    Constant k(namer.constant("k"));
    Function fy(namer.constant("f")), g(namer.constant("g")), e(namer.constant("e"));
    fy.append(y.clone());
    g.append(x.clone())->append(z.clone());
    Unifier u;
    u.map(id(x), &fy, Term::NONE);
    u.map(id(y), &k, Term::NONE);
    Term* image = g.map(u);
    EXPECT_EQ(text(*image), "g(f(k[]), z@" + num(z) + ")");
    delete image;
    EXPECT_EQ(sig(g), num(g) + "(" + num(x) + "." + num(z) + ")");
    EXPECT_EQ(sig(g, &u), num(g) + "(" + num(fy) + "(" + num(k) + ")." + num(z) + ")");
    EXPECT_EQ(sig(e), num(e) + "()");
    // Same identifier, different kinds: one signature, but not equal.
    Configuration c(x.name());
    EXPECT_EQ(sig(c), sig(x));
    EXPECT_FALSE(x.equal(&c));
    EXPECT_FALSE(c.equal(&x));
}

TEST(Term, SubtermsByMaskDirectlyAndThroughSubstitution) {
    Variable x(namer.variable("x")), y(namer.variable("y"));
    Nonce n(namer.variable("n"));
    Function enc(namer.constant("enc")), f(namer.constant("f")), g(namer.constant("g"));
    enc.append(x.clone())->append(n.clone());
    EXPECT_EQ(ids(enc, Term::VARIA), std::set<unsigned>{id(x)});
    EXPECT_EQ(ids(enc, 27), (std::set<unsigned>{id(x), id(n)}));
    EXPECT_EQ(ids(enc, Term::FUNCT), std::set<unsigned>{id(enc)});
    // A bound symbol reports what its binding contains, not itself.
    Unifier u;
    u.map(id(x), &n, Term::NONE);
    EXPECT_EQ(ids(x, Term::NONCE, &u), std::set<unsigned>{id(n)});
    EXPECT_TRUE(ids(x, Term::VARIA, &u).empty());
    g.append(new Constant(namer.constant("k")));
    u.map(id(y), &g, Term::NONE);
    f.append(y.clone())->append(x.clone());
    EXPECT_EQ(ids(f, Term::FUNCT | Term::NONCE | Term::VARIA, &u), (std::set<unsigned>{id(f), id(g), id(n)}));
}

TEST(Term, ParameterIsReadThroughSubstitutionButNeverChanged) {
    Parameter p(namer.constant("p"));
    Constant k(namer.constant("k")), m(namer.constant("m"));
    Unifier u;
    u.map(id(p), &k, Term::NONE);
    u.map(id(m), &k, Term::NONE);
    Term* image = p.map(u);
    EXPECT_EQ(text(*image), "$p");
    Term::release(image);
    EXPECT_EQ(sig(p, &u), num(k));
    EXPECT_EQ(ids(p, Term::CONST | Term::PARAM, &u), std::set<unsigned>{id(k)});
    // A constant does not read a binding of its identifier.
    EXPECT_EQ(sig(m, &u), num(m));
    EXPECT_EQ(ids(m, Term::CONST, &u), std::set<unsigned>{id(m)});
}

TEST(Term, EqualComparesStructureAndRejectsArityClash) {
    // The leaves first: the functions let go of the copies they hold before the leaves end.
    Constant a(namer.constant("a")), b(namer.constant("b"));
    Function fa(namer.constant("f")), fb(namer.constant("f")), fab(namer.constant("f")), gab(namer.constant("g"));
    fa.append(a.clone());
    fb.append(b.clone());
    fab.append(a.clone())->append(b.clone());
    gab.append(a.clone())->append(b.clone());
    Term* copy = fa.clone();
    EXPECT_TRUE(fa.equal(copy));
    Term::release(copy);
    EXPECT_FALSE(fa.equal(&fb));
    EXPECT_FALSE(fa.equal(&gab));
    try {
        fa.equal(&fab);
        ADD_FAILURE() << "no UserError";
    } catch (const common::UserError& e) {
        EXPECT_EQ(e.function(), "equal");
        EXPECT_EQ(e.detail(), "function argument list size not match");
    }
}

TEST(Renamer, GivesEachOldSymbolOneFreshVariableName) {
    Variable x(namer.variable("x"));
    Nonce n(namer.variable("n"));
    Function f(namer.constant("f"));
    f.append(x.clone())->append(n.clone())->append(x.clone())->append(new Constant(namer.constant("k")));
    f.append(new Parameter(namer.constant("p")))->append(new Configuration(namer.variable("c")));
    f.append(new Timestamp(namer.variable("t")));
    const Name::ID before = namer.index();
    const std::string fresh_x = std::to_string(before), fresh_n = std::to_string(before + 1);
    Renamer r;
    f.rename(r);  // x, n, c and t get one fresh name each; f, k and p keep theirs
    EXPECT_EQ(namer.index(), before + 4);
    EXPECT_EQ(text(f), "f(x@" + fresh_x + ", [n@" + fresh_n + "], x@" + fresh_x + ", k[], $p, |c@" +
                           std::to_string(before + 2) + "|, #t@" + std::to_string(before + 3) + ")");
    Term* again = x.clone()->rename(r);  // the renamer remembers the old identifier
    EXPECT_EQ(text(*again), "x@" + fresh_x);
    Term::release(again);
    EXPECT_EQ(text(r.name(id(n))), "n@" + fresh_n);
    EXPECT_THROW(r.name(namer.constant("p").id()), NameNotExists);
    Renamer other;
    EXPECT_NE(other.rename(x.name()).id(), r.rename(x.name()).id());
    Name from_constant = other.rename(namer.constant("k"));
    EXPECT_EQ(text(from_constant), "k@" + std::to_string(from_constant.id()));
}
