#include "viewers/curve_legend.h"

#include <algorithm>

namespace orvalis::viewers {

CurveStyle CurveLegend::add(CurveKind kind, std::string name) {
    const auto sameKind = static_cast<std::size_t>(std::count_if(
        entries_.begin(), entries_.end(), [kind](const LegendEntry& entry) { return entry.style.kind == kind; }));
    const std::size_t round = sameKind / SHADES_PER_KIND;
    CurveStyle style{kind, sameKind % SHADES_PER_KIND, LinePattern::Solid};
    if (kind == CurveKind::Fitted)
        style.pattern = round % 2 == 0 ? LinePattern::Dashed : LinePattern::Dotted;
    else
        style.pattern = static_cast<LinePattern>(round % 3);
    entries_.push_back({style, std::move(name)});
    return style;
}

const char* kindName(CurveKind kind) {
    constexpr const char* NAMES[] = {"measured", "calculated", "fitted"};
    return NAMES[static_cast<std::size_t>(kind)];
}

const char* patternName(LinePattern pattern) {
    constexpr const char* NAMES[] = {"solid", "dashed", "dotted"};
    return NAMES[static_cast<std::size_t>(pattern)];
}

std::string legendDescription(const std::vector<LegendEntry>& entries,
                              const char* (*shadeName)(const CurveStyle& style)) {
    std::string text;
    for (const LegendEntry& entry : entries) {
        if (!text.empty()) text += "\n";
        text += std::string(kindName(entry.style.kind)) + " curve, " + shadeName(entry.style) + ", " +
                patternName(entry.style.pattern) + ": " + entry.name;
    }
    return text;
}

}  // namespace orvalis::viewers
