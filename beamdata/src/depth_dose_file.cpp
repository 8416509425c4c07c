#include "beamdata/depth_dose_file.h"

#include "beamdata/free_format.h"
#include "engine/run_error.h"

#include <string>

namespace beamdata {

DepthDoseRecords readDepthDoseText(std::string_view text) {
    DepthDoseRecords records;
    text::FieldReader reader{std::string(text), text::JoinedNumbers::Split};
    if (!reader.readLine() || !reader.readLine()) return records;
    for (int record = 1; record <= DEPTH_DOSE_RECORDS; ++record) {
        const auto label = reader.readNumber();
        if (!label) {
            if (!reader.atEnd()) records.failedLine = reader.lastFieldLine();
            return records;
        }
        const auto dose = reader.readNumber();
        if (!dose) {
            if (!reader.atEnd()) records.failedLine = reader.lastFieldLine();
            return records;
        }
        records.labelMm.push_back(*label);
        records.dose.push_back(*dose);
    }
    records.complete = true;
    return records;
}

DepthDoseRecords readDepthDoseFile(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    const auto bytes = text::readWholeFile(path.string());
    if (!bytes) throw engine::RunError(name, 0, "cannot open the depth-dose result file");
    DepthDoseRecords records = readDepthDoseText(*bytes);
    if (records.complete) return records;
    if (records.failedLine > 0)
        throw engine::RunError(name, records.failedLine, "a field that is not a number where a depth or dose belongs");
    // One record per line after the two headings: the line of the first missing record.
    const int missingLine = 3 + static_cast<int>(records.dose.size());
    throw engine::RunError(name, missingLine,
                           "the file ends after " + std::to_string(records.dose.size()) + " of its 125 depth records");
}

}  // namespace beamdata
