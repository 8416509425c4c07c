// The styles of the curves on the depth-dose plot: many curves of one kind stay apart, the fit
// stays a broken line, and the legend's text names each file.
#include "viewers/curve_legend.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

using namespace orvalis::viewers;

namespace {

const char* testShade(const CurveStyle& style) {
    static const char* names[] = {"first", "second", "third", "fourth", "fifth"};
    return names[style.shade];
}

TEST(CurveLegend, EveryCurveOfAKindGetsItsOwnStyleUntilThePlotIsCleared) {
    CurveLegend legend;
    std::set<std::tuple<std::size_t, LinePattern>> calculated;
    for (int k = 0; k < 15; ++k) {
        const CurveStyle style = legend.add(CurveKind::Calculated, "run" + std::to_string(k) + ".pdd");
        EXPECT_EQ(style.kind, CurveKind::Calculated);
        EXPECT_LT(style.shade, SHADES_PER_KIND);
        calculated.insert({style.shade, style.pattern});
        // Other kinds between them take their own shades and do not move this kind's on.
        const CurveStyle measured = legend.add(CurveKind::Measured, "m.csv");
        EXPECT_EQ(measured.shade, static_cast<std::size_t>(k) % SHADES_PER_KIND);
    }
    EXPECT_EQ(calculated.size(), 15u);  // three rounds of shades, each in its own pattern
    // The first curve of each kind looks as it always did; a fit is always broken.
    legend.clear();
    EXPECT_EQ(legend.add(CurveKind::Measured, "a.csv").pattern, LinePattern::Solid);
    EXPECT_EQ(legend.add(CurveKind::Calculated, "a.pdd").shade, 0u);
    for (int k = 0; k < 12; ++k) EXPECT_NE(legend.add(CurveKind::Fitted, "fit.pdd").pattern, LinePattern::Solid);
    EXPECT_EQ(legend.entries().size(), 14u);
}

TEST(CurveLegend, DescribesEachCurveForAssistiveTechnology) {
    CurveLegend legend;
    legend.add(CurveKind::Measured, "tank.mcc, curve 2, ionisation \u2192 dose");
    legend.add(CurveKind::Calculated, "9MeV-9.0_8.0-2.0.pdd");
    legend.add(CurveKind::Calculated, "9MeV-9.2_8.0-2.0.pdd");
    legend.add(CurveKind::Fitted, "fit-tank.pdd");
    EXPECT_EQ(legendDescription(legend.entries(), &testShade),
              "measured curve, first, solid: tank.mcc, curve 2, ionisation \u2192 dose\n"
              "calculated curve, first, solid: 9MeV-9.0_8.0-2.0.pdd\n"
              "calculated curve, second, solid: 9MeV-9.2_8.0-2.0.pdd\n"
              "fitted curve, first, dashed: fit-tank.pdd");
    EXPECT_EQ(legendDescription({}, &testShade), "");
}

}  // namespace
