#pragma once
// What the two keyed water-tank exports (RFA300 ASCII and w2CAD) share: a count of scans announced
// at the top, scans of "%KEY value" lines and x y z value points, a point count per scan, a mark
// that ends a scan and one that ends the file. Each format reads its own lines and keys and hands
// the structure to this class, which checks it and collects the depth scans.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "measured_text.h"
#include "scan_reading.h"

namespace beamdata::detail {

// The words of one format, for its messages.
struct KeyedScanWords {
    const char* scan;            // "measurement", "scan"
    const char* announceKey;     // ":MSR", "$NUMS"
    const char* pointCountKey;   // "%PTS", "%PNTS"
    const char* endScanKey;      // ":EOM", "$ENOM"
    const char* endFileKey;      // ":EOF", "$ENOF"
    const char* endWithoutScan;  // the message for an end-of-scan mark outside a scan
    const char* depthType;       // the scan type of a depth curve: "DPT", "OPD"
};

// A count in a field: a whole number not below 0, or a failure naming the file and line.
int wholeNumber(std::string_view field, const std::string& fileName, int line, const std::string& what);

class KeyedScanFile {
public:
    KeyedScanFile(const std::string& fileName, const KeyedScanWords& words);

    bool inScan() const { return inScan_; }
    bool ended() const { return ended_; }
    int scans() const { return scans_; }
    ScanInfo& info() { return scan_.info; }
    const std::string& fileName() const { return fileName_; }

    void announce(const std::vector<std::string_view>& fields, int line);  // the file's scan count
    void beginScan(int line);
    void setScanType(std::string_view type);
    void setPointCount(const std::vector<std::string_view>& fields, int line);
    void addPoint(std::string_view x, std::string_view y, std::string_view z, std::string_view value, int line);
    void endScan(int line);
    void endFile(int line);

    // One line of the file: its text (trimmed, comments removed), its blank-separated fields, the
    // first of them in capitals, and its number.
    struct Line {
        std::string_view text;
        std::vector<std::string_view> fields;
        std::string head;
        int number = 0;
    };
    // Hands every non-empty line up to the end mark to `take`; then fails for a file cut inside a
    // scan or before its end mark, and returns the depth scans.
    ScanReading read(std::string_view text, std::string_view (*clean)(std::string_view),
                     const std::function<void(const Line&)>& take);

private:
    const std::string& fileName_;
    KeyedScanWords words_;
    ScanReading finish(int lastLine);

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

}  // namespace beamdata::detail
