#pragma once
// One writer at a time per result name. The lock is the lock file "<name>.lock" beside the result,
// locked by the operating system (flock; on Windows the file is held open unshared): a run that
// is killed loses its lock with its process, so a lock file left behind is simply taken over by
// the next run. The lock file is created new or opened without following a link; a link at its
// name is refused. The holder removes the lock file when it lets go.
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace engine {

constexpr const char* LOCK_SUFFIX = ".lock";

// The lock file of a result: "<name>.lock" in the result's folder.
std::filesystem::path lockFileOf(const std::filesystem::path& target);

// Why a lock was not taken, in words fit to follow a file name in a message.
class LockRefused : public std::runtime_error {
public:
    enum class Reason { HeldByAnotherRun, LinkAtLockName, CannotCreate };
    LockRefused(Reason reason, const std::string& words) : std::runtime_error(words), reason_(reason) {}
    Reason reason() const { return reason_; }

private:
    Reason reason_;
};

class ResultLock {
public:
    // Takes the lock of `target` or throws LockRefused at once: a run never waits for another.
    // Within one process the lock of a name is shared (two result files of one run under one name
    // are another fault, found by comparing identity()).
    explicit ResultLock(const std::filesystem::path& target);
    ~ResultLock();
    ResultLock(ResultLock&&) noexcept;
    ResultLock& operator=(ResultLock&&) noexcept;
    ResultLock(const ResultLock&) = delete;
    ResultLock& operator=(const ResultLock&) = delete;

    const std::filesystem::path& lockFile() const;
    // Equal for two locks of one file, whatever names led to it.
    const void* identity() const { return held_.get(); }

    struct Held;

private:
    std::shared_ptr<Held> held_;
};

}  // namespace engine
