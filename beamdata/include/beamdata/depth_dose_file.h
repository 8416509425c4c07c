#pragma once
// The depth-dose result file of the simulator (".pdd"), as every program reads it back: two heading
// lines, then 125 records of the depth label (mm, the deeper face of a 1 mm slab below the entry
// plane, -14 to 110) and the relative dose, in free format. A negative value that fills its whole
// field runs into the number before it and is read as a number of its own.
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace beamdata {

inline constexpr int DEPTH_DOSE_RECORDS = 125;

struct DepthDoseRecords {
    std::vector<double> labelMm;  // in file order
    std::vector<double> dose;
    bool complete = false;  // both heading lines and all 125 records were read
    int failedLine = 0;     // where reading stopped when not complete (0: the text ended)
};

// Reads the records in order and stops at the first field that is not a number or at the end of
// the text; the records read before the stop are kept.
DepthDoseRecords readDepthDoseText(std::string_view text);

// The whole file. Throws engine::RunError naming the file (and the line) when it cannot be read or
// does not hold all 125 records.
DepthDoseRecords readDepthDoseFile(const std::filesystem::path& path);

// The statistical uncertainty file beside a depth-dose result (engine::uncertaintyFileName), in
// the same layout: empty when there is none or when its heading lines are not the result's (it
// belongs to another run). Throws engine::RunError when it is there but cannot be read whole.
std::optional<DepthDoseRecords> readUncertaintyBeside(const std::filesystem::path& resultPath);

}  // namespace beamdata
