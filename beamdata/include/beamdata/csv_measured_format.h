#pragma once
// The measured depth-dose file of the comparison window ("*.csv"): one heading line of any
// content, then records of two numeric fields, the depth in mm and the dose in any positive unit.
// A field ends at a comma, a blank, a tab or a line end, so "12.5, 87.3", "12.5 87.3" and a
// record split over two lines all read alike; fields may stand in double quotes; a UTF-8
// byte-order mark and LF, CR LF or CR line ends are accepted.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "beamdata/depth_scan.h"
#include "beamdata/measured_limits.h"

namespace beamdata {

struct CsvRecord {
    double depthMm = 0.0;
    double value = 0.0;
    int line = 0;  // line of the record's depth field
};

// What a reading found: every whole record before the first fault, in file order. The comparison
// window keeps what was read before a fault, so the reading never throws.
struct CsvReading {
    std::vector<CsvRecord> records;
    std::string fault;  // empty when the whole text was read
    int faultLine = 0;
    std::optional<double> depthWithoutValue;  // the depth of the record whose dose failed
};

// A record beyond `maxRecords` is a fault that names the limit.
CsvReading readCsvRecords(std::string_view text, std::size_t maxRecords = MEASURED_POINTS_MAX);

// The whole file as one depth curve, for the programs that fit or analyse it. Throws
// engine::RunError naming the file and the line for a fault, for depths that do not increase and
// for a file without records or without a positive dose, and beyond the limit of points of a curve.
DepthScan csvDepthScan(std::string_view text, const std::string& fileName, const MeasuredLimits& limits = {});

}  // namespace beamdata
