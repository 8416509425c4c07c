#include "measured_text.h"

#include "beamdata/free_format.h"

#include "engine/run_error.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <system_error>

namespace beamdata::detail {
namespace {

constexpr std::string_view UTF8_BYTE_ORDER_MARK = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

LineCursor::LineCursor(std::string_view text) : text_(text) {
    if (startsWith(text_, UTF8_BYTE_ORDER_MARK)) text_.remove_prefix(UTF8_BYTE_ORDER_MARK.size());
}

bool LineCursor::next(TextLine& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = pos_;
    while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') ++end;
    line = {text_.substr(pos_, end - pos_), ++number_};
    pos_ = end;
    if (pos_ < text_.size() && text_[pos_] == '\r') {
        ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    } else if (pos_ < text_.size()) {
        ++pos_;  // '\n'
    }
    return true;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (isBlank(text.front()) || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::string upperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

std::vector<std::string_view> blankFields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && isBlank(text[pos])) ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !isBlank(text[pos])) ++pos;
        if (pos > start) fields.push_back(text.substr(start, pos - start));
    }
    return fields;
}

void fail(const std::string& fileName, int line, const std::string& message) {
    throw engine::RunError(fileName, line, message);
}

std::optional<double> parseNumber(std::string_view field) { return text::parseNumberField(field); }

double requireNumber(std::string_view field, const std::string& fileName, int line, const std::string& what) {
    const std::optional<double> value = parseNumber(field);
    if (!value) fail(fileName, line, what + " expected, found \"" + std::string(field) + "\"");
    return *value;
}

void checkRoomForPoint(std::size_t points, const MeasuredLimits& limits, const std::string& fileName, int line) {
    if (points >= limits.pointsPerCurve)
        fail(fileName, line,
             "more than " + std::to_string(limits.pointsPerCurve) +
                 " points in one curve, the limit of a measured curve");
}

void checkRoomForScan(std::size_t scans, const MeasuredLimits& limits, const std::string& fileName, int line) {
    if (scans >= limits.scansPerFile)
        fail(fileName, line,
             "more than " + std::to_string(limits.scansPerFile) + " scans in one file, the limit of a measured file");
}

int lineOfZeroByte(std::string_view text) {
    const std::size_t zero = text.find('\0');
    if (zero == std::string_view::npos) return 0;
    int line = 1;
    for (std::size_t i = 0; i < zero; ++i)
        if (text[i] == '\n') ++line;
    return line;
}

}  // namespace beamdata::detail
