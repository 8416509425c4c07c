#pragma once
// Golden files: results compared byte for byte with files kept in the repository.
//
// To accept a deliberate change, run the tests once with ORVALIS_UPDATE_GOLDEN=1 in the environment:
// every golden comparison then rewrites its file from the actual result and FAILS, naming the file,
// so that an update run can never pass as a check. Run the tests again without the variable, and
// review the rewritten files with git diff before committing them.
#include <filesystem>
#include <string>

namespace testsupport {

inline constexpr const char* UPDATE_GOLDEN_VARIABLE = "ORVALIS_UPDATE_GOLDEN";

// Adds a test failure unless `actual` equals the golden file byte for byte; the message names the
// file and the first line that differs. In an update run it rewrites the file and fails.
void expectGolden(const std::string& actual, const std::filesystem::path& golden);

}  // namespace testsupport
