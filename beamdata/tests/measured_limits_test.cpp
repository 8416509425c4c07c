// Every reader of measured curves refuses a file beyond its limits with a message naming the file and
// the limit, and reads one at the limit. The limits are lowered through their parameter so that the
// formats' own sample files reach them; the default ones are reached by generated files just over.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "beamdata/csv_measured_format.h"
#include "beamdata/measured_curve_file.h"
#include "engine/run_error.h"
#include "testsupport/test_folder.h"

namespace {

using beamdata::MeasuredLimits;

std::string readSample(const std::string& name) {
    std::ifstream in(std::filesystem::path(SAMPLES_PATH) / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string failure(const std::string& text, const std::string& name, const MeasuredLimits& limits) {
    try {
        beamdata::parseMeasuredText(text, name, limits);
    } catch (const engine::RunError& e) {
        return e.what();
    }
    return "no error";
}

std::size_t largestCurve(const beamdata::MeasuredFile& file) {
    std::size_t largest = 0;
    for (const beamdata::DepthScan& scan : file.depthScans) largest = std::max(largest, scan.depthMm.size());
    return largest;
}

TEST(MeasuredLimits, EachFormatRefusesOnePointBeyondTheCurveLimit) {
    for (const std::string name : {"example-9MeV.mcc", "example-9MeV-rfa300.txt", "example-9MeV-w2cad.asc"}) {
        SCOPED_TRACE(name);
        const std::string text = readSample(name);
        const std::size_t points = largestCurve(beamdata::parseMeasuredText(text, name));
        MeasuredLimits limits;
        limits.pointsPerCurve = points;
        EXPECT_EQ(largestCurve(beamdata::parseMeasuredText(text, name, limits)), points);
        limits.pointsPerCurve = points - 1;
        const std::string message = failure(text, name, limits);
        EXPECT_EQ(message.rfind(name + ", line ", 0), 0u) << message;
        EXPECT_NE(message.find(": more than " + std::to_string(points - 1) +
                               " points in one curve, the limit of a measured curve"),
                  std::string::npos)
            << message;
    }
    MeasuredLimits three;
    three.pointsPerCurve = 3;
    EXPECT_EQ(failure("depth,dose\n1,90\n2,100\n3,80\n4,40\n", "long.csv", three),
              "long.csv, line 5: more than 3 points in one curve, the limit of a measured curve");
    const beamdata::CsvReading window = beamdata::readCsvRecords("depth,dose\n1,90\n2,100\n3,80\n4,40\n", 3);
    EXPECT_EQ(window.records.size(), 3u);  // the window keeps what was read before the limit
    EXPECT_EQ(window.faultLine, 5);
}

TEST(MeasuredLimits, FilesOfMoreScansThanTheLimitAreRefused) {
    for (const std::string name : {"electrons-6-9-12MeV.mcc", "electrons-9-16MeV.asc", "electrons-12-20MeV.cdp"}) {
        SCOPED_TRACE(name);
        const std::string text = readSample(name);
        const beamdata::MeasuredFile whole = beamdata::parseMeasuredText(text, name);
        const auto scans = whole.depthScans.size() + static_cast<std::size_t>(whole.otherScans);
        MeasuredLimits limits;
        limits.scansPerFile = scans;
        EXPECT_EQ(beamdata::parseMeasuredText(text, name, limits).depthScans.size(), whole.depthScans.size());
        limits.scansPerFile = scans - 1;
        const std::string message = failure(text, name, limits);
        EXPECT_NE(message.find(": more than " + std::to_string(scans - 1) +
                               " scans in one file, the limit of a measured file"),
                  std::string::npos)
            << message;
    }
}

TEST(MeasuredLimits, AFileLargerThanTheLimitIsRefusedByItsSize) {
    const testsupport::TestFolder folder;
    const std::string text = readSample("example-9MeV.mcc");
    const std::filesystem::path path = folder.write("big.mcc", text);
    MeasuredLimits limits;
    limits.fileBytes = text.size();
    EXPECT_EQ(beamdata::readMeasuredFile(path, limits).depthScans.size(), 1u);
    limits.fileBytes = text.size() - 1;
    try {
        beamdata::readMeasuredFile(path, limits);
        ADD_FAILURE() << "read beyond the limit";
    } catch (const engine::RunError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "big.mcc: larger than " + std::to_string(text.size() - 1) + " bytes, the limit of a measured file");
    }
    EXPECT_NE(failure(text, "big.mcc", limits).find("the limit of a measured file"), std::string::npos);
}

TEST(MeasuredLimits, TheDefaultLimitsAreReachedByFilesJustOverThem) {
    const testsupport::TestFolder folder;
    // One record more than a curve may hold, in the comparison window's layout.
    std::string csv = "depth,dose\n";
    csv.reserve(16 * beamdata::MEASURED_POINTS_MAX);
    for (std::size_t k = 0; k <= beamdata::MEASURED_POINTS_MAX; ++k) {
        csv += std::to_string(k);
        csv += ",1\n";
    }
    const std::string expected = "long.csv, line " + std::to_string(beamdata::MEASURED_POINTS_MAX + 2) +
                                 ": more than 1000000 points in one curve, the limit of a measured curve";
    EXPECT_EQ(failure(csv, "long.csv", {}), expected);
    // A file one byte over 64 MB: refused by its size before anything is parsed.
    const std::filesystem::path huge = folder.path() / "huge.csv";
    {
        std::ofstream out(huge, std::ios::binary);
        std::string block(1 << 20, '1');
        for (int k = 0; k < 64; ++k) out << block;
        out << '\n';
    }
    try {
        beamdata::readMeasuredFile(huge);
        ADD_FAILURE() << "a file over 64 MB was read";
    } catch (const engine::RunError& e) {
        EXPECT_EQ(std::string(e.what()), "huge.csv: larger than 64 MB, the limit of a measured file");
    }
}

}  // namespace
