// The golden comparison itself: a differing result names the line, and an update run rewrites the
// file but can never pass.
#include "testsupport/golden.h"
#include "testsupport/test_folder.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using testsupport::TestFolder;

class UpdateVariable {
public:
    UpdateVariable() { setenv(testsupport::UPDATE_GOLDEN_VARIABLE, "1", 1); }
    ~UpdateVariable() { unsetenv(testsupport::UPDATE_GOLDEN_VARIABLE); }
};

TEST(Golden, EqualBytesPassAndTheFirstDifferingLineIsNamed) {
    unsetenv(testsupport::UPDATE_GOLDEN_VARIABLE);
    TestFolder folder;
    const auto golden = folder.write("run.pdd", "head\r\n  1. 0.5\r\n  2. 0.4\r\n");
    testsupport::expectGolden("head\r\n  1. 0.5\r\n  2. 0.4\r\n", golden);
    EXPECT_NONFATAL_FAILURE(testsupport::expectGolden("head\r\n  1. 0.5\r\n  2. 0.3\r\n", golden), "line 3");
    EXPECT_NONFATAL_FAILURE(testsupport::expectGolden("head\r\n  1. 0.5\r\n", golden), "line 3");
    EXPECT_NONFATAL_FAILURE(testsupport::expectGolden("x", folder.path() / "missing.pdd"), "missing");
}

TEST(Golden, AnUpdateRunRewritesTheFileAndFails) {
    TestFolder folder;
    const auto golden = folder.write("run.pdd", "old\r\n");
    {
        const UpdateVariable update;
        EXPECT_NONFATAL_FAILURE(testsupport::expectGolden("new\r\n", golden), "rewritten");
    }
    EXPECT_EQ(folder.read("run.pdd"), "new\r\n");
    testsupport::expectGolden("new\r\n", golden);
}

}  // namespace
