#pragma once
// The campaign: every target's cases, each run in a child process of its own (POSIX fork), so that
// a crash, a hang or a sanitizer report ends that case only and is counted; damaged results and
// errors without their file are counted from the judgement. The report lists each target's tally
// and every failing case with the seed and number that reproduce it.
#include "fuzz/target.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace fuzz {

struct CampaignOptions {
    std::uint64_t seed = 20240612;
    int casesPerTarget = 1500;
    int firstCase = 0;             // with casesPerTarget 1: one case, to reproduce it
    double timeoutSeconds = 60.0;  // a case that runs longer is a hang
    std::string onlyTarget;        // part of a target's name; empty: all
    std::filesystem::path workFolder;
};

// Runs the campaign; returns the number of failing cases (crashes, hangs, sanitizer reports,
// damaged results, silently taken corrupted files, errors without their file).
int runCampaign(const std::vector<std::unique_ptr<Target>>& targets, const CampaignOptions& options,
                std::ostream& report);

// The generator of one case: the same for a seed, a target and a case number, whatever else runs.
FuzzRandom caseRandom(std::uint64_t seed, const std::string& targetName, int caseNumber);

}  // namespace fuzz
