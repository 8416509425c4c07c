#pragma once
// The part of a straight segment inside a rectangle, so that what is drawn (and the work of drawing
// it) is bounded by the frame, whatever the values of a curve: a point a million frames away costs
// no more than one at the edge.

#include <optional>

namespace orvalis {

struct ClipRect {
    double xMin;
    double yMin;
    double xMax;
    double yMax;
};

// Positions along the segment (0 at its start, 1 at its end) where it enters and leaves the
// rectangle, edges included.
struct ClipSpan {
    double enter;
    double leave;
};

// nullopt when the segment misses the rectangle or a coordinate is not finite.
std::optional<ClipSpan> clipSegment(double x0, double y0, double x1, double y1, const ClipRect& rect);

}  // namespace orvalis
