#pragma once
// A folder named "M\xfcnchen" (Latin-1, not valid UTF-8) inside a test's temporary folder, removed
// with the object: QTemporaryDir cannot remove it, since Qt does not list names it cannot decode.
#include <filesystem>
#include <system_error>

namespace orvalis::testing {

class Latin1Folder {
public:
    explicit Latin1Folder(const std::filesystem::path& parent)
        : path_(parent /
                "M\xfc"
                "nchen") {
        std::filesystem::create_directory(path_);
    }
    ~Latin1Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    Latin1Folder(const Latin1Folder&) = delete;
    Latin1Folder& operator=(const Latin1Folder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace orvalis::testing
