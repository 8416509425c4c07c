#include "viewers/kernel_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "beamdata/free_format.h"

namespace orvalis::viewers {
namespace {

using beamdata::KERNEL_FILE_DEPTH_BINS;
using beamdata::KERNEL_FILE_RADIAL_BINS;
using beamdata::KernelFile;
using beamdata::KernelTable;
using beamdata::readKernelFile;

// A kernel file in the simulator's layout; cell (i, j) holds value(i, j). `leadingZero` chooses
// between " 0.100E+01" and "  .100E+01", both of which the simulator may write.
std::string kernelFile(double (*value)(int, int), bool leadingZero, int rows = KERNEL_FILE_DEPTH_BINS) {
    std::string text = "  9.00 MeV \x83\xBF=8.0               \x83\xC0=2.0               \r\n   1000000.\r\n";
    for (int i = 1; i <= rows; ++i) {
        char field[32];
        std::snprintf(field, sizeof field, "%4d.", i - 15);
        text += field;
        for (int j = 1; j <= KERNEL_FILE_RADIAL_BINS; ++j) {
            const double v = value(i, j);
            const int exponent = v == 0.0 ? 0 : static_cast<int>(std::floor(std::log10(v))) + 1;
            std::snprintf(field, sizeof field, leadingZero ? "%6.3f" : "%6.3f", v / std::pow(10.0, exponent));
            std::string mantissa = field;
            if (!leadingZero) mantissa.replace(mantissa.find("0."), 2, " .");
            std::snprintf(field, sizeof field, "E%+03d", exponent);
            text += mantissa + field;
        }
        text += "\r\n";
    }
    return text;
}

double peaked(int i, int j) {
    if (i == 20 && (j == 1 || j == 2)) return 0.04;  // the maximum, twice
    if (i < 100 && j < 50) return 0.0001;
    return 0.0;
}

TEST(KernelFile, ReadsBothNumberFormsWithSumMaximumAndTitle) {
    for (const bool leadingZero : {true, false}) {
        const std::optional<KernelFile> file = readKernelFile(kernelFile(peaked, leadingZero));
        ASSERT_TRUE(file.has_value());
        EXPECT_DOUBLE_EQ(file->maxValue, 0.04);
        EXPECT_NEAR(file->sum, 2 * 0.04 + (99 * 49 - 2) * 0.0001, 1e-12);
        EXPECT_DOUBLE_EQ((*file->table)[20][2], 0.04);
        EXPECT_DOUBLE_EQ((*file->table)[99][49], 0.0001);
        EXPECT_DOUBLE_EQ((*file->table)[125][75], 0.0);
        EXPECT_EQ((*file->table)[0][0], 0.0);
        EXPECT_EQ(file->titleBytes.substr(0, 13), "  9.00 MeV \x83\xBF");
    }
}

TEST(KernelFile, ReadsANegativeCellThatFillsItsWholeColumn) {
    std::string text = kernelFile(peaked, true);
    const std::size_t row3 = text.find("\r\n", text.find("\r\n") + 2) + 2;  // first data row
    const std::size_t cell2 = row3 + 5 + 10;
    text.replace(cell2, 10, "-0.519E-07");  // joins the first cell: "0.000E+00-0.519E-07"
    const std::optional<KernelFile> file = readKernelFile(text);
    ASSERT_TRUE(file.has_value());
    EXPECT_DOUBLE_EQ((*file->table)[1][2], -0.519E-07);
    EXPECT_DOUBLE_EQ((*file->table)[1][3], 0.0001);
    EXPECT_DOUBLE_EQ((*file->table)[125][75], 0.0);
}

TEST(KernelFile, RefusesShortUnreadableOrEmptyKernels) {
    EXPECT_FALSE(readKernelFile(kernelFile(peaked, true, 124)).has_value());
    EXPECT_FALSE(readKernelFile(kernelFile([](int, int) { return 0.0; }, true)).has_value());
    std::string bad = kernelFile(peaked, true);
    bad.replace(bad.rfind("E+00"), 4, "X+00");
    EXPECT_FALSE(readKernelFile(bad).has_value());
    EXPECT_FALSE(readKernelFile("").has_value());
    // Values no kernel holds: a cell below minus the maximum, or a sum that overflows.
    std::string absurd = kernelFile(peaked, true);
    absurd.replace(absurd.rfind("0.000E+00"), 9, "-.100E+01");
    EXPECT_FALSE(readKernelFile(absurd).has_value());
    std::string huge = kernelFile(peaked, true);
    for (int k = 0; k < 2; ++k) huge.replace(huge.find("0.400E-01"), 9, "0.900E+308");  // the maximum, twice
    EXPECT_FALSE(readKernelFile(huge).has_value());
}

TEST(GreyClasses, StrictTestsAtTheBoundaries) {
    EXPECT_EQ(greyClass(1.0), 1);
    EXPECT_EQ(greyClass(std::nextafter(1.0, 0.0)), 2);
    EXPECT_EQ(greyClass(std::nextafter(0.5, 1.0)), 2);
    EXPECT_EQ(greyClass(0.5), 3);
    EXPECT_EQ(greyClass(0.1), 4);
    EXPECT_EQ(greyClass(0.05), 5);
    EXPECT_EQ(greyClass(0.01), 6);
    EXPECT_EQ(greyClass(0.005), 7);
    EXPECT_EQ(greyClass(0.001), 8);
    EXPECT_EQ(greyClass(0.0005), 9);
    EXPECT_EQ(greyClass(0.0001), 10);
    EXPECT_EQ(greyClass(std::nextafter(0.00005, 1.0)), 10);
    EXPECT_EQ(greyClass(0.00005), WHITE_CELL);
    EXPECT_EQ(greyClass(0.0), WHITE_CELL);
    EXPECT_EQ(greyClass(-0.2), WHITE_CELL);
    // A cell of exactly half the maximum, computed as the map computes it, is class 3.
    EXPECT_EQ(greyClass(0.02 / 0.04), 3);
}

TEST(GreyClasses, LevelsRoundHalfToEvenAndLegendLabels) {
    const int expected[GREY_CLASS_COUNT] = {0, 26, 51, 76, 102, 128, 153, 178, 204, 230};
    for (int k = 1; k <= GREY_CLASS_COUNT; ++k) EXPECT_EQ(greyLevel(k), expected[k - 1]) << "class " << k;
    EXPECT_EQ(legendLabel(1), "100 %");
    EXPECT_EQ(legendLabel(2), "50");
    EXPECT_EQ(legendLabel(6), "0.5");
    EXPECT_EQ(legendLabel(10), "0.005");
    EXPECT_EQ(legendLabel(11), "");
}

TEST(KernelMap, CellRectanglesAndReadoutFormulas) {
    const MapRect first = mapCellRect(1, 1);
    EXPECT_EQ(first.left, 1.0);
    EXPECT_EQ(first.top, 1.0);
    EXPECT_EQ(first.right, 10.0);
    EXPECT_EQ(first.bottom, 10.0);
    const MapRect last = mapCellRect(95, 60);
    EXPECT_EQ(last.left, 591.0);
    EXPECT_EQ(last.bottom, 950.0);

    EXPECT_FALSE(kernelReadout(1.0, 500.0).has_value());
    EXPECT_FALSE(kernelReadout(598.0, 500.0).has_value());
    EXPECT_FALSE(kernelReadout(300.0, 1.0).has_value());
    EXPECT_FALSE(kernelReadout(300.0, 948.0).has_value());
    const KernelReadout nearAxis = *kernelReadout(3.0, 150.0);
    EXPECT_EQ(nearAxis.radiusMm, 0);
    EXPECT_EQ(nearAxis.depthMm, 0);
    EXPECT_EQ(nearAxis.depthBin, 15);
    EXPECT_EQ(kernelReadout(3.0, 144.0)->depthMm, -1);
    EXPECT_EQ(kernelReadout(3.0, 155.0)->depthMm, 1);
    const KernelReadout deep = *kernelReadout(597.9, 947.9);
    EXPECT_EQ(deep.radiusMm, 60);
    EXPECT_EQ(deep.depthBin, 95);

    KernelTable table{};
    table[15][3] = 0.01;
    EXPECT_EQ(*readoutPercentOfMax(table, 15, 0, 0.04), 0.0);  // radial index 0 is never filled
    EXPECT_DOUBLE_EQ(*readoutPercentOfMax(table, 15, 3, 0.04), 25.0);
    EXPECT_FALSE(readoutPercentOfMax(table, 15, 3, 0.0).has_value());
    EXPECT_FALSE(readoutPercentOfMax(table, 15, 3, -1.0).has_value());
}

TEST(KernelMap, MaximumTextReadsBack) {
    for (const double value : {0.0423, 4.56e-05, 0.001, 1.0 / 3.0}) {
        const std::string shown = plainNumberText(value);
        EXPECT_EQ(shown.find('e'), std::string::npos);
        EXPECT_EQ(beamdata::text::parseNumberField(shown), value) << shown;
    }
}

}  // namespace
}  // namespace orvalis::viewers
