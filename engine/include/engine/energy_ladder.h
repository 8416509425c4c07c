#pragma once
// Everything about a history's steps that depends only on its start energy: the energy ladder
// (each ordinary step keeps the same fraction of the energy), the length and loss of every step
// and where its start energy lies in the scattering table. All histories of a spectrum bin start
// at the same energy, so the ladder is worked out once per bin instead of once per step.
#include "engine/constants.h"
#include "engine/electron_data.h"
#include "engine/stopping_power.h"

#include <cmath>
#include <span>
#include <vector>

namespace engine {

constexpr float ENERGY_LOSS_FRACTION = 0.08299595f;  // 1 - 2^(-1/8): eight steps halve the energy
constexpr float FINAL_STEP_THRESHOLD_KEV = 305.0f;   // at or below: the last step
constexpr float FINAL_RANGE_FACTOR_CM = 0.407f;      // range in cm = 0.407 (E in MeV)^1.38
constexpr float FINAL_RANGE_EXPONENT = 1.38f;

struct StepLoss {
    float lengthCm = 0.0f;
    float lossKeV = 0.0f;
    bool isFinal = false;  // the step spends all of the remaining energy
};

// Length and energy loss of the step that starts at energyKeV.
inline StepLoss stepLengthAndLoss(float energyKeV) {
    StepLoss step;
    if (energyKeV > FINAL_STEP_THRESHOLD_KEV) {
        step.lossKeV = ENERGY_LOSS_FRACTION * energyKeV;
        step.lengthCm = step.lossKeV / collisionStoppingPower(energyKeV);
    } else {
        step.lengthCm = FINAL_RANGE_FACTOR_CM * std::pow(MEV_PER_KEV * energyKeV, FINAL_RANGE_EXPONENT);
        step.lossKeV = energyKeV;
        step.isFinal = true;
    }
    return step;
}

struct LadderStep {
    float lengthCm = 0.0f;
    float lossKeV = 0.0f;
    // The deflection drawn after the step; the last step of the ladder never deflects.
    EnergyBracket deflection;
};

class EnergyLadder {
public:
    // The steps from startEnergyKeV down to the final step that spends the rest.
    EnergyLadder(float startEnergyKeV, const ElectronData& data);

    std::span<const LadderStep> steps() const { return steps_; }

    // The sum of the step lengths (cm): no point of a history lies farther from its start.
    float pathLengthCm() const { return pathLengthCm_; }

    // The integers a history draws when it runs the whole ladder: two per deflection.
    std::size_t drawsOfWholeLadder() const { return drawsOfWholeLadder_; }

private:
    std::vector<LadderStep> steps_;
    float pathLengthCm_ = 0.0f;
    std::size_t drawsOfWholeLadder_ = 0;
};

}  // namespace engine
