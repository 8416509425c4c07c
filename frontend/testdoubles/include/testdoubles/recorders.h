#pragma once
// Stand-ins for message boxes and the program launcher that record what they were asked.
#include <filesystem>
#include <string>
#include <vector>

#include "common/message_sink.h"
#include "common/program_launcher.h"

namespace orvalis::testing {

class RecordingMessages : public MessageSink {
public:
    void warn(const std::string& text) override { warnings.push_back(text); }
    bool confirm(const std::string& text) override {
        questions.push_back(text);
        return answer;
    }
    std::vector<std::string> warnings;
    std::vector<std::string> questions;
    bool answer = true;
};

class RecordingLauncher : public ProgramLauncher {
public:
    LaunchResult start(const std::string& programName, const std::filesystem::path& folder) override {
        programs.push_back(programName);
        folders.push_back(folder);
        if (!succeed) return {false, "Cannot find the program " + programName};
        return {true, {}};
    }
    std::vector<std::string> programs;
    std::vector<std::filesystem::path> folders;
    bool succeed = true;
};

}  // namespace orvalis::testing
