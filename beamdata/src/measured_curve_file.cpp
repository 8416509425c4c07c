#include "beamdata/measured_curve_file.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <vector>

#include "beamdata/csv_measured_format.h"
#include "engine/run_error.h"
#include "measured_text.h"
#include "scan_reading.h"

namespace beamdata {
namespace {

constexpr int FIRST_LINES_LOOKED_AT = 20;

}  // namespace

std::string formatName(MeasuredFormat format) {
    switch (format) {
    case MeasuredFormat::Csv: return "CSV";
    case MeasuredFormat::PtwMcc: return "PTW mcc";
    case MeasuredFormat::Rfa300: return "RFA300 ASCII";
    case MeasuredFormat::W2cad: return "w2CAD";
    }
    return "";
}

MeasuredFormat detectFormat(std::string_view text) {
    int looked = 0;
    detail::LineCursor lines(text);
    detail::TextLine line;
    while (lines.next(line)) {
        const std::string_view trimmed = detail::trim(line.text);
        if (trimmed.empty() || trimmed.front() == '#' || trimmed.front() == '!') continue;
        const std::string head = detail::upperCase(trimmed.substr(0, trimmed.find_first_of(" \t=")));
        if (head == "BEGIN_SCAN_DATA") return MeasuredFormat::PtwMcc;
        if (head == ":MSR" || head == ":SYS") return MeasuredFormat::Rfa300;
        if (head == "$NUMS" || head == "$STOM") return MeasuredFormat::W2cad;
        if (++looked == FIRST_LINES_LOOKED_AT) break;
    }
    return MeasuredFormat::Csv;
}

namespace {

// No water phantom is ten metres deep, and noise may leave a small negative value in the tail but not
// one below minus the largest: such numbers come from a damaged file, not from a measurement.
constexpr double DEPTH_LIMIT_MM = 10000.0;

void checkMeasured(const DepthScan& scan, const std::string& fileName) {
    double largest = 0.0;
    for (const double value : scan.value) largest = std::max(largest, value);
    for (std::size_t k = 0; k < scan.depthMm.size(); ++k) {
        if (!(std::fabs(scan.depthMm[k]) <= DEPTH_LIMIT_MM))
            detail::fail(fileName, scan.info.firstLine, "a depth beyond 10 m is no measured depth in mm");
        if (!(scan.value[k] >= -largest))
            detail::fail(fileName, scan.info.firstLine, "a value below minus the largest value is no measured value");
    }
}

std::string sizeLimitText(std::uint64_t bytes) {
    constexpr std::uint64_t MB = 1024 * 1024;
    return bytes % MB == 0 ? std::to_string(bytes / MB) + " MB" : std::to_string(bytes) + " bytes";
}

[[noreturn]] void refuseSize(const std::string& fileName, const MeasuredLimits& limits) {
    throw engine::RunError(fileName, 0,
                           "larger than " + sizeLimitText(limits.fileBytes) + ", the limit of a measured file");
}

}  // namespace

MeasuredFile parseMeasuredText(std::string_view text, const std::string& fileName, const MeasuredLimits& limits) {
    if (text.size() > limits.fileBytes) refuseSize(fileName, limits);
    if (const int line = detail::lineOfZeroByte(text))
        detail::fail(fileName, line, "a zero byte: this is a binary file, not a measured text file");
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) detail::fail(fileName, 1, "the file is empty");
    MeasuredFile file;
    file.fileName = fileName;
    file.format = detectFormat(text);
    if (file.format == MeasuredFormat::Csv) {
        file.depthScans.push_back(csvDepthScan(text, fileName, limits));
        checkMeasured(file.depthScans.front(), fileName);
        return file;
    }
    detail::ScanReading reading = file.format == MeasuredFormat::PtwMcc   ? detail::readPtwMcc(text, fileName, limits)
                                  : file.format == MeasuredFormat::Rfa300 ? detail::readRfa300(text, fileName, limits)
                                                                          : detail::readW2cad(text, fileName, limits);
    if (reading.depthScans.empty()) {
        const int scans = reading.otherScans;
        throw engine::RunError("no depth-dose curve in " + fileName + " (" + formatName(file.format) + ", " +
                               std::to_string(scans) + (scans == 1 ? " scan" : " scans") +
                               " of other kinds, lines 1 to " + std::to_string(reading.lastLine) + ")");
    }
    for (DepthScan& scan : reading.depthScans) {
        orderFromSurface(scan);
        checkMeasured(scan, fileName);
    }
    file.depthScans = std::move(reading.depthScans);
    file.otherScans = reading.otherScans;
    return file;
}

std::string readMeasuredBytes(const std::filesystem::path& path, const std::string& name,
                              const MeasuredLimits& limits) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw engine::RunError(name, 0, "cannot be opened");
    // A file that says it is too large is refused at once; its reading below still stops at the limit
    // for one that grows or is no plain file.
    std::error_code unknown;
    const std::uintmax_t size = std::filesystem::file_size(path, unknown);
    if (!unknown && size > limits.fileBytes) refuseSize(name, limits);
    // Read in pieces up to one byte beyond the limit, so that neither a huge file nor an endless
    // stream is ever held whole.
    constexpr std::size_t PIECE_BYTES = 1 << 20;
    std::string bytes;
    if (!unknown) bytes.reserve(static_cast<std::size_t>(size));
    std::vector<char> piece(PIECE_BYTES);
    while (in) {
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        bytes.append(piece.data(), static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > limits.fileBytes) refuseSize(name, limits);
    }
    if (in.bad()) throw engine::RunError(name, 0, "cannot be read");
    return bytes;
}

MeasuredFile readMeasuredFile(const std::filesystem::path& path, const MeasuredLimits& limits) {
    const std::string name = path.filename().string();
    return parseMeasuredText(readMeasuredBytes(path, name, limits), name, limits);
}

const DepthScan& chooseScan(const MeasuredFile& file, std::optional<int> scan) {
    const auto count = static_cast<int>(file.depthScans.size());
    if (scan) {
        if (*scan < 1 || *scan > count)
            throw engine::RunError(file.fileName + " holds " + std::to_string(count) + " depth curve" +
                                   (count == 1 ? "" : "s") + ", so there is no depth curve " + std::to_string(*scan) +
                                   ":\n" + listScans(file));
        return file.depthScans[static_cast<std::size_t>(*scan - 1)];
    }
    if (count > 1)
        throw engine::RunError(file.fileName + " holds " + std::to_string(count) +
                               " depth curves; choose one with --scan N:\n" + listScans(file));
    return file.depthScans.front();
}

std::string listScans(const MeasuredFile& file) {
    std::string list;
    for (std::size_t k = 0; k < file.depthScans.size(); ++k) {
        const ScanInfo& info = file.depthScans[k].info;
        list += "  " + std::to_string(k + 1) + ": " + describeScan(info, true) + ", " +
                std::to_string(file.depthScans[k].depthMm.size()) + " points (scan " + std::to_string(info.fileScan) +
                " of the file, line " + std::to_string(info.firstLine) + ")\n";
    }
    return list;
}

}  // namespace beamdata
