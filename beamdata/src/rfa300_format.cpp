// IBA "RFA300 ASCII BDS" export: ":MSR n" (measurements in the file), ":SYS BDS 0", then per
// measurement "%KEY values" lines (%SCN DPT for a depth curve, %FLD ION for an ionisation
// chamber, %BMT ELE 6.0, %SSD, %FSZ, %PTS n, ...) and points "= x y z value" in mm, each
// measurement closed by ":EOM", the file by ":EOF". "#" and "!" start comments.
#include <optional>

#include "keyed_scan_file.h"
#include "measured_text.h"
#include "scan_reading.h"

namespace beamdata::detail {
namespace {

constexpr KeyedScanWords RFA300_WORDS{"measurement", ":MSR", "%PTS", ":EOM", ":EOF", ":EOM without a measurement",
                                      "DPT"};

// The line without a trailing comment.
std::string_view withoutComment(std::string_view line) {
    const std::size_t mark = line.find_first_of("#!");
    return trim(mark == std::string_view::npos ? line : line.substr(0, mark));
}

class Rfa300Reader {
public:
    explicit Rfa300Reader(const std::string& fileName) : file_(fileName, RFA300_WORDS) {}

    ScanReading read(std::string_view text) {
        return file_.read(text, &withoutComment, [this](const KeyedScanFile::Line& line) { take(line); });
    }

private:
    void take(const KeyedScanFile::Line& l) {
        const std::string_view line = l.text;
        const std::vector<std::string_view>& fields = l.fields;
        const std::string& head = l.head;
        const int number = l.number;
        if (head == ":MSR") {
            file_.announce(fields, number);
        } else if (head == ":SYS") {
        } else if (head == ":EOM") {
            file_.endScan(number);
        } else if (head == ":EOF") {
            file_.endFile(number);
        } else if (head[0] == '%') {
            if (!file_.inScan()) file_.beginScan(number);
            key(head.substr(1), fields, number);
        } else if (head[0] == '=') {
            if (!file_.inScan()) fail(file_.fileName(), number, "a point outside a measurement");
            const std::vector<std::string_view> point = blankFields(line.substr(1));
            if (point.size() < 4) fail(file_.fileName(), number, "a point \"= x y z value\" (mm) expected");
            file_.addPoint(point[0], point[1], point[2], point[3], number);
        } else {
            fail(file_.fileName(), number,
                 "neither a key (%), a point (=) nor a command (:): \"" + std::string(line) + "\"");
        }
    }

    void key(const std::string& key, const std::vector<std::string_view>& fields, int number) {
        ScanInfo& info = file_.info();
        const auto value = [&](std::size_t k, const std::string& what) {
            if (fields.size() <= k) fail(file_.fileName(), number, "%" + key + " needs " + what);
            return requireNumber(fields[k], file_.fileName(), number, "%" + key + ": " + what);
        };
        if (key == "SCN" && fields.size() > 1) file_.setScanType(fields[1]);
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
        if (key == "PTS") file_.setPointCount(fields, number);
    }

    KeyedScanFile file_;
};

}  // namespace

ScanReading readRfa300(std::string_view text, const std::string& fileName) { return Rfa300Reader(fileName).read(text); }

}  // namespace beamdata::detail
