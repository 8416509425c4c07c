#include "commission/beam_inventory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/run_error.h"
#include "testsupport/test_folder.h"

namespace fs = std::filesystem;

namespace {

std::string sample(const std::string& name) {
    std::ifstream in(fs::path(BEAMDATA_SAMPLES_PATH) / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const commission::BeamEntry* find(const std::vector<commission::BeamEntry>& beams, const std::string& label) {
    for (const auto& b : beams)
        if (b.label == label) return &b;
    return nullptr;
}

}  // namespace

// A folder of mixed exports: each depth curve a beam labelled by its file (and scan when the file
// holds several), profiles, photon curves and unreadable files listed as skipped with their reasons,
// other files and linked folders left alone.
TEST(BeamInventory, ListsEveryDepthCurveAndSaysWhyOthersAreSkipped) {
    testsupport::TestFolder folder;
    fs::create_directories(folder.path() / "tank" / "day2");
    folder.write("tank/electrons-6-9-12MeV.mcc", sample("electrons-6-9-12MeV.mcc"));
    folder.write("tank/day2/example-9MeV.mcc", sample("example-9MeV.mcc"));
    folder.write("tank/profiles-only.asc", sample("profiles-only.asc"));
    std::string photon = sample("example-9MeV.mcc");
    photon.replace(photon.find("MODALITY=EL"), 11, "MODALITY=X");
    folder.write("tank/photon-6MV.mcc", photon);
    folder.write("tank/junk.mcc", std::string("\x01\x02\x03 not a scan", 14));
    folder.write("tank/notes.pdf", "not measured");
    folder.write("tank/in-cm.csv", "depth_cm,dose\n0.5,80\n1,90\n1.5,100\n2,95\n2.5,70\n3,35\n3.5,8\n4,1\n");
    fs::create_directory_symlink(folder.path() / "tank" / "day2", folder.path() / "tank" / "link-to-day2");

    const auto files = commission::measuredFiles({folder.path() / "tank"});
    ASSERT_EQ(files.size(), 6u) << "the pdf and the linked folder are not searched";
    const auto beams = commission::listBeams(files);

    for (int scan : {1, 2, 3}) {
        const auto* beam = find(beams, "electrons-6-9-12MeV#" + std::to_string(scan));
        ASSERT_NE(beam, nullptr) << scan;
        EXPECT_EQ(beam->scan, scan);
        EXPECT_FALSE(beam->skipReason);
    }
    const auto* single = find(beams, "example-9MeV");
    ASSERT_NE(single, nullptr) << "a file of one depth curve is labelled by its stem alone";
    EXPECT_FALSE(single->skipReason);
    ASSERT_TRUE(single->info.energyMeV);
    EXPECT_DOUBLE_EQ(*single->info.energyMeV, 9.0);

    const auto* profiles = find(beams, "electrons-6-9-12MeV#profiles");
    ASSERT_NE(profiles, nullptr);
    ASSERT_TRUE(profiles->skipReason);
    EXPECT_NE(profiles->skipReason->find("profiles"), std::string::npos);
    const auto* profileFile = find(beams, "profiles-only");
    ASSERT_NE(profileFile, nullptr);
    ASSERT_TRUE(profileFile->skipReason);
    EXPECT_NE(profileFile->skipReason->find("no depth-dose curve"), std::string::npos);
    const auto* photonBeam = find(beams, "photon-6MV");
    ASSERT_NE(photonBeam, nullptr);
    ASSERT_TRUE(photonBeam->skipReason);
    EXPECT_NE(photonBeam->skipReason->find("photon"), std::string::npos);
    const auto* centimetres = find(beams, "in-cm");
    ASSERT_NE(centimetres, nullptr);
    ASSERT_TRUE(centimetres->skipReason) << "a curve the plausibility checks refuse is skipped, not fitted";
    EXPECT_NE(centimetres->skipReason->find("cm"), std::string::npos) << *centimetres->skipReason;
    const auto* junk = find(beams, "junk");
    ASSERT_NE(junk, nullptr);
    ASSERT_TRUE(junk->skipReason);
    EXPECT_NE(junk->skipReason->find("junk.mcc"), std::string::npos) << "the reader's message names the file";
}

TEST(BeamInventory, KeepsGivenFilesInOrderAndMakesLabelsUnique) {
    testsupport::TestFolder folder;
    fs::create_directories(folder.path() / "a");
    fs::create_directories(folder.path() / "b");
    const fs::path first = folder.write("a/beam.mcc", sample("example-9MeV.mcc"));
    const fs::path second = folder.write("b/beam.mcc", sample("example-9MeV.mcc"));
    const auto beams = commission::listBeams(commission::measuredFiles({second, first}));
    ASSERT_EQ(beams.size(), 2u);
    EXPECT_EQ(beams[0].file, second);
    EXPECT_EQ(beams[0].label, "beam");
    EXPECT_EQ(beams[1].label, "beam-2");
    EXPECT_THROW(commission::measuredFiles({folder.path() / "missing.mcc"}), engine::RunError);
}
