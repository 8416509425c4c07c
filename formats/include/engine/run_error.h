#pragma once
// The one failure type of the engine and the simulators. Loaders throw it with the file and the
// line that failed; each main() catches it once, prints it and exits non-zero.
#include <stdexcept>
#include <string>

namespace engine {

class RunError : public std::runtime_error {
public:
    // A fault that belongs to no file (for example every spectrum weight below the floor).
    explicit RunError(const std::string& message) : std::runtime_error(message) {}

    // A fault in a file: "<file>, line <n>: <what was expected>". lineNumber 0 means the file as a whole.
    RunError(const std::string& fileName, int lineNumber, const std::string& message)
        : std::runtime_error(compose(fileName, lineNumber, message)), fileName_(fileName), lineNumber_(lineNumber) {}

    const std::string& fileName() const { return fileName_; }
    int lineNumber() const { return lineNumber_; }

private:
    static std::string compose(const std::string& fileName, int lineNumber, const std::string& message) {
        if (lineNumber > 0) return fileName + ", line " + std::to_string(lineNumber) + ": " + message;
        return fileName + ": " + message;
    }
    std::string fileName_;
    int lineNumber_ = 0;
};

}  // namespace engine
