// make-eldat: writes the multiple-scattering table ELDAT.dat of the simulators.
//
// For 24 energies from 60 MeV down to 300 keV it computes the Goudsmit-Saunderson distribution of
// the deflection cosine over one engine step in water (screened Rutherford scattering, Moliere
// screening, step lengths from the engine's collision stopping power) and stores 65 quantiles of it.
// The output is deterministic: the same build writes the same bytes.
//
// Regenerate the committed table from the top of the source tree:
//     cmake --build build --target make-eldat && build/bin/make-eldat data/ELDAT.dat
// (with no argument the table goes to ELDAT.dat in the current folder).
#include "engine/electron_data.h"
#include "engine/run_error.h"
#include "tools/eldat_table.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <numbers>
#include <string>

int main(int argc, char** argv) {
    const std::string outputPath = argc > 1 ? argv[1] : engine::ELECTRON_DATA_FILE_NAME;
    try {
        const tools::ScatteringTable table = tools::buildScatteringTable();
        engine::saveElectronData(outputPath, tools::toElectronData(table));
        std::printf("  energy keV   mean cosine   median deg (table)   column 65\n");
        for (std::size_t k = 0; k < table.energyKeV.size(); ++k) {
            const double medianCosine = table.quantiles[k][32] / 16384.0;
            std::printf("%12.4f   %11.6f   %18.3f   %9d\n", table.energyKeV[k], table.exactMeanCosine[k],
                        std::acos(medianCosine) * 180.0 / std::numbers::pi, table.quantiles[k][64]);
        }
        std::printf("Wrote %s\n", outputPath.c_str());
    } catch (const engine::RunError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-eldat: %s\n", error.what());
        return 1;
    }
    return 0;
}
