#pragma once
// Finding a simulator and a terminal to run it in. Pure functions over the file system so that
// the search order is tested without starting anything.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvalis {

// Terminals tried in this order; the first that exists on the search path is used.
inline const std::vector<std::string>& terminalCandidates() {
    static const std::vector<std::string> names{"x-terminal-emulator", "gnome-terminal", "konsole", "xfce4-terminal",
                                                "xterm"};
    return names;
}

// Splits a PATH-like list (":" on POSIX, ";" on Windows) into folders; empty entries are dropped.
std::vector<std::filesystem::path> splitSearchPath(const std::string& pathList);

// The first folder of `folders` holding an executable regular file named fileName.
std::optional<std::filesystem::path> findExecutable(const std::string& fileName,
                                                    const std::vector<std::filesystem::path>& folders);

// Where a simulator is looked for: the front end's own folder, then the search path. Never the
// work folder: a program of the same name planted in a shared data folder must not run instead.
std::vector<std::filesystem::path> simulatorFolders(const std::filesystem::path& ownFolder,
                                                    const std::string& searchPath);

// Arguments that make `terminalName` run `command` (program and its arguments) in its window,
// after the terminal's own name.
std::vector<std::string> terminalArguments(const std::string& terminalName, const std::vector<std::string>& command);

// The command a terminal window runs: the simulator under a small POSIX shell wrapper that leaves
// the simulator's console alone, writes its exit status into statusFile (a private file of the
// front end) and, when the run failed, keeps the window open until Enter is pressed so that the
// message can be read.
std::vector<std::string> pausingCommand(const std::filesystem::path& program, const std::string& programName,
                                        const std::filesystem::path& statusFile);

// The line the wrapper shows under a failed run, before it waits for Enter.
inline constexpr const char* PAUSE_PROMPT = "Press Enter to close this window.";

// What the front end says when a run it started ended with a non-zero exit status: above 128 (the
// shell's way) a signal stopped it, below 0 it was stopped by an unknown signal. `where` says
// where the run's own messages are: its terminal window or its log file.
std::string failedRunMessage(const std::string& programName, int exitStatus, const std::string& where);

}  // namespace orvalis
