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

std::vector<std::string> terminalArguments(const std::string& terminalName, const std::filesystem::path& program) {
    const std::string programText = program.string();
    if (terminalName == "gnome-terminal") return {"--", programText};
    if (terminalName == "xfce4-terminal") return {"-x", programText};
    // x-terminal-emulator, konsole and xterm all take the program after -e.
    return {"-e", programText};
}

}  // namespace orvalis
