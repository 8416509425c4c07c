#include "engine/temporary_file.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using engine::TemporaryFile;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

TEST(TemporaryFile, EachWriterHasItsOwnFileAndRemovesOnlyThat) {
    TempFolder folder("temporary-own");
    const auto target = folder.path() / "run.pdd";
    auto first = std::make_unique<TemporaryFile>(target);
    TemporaryFile second(target);
    EXPECT_NE(first->path(), second.path());
    for (const TemporaryFile* file : {first.get(), &second}) {
        EXPECT_TRUE(file->path().filename().string().starts_with("run.pdd."));
        EXPECT_EQ(file->path().extension(), ".part");
        EXPECT_EQ(file->path().parent_path(), folder.path());
    }
    first->write("a longer first content");
    first->write("first");  // the whole content, not appended
    second.write("second");
    EXPECT_EQ(readFile(first->path()), "first");
    second.commit();
    EXPECT_EQ(readFile(target), "second");
    EXPECT_FALSE(std::filesystem::exists(second.path()));

    // Another program put its own file under the name: it is not ours to remove.
    const std::filesystem::path name = first->path();
    writeFile(folder.path() / "theirs", "theirs");
    std::filesystem::rename(folder.path() / "theirs", name);
    first.reset();
    EXPECT_EQ(readFile(name), "theirs");
    EXPECT_EQ(readFile(target), "second");
}

#ifndef _WIN32
TEST(TemporaryFile, ALinkAtTheTargetIsReplacedAndItsFileLeftAlone) {
    TempFolder folder("temporary-link");
    const auto victim = folder.path() / "victim.txt";
    writeFile(victim, "someone else's");
    const auto target = folder.path() / "run.elk";
    std::filesystem::create_symlink(victim, target);
    TemporaryFile file(target);
    file.write("result");
    file.commit();
    EXPECT_FALSE(std::filesystem::is_symlink(target));
    EXPECT_EQ(readFile(target), "result");
    EXPECT_EQ(readFile(victim), "someone else's");

    // A folder that takes no new file: refused with the name tried, nothing left.
    EXPECT_THROW(TemporaryFile(folder.path() / "no-such-folder" / "x.elk"), std::system_error);
}
#endif

}  // namespace
