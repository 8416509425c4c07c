// IBA "RFA300 ASCII BDS" export: ":MSR n" (measurements in the file), ":SYS BDS 0", then per
// measurement "%KEY values" lines (%SCN DPT for a depth curve, %FLD ION for an ionisation
// chamber, %BMT ELE 6.0, %SSD, %FSZ, %PTS n, ...) and points "= x y z value" in mm, each
// measurement closed by ":EOM", the file by ":EOF". "#" and "!" start comments.
#include <optional>

#include "measured_text.h"
#include "scan_reading.h"

namespace beamdata::detail {
namespace {

// The line without a trailing comment.
std::string_view withoutComment(std::string_view line) {
    const std::size_t mark = line.find_first_of("#!");
    return trim(mark == std::string_view::npos ? line : line.substr(0, mark));
}

int wholeNumber(std::string_view field, const std::string& fileName, int line, const std::string& what) {
    const double n = requireNumber(field, fileName, line, what);
    if (!(n >= 0.0) || n != static_cast<double>(static_cast<int>(n))) fail(fileName, line, what + " must be a count");
    return static_cast<int>(n);
}

class Rfa300Reader {
public:
    explicit Rfa300Reader(const std::string& fileName) : fileName_(fileName) {}

    ScanReading read(std::string_view text) {
        const std::vector<TextLine> lines = splitLines(text);
        for (const TextLine& line : lines) {
            if (ended_) break;
            take(withoutComment(line.text), line.number);
        }
        const int last = lines.empty() ? 1 : lines.back().number;
        if (inMeasurement_)
            fail(fileName_, last,
                 "the file ends inside measurement " + std::to_string(measurements_) + " (begun on line " +
                     std::to_string(scan_.info.firstLine) + "): truncated");
        if (!ended_) fail(fileName_, last, "the file ends without :EOF: truncated");
        reading_.lastLine = last;
        return reading_;
    }

private:
    void take(std::string_view line, int number) {
        if (line.empty()) return;
        const std::vector<std::string_view> fields = blankFields(line);
        const std::string head = upperCase(fields.front());
        if (head == ":MSR") {
            if (fields.size() < 2) fail(fileName_, number, ":MSR needs the number of measurements");
            announced_ = wholeNumber(fields[1], fileName_, number, "the number of measurements");
            announcedLine_ = number;
        } else if (head == ":SYS") {
        } else if (head == ":EOM") {
            endMeasurement(number);
        } else if (head == ":EOF") {
            endFile(number);
        } else if (head[0] == '%') {
            if (!inMeasurement_) beginMeasurement(number);
            key(head.substr(1), fields, number);
        } else if (head[0] == '=') {
            if (!inMeasurement_) fail(fileName_, number, "a point outside a measurement");
            point(line.substr(1), number);
        } else {
            fail(fileName_, number, "neither a key (%), a point (=) nor a command (:): \"" + std::string(line) + "\"");
        }
    }

    void beginMeasurement(int number) {
        inMeasurement_ = true;
        scan_ = DepthScan{};
        scan_.info.fileScan = ++measurements_;
        scan_.info.firstLine = number;
        scanType_.clear();
        points_.reset();
    }

    void key(const std::string& key, const std::vector<std::string_view>& fields, int number) {
        ScanInfo& info = scan_.info;
        const auto value = [&](std::size_t k, const std::string& what) {
            if (fields.size() <= k) fail(fileName_, number, "%" + key + " needs " + what);
            return requireNumber(fields[k], fileName_, number, "%" + key + ": " + what);
        };
        if (key == "SCN" && fields.size() > 1) scanType_ = upperCase(fields[1]);
        if (key == "FLD" && fields.size() > 1) {
            const std::string kind = upperCase(fields[1]);
            info.quantity = kind == "ION" ? Quantity::Ionisation : Quantity::Dose;
            info.detector = kind == "ION"   ? std::string("ionisation chamber")
                            : kind == "SEM" ? std::string("semiconductor")
                                            : std::string(fields[1]);
        }
        if (key == "BMT" && fields.size() > 1) {
            info.beamType = std::string(fields[1]);
            if (fields.size() > 2) info.energyMeV = value(2, "the energy");
        }
        if (key == "SSD") info.ssdMm = value(1, "the SSD (mm)");
        if (key == "FSZ") {
            info.fieldInplaneMm = value(1, "two field sizes (mm)");
            info.fieldCrossplaneMm = value(2, "two field sizes (mm)");
        }
        if (key == "PTS") {
            if (fields.size() < 2) fail(fileName_, number, "%PTS needs the number of points");
            points_ = wholeNumber(fields[1], fileName_, number, "%PTS");
            pointsLine_ = number;
        }
    }

    void point(std::string_view rest, int number) {
        const std::vector<std::string_view> fields = blankFields(rest);
        if (fields.size() < 4) fail(fileName_, number, "a point \"= x y z value\" (mm) expected");
        requireNumber(fields[0], fileName_, number, "x (mm)");
        requireNumber(fields[1], fileName_, number, "y (mm)");
        scan_.depthMm.push_back(requireNumber(fields[2], fileName_, number, "z (mm)"));
        scan_.value.push_back(requireNumber(fields[3], fileName_, number, "a measured value"));
    }

    void endMeasurement(int number) {
        if (!inMeasurement_) fail(fileName_, number, ":EOM without a measurement");
        inMeasurement_ = false;
        const auto count = static_cast<int>(scan_.depthMm.size());
        if (points_ && *points_ != count)
            fail(fileName_, number,
                 "measurement " + std::to_string(scan_.info.fileScan) + " holds " + std::to_string(count) +
                     " points, but its %PTS (line " + std::to_string(pointsLine_) + ") says " +
                     std::to_string(*points_));
        if (scanType_ != "DPT") {
            ++reading_.otherScans;
            return;
        }
        if (count < 2) fail(fileName_, number, "depth measurement holds fewer than two points");
        reading_.depthScans.push_back(std::move(scan_));
    }

    void endFile(int number) {
        if (inMeasurement_) fail(fileName_, number, ":EOF inside a measurement: its :EOM is missing");
        if (announced_ && *announced_ != measurements_)
            fail(fileName_, number,
                 "the file holds " + std::to_string(measurements_) + " measurements, but its :MSR (line " +
                     std::to_string(announcedLine_) + ") says " + std::to_string(*announced_));
        ended_ = true;
    }

    const std::string& fileName_;
    ScanReading reading_;
    DepthScan scan_;
    bool inMeasurement_ = false;
    bool ended_ = false;
    int measurements_ = 0;
    std::optional<int> announced_;
    int announcedLine_ = 0;
    std::optional<int> points_;
    int pointsLine_ = 0;
    std::string scanType_;
};

}  // namespace

ScanReading readRfa300(std::string_view text, const std::string& fileName) { return Rfa300Reader(fileName).read(text); }

}  // namespace beamdata::detail
