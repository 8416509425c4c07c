#pragma once
// A curve drawn dashed on the comparison plot (the fitted curves), cut into its dashes in plot
// units. Plain C++.
#include <vector>

#include "common/segment_clip.h"
#include "viewers/pdd_comparison.h"

namespace orvalis::viewers {

struct PlotSegment {
    PlotPoint from;
    PlotPoint to;
};
// A polyline cut into dashes: `onPx` drawn, `offPx` left out, measured along the line in pixels
// given the plot's units per pixel in x and y. Only the parts inside `visible` (plot units) are
// cut, the pattern running on over the parts outside, so the number of dashes is bounded by the
// frame: at most (points - 1) x (the frame's diagonal / the pattern's length + 1), whatever the
// values. Segments with a coordinate that is not finite are left out.
std::vector<PlotSegment> dashedSegments(const std::vector<PlotPoint>& points, double xUnitsPerPx, double yUnitsPerPx,
                                        double onPx, double offPx, const ClipRect& visible);

}  // namespace orvalis::viewers
