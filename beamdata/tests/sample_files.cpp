#include "sample_files.h"

#include "beamdata/measured_curve_file.h"
#include "sample_scans.h"
#include "synthetic_depth_dose.h"

namespace beamdata::testing {
namespace {

SampleScan depthScan(const DepthScan& curve, double energyMeV, double fieldMm) {
    SampleScan s;
    s.curve = curve;
    s.energyMeV = energyMeV;
    s.fieldMm = fieldMm;
    return s;
}

SampleScan chamberScan(const DepthScan& dose, double energyMeV, double fieldMm) {
    SampleScan s = depthScan(ionisationFromDose(dose), energyMeV, fieldMm);
    s.chamber = true;
    s.detectorName = "Advanced Markus chamber 34045";
    return s;
}

// A made-up beam on 1 mm steps from 0.5 mm to 1.5 Rp, with a little measurement noise.
DepthScan madeUpBeam(double energyMeV, double stepMm, std::uint32_t seed) {
    const ElectronShape shape = shapeForEnergy(energyMeV);
    return sampledCurve(shape, 0.5, stepMm, 1.5 * tangentPracticalRangeMm(shape), 0.2, seed);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> sampleFiles(const std::filesystem::path& exampleCsv) {
    const DepthScan example = readMeasuredFile(exampleCsv).depthScans.front();
    const SampleScan exampleDiode = depthScan(example, 9.0, 150.0);

    SampleScan upward12 = depthScan(madeUpBeam(12.0, 0.5, 3), 12.0, 100.0);
    upward12.upwardDepths = true;
    upward12.deepestFirst = true;
    SampleScan reversed16 = depthScan(madeUpBeam(16.0, 2.0, 4), 16.0, 200.0);
    reversed16.deepestFirst = true;
    const SampleScan coarse6 = depthScan(madeUpBeam(6.0, 2.0, 5), 6.0, 100.0);
    SampleScan upward20 = chamberScan(madeUpBeam(20.0, 1.0, 6), 20.0, 250.0);
    upward20.upwardDepths = true;

    return {
        {"example-9MeV.mcc", mccText({exampleDiode})},
        {"example-9MeV-rfa300.txt", rfa300Text({exampleDiode})},
        {"example-9MeV-w2cad.asc", w2cadText({exampleDiode})},
        {"electrons-6-9-12MeV.mcc", mccText({profileScan(15.0, 100.0), coarse6, profileScan(15.0, 100.0),
                                             chamberScan(example, 9.0, 100.0), upward12})},
        {"electrons-9-16MeV.asc", rfa300Text({chamberScan(example, 9.0, 100.0), profileScan(20.0, 100.0), reversed16})},
        {"electrons-12-20MeV.cdp", w2cadText({profileScan(20.0, 200.0), upward12, upward20})},
        {"profiles-only.mcc", mccText({profileScan(15.0, 100.0), profileScan(30.0, 100.0)})},
        {"profiles-only.asc", w2cadText({profileScan(15.0, 100.0)})},
    };
}

}  // namespace beamdata::testing
