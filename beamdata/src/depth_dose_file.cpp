#include "beamdata/depth_dose_file.h"

#include "beamdata/free_format.h"
#include "engine/constants.h"
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

namespace {

// The two heading lines, line ends aside.
std::string headingLines(std::string_view text) {
    std::string heading;
    std::size_t begin = 0;
    for (int line = 0; line < 2 && begin < text.size(); ++line) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) end = text.size();
        std::string_view content = text.substr(begin, end - begin);
        if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
        heading.append(content).push_back('\n');
        begin = end + 1;
    }
    return heading;
}

}  // namespace

std::optional<DepthDoseRecords> readUncertaintyBeside(const std::filesystem::path& resultPath) {
    const std::filesystem::path path = engine::uncertaintyFileName(resultPath);
    std::error_code error;
    if (path == resultPath || !std::filesystem::is_regular_file(path, error)) return std::nullopt;
    const auto result = text::readWholeFile(resultPath.string());
    const auto bytes = text::readWholeFile(path.string());
    if (!result || !bytes || headingLines(*result) != headingLines(*bytes)) return std::nullopt;
    return readDepthDoseFile(path);
}

}  // namespace beamdata
