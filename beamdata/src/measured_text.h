#pragma once
// Helpers of the measured-file readers: the lines of a text with their numbers, fields, numbers
// and failures that name the file and the line.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace beamdata::detail {

struct TextLine {
    std::string_view text;  // without its line end
    int number = 0;         // 1-based
};

// The lines of a text (LF, CR LF or CR ends; a UTF-8 byte-order mark is skipped).
std::vector<TextLine> splitLines(std::string_view text);

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

// The first zero byte of a text: a binary file, not a text file. 0 when there is none.
int lineOfZeroByte(std::string_view text);

}  // namespace beamdata::detail
