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

[[noreturn]] void refuse(const NameOrigin& origin, const std::string& name, const std::string& reason) {
    throw RunError(origin.fileName, origin.lineNumber,
                   origin.what + " \"" + name + "\" " + reason + "; no result file was written.");
}

// Checks everything but the creation and returns the temporary name beside the file.
std::filesystem::path checkedTemporaryPath(const std::filesystem::path& path, const std::string& name,
                                           const NameOrigin& origin,
                                           const std::vector<std::filesystem::path>& inputFiles) {
    if (name.find_first_not_of(" \t") == std::string::npos) refuse(origin, name, "is blank");
    const std::filesystem::path file = path.filename();
    if (file.empty() || file == "." || file == "..") refuse(origin, name, "names a folder, not a file");
    // The ending of the temporary files is kept for them: another result's temporary file could
    // otherwise land on this one.
    if (file.string().ends_with(TEMPORARY_SUFFIX))
        refuse(origin, name, "ends in the temporary files' " + std::string(TEMPORARY_SUFFIX));
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) refuse(origin, name, "is a folder");
    const std::filesystem::path parent = path.parent_path();
    if (!parent.empty() && !std::filesystem::is_directory(parent, error))
        refuse(origin, name, "lies in a folder that does not exist (" + parent.string() + ")");
    std::filesystem::path temporary = path;
    temporary += TEMPORARY_SUFFIX;
    for (const std::filesystem::path& input : inputFiles) {
        if (sameFile(path, input) || sameFile(temporary, input))
            refuse(origin, name,
                   "is the input file " + input.filename().string() + " of this run, which must stay as it is");
    }
    if (std::filesystem::is_directory(temporary, error))
        refuse(origin, name,
               "cannot be written: the folder " + temporary.string() + " is in the way of its temporary file");
    return temporary;
}

}  // namespace

void checkResultName(const std::filesystem::path& path, const NameOrigin& origin,
                     const std::vector<std::filesystem::path>& inputFiles) {
    const std::string name = path.string();
    const std::filesystem::path temporary = checkedTemporaryPath(path, name, origin, inputFiles);
    std::error_code error;
    const bool existed = std::filesystem::exists(temporary, error);
    if (!std::ofstream(temporary, std::ios::binary | std::ios::app))
        refuse(origin, name, "cannot be created in its folder (" + temporary.string() + " cannot be written)");
    if (!existed) std::filesystem::remove(temporary, error);
}

ResultFile::ResultFile(const std::filesystem::path& folder, const std::string& name, NameOrigin origin,
                       const std::vector<std::filesystem::path>& inputFiles)
    : path_(folder / name), origin_(std::move(origin)), name_(name) {
    temporary_ = checkedTemporaryPath(path_, name_, origin_, inputFiles);
    std::ofstream out(temporary_, std::ios::binary | std::ios::trunc);
    if (!out) fail("cannot be created in its folder (" + temporary_.string() + " cannot be written)");
}

ResultFile::~ResultFile() {
    if (committed_ || temporary_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
}

void ResultFile::fail(const std::string& reason) const { refuse(origin_, name_, reason); }

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
