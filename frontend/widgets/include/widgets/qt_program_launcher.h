#pragma once
// Starts a simulator without waiting for it. The program (bare name plus the platform's
// executable suffix) is looked up in the front end's own folder, then on the search path, never
// in the work folder. On a desktop with a terminal (x-terminal-emulator, gnome-terminal, konsole,
// xfce4-terminal, xterm: the first that exists) it runs in a terminal window, so that its
// console lines and its closing Enter pause behave as in a console; a run that fails keeps its
// window open until Enter. With no terminal it runs with standard input closed and its console
// output in "<program>.log" in the working folder, a file opened without following links.
// A run that cannot start is refused at once; one that ends with a non-zero exit status is
// reported afterwards through the message sink, naming the log or the terminal window.
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/message_sink.h"
#include "common/program_launcher.h"

class QProcess;

namespace orvalis {

class QtProgramLauncher : public ProgramLauncher {
public:
    // Own folder from the running executable, search path from PATH.
    explicit QtProgramLauncher(MessageSink* failures = nullptr);
    QtProgramLauncher(std::filesystem::path ownFolder, std::string searchPath, bool useTerminal = true,
                      MessageSink* failures = nullptr);
    // Runs still going are left running: a simulation outlives the front end.
    ~QtProgramLauncher() override;
    QtProgramLauncher(const QtProgramLauncher&) = delete;
    QtProgramLauncher& operator=(const QtProgramLauncher&) = delete;

    LaunchResult start(const std::string& programName, const std::filesystem::path& workingFolder) override;

private:
    // A run in a terminal window, whose exit status the wrapper writes into statusFile.
    struct TerminalRun {
        std::string programName;
        std::filesystem::path statusFile;
    };
    LaunchResult startInTerminal(const std::string& programName, const std::filesystem::path& program,
                                 const std::filesystem::path& workingFolder, bool& terminalFound);
    LaunchResult startWithLog(const std::string& programName, const std::filesystem::path& program,
                              const std::filesystem::path& workingFolder);
    void checkTerminalRuns();
    void reportFailure(const std::string& text);
    QProcess* newProcess(const std::filesystem::path& workingFolder, int outputDescriptor);

    std::filesystem::path ownFolder_;
    std::string searchPath_;
    bool useTerminal_ = true;
    MessageSink* failures_ = nullptr;
    QObject owner_;  // parent of the processes still watched
    std::unique_ptr<QTemporaryDir> statusFolder_;
    std::vector<TerminalRun> terminalRuns_;
    QTimer statusPoll_;
    int runCount_ = 0;
};

}  // namespace orvalis
