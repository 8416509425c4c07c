#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "beamdata/csv_measured_format.h"
#include "beamdata/measured_curve_file.h"
#include "beamdata/range_levels.h"
#include "engine/run_error.h"
#include "sample_files.h"

namespace {

using namespace beamdata;

const std::filesystem::path SAMPLES(SAMPLES_PATH);

MeasuredFile sample(const std::string& name) { return readMeasuredFile(SAMPLES / name); }

double r50Of(const DepthScan& scan) { return levelDepthMm(scan.depthMm, scan.value, 0.5); }

bool increasing(const DepthScan& scan) {
    for (std::size_t k = 1; k < scan.depthMm.size(); ++k)
        if (!(scan.depthMm[k] > scan.depthMm[k - 1])) return false;
    return !scan.depthMm.empty() && scan.depthMm.front() >= 0.0;
}

TEST(SampleFiles, MatchTheirWriter) {
    for (const auto& [name, text] : beamdata::testing::sampleFiles(EXAMPLE_CSV_PATH)) {
        std::ifstream in(SAMPLES / name, std::ios::binary);
        std::ostringstream kept;
        kept << in.rdbuf();
        EXPECT_EQ(kept.str(), text) << name << ": run write-sample-scans to renew the samples";
    }
}

TEST(MeasuredFormats, AreToldApartByContentNotByExtension) {
    EXPECT_EQ(sample("example-9MeV.mcc").format, MeasuredFormat::PtwMcc);
    EXPECT_EQ(sample("example-9MeV-rfa300.txt").format, MeasuredFormat::Rfa300);
    EXPECT_EQ(sample("example-9MeV-w2cad.asc").format, MeasuredFormat::W2cad);
    EXPECT_EQ(sample("electrons-9-16MeV.asc").format, MeasuredFormat::Rfa300);
    EXPECT_EQ(readMeasuredFile(EXAMPLE_CSV_PATH).format, MeasuredFormat::Csv);
    EXPECT_EQ(detectFormat("# exported\n\n$STOM\n"), MeasuredFormat::W2cad);
    EXPECT_EQ(detectFormat("depth,dose\n1,2\n"), MeasuredFormat::Csv);
}

// The example depth dose written in every format reads back as the CSV reads it.
TEST(MeasuredFormats, TheExampleCurveGivesTheCsvR50InEveryFormat) {
    const DepthScan csv = readMeasuredFile(EXAMPLE_CSV_PATH).depthScans.front();
    for (const char* name : {"example-9MeV.mcc", "example-9MeV-rfa300.txt", "example-9MeV-w2cad.asc"}) {
        const MeasuredFile file = sample(name);
        ASSERT_EQ(file.depthScans.size(), 1u) << name;
        const DepthScan& scan = file.depthScans.front();
        EXPECT_EQ(scan.depthMm, csv.depthMm) << name;
        EXPECT_NEAR(r50Of(scan), r50Of(csv), 0.05) << name;
        EXPECT_EQ(scan.info.quantity, Quantity::Dose) << name;
        EXPECT_EQ(scan.info.fieldInplaneMm.value_or(0.0), 150.0) << name;
        EXPECT_EQ(scan.info.ssdMm.value_or(0.0), 1000.0) << name;
    }
    EXPECT_EQ(sample("example-9MeV.mcc").depthScans.front().info.detector, "Diode E 60017");
    EXPECT_EQ(sample("example-9MeV-rfa300.txt").depthScans.front().info.energyMeV.value_or(0.0), 9.0);
    EXPECT_FALSE(sample("example-9MeV-w2cad.asc").depthScans.front().info.energyMeV.has_value());
}

// Depth curves among profiles: each found by its type key, with its beam data; depths counted
// upward or written from the deep end come out from the surface down.
TEST(MeasuredFormats, FindTheDepthCurvesAmongProfiles) {
    const MeasuredFile mcc = sample("electrons-6-9-12MeV.mcc");
    ASSERT_EQ(mcc.depthScans.size(), 3u);
    EXPECT_EQ(mcc.otherScans, 2);
    const ScanInfo& chamber = mcc.depthScans[1].info;
    EXPECT_EQ(chamber.fileScan, 4);
    EXPECT_EQ(chamber.energyMeV.value_or(0.0), 9.0);
    EXPECT_EQ(chamber.detector, "Advanced Markus chamber 34045");
    EXPECT_EQ(chamber.quantity, Quantity::Ionisation);
    EXPECT_EQ(mcc.depthScans[0].info.quantity, Quantity::Dose);
    EXPECT_EQ(describeScan(chamber, true),
              "9 MeV, 100 x 100 mm, SSD 1000 mm, Advanced Markus chamber 34045, ionisation \xE2\x86\x92 dose");

    const MeasuredFile rfa = sample("electrons-9-16MeV.asc");
    ASSERT_EQ(rfa.depthScans.size(), 2u);
    EXPECT_EQ(rfa.otherScans, 1);
    EXPECT_EQ(rfa.depthScans[0].info.quantity, Quantity::Ionisation);
    EXPECT_EQ(rfa.depthScans[1].info.energyMeV.value_or(0.0), 16.0);
    EXPECT_EQ(rfa.depthScans[1].info.fieldCrossplaneMm.value_or(0.0), 200.0);

    const MeasuredFile w2cad = sample("electrons-12-20MeV.cdp");
    ASSERT_EQ(w2cad.depthScans.size(), 2u);
    EXPECT_EQ(w2cad.depthScans[1].info.quantity, Quantity::Ionisation);
    EXPECT_EQ(w2cad.depthScans[1].info.fieldInplaneMm.value_or(0.0), 250.0);

    // The 12 MeV curve was written upward and from the deep end in the mcc and w2CAD files.
    const DepthScan& mcc12 = mcc.depthScans[2];
    const DepthScan& w2cad12 = w2cad.depthScans[0];
    for (const MeasuredFile* file : {&mcc, &rfa, &w2cad})
        for (const DepthScan& scan : file->depthScans) EXPECT_TRUE(increasing(scan)) << file->fileName;
    EXPECT_EQ(mcc12.depthMm.front(), 0.5);
    EXPECT_NEAR(r50Of(mcc12), r50Of(w2cad12), 0.05);
    EXPECT_NEAR(r50Of(mcc12), 48.8, 1.0);  // about 12 MeV / 2.46 MeV/cm
}

TEST(MeasuredFormats, OneCurveIsChosenByNumberOrListed) {
    const MeasuredFile mcc = sample("electrons-6-9-12MeV.mcc");
    EXPECT_EQ(&chooseScan(mcc, 2), &mcc.depthScans[1]);
    try {
        chooseScan(mcc, std::nullopt);
        FAIL() << "a file of three depth curves needs a choice";
    } catch (const engine::RunError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("holds 3 depth curves; choose one with --scan N"), std::string::npos) << message;
        EXPECT_NE(message.find("  2: 9 MeV, 100 x 100 mm, SSD 1000 mm, Advanced Markus chamber 34045, ionisation"),
                  std::string::npos)
            << message;
        EXPECT_NE(message.find("(scan 4 of the file, line "), std::string::npos) << message;
    }
    EXPECT_THROW(chooseScan(mcc, 4), engine::RunError);
    const MeasuredFile single = sample("example-9MeV.mcc");
    EXPECT_EQ(&chooseScan(single, std::nullopt), &single.depthScans[0]);
}

// The comparison window's free format: commas, blanks, tabs, quotes, a record over two lines,
// a byte-order mark and CR line ends; what was read before a fault is kept.
TEST(CsvRecords, ReadAsTheWindowReadsThem) {
    const CsvReading good = readCsvRecords(
        "\xEF\xBB\xBF\"depth\",dose\r\n0.5, 80.1\r1.5 81\n2.5,\t\"82.5\"\n3.5,\n90\n\n");
    EXPECT_TRUE(good.fault.empty());
    ASSERT_EQ(good.records.size(), 4u);
    EXPECT_EQ(good.records[2].value, 82.5);
    EXPECT_EQ(good.records[3].value, 90.0);
    EXPECT_EQ(good.records[3].line, 5);
    EXPECT_EQ(good.records[1].line, 3);

    const CsvReading broken = readCsvRecords("h\n1,50\n2,fifty\n");
    ASSERT_EQ(broken.records.size(), 1u);
    EXPECT_EQ(broken.fault, "expected a number, found \"fifty\"");
    EXPECT_EQ(broken.faultLine, 3);
    EXPECT_EQ(readCsvRecords("").faultLine, 1);
    EXPECT_EQ(readCsvRecords("h\n1,50\n2\n").fault, "a depth without its dose at the end of the file");
}

}  // namespace
