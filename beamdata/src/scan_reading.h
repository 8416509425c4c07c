#pragma once
// What a format reader hands back: the depth scans found by the file's own type keys, in file
// order and still in the file's order and sign of depth, and how many other scans it skipped.
#include <string>
#include <string_view>
#include <vector>

#include "beamdata/depth_scan.h"
#include "beamdata/measured_limits.h"

namespace beamdata::detail {

struct ScanReading {
    std::vector<DepthScan> depthScans;
    int otherScans = 0;  // profiles and any other kind of scan
    int lastLine = 0;
};

ScanReading readPtwMcc(std::string_view text, const std::string& fileName, const MeasuredLimits& limits);
ScanReading readRfa300(std::string_view text, const std::string& fileName, const MeasuredLimits& limits);
ScanReading readW2cad(std::string_view text, const std::string& fileName, const MeasuredLimits& limits);

// True when a detector's name says it is an ionisation chamber (and not a diode or diamond).
bool namesIonisationChamber(std::string_view detector);

}  // namespace beamdata::detail
