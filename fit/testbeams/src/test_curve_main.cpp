// fit-test-curve: test measurements for the fit's benchmark.
//   fit-test-curve result IN.pdd OUT.csv STEP_MM BACKGROUND_% NOISE_% SEED [LAST_MM [buildup]]
//       a simulator result resampled as a measurement, with a background and noise, to LAST_MM
//       (0 or none: 1.3 Rp + 10 mm); "buildup" builds the background up under the surface as the
//       free-form fit's background model does
//   fit-test-curve clinical PEAK_MEV SPREAD_% TAIL_% OUT.csv STEP_MM BACKGROUND_% NOISE_% SEED [LIFT_%]
//       a clinical-like beam from full-physics monoenergetic shapes; LIFT_% of the gap between the
//       broad-beam surface dose and 100 % is closed by scatter (default 50)
//   fit-test-curve beam OUT KEY=VALUE...
//       a clinical beam measured in a water tank (fit/clinical_beam.h), written as csv, mcc, rfa300
//       or w2cad (format=...); keys and defaults are listed by the usage text
//   fit-test-curve levels FILE.pdd|FILE.csv
//       R90 R80 R50 R10 (mm) as the comparison window finds them in a result or a measured file
#include "engine/record_io.h"
#include "engine/result_file.h"
#include "engine/run_error.h"
#include "fit/clinical_beam.h"
#include "fit/range_levels.h"
#include "fit/test_curves.h"
#ifdef ORVALIS_WATER_TANK_FORMATS
#include "sample_scans.h"
#endif

#include <cstdio>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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

void write(const std::string& path, const std::string& text) { engine::writeFileAtomically(path, text); }

// KEY=VALUE arguments; every key must be one of `defaults`, whose values fill the missing ones.
std::map<std::string, std::string> keyValues(const std::vector<std::string>& arguments,
                                             std::map<std::string, std::string> values) {
    for (const std::string& a : arguments) {
        const auto equals = a.find('=');
        if (equals == std::string::npos || !values.count(a.substr(0, equals)))
            throw engine::RunError("unknown argument \"" + a + "\"");
        values[a.substr(0, equals)] = a.substr(equals + 1);
    }
    return values;
}

const std::map<std::string, std::string> BEAM_DEFAULTS = {
    {"peak", "9"},    {"spread", "4"}, {"tail", "10"},     {"tailfrom", "0.3"}, {"tailrise", "0"},
    {"lift", "50"},   {"field", "15"}, {"ssd", "100"},     {"bg", "1"},         {"bgslope", "0.3"},
    {"bgbuild", "0"}, {"first", "1"},  {"buildstep", "1"}, {"step", "2"},       {"beyond", "20"},
    {"noise", "0.3"}, {"ion", "0"},    {"seed", "1"},      {"format", "csv"}};

std::string beamFileText(const fit::TankMeasurement& m, const std::map<std::string, std::string>& v) {
    const std::string& format = v.at("format");
    const bool ionisation = v.at("ion") != "0";
    if (format == "csv") {
        if (ionisation) throw engine::RunError("a csv file says nothing of its detector: ion=1 needs another format");
        return fit::measuredFileText(m.curve, "depth (mm), dose: clinical-like test beam, not a measurement");
    }
#ifdef ORVALIS_WATER_TANK_FORMATS
    beamdata::testing::SampleScan scan;
    scan.curve.depthMm = m.curve.depthMm;
    scan.curve.value = m.curve.dose;
    scan.energyMeV = std::atof(v.at("peak").c_str());
    scan.fieldMm = 10.0 * std::atof(v.at("field").c_str());
    scan.chamber = ionisation;
    scan.detectorName = ionisation ? "Roos 34001" : "Diode E 60017";
    if (format == "mcc") return beamdata::testing::mccText({scan});
    if (format == "rfa300") return beamdata::testing::rfa300Text({scan});
    if (format == "w2cad") return beamdata::testing::w2cadText({scan});
#endif
    throw engine::RunError("format=" + format + " is not written by this build");
}

int writeBeam(const std::string& path, const std::vector<std::string>& arguments) {
    const auto v = keyValues(arguments, BEAM_DEFAULTS);
    const auto number = [&v](const char* key) { return std::atof(v.at(key).c_str()); };
    fit::ClinicalBeam beam;
    beam.peakMeV = number("peak");
    beam.spread = number("spread") / 100.0;
    beam.tailFraction = number("tail") / 100.0;
    beam.tailLowest = number("tailfrom");
    beam.tailRise = number("tailrise");
    beam.surfaceLift = number("lift") / 100.0;
    beam.fieldCm = number("field");
    beam.sourceDistanceCm = number("ssd");
    fit::PhotonBackground photons;
    photons.atRpPercent = number("bg");
    photons.slopePerMm = number("bgslope") / 100.0;
    photons.buildUp = number("bgbuild");
    fit::TankScan scan;
    scan.firstDepthMm = number("first");
    scan.buildUpStepMm = number("buildstep");
    scan.stepMm = number("step");
    scan.beyondRpMm = number("beyond");
    scan.noisePercent = number("noise");
    scan.ionisation = v.at("ion") != "0";
    scan.seed = std::strtoull(v.at("seed").c_str(), nullptr, 10);
    const fit::TankMeasurement m = fit::measureClinicalBeam(beam, photons, scan);
    write(path, beamFileText(m, v));
    std::printf("Rp %.2f mm, R50 %.2f mm of the dose, %zu points to %.1f mm\n", m.practicalRangeMm, m.r50Mm,
                m.curve.depthMm.size(), m.curve.depthMm.back());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        fit::MeasurementMaking making;
        if (mode == "result" && argc >= 8 && argc <= 10) {
            if (argc >= 9) making.lastDepthMm = std::atof(argv[8]);
            making.photonBuildUp = argc == 10 && std::string(argv[9]) == "buildup";
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
            const fit::LevelDepths r = result ? fit::resultCurveLevels(readResult(file))
                                              : fit::measuredLevels(fit::readMeasuredCurve(file));
            std::printf("R90 %.3f R80 %.3f R50 %.3f R10 %.3f\n", r[0], r[1], r[2], r[3]);
            return 0;
        }
        if (mode == "beam" && argc >= 3) return writeBeam(argv[2], std::vector<std::string>(argv + 3, argv + argc));
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
    std::cerr
        << "usage: fit-test-curve result IN.pdd OUT.csv STEP_MM BACKGROUND_% NOISE_% SEED [LAST_MM [buildup]]\n"
           "       fit-test-curve clinical PEAK_MEV SPREAD_% TAIL_% OUT.csv STEP_MM BACKGROUND_% NOISE_% SEED "
           "[LIFT_%]\n"
           "       fit-test-curve beam OUT KEY=VALUE... (peak MeV, spread %, tail %, tailfrom, tailrise, lift %,\n"
           "           field cm, ssd cm, bg %, bgslope %/cm, bgbuild, first mm, buildstep mm, step mm,\n"
           "           beyond mm, noise %, ion 0|1, seed, format csv|mcc|rfa300|w2cad)\n"
           "       fit-test-curve levels FILE.pdd|FILE.csv\n";
    return 1;
}
