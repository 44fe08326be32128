// The flat structures of rules against the structures they stand for: the
// state table against an ordered map, keys compared and hashed without text
// against the key texts.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "symbolic/constant.h"
#include "symbolic/function.h"
#include "symbolic/namer.h"
#include "symbolic/nonce.h"
#include "symbolic/state.h"
#include "symbolic/state_table.h"
#include "symbolic/unifier.h"
#include "symbolic/variable.h"

using namespace sym;

TEST(StateTable, BehavesAsAnOrderedMap) {
    std::mt19937 random(7);
    StateTable table;
    std::map<size_t, int> model;
    for (int step = 0; step < 4000; ++step) {
        size_t sid = random() % 40;
        switch (random() % 4) {
        case 0:
        case 1: {
            auto done = table.emplace(sid, {nullptr, SidSet{sid}});
            EXPECT_EQ(done.second, model.emplace(sid, 0).second);
            EXPECT_EQ(done.first->first, sid);
            break;
        }
        case 2:
            EXPECT_EQ(table.erase(sid), model.erase(sid));
            break;
        default:
            EXPECT_EQ(table.count(sid), model.count(sid));
            if (model.count(sid)) {
                EXPECT_EQ(table.at(sid).second, SidSet{sid});
                EXPECT_EQ(table.position(sid), static_cast<size_t>(std::distance(model.begin(), model.find(sid))));
            } else {
                EXPECT_THROW(table.at(sid), std::out_of_range);
                EXPECT_EQ(table.position(sid), table.size());
            }
        }
        ASSERT_EQ(table.size(), model.size());
        auto m = model.begin();
        for (const auto& entry : table) EXPECT_EQ(entry.first, (m++)->first);
    }
}

namespace {

// Random terms over a few variables, nonces, constants and two function
// symbols; a constant shares its text with a function symbol, so that one
// identifier can stand for both.
class Terms {
public:
    explicit Terms(unsigned seed) : _random(seed) {
        for (int i = 0; i < 3; ++i) _variables.push_back(namer.variable("x"));
        for (int i = 0; i < 2; ++i) _nonces.push_back(namer.variable("n"));
        _constants = {namer.constant("a"), namer.constant("f")};
        _functions = {namer.constant("f"), namer.constant("g")};
    }

    Term* term(int depth) {
        switch (_random() % (depth > 0 ? 5 : 3)) {
        case 0:
            return new Variable(pick(_variables));
        case 1:
            return new Nonce(pick(_nonces));
        case 2:
            return new Constant(pick(_constants));
        default: {
            Function* f = new Function(pick(_functions));
            // f with one or two arguments: one symbol met with two arities
            // still has one signature per term.
            size_t arguments = _random() % 3;
            for (size_t i = 0; i < arguments; ++i) f->append(term(depth - 1));
            return f;
        }
        }
    }

    State* state(bool one_key) {
        State* s = new State(_random() % 4 == 0 ? namer.constant("q") : namer.constant("p"));
        size_t arguments = 1 + _random() % 3;
        for (size_t i = 0; i < arguments; ++i) s->append(one_key ? i == 0 : _random() % 2 == 0, term(2));
        return s;
    }

    // Binds some variables and nonces to terms built over the others.
    void bind(Unifier& unifier, std::vector<std::unique_ptr<Term, TermRelease>>& held) {
        if (_random() % 3 == 0) return;
        held.emplace_back(term(1));
        unifier.map(pick(_variables).id(), held.back().get(), Term::NONE);
        held.emplace_back(new Nonce(pick(_nonces)));
        unifier.map(_nonces[0].id(), held.back().get(), Term::NONE);
    }

private:
    const Name& pick(const std::vector<Name>& names) { return names[_random() % names.size()]; }

    std::mt19937 _random;
    std::vector<Name> _variables, _nonces, _constants, _functions;
};

}  // namespace

TEST(StateKey, ComparedAndHashedAsTheKeyTexts) {
    Terms terms(11);
    size_t equal = 0;
    for (int round = 0; round < 3000; ++round) {
        std::unique_ptr<State> a(terms.state(round % 2 == 0)), b(terms.state(round % 2 == 0));
        Unifier ua, ub;
        std::vector<std::unique_ptr<Term, TermRelease>> held;
        terms.bind(ua, held);
        terms.bind(ub, held);
        if (!ua.loopfree() || !ub.loopfree()) continue;
        for (const Unifier* mine : {static_cast<const Unifier*>(nullptr), static_cast<const Unifier*>(&ua)}) {
            for (const Unifier* theirs : {static_cast<const Unifier*>(nullptr), static_cast<const Unifier*>(&ub)}) {
                std::string ka = mine ? a->key(*mine) : a->key(), kb = theirs ? b->key(*theirs) : b->key();
                ASSERT_EQ(a->same_key(b.get(), mine, theirs), ka == kb) << ka << " against " << kb;
                ASSERT_TRUE(a->same_key(a.get(), mine, mine));
                if (ka == kb) {
                    ++equal;
                    EXPECT_EQ(a->key_hash(mine), b->key_hash(theirs));
                }
            }
        }
    }
    // The random states meet equal keys often enough to test the hashes.
    EXPECT_GT(equal, 200u);
}
