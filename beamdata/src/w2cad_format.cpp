// The treatment-planning import format "w2CAD": an optional "$NUMS n" (scans in the file), then
// per scan "$STOM", "%KEY value" lines (%TYPE OPD for a depth curve, %DETY CHA for a chamber,
// %BMTY, %AXIS, %PNTS n, %SSD, %FLSZ a*b in mm, ...) and points "< x y z value >" in mm, closed
// by "$ENOM"; "$ENOF" ends the file.
#include <optional>

#include "keyed_scan_file.h"
#include "measured_text.h"
#include "scan_reading.h"

namespace beamdata::detail {
namespace {

constexpr KeyedScanWords W2CAD_WORDS{"scan", "$NUMS", "%PNTS", "$ENOM", "$ENOF", "$ENOM without $STOM", "OPD"};

class W2cadReader {
public:
    explicit W2cadReader(const std::string& fileName) : file_(fileName, W2CAD_WORDS) {}

    ScanReading read(std::string_view text) {
        return file_.read(text, &trim, [this](const KeyedScanFile::Line& line) { take(line); });
    }

private:
    void take(const KeyedScanFile::Line& l) {
        const std::string_view line = l.text;
        const std::vector<std::string_view>& fields = l.fields;
        const std::string& head = l.head;
        const int number = l.number;
        if (head == "$NUMS") {
            file_.announce(fields, number);
        } else if (head == "$STOM") {
            if (file_.inScan())
                fail(file_.fileName(), number,
                     "$STOM inside a scan: the $ENOM of scan " + std::to_string(file_.scans()) + " is missing");
            file_.beginScan(number);
        } else if (head == "$ENOM") {
            file_.endScan(number);
        } else if (head == "$ENOF") {
            file_.endFile(number);
        } else if (head[0] == '%') {
            if (!file_.inScan()) fail(file_.fileName(), number, "a key outside a scan");
            key(head.substr(1), fields, number);
        } else if (head[0] == '<') {
            if (!file_.inScan()) fail(file_.fileName(), number, "a point outside a scan");
            point(line, number);
        } else {
            fail(file_.fileName(), number,
                 "neither a key (%), a point (<...>) nor a command ($): \"" + std::string(line) + "\"");
        }
    }

    void point(std::string_view line, int number) {
        if (line.back() != '>') fail(file_.fileName(), number, "a point \"< x y z value >\" (mm) must end with \">\"");
        const std::vector<std::string_view> fields = blankFields(trim(line.substr(1, line.size() - 2)));
        if (fields.size() != 4) fail(file_.fileName(), number, "a point \"< x y z value >\" (mm) expected");
        file_.addPoint(fields[0], fields[1], fields[2], fields[3], number);
    }

    void key(const std::string& key, const std::vector<std::string_view>& fields, int number) {
        ScanInfo& info = file_.info();
        const auto value = [&](const std::string& what) {
            if (fields.size() < 2) fail(file_.fileName(), number, "%" + key + " needs " + what);
            return requireNumber(fields[1], file_.fileName(), number, "%" + key + ": " + what);
        };
        if (key == "TYPE" && fields.size() > 1) file_.setScanType(fields[1]);
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
            if (fields.size() < 2) fail(file_.fileName(), number, "%FLSZ needs the field size, as 100*100 (mm)");
            const std::string_view size = fields[1];
            const std::size_t star = size.find('*');
            if (star == std::string_view::npos)
                fail(file_.fileName(), number, "%FLSZ: a field size as 100*100 (mm) expected");
            info.fieldInplaneMm = requireNumber(size.substr(0, star), file_.fileName(), number,
                                                "%FLSZ: a field size (mm)");
            info.fieldCrossplaneMm = requireNumber(size.substr(star + 1), file_.fileName(), number,
                                                   "%FLSZ: a field size (mm)");
        }
        if (key == "PNTS") file_.setPointCount(fields, number);
    }

    KeyedScanFile file_;
};

}  // namespace

ScanReading readW2cad(std::string_view text, const std::string& fileName) { return W2cadReader(fileName).read(text); }

}  // namespace beamdata::detail
