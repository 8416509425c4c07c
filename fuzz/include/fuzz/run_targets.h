#pragma once
// Whole runs: Brisella and Tolvane on mutated input files and in the situations that used to lose
// or damage results (a result name that is a folder, in a missing folder, "." or "..", an input
// file's name, a blank name with the console closed, SIGTERM during the histories, links planted at
// the lock, temporary and result names, a second run on the same names at the same time, stopped
// or not), and orvalis-fit on mutated measured files and bad output names. A run that fails leaves
// the previous results and the inputs byte for byte and names its file; a run that succeeds writes
// sound results; two runs on one name leave a pair from one of them, and no link is followed.
#include "fuzz/corpus.h"
#include "fuzz/target.h"

#include <memory>
#include <vector>

namespace fuzz {

// Histories a campaign case may run; a mutated count beyond it is counted as skipped.
constexpr float CAMPAIGN_KERNEL_HISTORIES = 5000.0f;
constexpr float CAMPAIGN_DEPTH_DOSE_HISTORIES = 50000.0f;

// `baselineFolder` (an empty folder) receives the runs on the unmutated inputs.
std::vector<std::unique_ptr<Target>> runTargets(const Corpus& corpus, const std::filesystem::path& baselineFolder);

}  // namespace fuzz
