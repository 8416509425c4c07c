#include "engine/temporary_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <random>
#include <string>
#include <utility>

#include "engine/native_files.h"

namespace engine {

namespace {

constexpr int NAME_ATTEMPTS = 100;
constexpr int RANDOM_CHARACTERS = 6;
constexpr std::string_view NAME_ALPHABET = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// Six characters no other process is likely to draw at the same moment: a seed from the system's
// entropy, the clock and a counter; a collision only costs another attempt, O_EXCL settles it.
std::string randomPart() {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL;
    try {
        std::random_device device;
        seed ^= (static_cast<std::uint64_t>(device()) << 32) ^ device();
    } catch (...) {  // no entropy source: the clock and the counter still differ per call
    }
#ifndef _WIN32
    seed ^= static_cast<std::uint64_t>(getpid()) << 17;
#endif
    std::mt19937_64 generator(seed);
    std::string text;
    for (int i = 0; i < RANDOM_CHARACTERS; ++i) text += NAME_ALPHABET[generator() % NAME_ALPHABET.size()];
    return text;
}

std::filesystem::path candidateName(const std::filesystem::path& target) {
    std::filesystem::path name = target;
    name += "." + randomPart() + TEMPORARY_SUFFIX;
    return name;
}

[[noreturn]] void failWith(int code, const std::filesystem::path& path) {
    throw std::system_error(code, std::generic_category(), path.string());
}

}  // namespace

#ifdef _WIN32

TemporaryFile::TemporaryFile(std::filesystem::path target) : target_(std::move(target)) {
    if (holdsNulByte(target_)) failWith(EINVAL, target_);
    for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
        path_ = candidateName(target_);
        // CREATE_NEW fails on any existing name, a link included, so nothing is opened through one.
        handle_ = CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle_ != INVALID_HANDLE_VALUE) return;
        handle_ = nullptr;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    failWith(EACCES, path_);
}

TemporaryFile::~TemporaryFile() {
    closeDescriptor();
    if (!committed_ && !path_.empty()) DeleteFileW(path_.c_str());
}

void TemporaryFile::closeDescriptor() {
    if (handle_ != nullptr) CloseHandle(handle_);
    handle_ = nullptr;
}

bool TemporaryFile::stillOurs() const { return true; }

void TemporaryFile::write(std::string_view content) {
    if (handle_ == nullptr) failWith(EBADF, path_);
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(handle_, start, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_)) failWith(EIO, path_);
    while (!content.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 30));
        if (!WriteFile(handle_, content.data(), chunk, &written, nullptr) || written == 0) failWith(EIO, path_);
        content.remove_prefix(written);
    }
}

void TemporaryFile::commit() {
    if (handle_ == nullptr) failWith(EBADF, path_);
    if (!FlushFileBuffers(handle_)) failWith(EIO, path_);
    closeDescriptor();
    if (!MoveFileExW(path_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        failWith(EACCES, target_);
    committed_ = true;
}

#else

TemporaryFile::TemporaryFile(std::filesystem::path target) : target_(std::move(target)) {
    if (holdsNulByte(target_)) failWith(EINVAL, target_);
    int error = 0;
    for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
        path_ = candidateName(target_);
        // O_EXCL: a new file or nothing; it fails on a link too, so nothing is created through one.
        descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (descriptor_ >= 0) {
            struct stat status {};
            if (::fstat(descriptor_, &status) == 0) {
                device_ = static_cast<std::uint64_t>(status.st_dev);
                inode_ = static_cast<std::uint64_t>(status.st_ino);
            }
            return;
        }
        error = errno;
        if (error != EEXIST) break;
    }
    const std::filesystem::path tried = path_;
    path_.clear();  // nothing of ours to remove
    failWith(error, tried);
}

TemporaryFile::~TemporaryFile() {
    if (!committed_ && !path_.empty() && stillOurs()) ::unlink(path_.c_str());
    closeDescriptor();
}

void TemporaryFile::closeDescriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
}

// Whether the name still holds the file created here: another program may have replaced it, and
// what it put there is not ours to remove.
bool TemporaryFile::stillOurs() const {
    struct stat status {};
    return ::lstat(path_.c_str(), &status) == 0 && static_cast<std::uint64_t>(status.st_dev) == device_ &&
           static_cast<std::uint64_t>(status.st_ino) == inode_;
}

void TemporaryFile::write(std::string_view content) {
    if (descriptor_ < 0) failWith(EBADF, path_);
    if (::ftruncate(descriptor_, 0) != 0 || ::lseek(descriptor_, 0, SEEK_SET) != 0) failWith(errno, path_);
    while (!content.empty()) {
        const ssize_t written = ::write(descriptor_, content.data(), content.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) failWith(written < 0 ? errno : EIO, path_);
        content.remove_prefix(static_cast<std::size_t>(written));
    }
}

void TemporaryFile::commit() {
    if (descriptor_ < 0) failWith(EBADF, path_);
    // On the disk before the rename, so that a crash leaves the old file or the whole new one.
    if (::fsync(descriptor_) != 0 && errno != EINVAL) failWith(errno, path_);
    if (!stillOurs()) failWith(ENOENT, path_);
    if (::rename(path_.c_str(), target_.c_str()) != 0) failWith(errno, target_);
    committed_ = true;
    closeDescriptor();
}

#endif

}  // namespace engine
