// Stands in for orvalis-fit in the window tests: writes its arguments to fake-args.txt and adds a
// line to fake-runs.txt for every start, prints progress lines and, unless told to fail or to hang,
// a fitted curve file and the result lines of the model asked for (--model free: the free-form
// figures, the drawn spectrum and the one for the simulators, which differ).
//   FAKE_FIT=fail: an error on stderr, exit status 1; FAKE_FIT=hang: waits to be killed;
//   FAKE_FIT=no-background: a free-form fit that found no background, and says why;
//   FAKE_FIT=crash: the whole output of the model, then a crash instead of exit status 0.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "beamdata/fit_protocol.h"

namespace {

// The curve: 1 down to record 40, then falling to 0 at record 90.
void writeCurve(const std::string& path, const char* titles) {
    std::ofstream curve(path, std::ios::binary);
    curve << titles << "\r\n    2240000.\r\n";
    for (int i = 1; i <= 125; ++i) {
        const double dose = i <= 40 ? 1.0 : (i >= 90 ? 0.0 : (90 - i) / 50.0);
        char line[32];
        std::snprintf(line, sizeof line, "%4d.%10.3E\r\n", i - 15, dose);
        curve << line;
    }
}

// The free-form RESULT lines with a spectrum rising from bin 40 to its peak at bin 80 and falling to
// 0 at bin 90, its band 0.2 below and above it, and an interval of R80; the one for the simulators
// peaks at bin 78 and stops at bin 85.
void printFreeResult(bool background) {
    beamdata::FreeSpectrumWeights weights{};
    beamdata::FreeSpectrumWeights run{};
    for (int bin = 40; bin <= 89; ++bin) {
        weights[static_cast<std::size_t>(bin - 1)] = bin <= 80 ? (bin - 39) / 41.0 : (90 - bin) / 10.0;
        run[static_cast<std::size_t>(bin - 1)] = bin <= 78 ? (bin - 39) / 39.0 : std::max(0.0, (85 - bin) / 7.0);
    }
    std::printf("%s", beamdata::resultLine(beamdata::freeSpectrumRecord(weights)).c_str());
    beamdata::SpectrumBand band;
    for (std::size_t j = 0; j < weights.size(); ++j) {
        band.low[j] = std::max(0.0, weights[j] - 0.2);
        band.high[j] = weights[j] + 0.2;
    }
    std::printf("%s", beamdata::resultLine(beamdata::spectrumBandRecord(band)).c_str());
    std::printf("RESULT interval quantity=R80 value=28.010 low=27.900 high=28.150 level=0.95\n");
    std::printf("%s", beamdata::resultLine(
                          beamdata::freeSpectrumRecord(background ? run : weights, beamdata::RUN_SPECTRUM_KIND))
                          .c_str());
    if (!background)
        std::printf("%s", beamdata::resultLine(
                              beamdata::noBackgroundRecord("the dose beyond the practical range falls by 4.2 % per mm, "
                                                           "faster than photons"))
                              .c_str());
    std::printf(
        "RESULT free rms=0.4123 emax=11.2 mean=8.731 peak=8.960 background=%s smooth=3.1623e-04\n"
        "RESULT R90 measured=26.310 free=26.402 window=26.450\nRESULT R80 measured=28.000 free=28.010 window=28.100\n"
        "RESULT R50 measured=32.500 free=32.480 window=32.520\nRESULT R10 measured=38.900 free=nan window=39.010\n",
        background ? "1.850" : "0.000");
}

}  // namespace

int main(int argc, char** argv) {
    std::string out;
    bool free = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--out" && i + 1 < argc) out = argv[i + 1];
        if (a == "--model" && i + 1 < argc) free = std::string(argv[i + 1]) == "free";
    }
    std::ofstream args("fake-args.txt");
    for (int i = 1; i < argc; ++i) args << argv[i] << "\n";
    args.close();
    std::ofstream("fake-runs.txt", std::ios::app) << "run\n";
    const char* mode = std::getenv("FAKE_FIT");
    const std::string how = mode ? mode : "";
    std::printf("Basis fit-basis-9.0MeV.txt: no basis file yet\nPROGRESS basis 56 112\n");
    std::fflush(stdout);
    if (how == "hang") {
        for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (how == "fail") {
        std::fprintf(stderr, "orvalis-fit: m.csv, line 3: expected a number\n");
        return 1;
    }
    if (free) {
        std::printf("PROGRESS basis 112 112\nPROGRESS free 0 1\nPROGRESS free 1 1\n");
        if (!out.empty()) writeCurve(out, "  11.20 MeV free-form fit       with background 1.9 %  ");
        printFreeResult(how != "no-background");
        std::fflush(stdout);
        if (how == "crash") std::abort();
        return 0;
    }
    std::printf("PROGRESS basis 112 112\nPROGRESS scan 21 21\nPROGRESS refine 1 1\n");
    writeCurve(out, "  9.40 MeV fit alpha=8.2       beta=2.1            ");
    std::printf(
        "Note: the maximum energy stopped at the edge of the allowed span (+-10 %%); a wider --span may fit better.\n");
    std::printf(
        "RESULT grid alpha=8.2 beta=2.1 emax=9.4 rms=0.512\nRESULT continuous alpha=8.23 beta=2.12 emax=9.41 rms=0.5\n"
        "RESULT R50 measured=50.25 grid=50.00 continuous=50.01\n");
    std::fflush(stdout);
    if (how == "crash") std::abort();
    return 0;
}
