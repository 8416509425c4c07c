// Whole orvalis-commission runs on a small folder: the record against orvalis-fit and
// orvalis-quality on the same beam, independence of --jobs, the PDF's text, and Ctrl-C.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "beamdata/fit_protocol.h"
#include "commission/child_process.h"
#include "testsupport/test_folder.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A work folder with the scattering and range tables and a folder of exports: one electron beam,
// a photon curve and a file of profiles.
void prepare(const testsupport::TestFolder& work) {
    fs::copy_file(ELDAT_PATH, work.path() / "ELDAT.dat");
    fs::copy_file(WATER_CSDA_PATH, work.path() / "water.csda");
    fs::create_directories(work.path() / "tank");
    const fs::path samples = BEAMDATA_SAMPLES_PATH;
    fs::copy_file(samples / "example-9MeV.mcc", work.path() / "tank" / "e09.mcc");
    fs::copy_file(samples / "profiles-only.asc", work.path() / "tank" / "profiles.asc");
    std::string photon = fileText(samples / "example-9MeV.mcc");
    photon.replace(photon.find("MODALITY=EL"), 11, "MODALITY=X");
    work.write("tank/photon.mcc", photon);
}

commission::ChildResult run(const fs::path& program, const std::vector<std::string>& arguments,
                            const fs::path& folder) {
    const std::atomic<bool> never{false};
    return commission::runChild(program, arguments, folder, never);
}

Json withoutCreated(Json json) {
    json.erase("created");
    return json;
}

std::optional<beamdata::ResultRecord> record(const std::string& output, const std::string& kind) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto r = beamdata::parseResultLine(line);
        if (r && r->kind == kind) return r;
    }
    return std::nullopt;
}

double field(const std::string& line, const std::string& key) {
    const auto at = line.find(" " + key + "=");
    EXPECT_NE(at, std::string::npos) << key;
    return std::strtod(line.c_str() + at + key.size() + 2, nullptr);
}

}  // namespace

TEST(CommissionRun, RecordsWhatTheFitAndTheQualityFiguresPrintWhateverTheJobs) {
    testsupport::TestFolder work;
    prepare(work);
    const auto first = run(COMMISSION_PROGRAM, {"tank", "--out", "one", "--jobs", "1", "--title", "Linac 3"},
                           work.path());
    ASSERT_EQ(first.exitStatus, 0) << first.output << first.errors;
    EXPECT_NE(first.output.find("PROGRESS beam 1 1"), std::string::npos) << first.output;
    const auto second = run(COMMISSION_PROGRAM, {"tank", "--out", "two", "--jobs", "2", "--title", "Linac 3"},
                            work.path());
    ASSERT_EQ(second.exitStatus, 0) << second.errors;
    const Json one = Json::parse(fileText(work.path() / "one" / "commissioning.json"));
    const Json two = Json::parse(fileText(work.path() / "two" / "commissioning.json"));
    EXPECT_EQ(withoutCreated(one), withoutCreated(two));
    EXPECT_EQ(fileText(work.path() / "one" / "commissioning.csv"), fileText(work.path() / "two" / "commissioning.csv"));

    // Three entries: the electron beam fitted, the photon curve and the profiles skipped with reasons.
    ASSERT_EQ(one["beams"].size(), 3u);
    std::map<std::string, Json> beams;
    for (const Json& b : one["beams"]) beams[b["label"]] = b;
    ASSERT_EQ(beams["e09"]["status"], "fitted");
    EXPECT_EQ(beams["photon"]["status"], "skipped");
    EXPECT_NE(beams["photon"]["reason"].get<std::string>().find("photon"), std::string::npos);
    EXPECT_EQ(beams["profiles"]["status"], "skipped");
    EXPECT_TRUE(fs::exists(work.path() / "one" / "beams" / "e09" / "Nimbrola.dat"));
    EXPECT_TRUE(fs::exists(work.path() / "one" / "beams" / "e09" / "Nimbrola.txt"));

    // The same numbers as orvalis-fit and orvalis-quality print for the beam.
    const auto fit = run(FIT_PROGRAM, {"tank/e09.mcc", "--scan", "1", "--model", "free", "--rp", "measured"},
                         work.path());
    ASSERT_EQ(fit.exitStatus, 0) << fit.errors;
    const Json& f = beams["e09"]["fit"];
    for (const std::string level : {"R90", "R80", "R50", "R10"}) {
        const auto r = record(fit.output, level);
        ASSERT_TRUE(r) << level;
        EXPECT_EQ(f["levels"][level]["measured"].get<double>(), r->number("measured").value()) << level;
        EXPECT_EQ(f["levels"][level]["model"].get<double>(), r->number("free").value()) << level;
    }
    const auto summary = record(fit.output, "free");
    ASSERT_TRUE(summary);
    EXPECT_EQ(f["mean"].get<double>(), summary->number("mean").value());
    EXPECT_EQ(f["rms"].get<double>(), summary->number("rms").value());
    EXPECT_EQ(f["spectrum"]["weight"].size(), 100u);
    const auto quality = run(QUALITY_PROGRAM, {"tank/e09.mcc"}, work.path());
    const auto at = quality.output.find("QUALITY ");
    ASSERT_NE(at, std::string::npos) << quality.output;
    const std::string line = quality.output.substr(at, quality.output.find('\n', at) - at);
    for (const std::string figure : {"R50", "Rp", "E0", "Ep0", "G"})
        EXPECT_EQ(beams["e09"]["quality"][figure].get<double>(), field(line, figure)) << figure;

    // The report: a summary page, one page per fitted beam and the page of skipped curves, with
    // every label and R50 as text.
    const fs::path pdf = work.path() / "one" / "commissioning.pdf";
    if (!fs::exists(pdf) || std::system("pdftotext -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "no PDF or no pdftotext";
    const std::string command = "pdftotext -layout '" + pdf.string() + "' '" + (work.path() / "report.txt").string() +
                                "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string text = fileText(work.path() / "report.txt");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\f'), 3) << "1 + beams + 1 pages";
    for (const std::string label : {"e09", "photon", "profiles", "Linac 3", "Checked by"})
        EXPECT_NE(text.find(label), std::string::npos) << label;
    char r50[16];
    std::snprintf(r50, sizeof r50, "%.2f", beams["e09"]["quality"]["R50"].get<double>());
    EXPECT_NE(text.find(r50), std::string::npos) << r50;
}

#ifndef _WIN32
// Ctrl-C while the first beam is being fitted: the run stops, says so, and writes no report.
TEST(CommissionRun, CtrlCStopsWithoutAHalfReport) {
    testsupport::TestFolder work;  // no basis cached here: the first fit takes seconds
    prepare(work);
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        if (::chdir(work.path().c_str()) != 0) ::_exit(126);
        ::execl(COMMISSION_PROGRAM, COMMISSION_PROGRAM, "tank", "--out", "report", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string seen;
    char buffer[256];
    ssize_t n = 0;
    while (seen.find("PROGRESS beam 0") == std::string::npos && (n = ::read(out[0], buffer, sizeof buffer)) > 0)
        seen.append(buffer, static_cast<std::size_t>(n));
    ASSERT_NE(seen.find("PROGRESS beam 0"), std::string::npos) << seen;
    ::kill(pid, SIGINT);
    while (::read(out[0], buffer, sizeof buffer) > 0) {
    }
    ::close(out[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_FALSE(fs::exists(work.path() / "report" / "commissioning.json"));
    EXPECT_FALSE(fs::exists(work.path() / "report" / "commissioning.pdf"));
}
#endif
