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

// Arguments that make `terminalName` run `program` in its window (after the terminal itself).
std::vector<std::string> terminalArguments(const std::string& terminalName, const std::filesystem::path& program);

}  // namespace orvalis
