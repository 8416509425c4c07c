// fit-test-curve: test measurements for the fit's benchmark.
//   fit-test-curve result IN.pdd OUT.csv STEP_MM BACKGROUND_% NOISE_% SEED
//       a simulator result resampled as a measurement, with a background and noise
//   fit-test-curve clinical PEAK_MEV SPREAD_% TAIL_% OUT.csv STEP_MM BACKGROUND_% NOISE_% SEED [LIFT_%]
//       a clinical-like beam from full-physics monoenergetic shapes; LIFT_% of the gap between the
//       broad-beam surface dose and 100 % is closed by scatter (default 50)
//   fit-test-curve levels FILE.pdd|FILE.csv
//       R90 R80 R50 R10 (mm) as the comparison window finds them in a result or a measured file
#include "engine/record_io.h"
#include "engine/run_error.h"
#include "fit/range_levels.h"
#include "fit/test_curves.h"

#include <cstdio>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

// The 125 slabs of a depth-dose result file: two heading records, then "label dose" per line.
fit::DepthCurve readResult(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw engine::RunError(path, 0, "cannot be opened");
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    fit::DepthCurve curve{};
    for (std::size_t slab = 0; slab < curve.size(); ++slab) {
        double label = 0.0;
        if (!std::getline(in, line) || !(std::istringstream(line) >> label >> curve[slab]))
            throw engine::RunError(path, static_cast<int>(slab) + 3, "expected a slab and its dose");
    }
    return curve;
}

void write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) throw engine::RunError(path, 0, "cannot be written");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        fit::MeasurementMaking making;
        if (mode == "result" && argc == 8) {
            making.stepMm = std::atof(argv[4]);
            making.backgroundPercent = std::atof(argv[5]);
            making.noisePercent = std::atof(argv[6]);
            making.seed = std::strtoull(argv[7], nullptr, 10);
            const fit::MeasuredCurve curve = fit::measurementFromResult(readResult(argv[2]), making);
            write(argv[3], fit::measuredFileText(curve, std::string("depth (mm), dose: simulated from ") + argv[2]));
            return 0;
        }
        if (mode == "levels" && argc == 3) {
            const std::string file = argv[2];
            const bool result = file.size() > 4 && file.substr(file.size() - 4) == ".pdd";
            const fit::RangeLevels r = result ? fit::resultCurveLevels(readResult(file))
                                              : fit::measuredLevels(fit::readMeasuredCurve(file));
            std::printf("R90 %.3f R80 %.3f R50 %.3f R10 %.3f\n", r[0], r[1], r[2], r[3]);
            return 0;
        }
        if (mode == "clinical" && (argc == 10 || argc == 11)) {
            fit::ClinicalBeam beam;
            beam.peakMeV = std::atof(argv[2]);
            beam.spread = std::atof(argv[3]) / 100.0;
            beam.tailFraction = std::atof(argv[4]) / 100.0;
            making.stepMm = std::atof(argv[6]);
            making.backgroundPercent = std::atof(argv[7]);
            making.noisePercent = std::atof(argv[8]);
            making.seed = std::strtoull(argv[9], nullptr, 10);
            if (argc == 11) beam.surfaceLift = std::atof(argv[10]) / 100.0;
            const fit::MeasuredCurve curve = fit::measurementFromResult(fit::clinicalDepthDose(beam), making);
            write(argv[5],
                  fit::measuredFileText(curve, "depth (mm), dose: clinical-like test beam, not a measurement"));
            return 0;
        }
    } catch (const engine::RunError& e) {
        std::cerr << "fit-test-curve: " << e.what() << "\n";
        return 1;
    }
    std::cerr << "usage: fit-test-curve result IN.pdd OUT.csv STEP_MM BACKGROUND_% NOISE_% SEED\n"
                 "       fit-test-curve clinical PEAK_MEV SPREAD_% TAIL_% OUT.csv STEP_MM BACKGROUND_% NOISE_% SEED "
                 "[LIFT_%]\n"
                 "       fit-test-curve levels FILE.pdd|FILE.csv\n";
    return 1;
}
