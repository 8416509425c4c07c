#pragma once
// The sample water-tank files kept in tests/samples, written from the example depth dose and from
// made-up beams: their names and texts, so that a test can check the kept files against them.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace beamdata::testing {

// (file name, text) of every sample, given the example depth dose (CSV) file.
std::vector<std::pair<std::string, std::string>> sampleFiles(const std::filesystem::path& exampleCsv);

}  // namespace beamdata::testing
