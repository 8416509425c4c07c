#include "engine/result_file.h"

#include "engine/run_error.h"

#include <fstream>
#include <system_error>

namespace engine {

namespace {

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    return std::filesystem::exists(a, error) && std::filesystem::exists(b, error) &&
           std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

ResultFile::ResultFile(const std::filesystem::path& folder, const std::string& name, NameOrigin origin,
                       const std::vector<std::filesystem::path>& inputFiles)
    : origin_(std::move(origin)), name_(name) {
    if (name.find_first_not_of(" \t") == std::string::npos) fail("is blank");
    path_ = folder / name;
    const std::filesystem::path file = path_.filename();
    if (file.empty() || file == "." || file == "..") fail("names a folder, not a file");
    std::error_code error;
    if (std::filesystem::is_directory(path_, error)) fail("is a folder");
    const std::filesystem::path parent = path_.parent_path();
    if (!parent.empty() && !std::filesystem::is_directory(parent, error))
        fail("lies in a folder that does not exist (" + parent.string() + ")");
    temporary_ = path_;
    temporary_ += TEMPORARY_SUFFIX;
    for (const std::filesystem::path& input : inputFiles) {
        if (sameFile(path_, input) || sameFile(temporary_, input))
            fail("is the input file " + input.filename().string() + " of this run, which must stay as it is");
    }
    if (std::filesystem::is_directory(temporary_, error))
        fail("cannot be written: the folder " + temporary_.string() + " is in the way of its temporary file");
    std::ofstream out(temporary_, std::ios::binary | std::ios::trunc);
    if (!out) fail("cannot be created in its folder (" + temporary_.string() + " cannot be written)");
}

ResultFile::~ResultFile() {
    if (committed_ || temporary_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
}

void ResultFile::fail(const std::string& reason) const {
    throw RunError(origin_.fileName, origin_.lineNumber,
                   origin_.what + " \"" + name_ + "\" " + reason + "; no result file was written.");
}

void ResultFile::write(std::string_view content) {
    std::ofstream out(temporary_, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) fail("could not be written completely (" + temporary_.string() + ")");
    written_ = true;
}

void ResultFile::commit() {
    if (!written_) fail("was not written");
    std::error_code error;
    std::filesystem::rename(temporary_, path_, error);
    if (error) fail("could not be renamed into place (" + error.message() + ")");
    committed_ = true;
}

void checkDistinct(const ResultFile& first, const ResultFile& second) {
    if (sameFile(first.temporaryPath(), second.temporaryPath()) || first.path() == second.path())
        throw RunError(second.origin().fileName, second.origin().lineNumber,
                       second.origin().what + " \"" + second.path().filename().string() + "\" is also " +
                           first.origin().what + "; no result file was written.");
}

void commitAll(std::span<ResultFile* const> files) {
    for (ResultFile* file : files) file->commit();
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view content) {
    std::filesystem::path temporary = path;
    temporary += TEMPORARY_SUFFIX;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) throw RunError(path.string(), 0, "cannot be created");
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw RunError(path.string(), 0, "could not be written completely");
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw RunError(path.string(), 0, "cannot be created (" + error.message() + ")");
    }
}

}  // namespace engine
