#include "common/program_search.h"

#include <system_error>

namespace orvalis {

std::vector<std::filesystem::path> splitSearchPath(const std::string& pathList) {
#ifdef _WIN32
    constexpr char SEPARATOR = ';';
#else
    constexpr char SEPARATOR = ':';
#endif
    std::vector<std::filesystem::path> folders;
    std::size_t start = 0;
    while (start <= pathList.size()) {
        std::size_t end = pathList.find(SEPARATOR, start);
        if (end == std::string::npos) end = pathList.size();
        if (end > start) folders.emplace_back(pathList.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

std::optional<std::filesystem::path> findExecutable(const std::string& fileName,
                                                    const std::vector<std::filesystem::path>& folders) {
    namespace fs = std::filesystem;
    for (const fs::path& folder : folders) {
        const fs::path candidate = folder / fileName;
        std::error_code error;
        if (!fs::is_regular_file(candidate, error)) continue;
#ifndef _WIN32
        const fs::perms perms = fs::status(candidate, error).permissions();
        constexpr fs::perms anyExec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
        if (error || (perms & anyExec) == fs::perms::none) continue;
#endif
        return candidate;
    }
    return std::nullopt;
}

std::vector<std::filesystem::path> simulatorFolders(const std::filesystem::path& ownFolder,
                                                    const std::string& searchPath) {
    std::vector<std::filesystem::path> folders{ownFolder};
    const auto searchFolders = splitSearchPath(searchPath);
    folders.insert(folders.end(), searchFolders.begin(), searchFolders.end());
    return folders;
}

std::vector<std::string> terminalArguments(const std::string& terminalName, const std::vector<std::string>& command) {
    std::vector<std::string> arguments;
    if (terminalName == "gnome-terminal")
        arguments.emplace_back("--");
    else if (terminalName == "xfce4-terminal")
        arguments.emplace_back("-x");
    else  // x-terminal-emulator, konsole and xterm all take the program and its arguments after -e.
        arguments.emplace_back("-e");
    arguments.insert(arguments.end(), command.begin(), command.end());
    return arguments;
}

std::vector<std::string> pausingCommand(const std::filesystem::path& program, const std::string& programName,
                                        const std::filesystem::path& statusFile) {
    // $1 program, $2 its name, $3 the status file. The status goes to a temporary name first and
    // is renamed, so the front end never reads half of it. The simulator's input and output stay
    // the terminal's.
    const std::string script =
        std::string(
            "\"$1\"; status=$?\n"
            "{ printf '%s\\n' \"$status\" > \"$3.part\" && mv -f \"$3.part\" \"$3\"; } 2>/dev/null\n"
            "if [ \"$status\" -ne 0 ]; then\n"
            "  printf '\\n%s ended with exit status %s. %s' \"$2\" \"$status\" '") +
        PAUSE_PROMPT +
        "'\n"
        "  read answer\n"
        "fi\n"
        "exit \"$status\"\n";
    return {"/bin/sh", "-c", script, "orvalis-run", program.string(), programName, statusFile.string()};
}

std::string failedRunMessage(const std::string& programName, int exitStatus, const std::string& where) {
    constexpr int SHELL_SIGNAL_BASE = 128;
    std::string what = "failed (exit status " + std::to_string(exitStatus) + ")";
    if (exitStatus < 0) what = "was stopped";
    if (exitStatus > SHELL_SIGNAL_BASE)
        what = "was stopped (signal " + std::to_string(exitStatus - SHELL_SIGNAL_BASE) + ")";
    return programName + " " + what + "; see its messages in " + where + ".";
}

}  // namespace orvalis
