#include "keyed_scan_file.h"

namespace beamdata::detail {

int wholeNumber(std::string_view field, const std::string& fileName, int line, const std::string& what) {
    const double n = requireNumber(field, fileName, line, what);
    if (!(n >= 0.0) || n != static_cast<double>(static_cast<int>(n))) fail(fileName, line, what + " must be a count");
    return static_cast<int>(n);
}

KeyedScanFile::KeyedScanFile(const std::string& fileName, const KeyedScanWords& words)
    : fileName_(fileName), words_(words) {}

void KeyedScanFile::announce(const std::vector<std::string_view>& fields, int line) {
    const std::string what = std::string("the number of ") + words_.scan + "s";
    if (fields.size() < 2) fail(fileName_, line, std::string(words_.announceKey) + " needs " + what);
    announced_ = wholeNumber(fields[1], fileName_, line, what);
    announcedLine_ = line;
}

void KeyedScanFile::beginScan(int line) {
    inScan_ = true;
    scan_ = DepthScan{};
    scan_.info.fileScan = ++scans_;
    scan_.info.firstLine = line;
    scanType_.clear();
    points_.reset();
}

void KeyedScanFile::setScanType(std::string_view type) { scanType_ = upperCase(type); }

void KeyedScanFile::setPointCount(const std::vector<std::string_view>& fields, int line) {
    if (fields.size() < 2) fail(fileName_, line, std::string(words_.pointCountKey) + " needs the number of points");
    points_ = wholeNumber(fields[1], fileName_, line, words_.pointCountKey);
    pointsLine_ = line;
}

void KeyedScanFile::addPoint(std::string_view x, std::string_view y, std::string_view z, std::string_view value,
                             int line) {
    requireNumber(x, fileName_, line, "x (mm)");
    requireNumber(y, fileName_, line, "y (mm)");
    scan_.depthMm.push_back(requireNumber(z, fileName_, line, "z (mm)"));
    scan_.value.push_back(requireNumber(value, fileName_, line, "a measured value"));
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

ScanReading KeyedScanFile::read(std::string_view text, std::string_view (*clean)(std::string_view),
                                const std::function<void(const Line&)>& take) {
    const std::vector<TextLine> lines = splitLines(text);
    for (const TextLine& textLine : lines) {
        if (ended_) break;
        Line line;
        line.text = clean(textLine.text);
        if (line.text.empty()) continue;
        line.fields = blankFields(line.text);
        line.head = upperCase(line.fields.front());
        line.number = textLine.number;
        take(line);
    }
    return finish(lines.empty() ? 1 : lines.back().number);
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
