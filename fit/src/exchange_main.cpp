// fit-exchange: writes Nimbrola.dat and Nimbrola.txt for a Beta spectrum exactly as the set-up
// window does, so that benchmark scripts can run the depth-dose simulator on known spectra.
//   fit-exchange ALPHA BETA EMAX HISTORIES NAME
#include "fit/beta_weights.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: fit-exchange ALPHA BETA EMAX HISTORIES NAME\n";
        return 1;
    }
    const double alpha = std::atof(argv[1]);
    const double beta = std::atof(argv[2]);
    const double maxEnergy = std::atof(argv[3]);
    const auto relative = fit::relativeBetaDensity(alpha, beta);
    if (!relative) {
        std::cerr << "fit-exchange: no Beta density for these parameters\n";
        return 1;
    }
    char line[64];
    std::ofstream run("Nimbrola.dat", std::ios::binary);
    std::snprintf(line, sizeof line, " %.1f\r\n", std::round(maxEnergy * 10.0) / 10.0);
    run << line << argv[4] << ".\r\n" << argv[5] << ".pdd\r\n" << argv[5] << ".spct\r\n";
    std::ofstream spectrum("Nimbrola.txt", std::ios::binary);
    std::snprintf(line, sizeof line, "a=%.1f\r\nb=%.1f\r\n", alpha, beta);
    spectrum << line;
    for (int bin = 1; bin <= 100; ++bin) {
        std::snprintf(line, sizeof line, "%02d.%02d ", bin / 100, bin % 100);
        spectrum << line << fit::weightText((*relative)[static_cast<std::size_t>(bin)]) << "\r\n";
    }
    return run && spectrum ? 0 : 1;
}
