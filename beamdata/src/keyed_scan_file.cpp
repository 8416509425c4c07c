#include "keyed_scan_file.h"

namespace beamdata::detail {

int wholeNumber(std::string_view field, const std::string& fileName, int line, const std::string& what) {
    const double n = requireNumber(field, fileName, line, what);
    if (!(n >= 0.0) || n != static_cast<double>(static_cast<int>(n))) fail(fileName, line, what + " must be a count");
    return static_cast<int>(n);
}

KeyedScanFile::KeyedScanFile(const std::string& fileName, const KeyedScanWords& words, const MeasuredLimits& limits)
    : fileName_(fileName), words_(words), limits_(limits) {}

ScanReading KeyedScanFile::read(std::string_view text) {
    LineCursor lines(text);
    TextLine textLine;
    while (!ended_ && lines.next(textLine)) {
        Line line;
        line.text = withoutComment(textLine.text);
        if (line.text.empty()) continue;
        line.fields = blankFields(line.text);
        line.head = upperCase(line.fields.front());
        line.number = textLine.number;
        take(line);
    }
    while (lines.next(textLine)) {
    }  // the lines after the end mark still count for the file's last line
    return finish(lines.lastNumber());
}

double KeyedScanFile::keyNumber(const Line& line, const std::string& key, std::size_t k,
                                const std::string& what) const {
    if (line.fields.size() <= k) fail(fileName_, line.number, "%" + key + " needs " + what);
    return requireNumber(line.fields[k], fileName_, line.number, "%" + key + ": " + what);
}

void KeyedScanFile::takeDetector(const Line& line, const char* chamberWord, const char* otherWord,
                                 const char* otherName) {
    const std::string kind = upperCase(line.fields[1]);
    ScanInfo& info = scan_.info;
    info.quantity = kind == chamberWord ? Quantity::Ionisation : Quantity::Dose;
    info.detector = kind == chamberWord ? std::string("ionisation chamber")
                    : kind == otherWord ? std::string(otherName)
                                        : std::string(line.fields[1]);
}

std::string_view KeyedScanFile::withoutComment(std::string_view text) const {
    const std::size_t mark = text.find_first_of(words_.commentMarks);
    return trim(mark == std::string_view::npos ? text : text.substr(0, mark));
}

void KeyedScanFile::take(const Line& line) {
    const std::string& head = line.head;
    const bool beginsAtFirstKey = std::string_view(words_.beginScanKey).empty();
    if (head == words_.announceKey) {
        announce(line);
    } else if (head == words_.ignoredKey) {
    } else if (!beginsAtFirstKey && head == words_.beginScanKey) {
        if (inScan_)
            fail(fileName_, line.number,
                 std::string(words_.beginScanKey) + " inside a " + words_.scan + ": the " + words_.endScanKey + " of " +
                     words_.scan + " " + std::to_string(scans_) + " is missing");
        beginScan(line.number);
    } else if (head == words_.endScanKey) {
        endScan(line.number);
    } else if (head == words_.endFileKey) {
        endFile(line.number);
    } else if (head[0] == '%') {
        if (!inScan_ && beginsAtFirstKey) beginScan(line.number);
        if (!inScan_) fail(fileName_, line.number, std::string("a key outside a ") + words_.scan);
        if (head.substr(1) == std::string_view(words_.pointCountKey).substr(1))
            setPointCount(line);
        else
            key(head.substr(1), line);
    } else if (head[0] == words_.pointMark) {
        if (!inScan_) fail(fileName_, line.number, std::string("a point outside a ") + words_.scan);
        addPoint(line);
    } else {
        fail(fileName_, line.number,
             std::string("neither ") + words_.lineKinds + ": \"" + std::string(line.text) + "\"");
    }
}

void KeyedScanFile::announce(const Line& line) {
    const std::string what = std::string("the number of ") + words_.scan + "s";
    if (line.fields.size() < 2) fail(fileName_, line.number, std::string(words_.announceKey) + " needs " + what);
    announced_ = wholeNumber(line.fields[1], fileName_, line.number, what);
    announcedLine_ = line.number;
}

void KeyedScanFile::beginScan(int line) {
    checkRoomForScan(static_cast<std::size_t>(scans_), limits_, fileName_, line);
    inScan_ = true;
    scan_ = DepthScan{};
    scan_.info.fileScan = ++scans_;
    scan_.info.firstLine = line;
    scanType_.clear();
    points_.reset();
}

void KeyedScanFile::setPointCount(const Line& line) {
    if (line.fields.size() < 2)
        fail(fileName_, line.number, std::string(words_.pointCountKey) + " needs the number of points");
    points_ = wholeNumber(line.fields[1], fileName_, line.number, words_.pointCountKey);
    pointsLine_ = line.number;
}

void KeyedScanFile::addPoint(const Line& line) {
    const std::vector<std::string_view> fields = pointFields(line);
    checkRoomForPoint(scan_.depthMm.size(), limits_, fileName_, line.number);
    requireNumber(fields[0], fileName_, line.number, "x (mm)");
    requireNumber(fields[1], fileName_, line.number, "y (mm)");
    scan_.depthMm.push_back(requireNumber(fields[2], fileName_, line.number, "z (mm)"));
    scan_.value.push_back(requireNumber(fields[3], fileName_, line.number, "a measured value"));
}

void KeyedScanFile::endScan(int line) {
    if (!inScan_) fail(fileName_, line, words_.endWithoutScan);
    inScan_ = false;
    const auto count = static_cast<int>(scan_.depthMm.size());
    if (points_ && *points_ != count)
        fail(fileName_, line,
             std::string(words_.scan) + " " + std::to_string(scan_.info.fileScan) + " holds " + std::to_string(count) +
                 " points, but its " + words_.pointCountKey + " (line " + std::to_string(pointsLine_) + ") says " +
                 std::to_string(*points_));
    if (scanType_ != words_.depthType) {
        ++reading_.otherScans;
        return;
    }
    if (count < 2) fail(fileName_, line, std::string("depth ") + words_.scan + " holds fewer than two points");
    reading_.depthScans.push_back(std::move(scan_));
}

void KeyedScanFile::endFile(int line) {
    if (inScan_)
        fail(
            fileName_, line,
            std::string(words_.endFileKey) + " inside a " + words_.scan + ": its " + words_.endScanKey + " is missing");
    if (announced_ && *announced_ != scans_)
        fail(fileName_, line,
             "the file holds " + std::to_string(scans_) + " " + words_.scan + "s, but its " + words_.announceKey +
                 " (line " + std::to_string(announcedLine_) + ") says " + std::to_string(*announced_));
    ended_ = true;
}

ScanReading KeyedScanFile::finish(int lastLine) {
    if (inScan_)
        fail(fileName_, lastLine,
             "the file ends inside " + std::string(words_.scan) + " " + std::to_string(scans_) + " (begun on line " +
                 std::to_string(scan_.info.firstLine) + "): truncated");
    if (!ended_) fail(fileName_, lastLine, std::string("the file ends without ") + words_.endFileKey + ": truncated");
    reading_.lastLine = lastLine;
    return reading_;
}

}  // namespace beamdata::detail
