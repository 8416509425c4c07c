#include "beamdata/csv_measured_format.h"

#include <optional>

#include "beamdata/free_format.h"
#include "engine/run_error.h"
#include "measured_text.h"

namespace beamdata {
CsvReading readCsvRecords(std::string_view text, std::size_t maxRecords) {
    CsvReading reading;
    text::FieldReader cursor{std::string(text)};
    if (!cursor.readLine()) {
        reading.fault = "the file ends within its heading";
        reading.faultLine = 1;
        return reading;
    }
    while (!cursor.atEnd()) {
        CsvRecord record;
        const std::string depthField = *cursor.readField();
        record.line = cursor.lastFieldLine();
        if (reading.records.size() >= maxRecords) {
            reading.fault = "more than " + std::to_string(maxRecords) +
                            " points in one curve, the limit of a measured curve";
            reading.faultLine = record.line;
            return reading;
        }
        const std::optional<double> depth = detail::parseNumber(depthField);
        if (!depth) {
            reading.fault = "expected a number, found \"" + std::string(depthField) + "\"";
            reading.faultLine = record.line;
            return reading;
        }
        const std::optional<std::string> valueField = cursor.readField();
        reading.depthWithoutValue = depth;
        if (!valueField) {
            reading.fault = "a depth without its dose at the end of the file";
            reading.faultLine = record.line;
            return reading;
        }
        const std::optional<double> value = detail::parseNumber(*valueField);
        if (!value) {
            reading.fault = "expected a number, found \"" + std::string(*valueField) + "\"";
            reading.faultLine = cursor.lastFieldLine();
            return reading;
        }
        reading.depthWithoutValue.reset();
        record.depthMm = *depth;
        record.value = *value;
        reading.records.push_back(record);
    }
    return reading;
}

DepthScan csvDepthScan(std::string_view text, const std::string& fileName, const MeasuredLimits& limits) {
    const CsvReading reading = readCsvRecords(text, limits.pointsPerCurve);
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
