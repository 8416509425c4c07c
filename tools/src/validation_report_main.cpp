// validation-report: reads the manifest of validation runs written by bench/validate.sh and writes
// the Markdown report.  Usage: validation-report <manifest> <report.md> <plot path as linked>
#include "engine/result_file.h"
#include "engine/run_error.h"
#include "tools/validation_report.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: validation-report <manifest> <report.md> <plot path as linked>\n");
        return 2;
    }
    try {
        const std::vector<tools::ValidationRun> runs = tools::loadValidationRuns(argv[1]);
        engine::writeFileAtomically(argv[2], tools::formatValidationReport(runs, "make validate", argv[3]));
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
