#pragma once
// What every program says about itself: its version ("<program> <version>", built from
// `git describe` or the project version) and its help text, which is also the source of its
// manual page and its shell completion. The first line of the help text is
// "<program> - <summary>"; the rest is printed as it stands.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace engine {

struct ProgramHelp {
    std::string name;     // as installed, e.g. "orvalis-fit"
    std::string summary;  // one line, without a full stop
    std::string usage;    // usage and options as the program prints them, lines ending in "\n"
};

// The version of this build, e.g. "2.0" or "2.0-g1a2b3c4".
const char* programVersion();
// "<program> <version>" with its line end.
std::string versionLine(const std::string& program);
// The whole --help text: "<program> - <summary>", an empty line, the usage, and the two options
// that every program takes.
std::string helpText(const ProgramHelp& help);

// Answers --version and --help (or -h), whichever comes first among the arguments: prints the
// answer to `out` and gives the exit status 0. Gives nothing when neither was asked, so the
// program runs as always.
std::optional<int> answerInformationRequest(const std::vector<std::string>& arguments, const ProgramHelp& help,
                                            std::ostream& out);

}  // namespace engine
