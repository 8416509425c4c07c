#include "viewers/dashed_line.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace orvalis::viewers {

std::vector<PlotSegment> dashedSegments(const std::vector<PlotPoint>& points, double xUnitsPerPx, double yUnitsPerPx,
                                        double onPx, double offPx, const ClipRect& visible) {
    std::vector<PlotSegment> dashes;
    if (points.size() < 2 || !(onPx > 0.0) || !(offPx >= 0.0) || !(xUnitsPerPx > 0.0) || !(yUnitsPerPx > 0.0))
        return dashes;
    const double period = onPx + offPx;
    double phase = 0.0;  // position within the dash pattern, px
    // Runs the pattern on over a part that is not drawn; a length beyond all reason restarts it.
    auto advance = [&](double lengthPx) {
        phase = std::isfinite(lengthPx) ? std::fmod(phase + lengthPx, period) : 0.0;
    };
    for (std::size_t i = 1; i < points.size(); ++i) {
        const PlotPoint a = points[i - 1];
        const PlotPoint b = points[i];
        const std::optional<ClipSpan> span = clipSegment(a.x, a.y, b.x, b.y, visible);
        if (!span) continue;
        const double lengthPx = std::hypot((b.x - a.x) / xUnitsPerPx, (b.y - a.y) / yUnitsPerPx);
        const PlotPoint from{a.x + (b.x - a.x) * span->enter, a.y + (b.y - a.y) * span->enter};
        const PlotPoint to{a.x + (b.x - a.x) * span->leave, a.y + (b.y - a.y) * span->leave};
        // The visible part's own length: finite and within the frame even when the segment's is not.
        const double shownPx = std::hypot((to.x - from.x) / xUnitsPerPx, (to.y - from.y) / yUnitsPerPx);
        advance(span->enter * lengthPx);
        double at = 0.0;
        while (at < shownPx) {
            const bool drawing = phase < onPx;
            const double step = std::min(shownPx - at, drawing ? onPx - phase : period - phase);
            if (drawing) {
                const double t0 = at / shownPx;
                const double t1 = (at + step) / shownPx;
                dashes.push_back({{from.x + (to.x - from.x) * t0, from.y + (to.y - from.y) * t0},
                                  {from.x + (to.x - from.x) * t1, from.y + (to.y - from.y) * t1}});
            }
            at += step;
            phase += step;
            if (phase >= period) phase -= period;
        }
        advance((1.0 - span->leave) * lengthPx);
    }
    return dashes;
}

}  // namespace orvalis::viewers
