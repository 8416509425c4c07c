#pragma once
// Result files written whole or not at all. Every name is checked before anything is written: not
// blank, not a folder, not one of the run's input files, in a folder that exists and takes a new
// file. The run then holds the name's lock (result_lock.h), so that a second run on the same name
// in the same folder is refused before its first history, and writes each file under a temporary
// name of its own beside its place (temporary_file.h), renamed into place only when the whole run
// has succeeded: a run that fails or is stopped leaves the previous result files byte for byte.
#include "engine/result_lock.h"
#include "engine/temporary_file.h"

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// Where a result name comes from, for messages: "Nimbrola.dat, line 3: the result file ...".
struct NameOrigin {
    std::string fileName;  // the file that holds the name
    int lineNumber = 0;    // 0: the file as a whole
    std::string what;      // "the result file", "the fluence file"
};

class ResultFile {
public:
    // Checks `name` (relative to `folder`) against the rules above and the input files, takes the
    // name's lock and creates the temporary file, so that a result that cannot be written, or that
    // another run is writing, is found before the run. Throws RunError naming the origin and the name.
    ResultFile(const std::filesystem::path& folder, const std::string& name, NameOrigin origin,
               const std::vector<std::filesystem::path>& inputFiles);
    // Removes the temporary file unless it was renamed into place, then lets go of the lock.
    ~ResultFile();
    ResultFile(const ResultFile&) = delete;
    ResultFile& operator=(const ResultFile&) = delete;

    // The whole content, into the temporary file. Throws RunError when it cannot be written.
    void write(std::string_view content);
    // Renames the temporary file into place. Throws RunError when that fails.
    void commit();

    const std::filesystem::path& path() const { return path_; }
    const std::filesystem::path& temporaryPath() const { return temporary_->path(); }
    const std::filesystem::path& lockFile() const { return lock_->lockFile(); }
    const NameOrigin& origin() const { return origin_; }

private:
    friend void commitAll(std::span<ResultFile* const> files);
    friend void checkDistinct(const ResultFile& first, const ResultFile& second);
    [[noreturn]] void fail(const std::string& reason) const;
    // Renames into place; on failure the message ends with `afterwards` (what the run leaves).
    void rename(const std::string& afterwards);

    std::filesystem::path path_;
    NameOrigin origin_;
    std::unique_ptr<ResultLock> lock_;  // let go of after the temporary file is removed
    std::unique_ptr<TemporaryFile> temporary_;
    std::string name_;
    bool written_ = false;
    bool committed_ = false;
};

// The same checks for a file that is written in one go at the end (writeFileAtomically): the
// name, the input files, and a trial creation of a temporary file, removed again at once.
void checkResultName(const std::filesystem::path& path, const NameOrigin& origin,
                     const std::vector<std::filesystem::path>& inputFiles);

// Refuses two result files of one run that would land in the same file. Throws RunError.
void checkDistinct(const ResultFile& first, const ResultFile& second);

// Renames every file into place, in the order given, once all of them are written, with the stop
// signals held back, so that a signal never leaves one file of the run renamed and another not.
// When a rename fails, the message says which files are already in place.
void commitAll(std::span<ResultFile* const> files);

// Writes the whole content to a temporary file of its own beside `path` and renames it into place,
// so that a failed or interrupted write never leaves a half-written file and an older file stays
// intact until the new one is complete. Takes no lock: the last complete writer wins. Throws
// RunError when the file cannot be created.
void writeFileAtomically(const std::filesystem::path& path, std::string_view content);

}  // namespace engine
