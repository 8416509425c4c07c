#include "beamdata/csv_measured_format.h"

#include <optional>

#include "engine/run_error.h"
#include "measured_text.h"

namespace beamdata {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
bool endsField(char c) { return c == ',' || isBlank(c) || isLineEnd(c); }

// Fields of the free format, each with the line it starts on.
class FieldCursor {
public:
    explicit FieldCursor(std::string_view text) : text_(text) {
        if (detail::startsWith(text_, "\xEF\xBB\xBF")) pos_ = 3;
    }

    // Skips the heading line; false when the text holds none.
    bool skipLine() {
        if (pos_ >= text_.size()) return false;
        while (pos_ < text_.size() && !isLineEnd(text_[pos_])) ++pos_;
        skipLineEnd();
        return true;
    }

    // True when only blanks and line ends remain: no further field can begin.
    bool atEnd() const {
        for (std::size_t i = pos_; i < text_.size(); ++i)
            if (!isBlank(text_[i]) && !isLineEnd(text_[i])) return false;
        return true;
    }

    // The next field and its line; empty at the end of the text.
    std::optional<std::string_view> nextField() {
        while (pos_ < text_.size() && (isBlank(text_[pos_]) || isLineEnd(text_[pos_]))) {
            if (isLineEnd(text_[pos_]))
                skipLineEnd();
            else
                ++pos_;
        }
        if (pos_ >= text_.size()) return std::nullopt;
        fieldLine_ = line_;
        const std::size_t start = pos_;
        if (text_[pos_] == '"') {
            const std::size_t close = text_.find('"', pos_ + 1);
            pos_ = close == std::string_view::npos ? text_.size() : close + 1;
        }
        while (pos_ < text_.size() && !endsField(text_[pos_])) ++pos_;
        const std::string_view field = text_.substr(start, pos_ - start);
        // A comma after the field (blanks around it allowed) is this field's separator.
        std::size_t next = pos_;
        while (next < text_.size() && isBlank(text_[next])) ++next;
        if (next < text_.size() && text_[next] == ',') pos_ = next + 1;
        return field;
    }

    int fieldLine() const { return fieldLine_; }
    int line() const { return line_; }

private:
    void skipLineEnd() {
        if (pos_ < text_.size() && text_[pos_] == '\r') {
            ++pos_;
            if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
        } else if (pos_ < text_.size() && text_[pos_] == '\n') {
            ++pos_;
        }
        ++line_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
    int fieldLine_ = 1;
};

}  // namespace

CsvReading readCsvRecords(std::string_view text) {
    CsvReading reading;
    FieldCursor cursor(text);
    if (!cursor.skipLine()) {
        reading.fault = "the file ends within its heading";
        reading.faultLine = 1;
        return reading;
    }
    while (!cursor.atEnd()) {
        CsvRecord record;
        const std::string_view depthField = *cursor.nextField();
        record.line = cursor.fieldLine();
        const std::optional<double> depth = detail::parseNumber(depthField);
        if (!depth) {
            reading.fault = "expected a number, found \"" + std::string(depthField) + "\"";
            reading.faultLine = record.line;
            return reading;
        }
        const std::optional<std::string_view> valueField = cursor.nextField();
        reading.depthWithoutValue = depth;
        if (!valueField) {
            reading.fault = "a depth without its dose at the end of the file";
            reading.faultLine = record.line;
            return reading;
        }
        const std::optional<double> value = detail::parseNumber(*valueField);
        if (!value) {
            reading.fault = "expected a number, found \"" + std::string(*valueField) + "\"";
            reading.faultLine = cursor.fieldLine();
            return reading;
        }
        reading.depthWithoutValue.reset();
        record.depthMm = *depth;
        record.value = *value;
        reading.records.push_back(record);
    }
    return reading;
}

DepthScan csvDepthScan(std::string_view text, const std::string& fileName) {
    const CsvReading reading = readCsvRecords(text);
    if (!reading.fault.empty()) detail::fail(fileName, reading.faultLine, reading.fault);
    if (reading.records.empty()) detail::fail(fileName, 2, "no records after the heading line");
    DepthScan scan;
    scan.info.fileScan = 1;
    scan.info.firstLine = reading.records.front().line;
    bool positive = false;
    for (const CsvRecord& record : reading.records) {
        if (!scan.depthMm.empty() && !(record.depthMm > scan.depthMm.back()))
            detail::fail(fileName, record.line, "the depths must increase from record to record");
        scan.depthMm.push_back(record.depthMm);
        scan.value.push_back(record.value);
        positive = positive || record.value > 0.0;
    }
    if (!positive) throw engine::RunError(fileName, 0, "no positive dose");
    return scan;
}

}  // namespace beamdata
