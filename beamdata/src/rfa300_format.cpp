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
                                      "DPT"};

// The line without a trailing comment.
std::string_view withoutComment(std::string_view line) {
    const std::size_t mark = line.find_first_of("#!");
    return trim(mark == std::string_view::npos ? line : line.substr(0, mark));
}

class Rfa300Reader : public KeyedScanFile {
public:
    explicit Rfa300Reader(const std::string& fileName) : KeyedScanFile(fileName, RFA300_WORDS) {}

private:
    std::string_view clean(std::string_view text) const override { return withoutComment(text); }

    std::vector<std::string_view> pointFields(const Line& line) const override {
        std::vector<std::string_view> fields = blankFields(line.text.substr(1));
        if (fields.size() < 4) fail(fileName(), line.number, "a point \"= x y z value\" (mm) expected");
        return fields;
    }

    void key(const std::string& key, const Line& line) override {
        const std::vector<std::string_view>& fields = line.fields;
        const int number = line.number;
        ScanInfo& info = scanInfo();
        const auto value = [&](std::size_t k, const std::string& what) {
            if (fields.size() <= k) fail(fileName(), number, "%" + key + " needs " + what);
            return requireNumber(fields[k], fileName(), number, "%" + key + ": " + what);
        };
        if (key == "SCN" && fields.size() > 1) setScanType(fields[1]);
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
    }
};

}  // namespace

ScanReading readRfa300(std::string_view text, const std::string& fileName) { return Rfa300Reader(fileName).read(text); }

}  // namespace beamdata::detail
