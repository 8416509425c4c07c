// The campaign's own machinery on a target that misbehaves on purpose: every kind of failure is
// counted for its own case, and the cases after it in the same child still run.
#include "fuzz/campaign.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace {

using namespace fuzz;

// Case n does what `behaviour(n)` says: 0 accepted, 1 crash, 2 hang, 3 a sanitizer-like report,
// 4 a damaged outcome, 5 an escaped exception, 6 refused without naming its file.
class MisbehavingTarget : public Target {
public:
    explicit MisbehavingTarget(int batch) : batch_(batch) {}
    std::string name() const override { return "misbehaving"; }
    int batchSize() const override { return batch_; }
    CasePlan prepare(const std::filesystem::path& folder, FuzzRandom&) const override {
        CasePlan plan;
        plan.description = folder.filename().string();
        writeBytes(folder / "behaviour", std::to_string(next_++ % 7));
        return plan;
    }
    Outcome run(const std::filesystem::path& folder, const CasePlan&) const override {
        switch (std::stoi(readBytes(folder / "behaviour"))) {
        case 1: std::raise(SIGSEGV); break;
        case 2: std::this_thread::sleep_for(std::chrono::seconds(60)); break;
        case 3: std::fputs("file.cpp:1:2: runtime error: signed integer overflow\n", stderr); std::abort();
        case 4: return {OutcomeKind::Damaged, "a negative cell"};
        case 5: throw std::runtime_error("out of range");
        case 6: return {OutcomeKind::Refused, "something failed"};
        default: break;
        }
        return {OutcomeKind::Accepted, {}};
    }
    Verdict judge(const std::filesystem::path&, const CasePlan&, const ChildEnd& end) const override {
        if (end.outcome->kind == OutcomeKind::Damaged) return {Finding::DamagedResult, end.outcome->message};
        if (end.outcome->kind == OutcomeKind::Refused) return refusalVerdict(end.outcome->message, {"ELDAT.dat"});
        return {};
    }

private:
    int batch_;
    mutable int next_ = 0;
};

TEST(Campaign, EveryFailureIsCountedForItsOwnCaseAndTheOthersStillRun) {
    for (int batch : {1, 7}) {
        testing_support::TempFolder work("fuzz-campaign");
        std::vector<std::unique_ptr<Target>> targets;
        targets.push_back(std::make_unique<MisbehavingTarget>(batch));
        CampaignOptions options;
        options.casesPerTarget = 14;   // every behaviour twice
        options.timeoutSeconds = 3.0;  // room for a sanitizer to write its report
        options.workFolder = work.path();
        std::ostringstream report;
        EXPECT_EQ(runCampaign(targets, options, report), 12) << report.str();
        const std::string text = report.str();
        // A crash is a sanitizer report in a sanitized build, which catches the SIGSEGV itself.
        const bool plain = text.find(
                               "2 accepted,     2 refused,    0 skipped, 4 crash, 2 hang, 2 sanitizer report, "
                               "2 damaged result, 2 error without its file") != std::string::npos;
        const bool sanitized = text.find(
                                   "2 accepted,     2 refused,    0 skipped, 2 crash, 2 hang, 4 sanitizer "
                                   "report, 2 damaged result, 2 error without its file") != std::string::npos;
        EXPECT_TRUE(plain || sanitized) << text;
        EXPECT_NE(text.find("case 9 (case-"), std::string::npos) << text;  // the second hang, after a crash
        EXPECT_NE(text.find("an exception escaped: out of range"), std::string::npos) << text;
    }
}

}  // namespace
