#pragma once
// What the two keyed water-tank exports (RFA300 ASCII and w2CAD) share: a count of scans announced
// at the top, scans of "%KEY value" lines and x y z value points, a point count per scan, a mark
// that ends a scan and one that ends the file. This class reads the lines, checks that structure and
// collects the depth scans; each format adds what a scan's keys mean and how a point is written.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "measured_text.h"
#include "scan_reading.h"

namespace beamdata::detail {

// The marks and words of one format.
struct KeyedScanWords {
    const char* scan;            // "measurement", "scan"
    const char* announceKey;     // ":MSR", "$NUMS"
    const char* beginScanKey;    // "$STOM"; empty: a scan begins at its first key
    const char* pointCountKey;   // "%PTS", "%PNTS"
    const char* endScanKey;      // ":EOM", "$ENOM"
    const char* endFileKey;      // ":EOF", "$ENOF"
    const char* ignoredKey;      // a command without meaning for the curves (":SYS"), or empty
    char pointMark;              // '=', '<'
    const char* lineKinds;       // "a key (%), a point (=) nor a command (:)" for the unknown-line message
    const char* endWithoutScan;  // the message for an end-of-scan mark outside a scan
    const char* depthType;       // the scan type of a depth curve: "DPT", "OPD"
    const char* commentMarks;    // characters that start a comment to the line's end ("#!"), or empty
};

// A count in a field: a whole number not below 0, or a failure naming the file and line.
int wholeNumber(std::string_view field, const std::string& fileName, int line, const std::string& what);

class KeyedScanFile {
public:
    virtual ~KeyedScanFile() = default;

    // Reads every line up to the end mark; fails for a file cut inside a scan or before its end mark.
    ScanReading read(std::string_view text);

protected:
    KeyedScanFile(const std::string& fileName, const KeyedScanWords& words, const MeasuredLimits& limits);

    // One line of the file: its text (trimmed, comments removed), its blank-separated fields, the
    // first of them in capitals, and its number.
    struct Line {
        std::string_view text;
        std::vector<std::string_view> fields;
        std::string head;
        int number = 0;
    };

    // The format's own parts: what a "%KEY" line means (key without %), and the x y z value fields
    // of a point line.
    virtual void key(const std::string& key, const Line& line) = 0;
    virtual std::vector<std::string_view> pointFields(const Line& line) const = 0;

    // Field k of a "%KEY" line as a number, or a failure naming the key and what it should hold.
    double keyNumber(const Line& line, const std::string& key, std::size_t k, const std::string& what) const;
    // The detector named in field 1: `chamberWord` an ionisation chamber (its readings are converted
    // to dose), `otherWord` the solid-state detector called `otherName`; any other word a dose
    // detector by that word.
    void takeDetector(const Line& line, const char* chamberWord, const char* otherWord, const char* otherName);

    ScanInfo& scanInfo() { return scan_.info; }
    const std::string& fileName() const { return fileName_; }
    void setScanType(std::string_view type) { scanType_ = upperCase(type); }

private:
    std::string_view withoutComment(std::string_view text) const;
    void take(const Line& line);
    void announce(const Line& line);
    void beginScan(int line);
    void setPointCount(const Line& line);
    void addPoint(const Line& line);
    void endScan(int line);
    void endFile(int line);
    ScanReading finish(int lastLine);

    const std::string& fileName_;
    KeyedScanWords words_;
    const MeasuredLimits& limits_;
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
