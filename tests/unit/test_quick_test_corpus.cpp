#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/runtime.h"
#include "corpus.h"
#include "symbolic/implication.h"
#include "symbolic/srule.h"
#include "symbolic/unifier.h"
#include "vorn/model/parser.h"
#include "vorn/saturation/algorithm.h"

// The quick implication test may only turn down pairs the reference test
// turns down: checked on runs of the corpus, each rule held against each rule
// made from held rules, both ways, on copies with their features computed afresh.

namespace {

// Keeps copies of the first rules held in a run and of the first rules made
// from held rules (many of them implied by a held rule), and stops a run
// that goes on too long.
class Keeper : public vorn::Observer {
public:
    bool admit(const vorn::Algorithm&, const sym::StateRule* rule) override {
        keep(rule, held);
        return true;
    }
    bool wants_compositions() const override { return true; }
    void composed(const sym::StateConstRule*, size_t, const sym::StateRule*,
                  const std::list<sym::StateRule*>& results) override {
        for (const sym::StateRule* rule : results) keep(rule, made);
    }
    bool step(const vorn::Algorithm&, size_t) override {
        return ++steps <= 2000 && std::chrono::steady_clock::now() - started < std::chrono::milliseconds(300);
    }

    std::vector<std::unique_ptr<sym::StateConstRule>> held, made;

private:
    static void keep(const sym::StateRule* rule, std::vector<std::unique_ptr<sym::StateConstRule>>& into) {
        if (rule->type() != sym::StateRule::CONSIST || into.size() >= 40) return;
        sym::Unifier none;
        into.emplace_back(static_cast<sym::StateConstRule*>(rule->map(none, sym::StateRule::NONSELECTABLE)));
    }

    size_t steps = 0;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};

std::string printed(const sym::Model& model) {
    std::ostringstream os;
    model.info(os);
    return os.str();
}

}  // namespace

TEST(QuickTest, TurnsDownNoPairTheReferenceAdmitsOverTheCorpus) {
    size_t pairs = 0, implied = 0, turned_down = 0;
    for (const auto& path : corpus()) {
        SCOPED_TRACE(path.string());
        start_model(file_text(path));
        std::ostringstream quiet;
        std::streambuf* saved = std::cout.rdbuf(quiet.rdbuf());
        Keeper keeper;
        try {
            vorn::parse_model();
            vorn::Algorithm algorithm(&keeper);
            algorithm.close_const_rule(vorn::raw_const_rules);
            algorithm.close_trans_rule(vorn::raw_trans_rules);
            algorithm.complete();
        } catch (...) {
            // A model error or a failed parse: the rules held so far are still compared.
        }
        std::cout.rdbuf(saved);
        if (!sym::arities_consistent()) continue;
        auto compare = [&](const sym::StateConstRule* general, const sym::StateConstRule* specific) {
            ++pairs;
            if (sym::may_imply(general, specific)) return;
            ++turned_down;
            if (!general->features().quick.pure) return;
            bool reference = false;
            try {
                reference = general->imply_reference(specific);
            } catch (const common::UserError&) {
            }
            EXPECT_FALSE(reference) << "turned down: " << printed(*general) << " implies " << printed(*specific);
        };
        for (const auto& general : keeper.held) {
            for (const auto& specific : keeper.made) {
                try {
                    implied += general->imply_reference(specific.get());
                } catch (const common::UserError&) {
                }
                compare(general.get(), specific.get());
                compare(specific.get(), general.get());
            }
        }
    }
    vorn::release_model();
    // The corpus gives the test implied pairs and pairs to turn down.
    EXPECT_GT(implied, 1000u);
    EXPECT_GT(turned_down, pairs / 2);
}
