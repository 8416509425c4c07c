#pragma once
// The numeric value of a text, as every box of the front end is read: the longest leading
// number after leading blanks, 0 when there is none. Never an error: "8.0abc" is 8, "abc" is 0,
// "" is 0, " -4.5e1x" is -45. A number too large for a double also counts as 0.
#include <cstddef>
#include <string>
#include <string_view>

namespace beamdata {

double textValue(std::string_view text);

// True when the whole text is one number (no leading blanks, nothing after it): the test of a
// field in a free-format file.
bool isNumberText(std::string_view text);

// One number written by a printf conversion of a double ("%.1f", "%g", "%.4g", ...): the text of
// protocol fields, command lines and messages.
std::string printfNumber(const char* printfFormat, double value);

}  // namespace beamdata
