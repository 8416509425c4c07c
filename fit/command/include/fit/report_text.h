#pragma once
// The pieces of the fit's readable tables and console lines: numbers in a printf form, depths and
// differences of depths in columns (a level that was not found shows as "-"), elapsed seconds.
#include <chrono>
#include <string>

namespace fit {

std::string formatted(const char* format, double value);
// A depth in mm, two decimals, right-aligned in `width` characters; NaN (not found) as "-".
std::string depthText(double depthMm, int width);
// a - b with its sign, as depthText; "-" when either is NaN.
std::string differenceText(double aMm, double bMm, int width);
double secondsSince(std::chrono::steady_clock::time_point start);
// "12.3 s"
std::string secondsText(double seconds);

}  // namespace fit
