// PTW "mcc" text export: BEGIN_SCAN_DATA ... END_SCAN_DATA around numbered scans
// BEGIN_SCAN n ... END_SCAN n, each with KEY=VALUE lines and its points between BEGIN_DATA and
// END_DATA (position in mm, value, an optional reference value; tab separated).
#include <optional>

#include "measured_text.h"
#include "scan_reading.h"

namespace beamdata::detail {
namespace {

enum class Place { Before, InFile, InScan, InData, After };

int scanNumber(std::string_view text, const std::string& fileName, int line) {
    const std::optional<double> n = parseNumber(trim(text));
    if (!n || *n != static_cast<double>(static_cast<int>(*n))) fail(fileName, line, "a scan number expected");
    return static_cast<int>(*n);
}

class MccReader {
public:
    MccReader(const std::string& fileName, const MeasuredLimits& limits) : fileName_(fileName), limits_(limits) {}

    ScanReading read(std::string_view text) {
        LineCursor lines(text);
        TextLine line;
        while (lines.next(line)) take(trim(line.text), line.number);
        const int last = lines.lastNumber();
        if (place_ == Place::Before) fail(fileName_, last, "no BEGIN_SCAN_DATA: not a PTW mcc file");
        if (place_ == Place::InScan || place_ == Place::InData)
            fail(fileName_, last,
                 "the file ends inside scan " + std::to_string(number_) + " (begun on line " +
                     std::to_string(scan_.info.firstLine) + "): truncated");
        if (place_ == Place::InFile) fail(fileName_, last, "the file ends without END_SCAN_DATA: truncated");
        reading_.lastLine = last;
        return reading_;
    }

private:
    void take(std::string_view line, int number) {
        if (line.empty()) return;
        switch (place_) {
        case Place::Before:
            if (line == "BEGIN_SCAN_DATA") place_ = Place::InFile;
            return;
        case Place::InFile:
            if (startsWith(line, "BEGIN_SCAN ")) return beginScan(line, number);
            if (line == "END_SCAN_DATA") place_ = Place::After;
            if (startsWith(line, "END_SCAN ") || line == "BEGIN_DATA")
                fail(fileName_, number, std::string(line) + " outside a scan");
            return;
        case Place::InScan:
            if (line == "BEGIN_DATA") {
                place_ = Place::InData;
            } else if (startsWith(line, "END_SCAN ")) {
                endScan(line, number);
            } else if (startsWith(line, "BEGIN_SCAN") || line == "END_SCAN_DATA") {
                fail(fileName_, number, "scan " + std::to_string(number_) + " has no END_SCAN: truncated");
            } else {
                key(line, number);
            }
            return;
        case Place::InData:
            if (line == "END_DATA") {
                place_ = Place::InScan;
            } else if (startsWith(line, "END_SCAN") || startsWith(line, "BEGIN_SCAN")) {
                fail(fileName_, number, "the points of scan " + std::to_string(number_) + " end without END_DATA");
            } else {
                point(line, number);
            }
            return;
        case Place::After: return;
        }
    }

    void beginScan(std::string_view line, int number) {
        number_ = scanNumber(line.substr(10), fileName_, number);
        checkRoomForScan(static_cast<std::size_t>(scanCount_), limits_, fileName_, number);
        scan_ = DepthScan{};
        scan_.info.fileScan = ++scanCount_;
        scan_.info.firstLine = number;
        curveType_.clear();
        detectorName_.clear();
        detectorKeys_.clear();
        place_ = Place::InScan;
    }

    void key(std::string_view line, int number) {
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return;  // free text (comments of the export)
        const std::string key = upperCase(trim(line.substr(0, equals)));
        const std::string_view value = trim(line.substr(equals + 1));
        ScanInfo& info = scan_.info;
        if (key == "MODALITY") info.beamType = std::string(value);
        if (key == "ENERGY") info.energyMeV = requireNumber(value, fileName_, number, "ENERGY: a number");
        if (key == "SSD") info.ssdMm = requireNumber(value, fileName_, number, "SSD: a number (mm)");
        if (key == "FIELD_INPLANE")
            info.fieldInplaneMm = requireNumber(value, fileName_, number, "FIELD_INPLANE: a number (mm)");
        if (key == "FIELD_CROSSPLANE")
            info.fieldCrossplaneMm = requireNumber(value, fileName_, number, "FIELD_CROSSPLANE: a number (mm)");
        if (key == "SCAN_CURVETYPE") curveType_ = upperCase(value);
        if (key == "DETECTOR_NAME") detectorName_ = std::string(value);
        if (startsWith(key, "DETECTOR")) {
            detectorKeys_ += ' ';
            detectorKeys_ += value;
            if (key == "DETECTOR" && info.detector.empty()) info.detector = std::string(value);
        }
    }

    void point(std::string_view line, int number) {
        const std::vector<std::string_view> fields = blankFields(line);
        if (fields.size() < 2) fail(fileName_, number, "a point of position (mm) and value expected");
        checkRoomForPoint(scan_.depthMm.size(), limits_, fileName_, number);
        scan_.depthMm.push_back(requireNumber(fields[0], fileName_, number, "a position (mm)"));
        scan_.value.push_back(requireNumber(fields[1], fileName_, number, "a measured value"));
    }

    void endScan(std::string_view line, int number) {
        if (scanNumber(line.substr(9), fileName_, number) != number_)
            fail(fileName_, number, "END_SCAN does not match BEGIN_SCAN " + std::to_string(number_));
        place_ = Place::InFile;
        if (curveType_ != "PDD") {
            ++reading_.otherScans;
            return;
        }
        if (scan_.depthMm.size() < 2)
            fail(fileName_, number, "depth scan " + std::to_string(number_) + " holds fewer than two points");
        if (!detectorName_.empty()) scan_.info.detector = detectorName_;
        scan_.info.quantity = namesIonisationChamber(detectorKeys_) ? Quantity::Ionisation : Quantity::Dose;
        reading_.depthScans.push_back(std::move(scan_));
    }

    const std::string& fileName_;
    const MeasuredLimits& limits_;
    Place place_ = Place::Before;
    ScanReading reading_;
    DepthScan scan_;
    int number_ = 0;
    int scanCount_ = 0;
    std::string curveType_;
    std::string detectorName_;
    std::string detectorKeys_;
};

}  // namespace

bool namesIonisationChamber(std::string_view detector) {
    const std::string name = upperCase(detector);
    const auto has = [&name](std::string_view word) { return name.find(word) != std::string::npos; };
    // Solid-state detectors first: "diode" and "diamond" settle it whatever else the name holds.
    for (std::string_view solid : {"DIODE", "DIAMOND", "SEMICONDUCTOR", "SCINTILLAT", "FILM"})
        if (has(solid)) return false;
    for (std::string_view chamber :
         {"CHAMBER", "IONI", "SEMIFLEX", "ROOS", "MARKUS", "PINPOINT", "FARMER", "NACP", "PPC", "BRAGG PEAK"})
        if (has(chamber)) return true;
    // "ION" or "IC" as a word of their own ("ION 0.125 cc", "IC 10").
    for (std::string_view word : blankFields(name))
        if (word == "ION" || word == "IC") return true;
    return false;
}

ScanReading readPtwMcc(std::string_view text, const std::string& fileName, const MeasuredLimits& limits) {
    return MccReader(fileName, limits).read(text);
}

}  // namespace beamdata::detail
