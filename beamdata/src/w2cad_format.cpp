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

constexpr KeyedScanWords W2CAD_WORDS{"scan",
                                     "$NUMS",
                                     "$STOM",
                                     "%PNTS",
                                     "$ENOM",
                                     "$ENOF",
                                     "",
                                     '<',
                                     "a key (%), a point (<...>) nor a command ($)",
                                     "$ENOM without $STOM",
                                     "OPD"};

class W2cadReader : public KeyedScanFile {
public:
    explicit W2cadReader(const std::string& fileName) : KeyedScanFile(fileName, W2CAD_WORDS) {}

private:
    std::string_view clean(std::string_view text) const override { return trim(text); }

    std::vector<std::string_view> pointFields(const Line& line) const override {
        if (line.text.back() != '>')
            fail(fileName(), line.number, "a point \"< x y z value >\" (mm) must end with \">\"");
        std::vector<std::string_view> fields = blankFields(trim(line.text.substr(1, line.text.size() - 2)));
        if (fields.size() != 4) fail(fileName(), line.number, "a point \"< x y z value >\" (mm) expected");
        return fields;
    }

    void key(const std::string& key, const Line& line) override {
        const std::vector<std::string_view>& fields = line.fields;
        const int number = line.number;
        ScanInfo& info = scanInfo();
        const auto value = [&](const std::string& what) {
            if (fields.size() < 2) fail(fileName(), number, "%" + key + " needs " + what);
            return requireNumber(fields[1], fileName(), number, "%" + key + ": " + what);
        };
        if (key == "TYPE" && fields.size() > 1) setScanType(fields[1]);
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
            if (fields.size() < 2) fail(fileName(), number, "%FLSZ needs the field size, as 100*100 (mm)");
            const std::string_view size = fields[1];
            const std::size_t star = size.find('*');
            if (star == std::string_view::npos)
                fail(fileName(), number, "%FLSZ: a field size as 100*100 (mm) expected");
            info.fieldInplaneMm = requireNumber(size.substr(0, star), fileName(), number, "%FLSZ: a field size (mm)");
            info.fieldCrossplaneMm = requireNumber(size.substr(star + 1), fileName(), number,
                                                   "%FLSZ: a field size (mm)");
        }
    }
};

}  // namespace

ScanReading readW2cad(std::string_view text, const std::string& fileName) { return W2cadReader(fileName).read(text); }

}  // namespace beamdata::detail
