#pragma once
// The one reader of measured depth curves: the comparison window's CSV layout and the water-tank
// exports PTW mcc, IBA RFA300 ASCII (BDS) and w2CAD, told apart by their content, not by their
// extension (".asc" may be RFA300 or w2CAD). A file may hold many scans; its depth curves are
// found by the file's own type keys and profiles are skipped.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "beamdata/depth_scan.h"
#include "beamdata/measured_limits.h"

namespace beamdata {

enum class MeasuredFormat { Csv, PtwMcc, Rfa300, W2cad };

// "CSV", "PTW mcc", "RFA300 ASCII", "w2CAD".
std::string formatName(MeasuredFormat format);

// The format of a text by its first lines: BEGIN_SCAN_DATA (mcc), :MSR or :SYS (RFA300), $NUMS or
// $STOM (w2CAD); anything else is read as CSV.
MeasuredFormat detectFormat(std::string_view text);

struct MeasuredFile {
    std::string fileName;
    MeasuredFormat format = MeasuredFormat::Csv;
    std::vector<DepthScan> depthScans;  // at least one; depths in mm from the surface down
    int otherScans = 0;                 // profiles and other scans that were skipped
};

// Reads a measured file from its text. Throws engine::RunError naming the file and the line: for
// a binary file, an empty file, a truncated scan, a point count that disagrees with the points
// present, text in a number field, a file without depth curves ("no depth-dose curve in ...") and a
// text, a curve or a number of scans beyond the limits.
MeasuredFile parseMeasuredText(std::string_view text, const std::string& fileName, const MeasuredLimits& limits = {});

// The same from a file (messages name the file as given, without its folder). A file larger than
// the limit is refused after reading no more than the limit.
MeasuredFile readMeasuredFile(const std::filesystem::path& path, const MeasuredLimits& limits = {});

// The bytes of a measured file, refused (engine::RunError naming the file and the limit) beyond
// `limits.fileBytes` without reading further; `name` is the file as messages call it.
std::string readMeasuredBytes(const std::filesystem::path& path, const std::string& name,
                              const MeasuredLimits& limits = {});

// The depth curve to use: `scan` counts the depth curves of the file from 1. Without a scan a
// file of one depth curve gives it; a file of several throws engine::RunError that lists them.
const DepthScan& chooseScan(const MeasuredFile& file, std::optional<int> scan);

// One line per depth curve: "  1: 9 MeV, 100 x 100 mm, SSD 1000 mm, ... (scan 3 of the file)".
std::string listScans(const MeasuredFile& file);

}  // namespace beamdata
