// fit-exchange: writes Nimbrola.dat and Nimbrola.txt for a known spectrum exactly as the set-up
// window does, so that benchmark scripts can run the depth-dose simulator on it.
//   fit-exchange ALPHA BETA EMAX HISTORIES NAME                  a Beta spectrum
//   fit-exchange plateau ALPHA BETA LEVEL EMAX HISTORIES NAME    a Beta spectrum with a flat
//                                                                low-energy part at LEVEL of its peak
//   fit-exchange peaks X1 X2 SIGMA RATIO EMAX HISTORIES NAME     two Gaussian peaks (fractions of EMAX)
#include "fit/beta_weights.h"
#include "fit/test_curves.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

namespace {

int write(const std::array<double, 100>& relative, const std::string& title1, const std::string& title2,
          double maxEnergy, const char* histories, const char* name) {
    char line[64];
    std::ofstream run("Nimbrola.dat", std::ios::binary);
    std::snprintf(line, sizeof line, " %.1f\r\n", std::round(maxEnergy * 10.0) / 10.0);
    run << line << histories << ".\r\n" << name << ".pdd\r\n" << name << ".spct\r\n";
    std::ofstream spectrum("Nimbrola.txt", std::ios::binary);
    spectrum << title1 << "\r\n" << title2 << "\r\n";
    for (int bin = 1; bin <= 100; ++bin) {
        std::snprintf(line, sizeof line, "%02d.%02d ", bin / 100, bin % 100);
        spectrum << line << fit::weightText(relative[static_cast<std::size_t>(bin - 1)]) << "\r\n";
    }
    return run && spectrum ? 0 : 1;
}

std::string tenths(const char* prefix, double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%.1f", prefix, value);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "plateau" && argc == 8) {
        const double level = std::atof(argv[4]);
        const auto w = fit::betaWithPlateau(std::atof(argv[2]), std::atof(argv[3]), level);
        return write(w, tenths("a=", std::atof(argv[2])) + tenths(" b=", std::atof(argv[3])),
                     tenths("plateau ", 100.0 * level) + " %", std::atof(argv[5]), argv[6], argv[7]);
    }
    if (mode == "peaks" && argc == 9) {
        const auto w = fit::twoPeaks(std::atof(argv[2]), std::atof(argv[3]), std::atof(argv[4]), std::atof(argv[5]));
        return write(w, "two peaks", std::string(argv[2]) + " " + argv[3], std::atof(argv[6]), argv[7], argv[8]);
    }
    if (argc != 6) {
        std::cerr << "usage: fit-exchange ALPHA BETA EMAX HISTORIES NAME\n"
                     "       fit-exchange plateau ALPHA BETA LEVEL EMAX HISTORIES NAME\n"
                     "       fit-exchange peaks X1 X2 SIGMA RATIO EMAX HISTORIES NAME\n";
        return 1;
    }
    const double alpha = std::atof(argv[1]);
    const double beta = std::atof(argv[2]);
    const auto relative = fit::relativeBetaDensity(alpha, beta);
    if (!relative) {
        std::cerr << "fit-exchange: no Beta density for these parameters\n";
        return 1;
    }
    std::array<double, 100> w{};
    for (std::size_t j = 0; j < w.size(); ++j) w[j] = (*relative)[j + 1];
    return write(w, tenths("a=", alpha), tenths("b=", beta), std::atof(argv[3]), argv[4], argv[5]);
}
