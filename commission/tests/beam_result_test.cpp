#include "commission/beam_result.h"

#include <gtest/gtest.h>

#include <sstream>

#include "commission/commission_command.h"

namespace {

commission::BeamResult fittedBeam() {
    commission::BeamResult b;
    b.entry.label = "e12#2";
    b.entry.file = "tank/e12.mcc";
    b.entry.scan = 2;
    b.entry.info.energyMeV = 12.0;
    b.entry.info.fieldInplaneMm = 100.0;
    b.entry.info.fieldCrossplaneMm = 150.0;
    b.fitted = true;
    b.quality = {{"R50", 49.08}, {"Rp", std::nullopt}};
    b.fitFigures = {{"rms", 0.28},  {"emax", 15.1},      {"mean", 11.2},
                    {"peak", 12.0}, {"background", 1.5}, {"smooth", 1e-6}};
    for (auto& level : b.levels) {
        level.measuredMm = 40.0;
        level.modelMm = 40.2;
        level.differenceMm = 0.2;
        level.pass = true;
    }
    b.spectrumEnergyMeV = {0.151, 0.302};
    b.spectrumWeight = {0.0, 1.0};
    return b;
}

}  // namespace

// The record's shape is what other programs read: keys in their order, numbers as numbers, null for
// what is unknown, a reason only for skipped beams, optional parts only when they were made.
TEST(CommissioningRecord, JsonHasTheAgreedShape) {
    commission::BeamResult skipped;
    skipped.entry.label = "photon";
    skipped.entry.file = "tank/x.mcc";
    skipped.entry.scan = 1;
    skipped.reason = "a photon depth curve";
    commission::BeamResult fitted = fittedBeam();
    const commission::RunInfo run{"2.0", "2026-12-08T10:00:00Z", "Linac 3", commission::defaultTolerances()};
    const auto json = commission::commissioningJson(run, {fitted, skipped});

    std::vector<std::string> keys;
    for (const auto& item : json.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"program", "version", "created", "title", "tolerance_mm", "beams"}));
    EXPECT_EQ(json["tolerance_mm"]["R10"], 1.0);
    const auto& f = json["beams"][0];
    EXPECT_EQ(f["status"], "fitted");
    EXPECT_EQ(f["field_mm"], commission::Json::array({100.0, 150.0}));
    EXPECT_TRUE(f["ssd_mm"].is_null());
    EXPECT_TRUE(f["detector"].is_null());
    EXPECT_TRUE(f["quality"]["Rp"].is_null());
    EXPECT_EQ(f["quality"]["R50"], 49.08);
    EXPECT_EQ(f["fit"]["levels"]["R50"]["difference"], 0.2);
    EXPECT_FALSE(f["fit"].contains("interval")) << "no interval without the fit's uncertainty";
    EXPECT_FALSE(f.contains("confirm"));
    EXPECT_FALSE(f.contains("reason"));
    EXPECT_EQ(f["fit"]["spectrum"]["weight"].size(), 2u);

    const auto& s = json["beams"][1];
    EXPECT_EQ(s["status"], "skipped");
    EXPECT_EQ(s["reason"], "a photon depth curve");
    EXPECT_FALSE(s.contains("fit"));

    fitted.intervals["mean"] = {10.9, 11.5};
    fitted.confirmHistories = 1000;
    const auto again = commission::beamJson(fitted);
    EXPECT_EQ(again["fit"]["interval"]["mean"], commission::Json::array({10.9, 11.5}));
    EXPECT_EQ(again["confirm"]["histories"], 1000);
    EXPECT_TRUE(again["confirm"]["levels"]["R90"]["sd"].is_null());
}

TEST(CommissioningRecord, PassNeedsEveryLevelAndTheConfirmation) {
    commission::BeamResult b = fittedBeam();
    EXPECT_TRUE(b.pass());
    EXPECT_NEAR(b.worstDifferenceMm(), 0.2, 1e-12);
    b.confirmHistories = 100;
    EXPECT_FALSE(b.pass()) << "a confirmation asked for and not within tolerance";
    for (auto& level : b.confirmLevels) level.pass = true;
    EXPECT_TRUE(b.pass());
    b.levels[3].pass = false;
    EXPECT_FALSE(b.pass());
    EXPECT_NEAR(commission::differenceMm(40.2, 40.0), 0.2, 1e-12);
    EXPECT_EQ(commission::differenceMm(30.535, 30.425), 0.11);
}

TEST(CommissioningRecord, CsvRowsMatchTheHeadingAndNamesBecomeUtf8) {
    commission::BeamResult skipped;
    skipped.entry.label = "M\xfcnchen, \"old\"";
    skipped.entry.file = "M\xfcnchen.mcc";
    skipped.reason = "a reason, with a comma";
    const std::string csv = commission::commissioningCsv({fittedBeam(), skipped});
    std::istringstream lines(csv);
    std::string heading, first, second;
    std::getline(lines, heading);
    std::getline(lines, first);
    std::getline(lines, second);
    auto cells = [](const std::string& row) {
        int count = 1;
        bool quoted = false;
        for (char c : row) {
            if (c == '"') quoted = !quoted;
            if (c == ',' && !quoted) ++count;
        }
        return count;
    };
    EXPECT_EQ(cells(first), cells(heading));
    EXPECT_EQ(cells(second), cells(heading));
    EXPECT_NE(second.find("M\xc3\xbcnchen"), std::string::npos) << "Latin-1 bytes taken as their code points";
    EXPECT_EQ(commission::utf8Text("\xe2\x86\x92 ok"), "\xe2\x86\x92 ok") << "valid UTF-8 stays";
}

TEST(CommissioningOptions, ParsesTolerancesAndRefusesNonsense) {
    const auto o = commission::parseCommissionArguments({"tank", "more.mcc", "--out", "report", "--jobs", "3",
                                                         "--tolerance", "R50=0.3,R10=2", "--confirm", "1000", "--skip",
                                                         "e12#2", "--skip", "e6"});
    EXPECT_EQ(o.skipLabels, (std::vector<std::string>{"e12#2", "e6"}));
    EXPECT_EQ(o.inputs.size(), 2u);
    EXPECT_EQ(o.jobs, 3);
    EXPECT_DOUBLE_EQ(o.tolerance.at("R50"), 0.3);
    EXPECT_DOUBLE_EQ(o.tolerance.at("R10"), 2.0);
    EXPECT_DOUBLE_EQ(o.tolerance.at("R90"), 0.5) << "levels not named keep their default";
    EXPECT_EQ(o.confirmHistories, 1000);
    EXPECT_THROW(commission::parseCommissionArguments({"tank"}), std::invalid_argument) << "no --out";
    EXPECT_THROW(commission::parseCommissionArguments({"--out", "r"}), std::invalid_argument) << "no input";
    EXPECT_THROW(commission::parseCommissionArguments({"t", "--out", "r", "--tolerance", "R70=1"}),
                 std::invalid_argument);
    EXPECT_THROW(commission::parseCommissionArguments({"t", "--out", "r", "--tolerance", "R50=-1"}),
                 std::invalid_argument);
    EXPECT_THROW(commission::parseCommissionArguments({"t", "--out", "r", "--jobs", "0"}), std::invalid_argument);
    EXPECT_THROW(commission::parseCommissionArguments({"t", "--out", "r", "--confirm", "1e7"}), std::invalid_argument);
    EXPECT_THROW(commission::parseCommissionArguments({"t", "--out", "r", "--model", "gauss"}), std::invalid_argument);
}
