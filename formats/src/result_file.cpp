#include "engine/result_file.h"

#include "engine/native_files.h"
#include "engine/run_error.h"
#include "engine/stop_request.h"

#include <system_error>

namespace engine {

namespace {

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    return std::filesystem::exists(a, error) && std::filesystem::exists(b, error) &&
           std::filesystem::equivalent(a, b, error) && !error;
}

constexpr const char* NOTHING_WRITTEN = "no result file was written";

[[noreturn]] void refuse(const NameOrigin& origin, const std::string& name, const std::string& reason,
                         const std::string& afterwards = NOTHING_WRITTEN) {
    throw RunError(origin.fileName, origin.lineNumber,
                   origin.what + " \"" + name + "\" " + reason + "; " + afterwards + ".");
}

// Checks everything but the creation of the files.
void checkName(const std::filesystem::path& path, const std::string& name, const NameOrigin& origin,
               const std::vector<std::filesystem::path>& inputFiles) {
    if (name.find_first_not_of(" \t") == std::string::npos) refuse(origin, name, "is blank");
    if (holdsNulByte(path)) {
        std::string shown = name;
        for (std::size_t at = shown.find('\0'); at != std::string::npos; at = shown.find('\0', at))
            shown.replace(at, 1, "\\0");
        refuse(origin, shown, "holds a NUL byte, which no file name can hold");
    }
    const std::filesystem::path file = path.filename();
    if (file.empty() || file == "." || file == "..") refuse(origin, name, "names a folder, not a file");
    // The ending of the temporary files is kept for them, so that a result never looks like one.
    if (file.string().ends_with(TEMPORARY_SUFFIX))
        refuse(origin, name, "ends in the temporary files' " + std::string(TEMPORARY_SUFFIX));
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) refuse(origin, name, "is a folder");
    const std::filesystem::path parent = path.parent_path();
    if (!parent.empty() && !std::filesystem::is_directory(parent, error))
        refuse(origin, name, "lies in a folder that does not exist (" + parent.string() + ")");
    for (const std::filesystem::path& input : inputFiles) {
        if (sameFile(path, input))
            refuse(origin, name,
                   "is the input file " + input.filename().string() + " of this run, which must stay as it is");
    }
}

// A temporary file beside `path`, or the refusal naming the file tried.
std::unique_ptr<TemporaryFile> createTemporary(const std::filesystem::path& path, const std::string& name,
                                               const NameOrigin& origin) {
    try {
        return std::make_unique<TemporaryFile>(path);
    } catch (const std::system_error& error) {
        refuse(origin, name, "cannot be created in its folder (" + std::string(error.what()) + ")");
    }
}

}  // namespace

void checkResultName(const std::filesystem::path& path, const NameOrigin& origin,
                     const std::vector<std::filesystem::path>& inputFiles) {
    const std::string name = path.string();
    checkName(path, name, origin, inputFiles);
    createTemporary(path, name, origin);  // removed again at once
}

ResultFile::ResultFile(const std::filesystem::path& folder, const std::string& name, NameOrigin origin,
                       const std::vector<std::filesystem::path>& inputFiles)
    : path_(folder / name), origin_(std::move(origin)), name_(name) {
    checkName(path_, name_, origin_, inputFiles);
    try {
        lock_ = std::make_unique<ResultLock>(path_);
    } catch (const LockRefused& refused) {
        fail(refused.what());
    }
    temporary_ = createTemporary(path_, name_, origin_);
}

ResultFile::~ResultFile() = default;

void ResultFile::fail(const std::string& reason) const { refuse(origin_, name_, reason); }

void ResultFile::write(std::string_view content) {
    try {
        temporary_->write(content);
    } catch (const std::system_error& error) {
        fail("could not be written completely (" + std::string(error.what()) + ")");
    }
    written_ = true;
}

void ResultFile::rename(const std::string& afterwards) {
    if (!written_) refuse(origin_, name_, "was not written", afterwards);
    try {
        temporary_->commit();
    } catch (const std::system_error& error) {
        refuse(origin_, name_, "could not be renamed into place (" + error.code().message() + ")", afterwards);
    }
    committed_ = true;
}

void ResultFile::commit() { rename(NOTHING_WRITTEN); }

void checkDistinct(const ResultFile& first, const ResultFile& second) {
    if (first.lock_->identity() == second.lock_->identity() || first.path() == second.path())
        throw RunError(second.origin().fileName, second.origin().lineNumber,
                       second.origin().what + " \"" + second.path().filename().string() + "\" is also " +
                           first.origin().what + "; no result file was written.");
}

void commitAll(std::span<ResultFile* const> files) {
    const DeferStopSignals deferred;
    std::string inPlace;
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string afterwards = NOTHING_WRITTEN;
        if (i > 0) {
            std::string notInPlace;
            for (std::size_t j = i; j < files.size(); ++j)
                notInPlace += (j > i ? " and " : "") + files[j]->path().filename().string();
            afterwards = inPlace + (i > 1 ? " were" : " was") + " written, " + notInPlace + " not";
        }
        files[i]->rename(afterwards);
        inPlace += (i > 0 ? " and " : "") + files[i]->path().filename().string();
    }
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view content) {
    std::unique_ptr<TemporaryFile> temporary;
    try {
        temporary = std::make_unique<TemporaryFile>(path);
    } catch (const std::system_error& error) {
        throw RunError(path.string(), 0, "cannot be created (" + error.code().message() + ")");
    }
    try {
        temporary->write(content);
    } catch (const std::system_error& error) {
        throw RunError(path.string(), 0, "could not be written completely (" + error.code().message() + ")");
    }
    try {
        temporary->commit();
    } catch (const std::system_error& error) {
        throw RunError(path.string(), 0, "cannot be created (" + error.code().message() + ")");
    }
}

}  // namespace engine
