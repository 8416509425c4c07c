#include "commissioning/commissioning_run.h"

#include <gtest/gtest.h>

using orvalis::commissioning::CommissionEvent;
using orvalis::commissioning::parseCommissionLine;

TEST(CommissioningRun, ArgumentsSayWhatTheWindowAsks) {
    orvalis::commissioning::CommissioningRequest request;
    request.inputs = {"tank", "M\xfcnchen.mcc"};
    request.outFolder = "report";
    request.title = "Linac 3";
    request.toleranceMm = {{"R10", 1.0}, {"R50", 0.3}};
    request.confirmHistories = 10000000;
    request.skipLabels = {"e12#2"};
    EXPECT_EQ(orvalis::commissioning::commissionArguments(request),
              (std::vector<std::string>{"tank", "M\xfcnchen.mcc", "--out", "report", "--title", "Linac 3",
                                        "--tolerance", "R10=1,R50=0.3", "--confirm", "10000000", "--skip", "e12#2"}));
}

TEST(CommissioningRun, ReadsTheProgramsLinesAndNothingElse) {
    const auto overall = parseCommissionLine("PROGRESS beam 3 12");
    ASSERT_TRUE(overall);
    EXPECT_EQ(overall->kind, CommissionEvent::Kind::Overall);
    EXPECT_EQ(overall->done, 3);
    EXPECT_EQ(overall->total, 12);
    const auto beam = parseCommissionLine("PROGRESS beam-4 57 100");
    ASSERT_TRUE(beam);
    EXPECT_EQ(beam->kind, CommissionEvent::Kind::BeamProgress);
    EXPECT_EQ(beam->beam, 4);
    EXPECT_EQ(beam->done, 57);
    const auto done = parseCommissionLine("RESULT beam n=2 status=fitted pass=0 R50=32.294 worst=0.610");
    ASSERT_TRUE(done);
    EXPECT_EQ(done->kind, CommissionEvent::Kind::BeamDone);
    EXPECT_EQ(done->beam, 2);
    EXPECT_TRUE(done->fitted);
    EXPECT_FALSE(done->pass);
    EXPECT_DOUBLE_EQ(done->r50Mm.value(), 32.294);
    EXPECT_DOUBLE_EQ(done->worstMm.value(), 0.61);
    const auto notFitted = parseCommissionLine("RESULT beam n=1 status=skipped pass=0 R50=nan worst=nan");
    ASSERT_TRUE(notFitted);
    EXPECT_FALSE(notFitted->fitted);
    EXPECT_FALSE(notFitted->r50Mm);
    for (const char* other : {"PROGRESS basis 3 100", "PROGRESS beam-x 3 100", "RESULT beam n=0 status=fitted",
                              "RESULT R50 measured=1 free=2", "e09: R50 32.29 mm measured", ""})
        EXPECT_FALSE(parseCommissionLine(other)) << other;
}
