#pragma once
// The first start of an installed front end: which folder it works in, and that folder made ready
// for the simulators with the data files of the installation. A user's file is never replaced and
// no file is written through a link.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvalis {

// The folder under the home folder that an installed front end works in by default.
inline constexpr const char* DEFAULT_WORK_FOLDER_NAME = "Orvalis";

// The folder given on the command line; else the current folder when it already holds the
// scattering table (a folder prepared by hand or by `make run`); else ~/Orvalis.
std::filesystem::path chooseWorkFolder(const std::optional<std::filesystem::path>& givenFolder,
                                       const std::filesystem::path& currentFolder,
                                       const std::filesystem::path& homeFolder);

// The files every work folder needs from the installation: the scattering table and the range table.
const std::vector<std::string>& workFolderDataFiles();

struct WorkFolderPreparation {
    bool createdFolder = false;
    std::vector<std::string> copied;    // copied from the data folder
    std::vector<std::string> missing;   // in neither folder
    std::vector<std::string> blocked;   // something that is no file (a dangling link, a folder) holds the name
    std::vector<std::string> failures;  // what could not be done, whole sentences
};

// Creates the work folder when it does not exist and copies each data file that is missing there
// from dataFolder, created exclusively and never through a link; a name that is taken in any way
// is left as it is.
WorkFolderPreparation prepareWorkFolder(const std::filesystem::path& workFolder,
                                        const std::filesystem::path& dataFolder);

// What the user is told, once: empty when the folder was ready (every later start).
std::string preparationMessage(const WorkFolderPreparation& preparation, const std::filesystem::path& workFolder,
                               const std::filesystem::path& dataFolder);

}  // namespace orvalis
