#include "engine/result_lock.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/native_files.h"

namespace engine {

namespace {

// A holder may remove the lock file between another run's open and its lock; that run then
// holds a file no longer in the folder and starts again. More rounds than this mean a folder
// that keeps changing under us.
constexpr int LOCK_ATTEMPTS = 50;

std::string heldWords(const std::filesystem::path& lockFile) {
    return "is being written by another run at this moment (its lock file " + lockFile.filename().string() +
           " is held)";
}

}  // namespace

std::filesystem::path lockFileOf(const std::filesystem::path& target) {
    std::filesystem::path lockFile = target;
    lockFile += LOCK_SUFFIX;
    return lockFile;
}

#ifdef _WIN32

struct ResultLock::Held {
    std::filesystem::path path;
    std::filesystem::path key;
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~Held() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);  // deletes the file: opened delete-on-close
    }
};

namespace {
std::recursive_mutex registryMutex;
std::vector<std::weak_ptr<ResultLock::Held>> registry;
}  // namespace

ResultLock::ResultLock(const std::filesystem::path& target) {
    const std::filesystem::path path = lockFileOf(target);
    if (holdsNulByte(path))
        throw LockRefused(LockRefused::Reason::CannotCreate, "cannot be locked: its name holds a NUL byte");
    std::error_code ignored;
    const std::filesystem::path key = std::filesystem::absolute(path, ignored).lexically_normal();
    const std::lock_guard<std::recursive_mutex> guard(registryMutex);
    for (const auto& entry : registry)
        if (auto held = entry.lock(); held && held->key == key) {
            held_ = held;
            return;
        }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        throw LockRefused(LockRefused::Reason::LinkAtLockName,
                          "has a link at its lock file " + path.filename().string() + ", which is never followed");
    // Unshared and deleted on close: a second run gets a sharing violation, a killed run's handle
    // is closed by the system and takes the file with it.
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_SHARING_VIOLATION)
            throw LockRefused(LockRefused::Reason::HeldByAnotherRun, heldWords(path));
        throw LockRefused(LockRefused::Reason::CannotCreate,
                          "cannot be created in its folder (" + path.string() + " cannot be written)");
    }
    auto held = std::make_shared<Held>();
    held->path = path;
    held->key = key;
    held->handle = handle;
    registry.push_back(held);
    held_ = std::move(held);
}

#else

struct ResultLock::Held {
    std::filesystem::path path;
    int descriptor = -1;
    dev_t device = 0;
    ino_t inode = 0;
    ~Held();
};

namespace {

std::recursive_mutex registryMutex;
std::vector<std::weak_ptr<ResultLock::Held>> registry;

bool namesFile(const std::filesystem::path& path, dev_t device, ino_t inode) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && status.st_dev == device && status.st_ino == inode;
}

}  // namespace

ResultLock::Held::~Held() {
    const std::lock_guard<std::recursive_mutex> guard(registryMutex);
    // Removed while still locked, and only while the name still holds the locked file: a run that
    // opened it meanwhile finds it gone from the folder and starts again on a new one.
    if (namesFile(path, device, inode)) ::unlink(path.c_str());
    ::close(descriptor);
}

ResultLock::ResultLock(const std::filesystem::path& target) {
    const std::filesystem::path path = lockFileOf(target);
    if (holdsNulByte(path))
        throw LockRefused(LockRefused::Reason::CannotCreate, "cannot be locked: its name holds a NUL byte");
    const std::lock_guard<std::recursive_mutex> guard(registryMutex);
    for (int attempt = 0; attempt < LOCK_ATTEMPTS; ++attempt) {
        // O_NOFOLLOW: a link at the lock name is never followed, so nothing is created through it;
        // O_NONBLOCK: a FIFO planted there does not hang the run.
        const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            const int error = errno;
            if (error == ELOOP)
                throw LockRefused(
                    LockRefused::Reason::LinkAtLockName,
                    "has a link at its lock file " + path.filename().string() + ", which is never followed");
            throw LockRefused(LockRefused::Reason::CannotCreate, "cannot be created in its folder (" + path.string() +
                                                                     " cannot be written: " + std::strerror(error) +
                                                                     ")");
        }
        struct stat status {};
        if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
            ::close(descriptor);
            throw LockRefused(LockRefused::Reason::CannotCreate,
                              "cannot be written: " + path.filename().string() + " is in the way of its lock file");
        }
        for (const auto& entry : registry)
            if (auto held = entry.lock(); held && held->device == status.st_dev && held->inode == status.st_ino) {
                ::close(descriptor);
                held_ = held;
                return;
            }
        if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(descriptor);
            if (error == EWOULDBLOCK || error == EINTR)
                throw LockRefused(LockRefused::Reason::HeldByAnotherRun, heldWords(path));
            throw LockRefused(LockRefused::Reason::CannotCreate,
                              "cannot be locked (" + path.string() + ": " + std::strerror(error) + ")");
        }
        if (!namesFile(path, status.st_dev, status.st_ino)) {  // let go meanwhile by its holder
            ::close(descriptor);
            continue;
        }
        auto held = std::make_shared<Held>();
        held->path = path;
        held->descriptor = descriptor;
        held->device = status.st_dev;
        held->inode = status.st_ino;
        std::erase_if(registry, [](const std::weak_ptr<Held>& entry) { return entry.expired(); });
        registry.push_back(held);
        held_ = std::move(held);
        return;
    }
    throw LockRefused(LockRefused::Reason::HeldByAnotherRun, heldWords(path));
}

#endif

ResultLock::~ResultLock() = default;
ResultLock::ResultLock(ResultLock&&) noexcept = default;
ResultLock& ResultLock::operator=(ResultLock&&) noexcept = default;

const std::filesystem::path& ResultLock::lockFile() const { return held_->path; }

}  // namespace engine
