#pragma once
// orvalis-quality: the beam-quality figures of every depth curve of measured files.
//
//   orvalis-quality [--csv] [--ionisation | --dose] [--depth-unit mm|cm] FILE...
//
// For each depth curve a line people read and one machine line
//   QUALITY file=<name> scan=<n> energy=<MeV> field=<mm>x<mm> detector=<text> quantity=dose|ionisation R100=..
// (depths in mm, energies in MeV, doses in percent, "-" where a value is unknown); with --csv one
// table over all files instead. A curve that cannot be a depth dose in mm (too few points, depths
// that look like cm, a second peak) or that gives no figure at all is refused on `errors`.
// A simulator's depth-dose result (.pdd) is one dose curve; with its
// uncertainty file beside it, its QUALITY line ends in " sR90=.. sR80=.. sR50=.. sR10=..", the
// standard uncertainty of each level's depth in mm.
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "beamdata/beam_quality.h"
#include "beamdata/curve_plausibility.h"
#include "beamdata/ionisation_to_dose.h"
#include "beamdata/measured_curve_file.h"

namespace tools {

struct QualityOptions {
    std::vector<std::string> files;
    bool csv = false;
    beamdata::QuantityChoice quantity = beamdata::QuantityChoice::AsDetected;
    beamdata::DepthUnit depthUnit = beamdata::DepthUnit::Mm;
    beamdata::MeasuredLimits limits;
    std::optional<int> scan;  // --scan N: only the N-th depth curve of each file (from 1)
};

std::string qualityUsage();

// Throws std::invalid_argument for unknown options or no file.
QualityOptions parseQualityArguments(const std::vector<std::string>& arguments);

// The two lines of one depth curve (`scan` counts the file's depth curves from 1); `quantity` is
// what the curve was measured as, before any conversion to dose.
std::string readableQualityLine(const std::string& fileName, int scan, const beamdata::ScanInfo& info,
                                const beamdata::BeamQuality& quality);
std::string qualityMachineLine(const std::string& fileName, int scan, const beamdata::ScanInfo& info,
                               const beamdata::BeamQuality& quality);
std::string qualityCsvHeading();
std::string qualityCsvRow(const std::string& fileName, int scan, const beamdata::ScanInfo& info,
                          const beamdata::BeamQuality& quality);

// Every file in turn; a file that cannot be read is reported on `errors` (naming the file and the
// line) and the others are still analysed; so is a refused curve. Returns the exit status: 0, or 1
// when a file or a curve failed.
int runQuality(const QualityOptions& options, std::ostream& out, std::ostream& errors);

}  // namespace tools
