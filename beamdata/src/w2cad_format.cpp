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
                                     "OPD",
                                     ""};

class W2cadReader : public KeyedScanFile {
public:
    W2cadReader(const std::string& fileName, const MeasuredLimits& limits)
        : KeyedScanFile(fileName, W2CAD_WORDS, limits) {}

private:
    void key(const std::string& key, const Line& line) override {
        ScanInfo& info = scanInfo();
        const bool worded = line.fields.size() > 1;
        if (key == "TYPE" && worded) setScanType(line.fields[1]);
        if (key == "DETY" && worded) takeDetector(line, "CHA", "DIO", "diode");
        if (key == "BMTY" && worded) info.beamType = std::string(line.fields[1]);
        if (key == "SSD") info.ssdMm = keyNumber(line, key, 1, "the SSD (mm)");
        if (key == "FLSZ") takeFieldSize(line);
    }

    // "%FLSZ 100*100", in mm.
    void takeFieldSize(const Line& line) {
        if (line.fields.size() < 2) fail(fileName(), line.number, "%FLSZ needs the field size, as 100*100 (mm)");
        const std::string_view size = line.fields[1];
        const std::size_t star = size.find('*');
        if (star == std::string_view::npos)
            fail(fileName(), line.number, "%FLSZ: a field size as 100*100 (mm) expected");
        const std::string what = "%FLSZ: a field size (mm)";
        scanInfo().fieldInplaneMm = requireNumber(size.substr(0, star), fileName(), line.number, what);
        scanInfo().fieldCrossplaneMm = requireNumber(size.substr(star + 1), fileName(), line.number, what);
    }

    std::vector<std::string_view> pointFields(const Line& line) const override {
        if (line.text.back() != '>')
            fail(fileName(), line.number, "a point \"< x y z value >\" (mm) must end with \">\"");
        std::vector<std::string_view> fields = blankFields(trim(line.text.substr(1, line.text.size() - 2)));
        if (fields.size() != 4) fail(fileName(), line.number, "a point \"< x y z value >\" (mm) expected");
        return fields;
    }
};

}  // namespace

ScanReading readW2cad(std::string_view text, const std::string& fileName, const MeasuredLimits& limits) {
    return W2cadReader(fileName, limits).read(text);
}

}  // namespace beamdata::detail
