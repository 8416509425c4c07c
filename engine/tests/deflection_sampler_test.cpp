#include "engine/deflection_sampler.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

using namespace engine;

// A generator whose next two integers are `column` and then `azimuth`: x(n) = x(n-24) + x(n-55),
// so with the last 55 integers zero except x(n-55) and x(n-54) the next two are exactly those.
LaggedGenerator drawingNext(std::int32_t column, std::int32_t azimuth) {
    std::array<std::int32_t, LaggedGenerator::TABLE_SIZE> recent{};
    recent[0] = column;
    recent[1] = azimuth;
    LaggedGenerator generator;
    generator.seed();
    generator.skipAhead(0, recent);
    return generator;
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expectSameDeflection(const Deflection& prepared, const Deflection& reference, std::int32_t integer,
                          float energyKeV) {
    ASSERT_TRUE(prepared.deflected == reference.deflected && sameBits(prepared.cosChi, reference.cosChi) &&
                sameBits(prepared.sinChi, reference.sinChi) && sameBits(prepared.cosAzimuth, reference.cosAzimuth) &&
                sameBits(prepared.sinAzimuth, reference.sinAzimuth))
        << "integer " << integer << " at " << energyKeV << " keV";
}

// Every generator integer, as column and as azimuth, at energies inside, at, above and between the
// rows of two tables (one with quantiles beyond +-16384): the prepared sampler must give the very
// bits of the defining sampleDeflection.
TEST(DeflectionSampler, EveryIntegerGivesTheBitsOfTheDefiningSample) {
    for (const ElectronData& data :
         {testing_support::gaussianWidthTable(), testing_support::backscatterStressTable()}) {
        const DeflectionSampler sampler(data);
        const float energies[] = {data.tableEnergyKeV[0] * 1.7f, data.tableEnergyKeV[0], data.tableEnergyKeV[3] * 0.97f,
                                  data.tableEnergyKeV[11], data.tableEnergyKeV[22] * 1.01f};
        for (float energyKeV : energies) {
            const EnergyBracket bracket = bracketEnergy(data, energyKeV);
            ASSERT_TRUE(bracket.deflects);
            for (std::int32_t integer = 0; integer < LaggedGenerator::MODULUS; ++integer) {
                LaggedGenerator forReference = drawingNext(integer, LaggedGenerator::MODULUS - 1 - integer);
                LaggedGenerator forPrepared = forReference;
                const Deflection reference = sampleDeflection(data, energyKeV, forReference);
                const Deflection prepared = sampler.sample(bracket, forPrepared);
                expectSameDeflection(prepared, reference, integer, energyKeV);
                ASSERT_EQ(forPrepared.nextInteger(), forReference.nextInteger());
            }
        }
    }
}

TEST(DeflectionSampler, DrawsTheColumnFirstAndNothingBelowTheTable) {
    const ElectronData data = testing_support::backscatterStressTable();
    const DeflectionSampler sampler(data);
    // Column 0 with fraction 0 and azimuth 0: the first quantile of the upper row alone at f = 0,
    // here -16384 (row 4 runs upwards), whose cosine -1.0000006 is kept at -1.
    LaggedGenerator generator = drawingNext(0, 0);
    const Deflection first = sampler.sample(bracketEnergy(data, data.tableEnergyKeV[3]), generator);
    ASSERT_EQ(data.deflectionQuantiles[3][0], -16384);
    EXPECT_EQ(first.cosChi, -1.0f);
    EXPECT_EQ(first.sinChi, 0.0f);
    EXPECT_EQ(first.cosAzimuth, 1.0f);
    EXPECT_EQ(first.sinAzimuth, 0.0f);
    // Swapping the two integers changes the sample: the column integer comes first.
    LaggedGenerator swapped = drawingNext(9000, 100);
    LaggedGenerator straight = drawingNext(100, 9000);
    const EnergyBracket bracket = bracketEnergy(data, 5000.0f);
    EXPECT_NE(sampler.sample(bracket, swapped).cosChi, sampler.sample(bracket, straight).cosChi);
    EXPECT_FALSE(bracketEnergy(data, data.tableEnergyKeV[23]).deflects);
    // Extrapolated far above the table, the cosine stays within [-1, 1].
    const EnergyBracket far = bracketEnergy(data, 60000.0f);
    EXPECT_LT(far.energyFraction, -5.0f);
    for (std::int32_t integer = 0; integer < LaggedGenerator::MODULUS; integer += 97) {
        LaggedGenerator draws = drawingNext(integer, integer);
        const Deflection d = sampler.sample(far, draws);
        EXPECT_LE(d.cosChi, 1.0f);
        EXPECT_GE(d.cosChi, -1.0f);
    }
}

}  // namespace
