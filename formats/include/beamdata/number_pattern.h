#pragma once
// Number patterns of the front end's boxes, read-outs and exchange files.
//
// A pattern is: literal characters (blanks) in front, integer digit places ('#' optional,
// '0' required), ".", decimal places, and optionally "E+00" / "E-00" for a scientific form.
// Examples: " #0.0" (9 -> " 9.0"), "###.0" (0.5 -> ".5"), "00.00" (1 -> "01.00"),
// "0.000E+00" (0.5 -> "5.000E-01"), "#.00000" (0.25 -> ".25000").
//
// Rounding is half-way away from zero, where "half-way" is decided on the value written to
// 15 significant digits: 12.25 is stored as 12.2499999999999996 but reads 12.25 at 15 digits,
// so it becomes 12.3, as a user who typed 12.25 expects.
#include <string>
#include <string_view>

namespace beamdata {

// Formats value with pattern. The decimal point is always ".". A negative value gets a leading
// "-" in front of the whole text unless it rounds to zero. Throws std::invalid_argument for a
// pattern outside the grammar above. Non-finite values give "NaN", "Inf" or "-Inf".
std::string formatNumber(double value, std::string_view pattern);

}  // namespace beamdata
