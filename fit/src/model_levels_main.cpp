// fit-model-levels: R90, R80, R50, R10 of the model curve of given spectra on a basis of a given
// number of histories per curve (taken from the cache in the current folder, or simulated and
// cached), for measuring how the model's statistics depend on the histories.
//   fit-model-levels EMAX HISTORIES ALPHA BETA [ALPHA BETA ...]
//   fit-model-levels EMAX HISTORIES --spectrum FILE [--basis-emax MEV] [CURVE.pdd]
//       the same for the spectrum of an exchange file (Nimbrola.txt) with maximum energy EMAX, on a
//       basis of 100 curves (cached as fit-basis-<MEV>MeV-100-<HISTORIES>.txt) at EMAX or at MEV
//       (a basis of its own, so of noise independent of the fit's), optionally writing the model
//       curve in the result layout: what a long simulator run of the spectrum would give
#include "depthdose/depthdose_simulation.h"
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
#include <string>

namespace {

// The basis of `curves` curves at maxEnergy from the cache in the current folder, or simulated and cached.
fit::AxisBasis basisOf(float maxEnergy, std::int32_t histories, int curves, const std::string& file) {
    const std::uint64_t hash = fit::contentHash(engine::ELECTRON_DATA_FILE_NAME);
    std::string reason;
    auto basis = fit::loadBasis(file, maxEnergy, histories, curves, hash, reason);
    if (!basis) {
        const auto start = std::chrono::steady_clock::now();
        basis.emplace();
        fit::simulateBasis(engine::loadElectronData(engine::ELECTRON_DATA_FILE_NAME), maxEnergy, histories, curves, 2,
                           *basis);
        std::fprintf(stderr, "basis of %d histories per curve simulated in %.1f s\n", histories,
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        fit::saveBasis(file, *basis, hash);
    }
    return std::move(*basis);
}

int spectrumLevels(float maxEnergy, float basisEnergy, std::int32_t histories, const char* spectrumFile,
                   const char* curveFile) {
    std::string file = fit::basisCacheFileName(basisEnergy);
    file = file.substr(0, file.rfind('.')) + "-" + std::to_string(engine::SPECTRUM_BINS) + "-" +
           std::to_string(histories) + ".txt";
    const fit::ModelBasis model(basisOf(basisEnergy, histories, engine::SPECTRUM_BINS, file));
    engine::Spectrum spectrum = engine::readSpectrumFile(spectrumFile);
    engine::normaliseSpectrum(spectrum, maxEnergy);
    const fit::DepthCurve curve = fit::relativeModelCurve(model.binCurves(maxEnergy), spectrum);
    const fit::LevelDepths r = fit::resultCurveLevels(curve);
    std::printf("R90 %.3f R80 %.3f R50 %.3f R10 %.3f\n", r[0], r[1], r[2], r[3]);
    if (curveFile) {
        engine::RunFile run;
        run.maxEnergyMeV = maxEnergy;
        run.historyCount = static_cast<float>(histories) * engine::SPECTRUM_BINS;
        depthdose::AxisDose dose{};
        for (std::size_t slab = 0; slab < dose.size(); ++slab) dose[slab] = static_cast<float>(curve[slab]);
        engine::writeFileAtomically(curveFile, depthdose::depthDoseFileText(run, spectrum, dose));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::string(argv[3]) == "--spectrum") {
        try {
            const auto maxEnergy = static_cast<float>(std::atof(argv[1]));
            float basisEnergy = maxEnergy;
            const char* curveFile = nullptr;
            for (int i = 5; i < argc; ++i) {
                if (std::string(argv[i]) == "--basis-emax" && i + 1 < argc)
                    basisEnergy = static_cast<float>(std::atof(argv[++i]));
                else
                    curveFile = argv[i];
            }
            return spectrumLevels(maxEnergy, basisEnergy, static_cast<std::int32_t>(std::atol(argv[2])), argv[4],
                                  curveFile);
        } catch (const engine::RunError& e) {
            std::cerr << "fit-model-levels: " << e.what() << "\n";
            return 1;
        } catch (const std::out_of_range&) {
            std::cerr << "fit-model-levels: the basis does not reach the spectrum's maximum energy\n";
            return 1;
        }
    }
    if (argc < 5 || argc % 2 != 1) {
        std::cerr << "usage: fit-model-levels EMAX HISTORIES ALPHA BETA [ALPHA BETA ...]\n";
        return 1;
    }
    try {
        const auto maxEnergy = static_cast<float>(std::atof(argv[1]));
        const auto histories = static_cast<std::int32_t>(std::atol(argv[2]));
        const fit::ModelBasis model(
            basisOf(maxEnergy, histories, fit::basisCurveCount(), fit::basisCacheFileName(maxEnergy)));
        const fit::BinCurves curves = model.binCurves(maxEnergy);
        for (int i = 3; i + 1 < argc; i += 2) {
            const double alpha = std::atof(argv[i]);
            const double beta = std::atof(argv[i + 1]);
            const auto spectrum = fit::simulatorSpectrum(alpha, beta, maxEnergy);
            if (!spectrum) continue;
            const fit::LevelDepths r = fit::resultCurveLevels(fit::relativeModelCurve(curves, *spectrum));
            std::printf("alpha %.1f beta %.1f: R90 %.3f R80 %.3f R50 %.3f R10 %.3f\n", alpha, beta, r[0], r[1], r[2],
                        r[3]);
        }
    } catch (const engine::RunError& e) {
        std::cerr << "fit-model-levels: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
