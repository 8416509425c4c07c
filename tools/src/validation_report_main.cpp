// validation-report: reads the manifest of validation runs written by bench/validate.sh and writes
// the Markdown report.  Usage: validation-report <manifest> <report.md> <plot path as linked>
#include "engine/run_error.h"
#include "tools/validation_report.h"

#include <cstdio>
#include <exception>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: validation-report <manifest> <report.md> <plot path as linked>\n");
        return 2;
    }
    try {
        const std::vector<tools::ValidationRun> runs = tools::loadValidationRuns(argv[1]);
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out << tools::formatValidationReport(runs, "make validate", argv[3]);
        out.close();
        if (!out) throw engine::RunError(argv[2], 0, "cannot be written");
        for (const tools::ValidationRun& run : runs) {
            std::printf("%5.1f MeV  R50 %6.2f mm  Rp %6.2f mm  (%lld histories, %.1f s)\n", run.energyMeV,
                        run.quality.r50Mm, run.quality.practicalRangeMm, run.histories, run.seconds);
        }
        std::printf("R50 uncertainty (1 sigma) %.3f mm\nWrote %s\n", tools::pooledR50UncertaintyMm(runs), argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
