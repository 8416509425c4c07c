#pragma once
// Starts a simulator without waiting for it. The program (bare name plus the platform's
// executable suffix) is looked up in the front end's own folder, then the working folder, then
// the search path. On a desktop with a terminal (x-terminal-emulator, gnome-terminal, konsole,
// xfce4-terminal, xterm: the first that exists) it runs in a terminal window, so that its
// console lines and its closing Enter pause behave as in a console; with no terminal it runs
// detached with standard input closed and its console output in "<program>.log" in the working
// folder.
#include <filesystem>
#include <string>

#include "common/program_launcher.h"

namespace orvalis {

class QtProgramLauncher : public ProgramLauncher {
public:
    // Own folder from the running executable, search path from PATH.
    QtProgramLauncher();
    QtProgramLauncher(std::filesystem::path ownFolder, std::string searchPath, bool useTerminal = true);

    LaunchResult start(const std::string& programName, const std::filesystem::path& workingFolder) override;

private:
    std::filesystem::path ownFolder_;
    std::string searchPath_;
    bool useTerminal_ = true;
};

}  // namespace orvalis
