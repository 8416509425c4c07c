#pragma once
// Helpers of the measured-file readers: the lines of a text with their numbers, fields, numbers
// and failures that name the file and the line.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "beamdata/measured_limits.h"

namespace beamdata::detail {

struct TextLine {
    std::string_view text;  // without its line end
    int number = 0;         // 1-based
};

// The lines of a text one after the other (LF, CR LF or CR ends; a UTF-8 byte-order mark is
// skipped), so that a long file never holds a table of all its lines.
class LineCursor {
public:
    explicit LineCursor(std::string_view text);
    // The next line, false at the end of the text.
    bool next(TextLine& line);
    // The number of the last line read (1 for an empty text).
    int lastNumber() const { return number_ == 0 ? 1 : number_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int number_ = 0;
};

std::string_view trim(std::string_view text);
bool startsWith(std::string_view text, std::string_view prefix);
std::string upperCase(std::string_view text);

// Fields separated by blanks and tabs.
std::vector<std::string_view> blankFields(std::string_view text);

// "<file>, line <n>: <message>" as the engine's error.
[[noreturn]] void fail(const std::string& fileName, int line, const std::string& message);

// A number field: optional sign, digits with an optional point, optional exponent (E, e, D, d),
// optional surrounding double quotes. Anything else is not a number.
std::optional<double> parseNumber(std::string_view field);

// The number in a field, or a failure naming the file, the line and what was expected.
double requireNumber(std::string_view field, const std::string& fileName, int line, const std::string& what);

// Refusals of a file that holds more than the limits allow: one more point in a curve that already
// holds `points`, one more scan in a file that already holds `scans`.
void checkRoomForPoint(std::size_t points, const MeasuredLimits& limits, const std::string& fileName, int line);
void checkRoomForScan(std::size_t scans, const MeasuredLimits& limits, const std::string& fileName, int line);

// The first zero byte of a text: a binary file, not a text file. 0 when there is none.
int lineOfZeroByte(std::string_view text);

}  // namespace beamdata::detail
