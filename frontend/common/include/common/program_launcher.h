#pragma once
// Starts a simulator by bare program name in a folder, without waiting for it. The application
// supplies the real launcher, tests a recorder.
#include <filesystem>
#include <string>

namespace orvalis {

inline constexpr const char* DEPTH_DOSE_PROGRAM = "Tolvane";
inline constexpr const char* KERNEL_PROGRAM = "Brisella";

struct LaunchResult {
    bool started = false;
    std::string message;  // why it was not started, naming the program
};

class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // programName is bare ("Tolvane"); the platform's executable suffix is added by the launcher.
    virtual LaunchResult start(const std::string& programName, const std::filesystem::path& workingFolder) = 0;
};

}  // namespace orvalis
