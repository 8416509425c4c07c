// Stands in for orvalis-fit in the window tests: writes its arguments to fake-args.txt, prints
// progress lines and, unless told to fail or to hang, a fitted curve file and the result lines.
//   FAKE_FIT=fail: an error on stderr, exit status 1; FAKE_FIT=hang: waits to be killed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    std::ofstream args("fake-args.txt");
    std::string out;
    for (int i = 1; i < argc; ++i) {
        args << argv[i] << "\n";
        if (std::string(argv[i]) == "--out" && i + 1 < argc) out = argv[i + 1];
    }
    args.close();
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
    std::printf("PROGRESS basis 112 112\nPROGRESS scan 21 21\nPROGRESS refine 1 1\n");
    // The curve: 1 down to record 40, then falling to 0 at record 90.
    std::ofstream curve(out, std::ios::binary);
    curve << "  9.40 MeV fit alpha=8.2       beta=2.1            \r\n    2240000.\r\n";
    for (int i = 1; i <= 125; ++i) {
        const double dose = i <= 40 ? 1.0 : (i >= 90 ? 0.0 : (90 - i) / 50.0);
        char line[32];
        std::snprintf(line, sizeof line, "%4d.%10.3E\r\n", i - 15, dose);
        curve << line;
    }
    curve.close();
    std::printf(
        "Note: the maximum energy stopped at the edge of the allowed span (+-10 %%); a wider --span may fit better.\n");
    std::printf(
        "RESULT grid alpha=8.2 beta=2.1 emax=9.4 rms=0.512\nRESULT continuous alpha=8.23 beta=2.12 emax=9.41 rms=0.5\n"
        "RESULT R50 measured=50.25 grid=50.00 continuous=50.01\n");
    return 0;
}
