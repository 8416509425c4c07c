#include "testsupport/golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace testsupport {

namespace {

std::string firstDifference(const std::string& actual, const std::string& expected) {
    std::istringstream a(actual);
    std::istringstream e(expected);
    std::string lineA;
    std::string lineE;
    for (int line = 1;; ++line) {
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreE = static_cast<bool>(std::getline(e, lineE));
        if (!moreA && !moreE) return "the line ends differ";
        if (!moreA || !moreE || lineA != lineE) {
            return "line " + std::to_string(line) + ": expected \"" + (moreE ? lineE : "<end of file>") +
                   "\", actual \"" + (moreA ? lineA : "<end of result>") + "\"";
        }
    }
}

}  // namespace

void expectGolden(const std::string& actual, const std::filesystem::path& golden) {
    if (std::getenv(UPDATE_GOLDEN_VARIABLE) != nullptr) {
        std::ofstream out(golden, std::ios::binary | std::ios::trunc);
        out << actual;
        ADD_FAILURE() << golden.string() << " rewritten (" << UPDATE_GOLDEN_VARIABLE
                      << " is set); review it and run the tests again without the variable";
        return;
    }
    std::ifstream in(golden, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "golden file " << golden.string() << " is missing";
        return;
    }
    const std::string expected{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (actual != expected)
        ADD_FAILURE() << golden.filename().string() << " differs: " << firstDifference(actual, expected);
}

}  // namespace testsupport
