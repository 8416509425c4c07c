#include "engine/energy_ladder.h"

namespace engine {

EnergyLadder::EnergyLadder(float startEnergyKeV, const ElectronData& data) {
    // Each ordinary step removes 8.3 % of at least 305 keV, so even the largest float reaches the
    // final step within about a thousand steps; a start that is not a number takes it at once.
    float energyKeV = startEnergyKeV;
    for (;;) {
        const StepLoss step = stepLengthAndLoss(energyKeV);
        LadderStep rung;
        rung.lengthCm = step.lengthCm;
        rung.lossKeV = step.lossKeV;
        if (!step.isFinal) rung.deflection = bracketEnergy(data, energyKeV);
        if (rung.deflection.deflects) drawsOfWholeLadder_ += 2;
        steps_.push_back(rung);
        pathLengthCm_ += step.lengthCm;
        if (step.isFinal) return;
        energyKeV = energyKeV - step.lossKeV;
    }
}

}  // namespace engine
