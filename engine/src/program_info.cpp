#include "engine/program_info.h"

#include "orvalis_version.h"

namespace engine {

const char* programVersion() { return ORVALIS_VERSION; }

std::string versionLine(const std::string& program) { return program + " " + programVersion() + "\n"; }

std::string helpText(const ProgramHelp& help) {
    return help.name + " - " + help.summary + "\n\n" + help.usage +
           "  --help     prints this text and exits\n"
           "  --version  prints \"" +
           help.name + " <version>\" and exits\n";
}

std::optional<int> answerInformationRequest(const std::vector<std::string>& arguments, const ProgramHelp& help,
                                            std::ostream& out) {
    for (const std::string& argument : arguments) {
        if (argument == "--version") {
            out << versionLine(help.name) << std::flush;
            return 0;
        }
        if (argument == "--help" || argument == "-h") {
            out << helpText(help) << std::flush;
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace engine
