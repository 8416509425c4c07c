#pragma once
// Sample files of the water-tank formats, written from the facts of the formats for the tests:
// depth curves and profiles in any mix, depths counted downward or upward, from the surface or
// from the deep end, chamber or diode.
#include <string>
#include <vector>

#include "beamdata/depth_scan.h"

namespace beamdata::testing {

struct SampleScan {
    bool profile = false;
    DepthScan curve;  // depth (mm) and value; for a profile the off-axis position and value
    double energyMeV = 9.0;
    double fieldMm = 100.0;
    double ssdMm = 1000.0;
    bool chamber = false;
    std::string detectorName = "Diode E 60017";
    bool upwardDepths = false;  // depths written negative (a tank counting upward)
    bool deepestFirst = false;  // points written from the deep end to the surface
};

// A profile across the field at a depth: flat, with a penumbra of a few millimetres.
SampleScan profileScan(double depthMm, double fieldMm);

std::string mccText(const std::vector<SampleScan>& scans);
std::string rfa300Text(const std::vector<SampleScan>& scans);
std::string w2cadText(const std::vector<SampleScan>& scans);
// The comparison window's layout: a heading line, then "depth, dose" records.
std::string csvText(const DepthScan& curve);

}  // namespace beamdata::testing
