#pragma once
// The beams of a commissioning run: every depth curve of every measured file among the inputs (files,
// or folders searched recursively for the formats the measured reader knows). A photon curve, the
// profiles of a file and a file that cannot be read are listed as skipped, each with its reason.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "beamdata/depth_scan.h"

namespace commission {

struct BeamEntry {
    std::string label;                      // the file's stem, "#<scan>" added when the file holds several depth curves
    std::filesystem::path file;             // as given, or as found below a given folder
    int scan = 0;                           // depth curve of the file, from 1; 0 for a skipped file as a whole
    beamdata::ScanInfo info;                // what the file says of the beam
    std::optional<std::string> skipReason;  // set: not fitted, and why
};

// The file endings searched for in folders (".csv", ".mcc", ".asc", ".txt", ".cdp"), in any case.
bool isMeasuredFileName(const std::filesystem::path& path);

// The files among `inputs` in a fixed order: each given file as it stands, each folder's files sorted
// by path. Throws engine::RunError for an input that does not exist.
std::vector<std::filesystem::path> measuredFiles(const std::vector<std::filesystem::path>& inputs);

// The beams of the files in order. Labels are made unique by "-2", "-3", ... in that order.
std::vector<BeamEntry> listBeams(const std::vector<std::filesystem::path>& files);

}  // namespace commission
