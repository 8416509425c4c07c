#pragma once
// One measured depth curve with what its file says about it: beam, field, SSD, detector, and
// whether it holds ionisation or dose. Depths are in mm from the water surface down.
#include <optional>
#include <string>
#include <vector>

namespace beamdata {

enum class Quantity { Dose, Ionisation };

struct ScanInfo {
    int fileScan = 0;      // position of the scan in its file, profiles included (1-based)
    int firstLine = 0;     // line of the file where the scan begins
    std::string beamType;  // as the file names it ("EL", "ELE", ...); empty when not given
    std::optional<double> energyMeV;
    std::optional<double> fieldInplaneMm;
    std::optional<double> fieldCrossplaneMm;
    std::optional<double> ssdMm;
    std::string detector;                // as the file names it; empty when not given
    Quantity quantity = Quantity::Dose;  // what the file's detector records
    bool convertedToDose = false;        // an ionisation curve turned into dose by the stopping-power ratio
};

struct DepthScan {
    ScanInfo info;
    std::vector<double> depthMm;  // increasing, from the surface down
    std::vector<double> value;    // relative dose or ionisation, any positive unit
};

// Puts the points of a scan in order from the surface down: a scan whose depths are mostly
// negative (a tank that counts upward from the surface) is turned round, the points are sorted by
// depth, and points at one depth are averaged.
void orderFromSurface(DepthScan& scan);

// Beams that are certainly not electrons (photons): the beam-quality figures of electrons do not apply.
bool isElectronBeam(const ScanInfo& info);

// One line for lists: "9.0 MeV, 100 x 100 mm, SSD 1000 mm, Semiflex 31010, ionisation -> dose".
// Unknown values are left out; `converted` adds the arrow to dose for an ionisation curve.
std::string describeScan(const ScanInfo& info, bool converted);

}  // namespace beamdata
