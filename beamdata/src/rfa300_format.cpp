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

constexpr KeyedScanWords RFA300_WORDS{"measurement",
                                      ":MSR",
                                      "",
                                      "%PTS",
                                      ":EOM",
                                      ":EOF",
                                      ":SYS",
                                      '=',
                                      "a key (%), a point (=) nor a command (:)",
                                      ":EOM without a measurement",
                                      "DPT",
                                      "#!"};

class Rfa300Reader : public KeyedScanFile {
public:
    Rfa300Reader(const std::string& fileName, const MeasuredLimits& limits)
        : KeyedScanFile(fileName, RFA300_WORDS, limits) {}

private:
    std::vector<std::string_view> pointFields(const Line& line) const override {
        std::vector<std::string_view> fields = blankFields(line.text.substr(1));
        if (fields.size() < 4) fail(fileName(), line.number, "a point \"= x y z value\" (mm) expected");
        return fields;
    }

    void key(const std::string& key, const Line& line) override {
        ScanInfo& info = scanInfo();
        const bool worded = line.fields.size() > 1;
        if (key == "SCN" && worded) setScanType(line.fields[1]);
        if (key == "FLD" && worded) takeDetector(line, "ION", "SEM", "semiconductor");
        if (key == "BMT" && worded) {
            info.beamType = std::string(line.fields[1]);
            if (line.fields.size() > 2) info.energyMeV = keyNumber(line, key, 2, "the energy");
        }
        if (key == "SSD") info.ssdMm = keyNumber(line, key, 1, "the SSD (mm)");
        if (key == "FSZ") {
            info.fieldInplaneMm = keyNumber(line, key, 1, "two field sizes (mm)");
            info.fieldCrossplaneMm = keyNumber(line, key, 2, "two field sizes (mm)");
        }
    }
};

}  // namespace

ScanReading readRfa300(std::string_view text, const std::string& fileName, const MeasuredLimits& limits) {
    return Rfa300Reader(fileName, limits).read(text);
}

}  // namespace beamdata::detail
