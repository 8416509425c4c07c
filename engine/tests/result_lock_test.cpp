#include "engine/result_lock.h"

#include "test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using engine::LockRefused;
using engine::ResultLock;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

#ifndef _WIN32
LockRefused::Reason refusalOf(const std::filesystem::path& target) {
    try {
        ResultLock lock(target);
    } catch (const LockRefused& refused) {
        return refused.reason();
    }
    ADD_FAILURE() << "taken: " << target;
    return LockRefused::Reason::CannotCreate;
}

TEST(ResultLock, HeldByOneRunAtATimeAndTakenOverFromADeadOne) {
    TempFolder folder("lock-held");
    const auto target = folder.path() / "run.pdd";
    const auto lockFile = folder.path() / "run.pdd.lock";
    {
        const testing_support::LockHeldElsewhere other(lockFile);
        EXPECT_EQ(refusalOf(target), LockRefused::Reason::HeldByAnotherRun);
        try {
            ResultLock lock(target);
        } catch (const LockRefused& refused) {
            EXPECT_NE(std::string(refused.what()).find("run.pdd.lock"), std::string::npos) << refused.what();
        }
        EXPECT_TRUE(std::filesystem::exists(lockFile));  // the holder's, not removed by a refused run
    }
    // Its holder is gone and the file is left behind, as a killed run leaves it: taken over.
    writeFile(lockFile, "left by a killed run");
    {
        const ResultLock lock(target);
        EXPECT_EQ(lock.lockFile(), lockFile);
        const ResultLock again(folder.path() / "." / "run.pdd");  // one run, one lock: shared
        EXPECT_EQ(again.identity(), lock.identity());
        EXPECT_NE(ResultLock(folder.path() / "other.pdd").identity(), lock.identity());
    }
    EXPECT_FALSE(std::filesystem::exists(lockFile));  // let go of: removed by its holder
}

TEST(ResultLock, ALinkOrAnythingButAFileAtTheLockNameIsRefused) {
    TempFolder folder("lock-link");
    const auto victim = folder.path() / "victim.txt";
    writeFile(victim, "someone else's");
    std::filesystem::create_symlink(victim, folder.path() / "a.pdd.lock");
    std::filesystem::create_symlink(folder.path() / "made.txt", folder.path() / "b.pdd.lock");
    std::filesystem::create_directory(folder.path() / "c.pdd.lock");
    mkfifo((folder.path() / "d.pdd.lock").c_str(), 0644);
    EXPECT_EQ(refusalOf(folder.path() / "a.pdd"), LockRefused::Reason::LinkAtLockName);
    EXPECT_EQ(refusalOf(folder.path() / "b.pdd"), LockRefused::Reason::LinkAtLockName);
    EXPECT_EQ(refusalOf(folder.path() / "c.pdd"), LockRefused::Reason::CannotCreate);
    EXPECT_EQ(refusalOf(folder.path() / "d.pdd"), LockRefused::Reason::CannotCreate);
    EXPECT_EQ(readFile(victim), "someone else's");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "made.txt"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder.path() / "a.pdd.lock"));
}
#endif

}  // namespace
