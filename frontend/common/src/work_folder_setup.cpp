#include "common/work_folder_setup.h"

#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "beamdata/range_energy.h"
#include "engine/constants.h"

namespace orvalis {
namespace fs = std::filesystem;

namespace {

// Opens a new file for writing; fails when anything, a link included, already holds the name.
int createExclusively(const fs::path& path) {
#ifdef _WIN32
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
#endif
}

bool writeAll(int descriptor, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
#ifdef _WIN32
        const int written = _write(descriptor, content.data() + done, static_cast<unsigned>(content.size() - done));
#else
        const ssize_t written = ::write(descriptor, content.data() + done, content.size() - done);
#endif
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool closeFile(int descriptor) {
#ifdef _WIN32
    return _close(descriptor) == 0;
#else
    return ::close(descriptor) == 0;
#endif
}

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (k > 0) text += k + 1 == names.size() ? " and " : ", ";
        text += names[k];
    }
    return text;
}

// Copies one data file into the work folder under a name nobody holds yet.
void copyDataFile(const std::string& name, const fs::path& workFolder, const fs::path& dataFolder,
                  WorkFolderPreparation& preparation) {
    const fs::path target = workFolder / name;
    std::error_code error;
    const fs::file_status present = fs::symlink_status(target, error);
    if (fs::exists(present)) {
        // The user's own file (or a link to one) is used as it is; anything else is reported.
        if (!fs::is_regular_file(fs::status(target, error))) preparation.blocked.push_back(name);
        return;
    }
    std::ifstream source(dataFolder / name, std::ios::binary);
    if (!source) {
        preparation.missing.push_back(name);
        return;
    }
    const std::string content((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
    if (source.bad()) {
        preparation.failures.push_back("Cannot read " + (dataFolder / name).string() + ".");
        return;
    }
    const int descriptor = createExclusively(target);
    if (descriptor < 0) {
        preparation.failures.push_back("Cannot create " + target.string() + ".");
        return;
    }
    const bool written = writeAll(descriptor, content);
    if (!closeFile(descriptor) || !written) {
        fs::remove(target, error);  // the file is ours: a part of it would pass for the whole
        preparation.failures.push_back("Cannot write " + target.string() + ".");
        return;
    }
    preparation.copied.push_back(name);
}

}  // namespace

fs::path chooseWorkFolder(const std::optional<fs::path>& givenFolder, const fs::path& currentFolder,
                          const fs::path& homeFolder) {
    if (givenFolder && !givenFolder->empty()) return *givenFolder;
    std::error_code error;
    if (fs::is_regular_file(currentFolder / engine::ELECTRON_DATA_FILE_NAME, error)) return currentFolder;
    return homeFolder / DEFAULT_WORK_FOLDER_NAME;
}

const std::vector<std::string>& workFolderDataFiles() {
    static const std::vector<std::string> names{engine::ELECTRON_DATA_FILE_NAME, beamdata::CSDA_FILE_NAME};
    return names;
}

WorkFolderPreparation prepareWorkFolder(const fs::path& workFolder, const fs::path& dataFolder) {
    WorkFolderPreparation preparation;
    std::error_code error;
    if (!fs::is_directory(workFolder, error)) {
        preparation.createdFolder = fs::create_directories(workFolder, error);
        if (error || !fs::is_directory(workFolder, error)) {
            preparation.failures.push_back("Cannot create the work folder " + workFolder.string() + ".");
            return preparation;
        }
    }
    for (const std::string& name : workFolderDataFiles()) copyDataFile(name, workFolder, dataFolder, preparation);
    return preparation;
}

std::string preparationMessage(const WorkFolderPreparation& preparation, const fs::path& workFolder,
                               const fs::path& dataFolder) {
    std::string text;
    auto sentence = [&text](const std::string& line) { text += (text.empty() ? "" : "\n") + line; };
    if (preparation.createdFolder) sentence("Created the work folder " + workFolder.string() + ".");
    if (!preparation.copied.empty())
        sentence("Copied " + listed(preparation.copied) + " from " + dataFolder.string() + " into " +
                 workFolder.string() + ".");
    if (!preparation.missing.empty())
        sentence(listed(preparation.missing) + (preparation.missing.size() == 1 ? " is" : " are") +
                 " neither in the work folder nor in " + dataFolder.string() +
                 ": the simulators and the set-up window need " + (preparation.missing.size() == 1 ? "it." : "them."));
    if (!preparation.blocked.empty())
        sentence(listed(preparation.blocked) + " in the work folder " +
                 (preparation.blocked.size() == 1 ? "is" : "are") +
                 " not a file (a broken link or a folder); left as " +
                 (preparation.blocked.size() == 1 ? "it is." : "they are."));
    for (const std::string& failure : preparation.failures) sentence(failure);
    return text;
}

}  // namespace orvalis
