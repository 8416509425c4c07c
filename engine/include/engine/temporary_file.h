#pragma once
// A file made complete beside its final place and then renamed into it. The temporary file gets a
// name of its own ("<name>.<6 random characters>.part") and is created new, never opened over an
// existing file or through a link; it is written through the descriptor that created it, and only
// that file is ever removed again. Two runs on one result name therefore never share a temporary
// file, and a link planted in a shared folder never has its target written.
//
// Every program of the project writes its files through this (result files, caches, plots,
// exchange files, logs) rather than opening the final name itself.
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace engine {

constexpr const char* TEMPORARY_SUFFIX = ".part";

class TemporaryFile {
public:
    // Creates the temporary file beside `target`. Throws std::system_error (naming the file it
    // tried) when the folder takes no new file.
    explicit TemporaryFile(std::filesystem::path target);
    // Removes the temporary file unless it was renamed into place, and only while its name still
    // holds the file this object created.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // The whole content, replacing whatever was written before. Throws std::system_error.
    void write(std::string_view content);
    // Flushes the content to the disk and renames the file onto the target. A link at the target
    // is replaced, never followed. Throws std::system_error; the temporary file then stays until
    // this object is destroyed.
    void commit();

    const std::filesystem::path& target() const { return target_; }
    const std::filesystem::path& path() const { return path_; }
    bool committed() const { return committed_; }

private:
    void closeDescriptor();
    bool stillOurs() const;

    std::filesystem::path target_;
    std::filesystem::path path_;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int descriptor_ = -1;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
#endif
    bool committed_ = false;
};

}  // namespace engine
