#include "fit/report_text.h"

#include <cmath>
#include <cstdio>

namespace fit {

namespace {

// "-" in the middle of the column.
std::string notFound(int width) {
    const int before = width / 2;
    return std::string(static_cast<std::size_t>(before), ' ') + "-" +
           std::string(static_cast<std::size_t>(width - before - 1), ' ');
}

}  // namespace

std::string formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string depthText(double depthMm, int width) {
    if (std::isnan(depthMm)) return notFound(width);
    char text[64];
    std::snprintf(text, sizeof text, "%*.2f", width, depthMm);
    return text;
}

std::string differenceText(double aMm, double bMm, int width) {
    if (std::isnan(aMm) || std::isnan(bMm)) return notFound(width);
    char text[64];
    std::snprintf(text, sizeof text, "%+*.2f", width, aMm - bMm);
    return text;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string secondsText(double seconds) { return formatted("%.1f s", seconds); }

}  // namespace fit
