// fit-exchange: writes Nimbrola.dat and Nimbrola.txt for a Beta spectrum with the set-up window's
// own writer, so that benchmark scripts can run the depth-dose simulator on known spectra.
//   fit-exchange ALPHA BETA EMAX HISTORIES NAME
#include "beamdata/beta_spectrum.h"
#include "beamdata/exchange_files.h"
#include "beamdata/text_value.h"
#include "engine/run_error.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: fit-exchange ALPHA BETA EMAX HISTORIES NAME\n";
        return 1;
    }
    const double alpha = beamdata::textValue(argv[1]);
    const double beta = beamdata::textValue(argv[2]);
    const auto relative = beamdata::relativeBetaDensity(alpha, beta);
    if (!relative) {
        std::cerr << "fit-exchange: no Beta density for these parameters\n";
        return 1;
    }
    beamdata::ExchangeContent content;
    content.kind = beamdata::CalculationKind::DepthDose;
    content.maxEnergyMeV = beamdata::textValue(argv[3]);
    content.historyText = argv[4];
    content.resultBaseName = argv[5];
    content.titleLine1 = beamdata::alphaTitleLine(alpha);
    content.titleLine2 = beamdata::betaTitleLine(beta);
    content.relativeWeight = *relative;
    try {
        beamdata::writeExchangeFiles(".", content);
    } catch (const engine::RunError& error) {
        std::cerr << "fit-exchange: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
