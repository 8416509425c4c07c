#include "common/segment_clip.h"

#include <cmath>

namespace orvalis {

std::optional<ClipSpan> clipSegment(double x0, double y0, double x1, double y1, const ClipRect& rect) {
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    if (!(std::isfinite(x0) && std::isfinite(y0) && std::isfinite(dx) && std::isfinite(dy))) return std::nullopt;
    // Liang-Barsky: each edge limits the span from one side, by where the line crosses it.
    ClipSpan span{0.0, 1.0};
    const double towards[4] = {-dx, dx, -dy, dy};
    const double room[4] = {x0 - rect.xMin, rect.xMax - x0, y0 - rect.yMin, rect.yMax - y0};
    for (int edge = 0; edge < 4; ++edge) {
        if (towards[edge] == 0.0) {
            if (room[edge] < 0.0) return std::nullopt;  // parallel to this edge and outside it
            continue;
        }
        const double t = room[edge] / towards[edge];
        if (towards[edge] < 0.0) {
            if (t > span.enter) span.enter = t;
        } else if (t < span.leave) {
            span.leave = t;
        }
        if (span.enter > span.leave) return std::nullopt;
    }
    return span;
}

}  // namespace orvalis
