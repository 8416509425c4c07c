// The first start of an installed front end: the choice of the work folder, and the folder made
// ready from the installation's data without touching what the user has there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/work_folder_setup.h"
#include "testsupport/test_folder.h"

namespace orvalis {
namespace {

namespace fs = std::filesystem;
using testsupport::TestFolder;

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// An installation's data folder with both files, each with its own content.
struct Installation {
    TestFolder folder{"share"};
    Installation() {
        folder.write("ELDAT.dat", "scattering table\n");
        folder.write("water.csda", "range table\n");
    }
};

TEST(WorkFolderChoice, GivenFolderThenPreparedCurrentFolderThenHome) {
    TestFolder current("current");
    TestFolder home("home");
    EXPECT_EQ(chooseWorkFolder(fs::path("/data/beams"), current.path(), home.path()), fs::path("/data/beams"));
    // A current folder without the scattering table is not a work folder: the home one is used.
    current.write("water.csda", "x");
    EXPECT_EQ(chooseWorkFolder(std::nullopt, current.path(), home.path()), home.path() / "Orvalis");
    EXPECT_EQ(chooseWorkFolder(fs::path(), current.path(), home.path()), home.path() / "Orvalis");
    current.write("ELDAT.dat", "x");
    EXPECT_EQ(chooseWorkFolder(std::nullopt, current.path(), home.path()), current.path());
    // A folder of that name is not the file.
    TestFolder other("other");
    fs::create_directory(other.path() / "ELDAT.dat");
    EXPECT_EQ(chooseWorkFolder(std::nullopt, other.path(), home.path()), home.path() / "Orvalis");
}

TEST(WorkFolderPreparation, FirstStartCreatesTheFolderAndCopiesBothFilesOnce) {
    Installation installation;
    TestFolder home("home");
    const fs::path work = home.path() / "Orvalis" / "beams";
    const WorkFolderPreparation first = prepareWorkFolder(work, installation.folder.path());
    EXPECT_TRUE(first.createdFolder);
    EXPECT_EQ(first.copied, (std::vector<std::string>{"ELDAT.dat", "water.csda"}));
    EXPECT_TRUE(first.missing.empty() && first.blocked.empty() && first.failures.empty());
    const std::string said = preparationMessage(first, work, installation.folder.path());
    EXPECT_NE(said.find("Created the work folder " + work.string()), std::string::npos) << said;
    EXPECT_NE(said.find("Copied ELDAT.dat and water.csda from " + installation.folder.path().string()),
              std::string::npos)
        << said;
    EXPECT_EQ(contentOf(work / "ELDAT.dat"), "scattering table\n");
    EXPECT_EQ(contentOf(work / "water.csda"), "range table\n");

    // Every later start finds the folder ready and says nothing.
    const WorkFolderPreparation second = prepareWorkFolder(work, installation.folder.path());
    EXPECT_FALSE(second.createdFolder);
    EXPECT_TRUE(second.copied.empty());
    EXPECT_EQ(preparationMessage(second, work, installation.folder.path()), "");
}

TEST(WorkFolderPreparation, NeverReplacesAUsersFileNorWritesThroughALink) {
    Installation installation;
    TestFolder work("work");
    work.write("ELDAT.dat", "the user's own table\n");
#ifndef _WIN32
    // A link that points nowhere: following it would create a file wherever it points.
    TestFolder elsewhere("elsewhere");
    fs::create_symlink(elsewhere.path() / "planted", work.path() / "water.csda");
#else
    fs::create_directory(work.path() / "water.csda");
#endif
    const WorkFolderPreparation preparation = prepareWorkFolder(work.path(), installation.folder.path());
    EXPECT_FALSE(preparation.createdFolder);
    EXPECT_TRUE(preparation.copied.empty());
    EXPECT_EQ(preparation.blocked, std::vector<std::string>{"water.csda"});
    EXPECT_EQ(work.read("ELDAT.dat"), "the user's own table\n");
#ifndef _WIN32
    EXPECT_TRUE(fs::is_symlink(work.path() / "water.csda"));
    EXPECT_FALSE(fs::exists(elsewhere.path() / "planted"));
#endif
    const std::string said = preparationMessage(preparation, work.path(), installation.folder.path());
    EXPECT_NE(said.find("water.csda in the work folder is not a file"), std::string::npos) << said;
    EXPECT_EQ(said.find("ELDAT.dat"), std::string::npos) << said;

    // A link to a file of the user's is that file: used, not reported.
#ifndef _WIN32
    fs::remove(work.path() / "water.csda");
    work.write("my-ranges.csda", "mine\n");
    fs::create_symlink("my-ranges.csda", work.path() / "water.csda");
    const WorkFolderPreparation linked = prepareWorkFolder(work.path(), installation.folder.path());
    EXPECT_TRUE(linked.copied.empty() && linked.blocked.empty());
    EXPECT_EQ(work.read("my-ranges.csda"), "mine\n");
#endif
}

TEST(WorkFolderPreparation, SaysWhatIsMissingAndWhatCannotBeDone) {
    TestFolder share("share");
    share.write("water.csda", "range table\n");
    TestFolder home("home");
    const fs::path work = home.path() / "Orvalis";
    const WorkFolderPreparation partial = prepareWorkFolder(work, share.path());
    EXPECT_EQ(partial.copied, std::vector<std::string>{"water.csda"});
    EXPECT_EQ(partial.missing, std::vector<std::string>{"ELDAT.dat"});
    EXPECT_FALSE(fs::exists(work / "ELDAT.dat"));
    const std::string said = preparationMessage(partial, work, share.path());
    EXPECT_NE(said.find("ELDAT.dat is neither in the work folder nor in " + share.path().string()), std::string::npos)
        << said;

    // A file where the folder should be: nothing is copied anywhere, and the user is told.
    home.write("blocked", "a file\n");
    const WorkFolderPreparation failed = prepareWorkFolder(home.path() / "blocked", share.path());
    EXPECT_FALSE(failed.createdFolder);
    EXPECT_TRUE(failed.copied.empty());
    ASSERT_EQ(failed.failures.size(), 1u);
    EXPECT_NE(failed.failures[0].find("Cannot create the work folder"), std::string::npos);
    EXPECT_EQ(home.read("blocked"), "a file\n");
}

}  // namespace
}  // namespace orvalis
