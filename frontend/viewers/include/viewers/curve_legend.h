#pragma once
// Which curve is which on the depth-dose plot. Curves stay drawn until the plot is cleared, so
// several of one kind can lie over each other: each gets a shade of its kind's colour family
// (measured bluish, calculated reddish, fitted greenish) and, once the shades are used up, a line
// pattern, and the legend names the file behind it. Plain C++: the window maps shades to colours.
#include <cstddef>
#include <string>
#include <vector>

namespace orvalis::viewers {

enum class CurveKind { Measured, Calculated, Fitted };
enum class LinePattern { Solid, Dashed, Dotted };

inline constexpr std::size_t SHADES_PER_KIND = 5;

struct CurveStyle {
    CurveKind kind = CurveKind::Measured;
    std::size_t shade = 0;  // into the kind's colour family, 0 the kind's own colour
    LinePattern pattern = LinePattern::Solid;
};

struct LegendEntry {
    CurveStyle style;
    std::string name;  // the file behind the curve (and which curve of it)
};

class CurveLegend {
public:
    // The style of the next curve of `kind`, which is remembered under `name`. Fitted curves are
    // always broken lines (the fit's mark beside the loaded files); the others start solid.
    CurveStyle add(CurveKind kind, std::string name);
    void clear() { entries_.clear(); }
    const std::vector<LegendEntry>& entries() const { return entries_; }

private:
    std::vector<LegendEntry> entries_;
};

// "measured", "calculated", "fitted"; "solid", "dashed", "dotted".
const char* kindName(CurveKind kind);
const char* patternName(LinePattern pattern);

// One line for each entry, for assistive technology: "measured curve, blue, solid: water.csv",
// with the shade named by `shadeName`.
std::string legendDescription(const std::vector<LegendEntry>& entries,
                              const char* (*shadeName)(const CurveStyle& style));

}  // namespace orvalis::viewers
