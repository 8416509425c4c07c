#pragma once
// Runs one of Orvalis's own programs (orvalis-fit, Tolvane, Brisella) as a child process in a given
// folder and collects what it prints. The arguments and folders are native bytes, so a measured file
// whose name is not UTF-8 reaches the program as it is. A set cancel flag ends the child.
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace commission {

struct ChildResult {
    int exitStatus = -1;  // the program's exit status; 128 + n when a signal n ended it; -1: not started
    std::string output;   // standard output
    std::string errors;   // standard error
    bool cancelled = false;
};

// Starts `program` with `arguments` in `folder`, standard input closed, and waits for it. A set
// `cancel` sends the child SIGTERM (and SIGKILL two seconds later) and marks the result cancelled.
// `onLine`, when given, sees each whole line of standard output as it comes.
ChildResult runChild(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                     const std::filesystem::path& folder, const std::atomic<bool>& cancel,
                     const std::function<void(const std::string&)>& onLine = {});

// The program beside the running one, else on PATH; never one in a work folder.
std::filesystem::path siblingProgram(const std::filesystem::path& ownProgram, const std::string& name);

}  // namespace commission
