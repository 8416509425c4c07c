// The treatment-planning import format "w2CAD": an optional "$NUMS n" (scans in the file), then
// per scan "$STOM", "%KEY value" lines (%TYPE OPD for a depth curve, %DETY CHA for a chamber,
// %BMTY, %AXIS, %PNTS n, %SSD, %FLSZ a*b in mm, ...) and points "< x y z value >" in mm, closed
// by "$ENOM"; "$ENOF" ends the file.
#include <optional>

#include "measured_text.h"
#include "scan_reading.h"

namespace beamdata::detail {
namespace {

int wholeNumber(std::string_view field, const std::string& fileName, int line, const std::string& what) {
    const double n = requireNumber(field, fileName, line, what);
    if (!(n >= 0.0) || n != static_cast<double>(static_cast<int>(n))) fail(fileName, line, what + " must be a count");
    return static_cast<int>(n);
}

class W2cadReader {
public:
    explicit W2cadReader(const std::string& fileName) : fileName_(fileName) {}

    ScanReading read(std::string_view text) {
        const std::vector<TextLine> lines = splitLines(text);
        for (const TextLine& line : lines) {
            if (ended_) break;
            take(trim(line.text), line.number);
        }
        const int last = lines.empty() ? 1 : lines.back().number;
        if (inScan_)
            fail(fileName_, last,
                 "the file ends inside scan " + std::to_string(scans_) + " (begun on line " +
                     std::to_string(scan_.info.firstLine) + "): truncated");
        if (!ended_) fail(fileName_, last, "the file ends without $ENOF: truncated");
        reading_.lastLine = last;
        return reading_;
    }

private:
    void take(std::string_view line, int number) {
        if (line.empty()) return;
        const std::vector<std::string_view> fields = blankFields(line);
        const std::string head = upperCase(fields.front());
        if (head == "$NUMS") {
            if (fields.size() < 2) fail(fileName_, number, "$NUMS needs the number of scans");
            announced_ = wholeNumber(fields[1], fileName_, number, "the number of scans");
            announcedLine_ = number;
        } else if (head == "$STOM") {
            if (inScan_)
                fail(fileName_, number,
                     "$STOM inside a scan: the $ENOM of scan " + std::to_string(scans_) + " is missing");
            beginScan(number);
        } else if (head == "$ENOM") {
            endScan(number);
        } else if (head == "$ENOF") {
            endFile(number);
        } else if (head[0] == '%') {
            if (!inScan_) fail(fileName_, number, "a key outside a scan");
            key(head.substr(1), fields, number);
        } else if (head[0] == '<') {
            if (!inScan_) fail(fileName_, number, "a point outside a scan");
            point(line, number);
        } else {
            fail(fileName_, number,
                 "neither a key (%), a point (<...>) nor a command ($): \"" + std::string(line) + "\"");
        }
    }

    void beginScan(int number) {
        inScan_ = true;
        scan_ = DepthScan{};
        scan_.info.fileScan = ++scans_;
        scan_.info.firstLine = number;
        scanType_.clear();
        points_.reset();
    }

    void key(const std::string& key, const std::vector<std::string_view>& fields, int number) {
        ScanInfo& info = scan_.info;
        const auto value = [&](const std::string& what) {
            if (fields.size() < 2) fail(fileName_, number, "%" + key + " needs " + what);
            return requireNumber(fields[1], fileName_, number, "%" + key + ": " + what);
        };
        if (key == "TYPE" && fields.size() > 1) scanType_ = upperCase(fields[1]);
        if (key == "DETY" && fields.size() > 1) {
            const std::string kind = upperCase(fields[1]);
            info.quantity = kind == "CHA" ? Quantity::Ionisation : Quantity::Dose;
            info.detector = kind == "CHA"   ? std::string("ionisation chamber")
                            : kind == "DIO" ? std::string("diode")
                                            : std::string(fields[1]);
        }
        if (key == "BMTY" && fields.size() > 1) info.beamType = std::string(fields[1]);
        if (key == "SSD") info.ssdMm = value("the SSD (mm)");
        if (key == "FLSZ") {
            if (fields.size() < 2) fail(fileName_, number, "%FLSZ needs the field size, as 100*100 (mm)");
            const std::string_view size = fields[1];
            const std::size_t star = size.find('*');
            if (star == std::string_view::npos) fail(fileName_, number, "%FLSZ: a field size as 100*100 (mm) expected");
            info.fieldInplaneMm = requireNumber(size.substr(0, star), fileName_, number, "%FLSZ: a field size (mm)");
            info.fieldCrossplaneMm = requireNumber(size.substr(star + 1), fileName_, number,
                                                   "%FLSZ: a field size (mm)");
        }
        if (key == "PNTS") {
            if (fields.size() < 2) fail(fileName_, number, "%PNTS needs the number of points");
            points_ = wholeNumber(fields[1], fileName_, number, "%PNTS");
            pointsLine_ = number;
        }
    }

    void point(std::string_view line, int number) {
        if (line.back() != '>') fail(fileName_, number, "a point \"< x y z value >\" (mm) must end with \">\"");
        const std::vector<std::string_view> fields = blankFields(trim(line.substr(1, line.size() - 2)));
        if (fields.size() != 4) fail(fileName_, number, "a point \"< x y z value >\" (mm) expected");
        requireNumber(fields[0], fileName_, number, "x (mm)");
        requireNumber(fields[1], fileName_, number, "y (mm)");
        scan_.depthMm.push_back(requireNumber(fields[2], fileName_, number, "z (mm)"));
        scan_.value.push_back(requireNumber(fields[3], fileName_, number, "a measured value"));
    }

    void endScan(int number) {
        if (!inScan_) fail(fileName_, number, "$ENOM without $STOM");
        inScan_ = false;
        const auto count = static_cast<int>(scan_.depthMm.size());
        if (points_ && *points_ != count)
            fail(fileName_, number,
                 "scan " + std::to_string(scan_.info.fileScan) + " holds " + std::to_string(count) +
                     " points, but its %PNTS (line " + std::to_string(pointsLine_) + ") says " +
                     std::to_string(*points_));
        if (scanType_ != "OPD") {
            ++reading_.otherScans;
            return;
        }
        if (count < 2) fail(fileName_, number, "depth scan holds fewer than two points");
        reading_.depthScans.push_back(std::move(scan_));
    }

    void endFile(int number) {
        if (inScan_) fail(fileName_, number, "$ENOF inside a scan: its $ENOM is missing");
        if (announced_ && *announced_ != scans_)
            fail(fileName_, number,
                 "the file holds " + std::to_string(scans_) + " scans, but its $NUMS (line " +
                     std::to_string(announcedLine_) + ") says " + std::to_string(*announced_));
        ended_ = true;
    }

    const std::string& fileName_;
    ScanReading reading_;
    DepthScan scan_;
    bool inScan_ = false;
    bool ended_ = false;
    int scans_ = 0;
    std::optional<int> announced_;
    int announcedLine_ = 0;
    std::optional<int> points_;
    int pointsLine_ = 0;
    std::string scanType_;
};

}  // namespace

ScanReading readW2cad(std::string_view text, const std::string& fileName) { return W2cadReader(fileName).read(text); }

}  // namespace beamdata::detail
