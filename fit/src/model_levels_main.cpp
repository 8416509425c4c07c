// fit-model-levels: R90, R80, R50, R10 of the model curve of given spectra on a basis of a given
// number of histories per curve (taken from the cache in the current folder, or simulated and
// cached), for measuring how the model's statistics depend on the histories.
//   fit-model-levels EMAX HISTORIES ALPHA BETA [ALPHA BETA ...]
#include "engine/electron_data.h"
#include "engine/run_error.h"
#include "fit/basis_cache.h"
#include "fit/beta_weights.h"
#include "fit/model_curve.h"
#include "fit/range_levels.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    if (argc < 5 || argc % 2 != 1) {
        std::cerr << "usage: fit-model-levels EMAX HISTORIES ALPHA BETA [ALPHA BETA ...]\n";
        return 1;
    }
    try {
        const auto maxEnergy = static_cast<float>(std::atof(argv[1]));
        const auto histories = static_cast<std::int32_t>(std::atol(argv[2]));
        const std::uint64_t hash = fit::contentHash(engine::ELECTRON_DATA_FILE_NAME);
        const std::string file = fit::basisCacheFileName(maxEnergy);
        std::string reason;
        auto basis = fit::loadBasis(file, maxEnergy, histories, fit::basisCurveCount(), hash, reason);
        if (!basis) {
            const auto start = std::chrono::steady_clock::now();
            basis.emplace();
            fit::simulateBasis(engine::loadElectronData(engine::ELECTRON_DATA_FILE_NAME), maxEnergy, histories,
                               fit::basisCurveCount(), 2, *basis);
            std::printf("basis of %d histories per curve simulated in %.1f s\n", histories,
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            fit::saveBasis(file, *basis, hash);
        }
        const fit::ModelBasis model(*basis);
        const fit::BinCurves curves = model.binCurves(maxEnergy);
        for (int i = 3; i + 1 < argc; i += 2) {
            const double alpha = std::atof(argv[i]);
            const double beta = std::atof(argv[i + 1]);
            const auto spectrum = fit::simulatorSpectrum(alpha, beta, maxEnergy);
            if (!spectrum) continue;
            const fit::RangeLevels r = fit::resultCurveLevels(fit::relativeModelCurve(curves, *spectrum));
            std::printf("alpha %.1f beta %.1f: R90 %.3f R80 %.3f R50 %.3f R10 %.3f\n", alpha, beta, r[0], r[1], r[2],
                        r[3]);
        }
    } catch (const engine::RunError& e) {
        std::cerr << "fit-model-levels: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
