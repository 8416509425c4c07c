// fit-exchange: writes Nimbrola.dat and Nimbrola.txt for a known spectrum with the set-up window's
// own writer, so that benchmark scripts can run the depth-dose simulator on it.
//   fit-exchange ALPHA BETA EMAX HISTORIES NAME                  a Beta spectrum
//   fit-exchange plateau ALPHA BETA LEVEL EMAX HISTORIES NAME    a Beta spectrum with a flat
//                                                                low-energy part at LEVEL of its peak
//   fit-exchange peaks X1 X2 SIGMA RATIO EMAX HISTORIES NAME     two Gaussian peaks (fractions of EMAX)
#include "beamdata/beta_spectrum.h"
#include "beamdata/exchange_files.h"
#include "beamdata/number_pattern.h"
#include "beamdata/text_value.h"
#include "engine/run_error.h"
#include "fit/test_curves.h"

#include <array>
#include <iostream>
#include <string>

namespace {

// Bins 1..100 of `weight` (index 0..99) written under the two titles.
int write(const std::array<double, 100>& weight, const std::string& title1, const std::string& title2,
          const char* maxEnergy, const char* histories, const char* name) {
    beamdata::ExchangeContent content;
    content.kind = beamdata::CalculationKind::DepthDose;
    content.maxEnergyMeV = beamdata::textValue(maxEnergy);
    content.historyText = histories;
    content.resultBaseName = name;
    content.titleLine1 = title1;
    content.titleLine2 = title2;
    for (std::size_t bin = 1; bin <= weight.size(); ++bin) content.relativeWeight[bin] = weight[bin - 1];
    try {
        beamdata::writeExchangeFiles(".", content);
    } catch (const engine::RunError& error) {
        std::cerr << "fit-exchange: " << error.what() << "\n";
        return 1;
    }
    return 0;
}

std::string tenths(const char* prefix, double value) { return prefix + beamdata::formatNumber(value, "#0.0"); }

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "plateau" && argc == 8) {
        const double alpha = beamdata::textValue(argv[2]);
        const double beta = beamdata::textValue(argv[3]);
        const double level = beamdata::textValue(argv[4]);
        const auto w = fit::betaWithPlateau(alpha, beta, level);
        return write(w, tenths("a=", alpha) + tenths(" b=", beta), tenths("plateau ", 100.0 * level) + " %", argv[5],
                     argv[6], argv[7]);
    }
    if (mode == "peaks" && argc == 9) {
        const auto w = fit::twoPeaks(beamdata::textValue(argv[2]), beamdata::textValue(argv[3]),
                                     beamdata::textValue(argv[4]), beamdata::textValue(argv[5]));
        return write(w, "two peaks", std::string(argv[2]) + " " + argv[3], argv[6], argv[7], argv[8]);
    }
    if (argc != 6) {
        std::cerr << "usage: fit-exchange ALPHA BETA EMAX HISTORIES NAME\n"
                     "       fit-exchange plateau ALPHA BETA LEVEL EMAX HISTORIES NAME\n"
                     "       fit-exchange peaks X1 X2 SIGMA RATIO EMAX HISTORIES NAME\n";
        return 1;
    }
    const double alpha = beamdata::textValue(argv[1]);
    const double beta = beamdata::textValue(argv[2]);
    const auto relative = beamdata::relativeBetaDensity(alpha, beta);
    if (!relative) {
        std::cerr << "fit-exchange: no Beta density for these parameters\n";
        return 1;
    }
    std::array<double, 100> weight{};
    for (std::size_t bin = 1; bin <= weight.size(); ++bin) weight[bin - 1] = (*relative)[bin];
    return write(weight, beamdata::alphaTitleLine(alpha), beamdata::betaTitleLine(beta), argv[3], argv[4], argv[5]);
}
