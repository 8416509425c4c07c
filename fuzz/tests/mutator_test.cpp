#include "fuzz/mutator.h"
#include "fuzz/campaign.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace fuzz;

const std::string TABLE = "  16384 16383\r\n   0.6000000E+05  0.3000000E+03\r\n";

TEST(FuzzRandom, IsFixedByItsSeedOnEveryMachine) {
    FuzzRandom a(42);
    FuzzRandom b(42);
    for (int k = 0; k < 100; ++k) EXPECT_EQ(a.next(), b.next());
    // SplitMix64's first output for seed 0, as its definition gives it.
    EXPECT_EQ(FuzzRandom(0).next(), 0xE220A8397B1DCDAFULL);
    // A case is the same whatever else the campaign runs.
    FuzzRandom first = caseRandom(7, "Brisella run", 12);
    FuzzRandom again = caseRandom(7, "Brisella run", 12);
    EXPECT_EQ(first.next(), again.next());
    EXPECT_NE(caseRandom(7, "Brisella run", 13).next(), caseRandom(7, "Tolvane run", 12).next());
}

TEST(Mutator, CutsKnowTheyAreCutAndEveryKindChangesTheFile) {
    FuzzRandom random(3);
    for (int k = 0; k < 200; ++k) {
        const Mutated cut = mutateAs(TABLE, Mutation::CutLastLine, random);
        EXPECT_TRUE(cut.truncated);
        EXPECT_EQ(TABLE.compare(0, cut.bytes.size(), cut.bytes), 0);
        EXPECT_GE(cut.bytes.size(), TABLE.find("\r\n") + 2);  // only the last line is cut
    }
    const Mutated number = mutateAs(TABLE, Mutation::ReplaceNumber, random);
    EXPECT_FALSE(number.truncated);
    EXPECT_NE(number.description.find("replaced by"), std::string::npos);
    EXPECT_EQ(mutateAs(TABLE, Mutation::Empty, random).bytes, "");
    const Mutated ends = mutateAs(TABLE, Mutation::LineEnds, random);
    EXPECT_NE(ends.bytes, TABLE);

    std::set<Mutation> seen;
    for (int k = 0; k < 500; ++k) seen.insert(mutate(TABLE, random).kind);
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(MUTATION_KINDS));
}

}  // namespace
