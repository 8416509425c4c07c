#include "fuzz/run_targets.h"

#include "depthdose/depthdose_simulation.h"
#include "engine/console.h"
#include "engine/constants.h"
#include "engine/record_io.h"
#include "engine/run_error.h"
#include "engine/run_frame.h"
#include "engine/stop_request.h"
#include "fit/fit_command.h"
#include "fuzz/result_checks.h"
#include "kernel/kernel_simulation.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace fuzz {

namespace {

namespace fs = std::filesystem;

constexpr const char* WORK = "work";          // the folder the product runs in
constexpr const char* EXPECTED = "expected";  // what the inputs and the earlier results were
constexpr const char* INPUTS[] = {engine::ELECTRON_DATA_FILE_NAME, engine::RUN_FILE_NAME, engine::SPECTRUM_FILE_NAME};
constexpr int RUN_BATCH = 10;
constexpr const char* PARTNER = "partner";  // the folder of a second run on the same result names
constexpr const char* PARTNER_OUTCOME = "partner-outcome.txt";
constexpr const char* VICTIM = "victim.txt";                // a file a planted link points to
constexpr const char* NOWHERE = "made-through-a-link.txt";  // where a dangling link points
constexpr const char* KERNEL_PARTNER_COUNT = "800.";
constexpr const char* DEPTH_DOSE_PARTNER_COUNT = "8000.";

std::string oldResult(const std::string& name) { return "an earlier result, " + name + "\r\n"; }

// A temporary or lock file left anywhere in the work folder (a folder or a planted link of that
// name is not one).
std::string leftoverTemporary(const fs::path& work) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(work, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const fs::path ending = it->path().extension();
        if ((ending == engine::TEMPORARY_SUFFIX || ending == engine::LOCK_SUFFIX) &&
            it->symlink_status(error).type() == fs::file_type::regular)
            return it->path().filename().string();
    }
    return {};
}

// A planted link that was followed: its file changed, or a file made where a dangling one points.
std::string followedLink(const fs::path& folder) {
    std::error_code error;
    if (fs::exists(folder / EXPECTED / VICTIM, error) &&
        readBytes(folder / WORK / VICTIM) != readBytes(folder / EXPECTED / VICTIM))
        return std::string("the file behind a planted link, ") + VICTIM + ", was written";
    if (fs::exists(folder / WORK / NOWHERE, error)) return std::string("a file was made through a link: ") + NOWHERE;
    return {};
}

// Files of `expected` that are not in `work` byte for byte.
std::string changedFile(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder / EXPECTED)) {
        const fs::path now = folder / WORK / entry.path().filename();
        std::error_code error;
        if (!fs::is_regular_file(now, error) || readBytes(now) != readBytes(entry.path()))
            return entry.path().filename().string();
    }
    return {};
}

void lay(const fs::path& folder, const std::string& name, const std::string& bytes) {
    writeBytes(folder / WORK / name, bytes);
    writeBytes(folder / EXPECTED / name, bytes);
}

// The outcome of a run with the names of the files it wrote, one "name" line each.
Outcome acceptedWith(std::initializer_list<std::string> names) {
    Outcome o{OutcomeKind::Accepted, {}};
    for (const std::string& n : names) o.message += n + "\n";
    return o;
}

std::vector<std::string> namesIn(const std::string& message) {
    std::vector<std::string> names;
    std::istringstream lines(message);
    for (std::string line; std::getline(lines, line);) names.push_back(line);
    return names;
}

enum class Program { Brisella, Tolvane };

class SimulatorTarget : public Target {
public:
    SimulatorTarget(Program program, const Corpus& corpus, const fs::path& baselineFolder)
        : program_(program), corpus_(corpus) {
        // The results of the unmutated inputs: a cut input that is taken must give the same.
        const fs::path work = baselineFolder / name();
        fs::create_directories(work / WORK);
        fs::create_directories(work / EXPECTED);
        layInputs(work);
        if (run(work, CasePlan{}).kind != OutcomeKind::Accepted) throw std::runtime_error("the baseline run failed");
        for (const std::string& r : results()) baseline_.push_back(readBytes(work / WORK / r));
        // The second run's results alone, written from its own folder onto the same names.
        layPartner(work);
        if (simulate(work / PARTNER, "").kind != OutcomeKind::Accepted)
            throw std::runtime_error("the baseline of the second run failed");
        for (const std::string& r : results()) partnerBaseline_.push_back(readBytes(work / WORK / r));
    }

    std::string name() const override { return program_ == Program::Brisella ? "Brisella run" : "Tolvane run"; }
    int batchSize() const override { return RUN_BATCH; }

    CasePlan prepare(const fs::path& folder, FuzzRandom& random) const override {
        fs::create_directories(folder / WORK);
        fs::create_directories(folder / EXPECTED);
        layInputs(folder);
        for (const std::string& r : results()) lay(folder, r, oldResult(r));
        if (random.percent(25)) return situation(folder, random);
        CasePlan plan;
        const std::size_t which = random.below(3);
        const std::string original = which == 0 ? corpus_.eldat : which == 1 ? runFile() : spectrumFile();
        const Mutated m = mutate(original, random);
        lay(folder, INPUTS[which], m.bytes);
        plan.mutatedFile = INPUTS[which];
        plan.truncated = m.truncated;
        plan.description = plan.mutatedFile + ": " + m.description;
        return plan;
    }

    Outcome run(const fs::path& folder, const CasePlan& plan) const override {
        if (plan.partnerRun) return runBesidePartner(folder, plan);
        const fs::path work = folder / WORK;
        engine::clearStopRequest();  // a process runs one simulation; a child runs several cases
        try {
            if (plan.stopAfterMs == 0) {
                // A mutated count may ask for hours of work; the case is counted, not run.
                const auto kind = program_ == Program::Brisella ? engine::RunKind::Kernel : engine::RunKind::DepthDose;
                const float limit = program_ == Program::Brisella ? CAMPAIGN_KERNEL_HISTORIES
                                                                  : CAMPAIGN_DEPTH_DOSE_HISTORIES;
                if (engine::readRunFile(work / engine::RUN_FILE_NAME, kind).historyCount > limit)
                    return {OutcomeKind::Skipped, {}};
            }
        } catch (const std::exception& error) {
            return {OutcomeKind::Refused, error.what()};
        }
        return simulate(work, plan.consoleInput);
    }

    // One run of the simulator in `work`, as its main() would end it.
    Outcome simulate(const fs::path& work, const std::string& consoleInput) const {
        std::istringstream in(consoleInput);
        std::ostringstream out;
        engine::Console console(in, out, false);
        CasePlan answers;
        answers.consoleInput = consoleInput;
        try {
            if (program_ == Program::Brisella) {
                kernel::runKernelSimulation(work, console);
                const engine::RunFile r = engine::readRunFile(work / engine::RUN_FILE_NAME, engine::RunKind::Kernel);
                return acceptedWith({writtenName(r.resultFileName, answers)});
            }
            depthdose::runDepthDoseSimulation(work, console);
            const engine::RunFile r = engine::readRunFile(work / engine::RUN_FILE_NAME, engine::RunKind::DepthDose);
            return acceptedWith({writtenName(r.resultFileName, answers), writtenName(r.fluenceFileName, answers)});
        } catch (const std::exception& error) {  // what the program's main() catches and prints
            return {OutcomeKind::Refused, error.what()};
        }
    }

    // Two processes on the same result names at once: this one from the work folder, a second one
    // from its own folder naming "../work/...", stopped by SIGTERM when the plan says so. The
    // outcome holds both: "<this run's kind>\n<the second's kind>\n<both messages>".
    Outcome runBesidePartner(const fs::path& folder, const CasePlan& plan) const {
        const pid_t partner = fork();
        if (partner == 0) {
            engine::clearStopRequest();
            const Outcome o = simulate(folder / PARTNER, "");
            writeBytes(folder / PARTNER_OUTCOME, outcomeLine(o));
            std::_Exit(0);
        }
        pid_t stopper = -1;
        if (partner > 0 && plan.partnerStopAfterMs > 0) {
            // The stop comes from a third process, so that this run goes on meanwhile.
            stopper = fork();
            if (stopper == 0) {
                usleep(static_cast<useconds_t>(plan.partnerStopAfterMs) * 1000u);
                kill(partner, SIGTERM);
                std::_Exit(0);
            }
        }
        engine::clearStopRequest();
        const Outcome mine = simulate(folder / WORK, "");
        int status = 0;
        if (partner > 0) waitpid(partner, &status, 0);
        if (stopper > 0) {  // the second run may have ended before its stop was due
            kill(stopper, SIGKILL);
            waitpid(stopper, nullptr, 0);
        }
        std::string theirs = readBytes(folder / PARTNER_OUTCOME);
        if (theirs.empty()) theirs = WIFSIGNALED(status) ? "stopped\n" : "lost\n";
        return {OutcomeKind::Accepted, outcomeLine(mine) + theirs};
    }

    static std::string outcomeLine(const Outcome& o) {
        std::string message = o.message;
        std::replace(message.begin(), message.end(), '\n', ' ');
        return (o.kind == OutcomeKind::Accepted ? "accepted " : "refused ") + message + "\n";
    }

    // Both runs ended; the files in place are the pair of the one that wrote last, or, when neither
    // wrote, the earlier ones. A refusal says that another run is writing, or was stopped.
    Verdict judgeBesidePartner(const fs::path& folder, const ChildEnd& end) const {
        if (!end.outcome) return {Finding::DamagedResult, "the pair of runs gave no outcome"};
        std::istringstream lines(end.outcome->message);
        std::string mine;
        std::string theirs;
        std::getline(lines, mine);
        std::getline(lines, theirs);
        for (const std::string& line : {mine, theirs}) {
            if (line.starts_with("accepted") || line == "stopped") continue;
            if (line.find("is being written by another run") == std::string::npos &&
                line.find("stopped (SIG") == std::string::npos)
                return {Finding::DamagedResult, "a run beside another failed otherwise: " + line};
        }
        std::vector<std::string> inPlace;
        for (const std::string& r : results()) inPlace.push_back(readBytes(folder / WORK / r));
        std::vector<std::string> old;
        for (const std::string& r : results()) old.push_back(oldResult(r));
        const bool anyAccepted = mine.starts_with("accepted") || theirs.starts_with("accepted");
        if (inPlace == baseline_ || inPlace == partnerBaseline_) {
            if (!anyAccepted && theirs != "stopped")
                return {Finding::DamagedResult, "results in place although neither run succeeded"};
            if (inPlace == baseline_ && !mine.starts_with("accepted"))
                return {Finding::DamagedResult, "the results of a refused run are in place"};
            // A run killed outright after its renames ("stopped" without a word) did write them.
            if (inPlace == partnerBaseline_ && !theirs.starts_with("accepted") && theirs != "stopped")
                return {Finding::DamagedResult, "the results of a refused or stopped run are in place"};
            return {};
        }
        if (inPlace == old && !anyAccepted) return {};
        if (inPlace == old) return {Finding::DamagedResult, "a run succeeded and its results are not in place"};
        return {Finding::DamagedResult, "the files in place are not one run's pair: " + mine + " / " + theirs};
    }

    Verdict judge(const fs::path& folder, const CasePlan& plan, const ChildEnd& end) const override {
        if (const std::string left = leftoverTemporary(folder / WORK); !left.empty())
            return {Finding::DamagedResult, "the temporary file " + left + " was left behind"};
        if (const std::string followed = followedLink(folder); !followed.empty())
            return {Finding::DamagedResult, followed};
        if (plan.partnerRun) return judgeBesidePartner(folder, end);
        const bool accepted = end.outcome && end.outcome->kind == OutcomeKind::Accepted;
        if (!accepted && plan.valid)
            return {Finding::DamagedResult,
                    "a run of sound inputs failed: " + (end.outcome ? end.outcome->message : "")};
        if (!accepted) {
            if (const std::string changed = changedFile(folder); !changed.empty())
                return {Finding::DamagedResult, "a failed run changed " + changed};
            if (end.stoppedBySignal) return {};
            return refusalVerdict(end.outcome->message,
                                  {engine::ELECTRON_DATA_FILE_NAME, engine::RUN_FILE_NAME, engine::SPECTRUM_FILE_NAME,
                                   ".elk", ".pdd", ".spct", "stopped (SIG"});
        }
        const std::vector<std::string> written = namesIn(end.outcome->message);
        for (const char* input : INPUTS)
            if (readBytes(folder / WORK / input) != readBytes(folder / EXPECTED / input))
                return {Finding::DamagedResult, std::string("the run changed its input ") + input};
        for (std::size_t k = 0; k < written.size(); ++k) {
            const std::string text = readBytes(folder / WORK / written[k]);
            const bool fluence = k == 1;
            const std::string fault = program_ == Program::Brisella ? kernelResultFault(text)
                                      : fluence                     ? fluenceFileFault(text)
                                                                    : depthDoseResultFault(text);
            if (!fault.empty()) return {Finding::DamagedResult, written[k] + ": " + fault};
            const bool tableCut = plan.truncated && (plan.mutatedFile == engine::ELECTRON_DATA_FILE_NAME ||
                                                     plan.mutatedFile == engine::SPECTRUM_FILE_NAME);
            if (tableCut && k < baseline_.size() && text != baseline_[k])
                return {Finding::SilentCorruption, "a cut " + plan.mutatedFile + " ran to other results"};
        }
        return {};
    }

private:
    std::vector<std::string> results() const {
        const std::string base = RESULT_BASE;
        if (program_ == Program::Brisella) return {base + ".elk"};
        return {base + ".pdd", base + ".spct"};
    }
    const std::string& runFile() const {
        return program_ == Program::Brisella ? corpus_.kernelRun : corpus_.depthDoseRun;
    }
    const std::string& spectrumFile() const {
        return program_ == Program::Brisella ? corpus_.kernelSpectrum : corpus_.depthDoseSpectrum;
    }
    void layInputs(const fs::path& folder) const {
        lay(folder, engine::ELECTRON_DATA_FILE_NAME, corpus_.eldat);
        lay(folder, engine::RUN_FILE_NAME, runFile());
        lay(folder, engine::SPECTRUM_FILE_NAME, spectrumFile());
    }
    // The second run's folder: the same inputs with another history count, and result names that
    // lead into the work folder.
    void layPartner(const fs::path& folder) const {
        const fs::path partner = folder / PARTNER;
        fs::create_directories(partner);
        writeBytes(partner / engine::ELECTRON_DATA_FILE_NAME, corpus_.eldat);
        writeBytes(partner / engine::SPECTRUM_FILE_NAME, spectrumFile());
        const std::vector<std::string> names = results();
        const std::string into = std::string("../") + WORK + "/";
        writeBytes(partner / engine::RUN_FILE_NAME,
                   runFileNaming(into + names[0], names.size() > 1 ? into + names[1] : "",
                                 program_ == Program::Brisella ? KERNEL_PARTNER_COUNT : DEPTH_DOSE_PARTNER_COUNT));
    }
    static std::string writtenName(const std::string& variable, const CasePlan& plan) {
        const std::string name = engine::trimTrailingBlanks(variable);
        if (!name.empty()) return name;
        std::istringstream answers(plan.consoleInput);  // the console's first answer that is not blank
        for (std::string answer; std::getline(answers, answer);)
            if (answer.find_first_not_of(" \t") != std::string::npos) return engine::trimTrailingBlanks(answer);
        return {};
    }

    // A link at `name` in the work folder, to a file beside it or to a name where nothing is.
    static void plantLink(const fs::path& folder, const std::string& name, FuzzRandom& random) {
        lay(folder, VICTIM, "a file of someone else's\r\n");
        fs::create_symlink(folder / WORK / (random.percent(50) ? VICTIM : NOWHERE), folder / WORK / name);
    }

    // The run file with `resultName` (and the fluence name) in place of the names it holds, and
    // with `count` in place of the history count when one is given.
    std::string runFileNaming(const std::string& resultName, const std::string& fluenceName,
                              const std::string& count = "") const {
        std::istringstream lines(runFile());
        std::string energyLine;
        std::string countLine;
        std::getline(lines, energyLine);
        std::getline(lines, countLine);
        std::string text = energyLine + "\n" + (count.empty() ? countLine : count + "\r") + "\n" + resultName + "\r\n";
        if (program_ == Program::Tolvane) text += fluenceName + "\r\n";
        return text;
    }

    CasePlan situation(const fs::path& folder, FuzzRandom& random) const {
        const std::string extension = program_ == Program::Brisella ? ".elk" : ".pdd";
        const std::string result = std::string(RESULT_BASE) + extension;
        const std::string fluence = std::string(RESULT_BASE) + ".spct";
        CasePlan plan;
        std::string resultName = result;
        std::string fluenceName = fluence;
        std::string& named = program_ == Program::Tolvane && random.percent(50) ? fluenceName : resultName;
        switch (random.below(14)) {
        case 0:
            named = "a-folder" + extension;
            fs::create_directory(folder / WORK / named);
            plan.description = "a name that is a folder";
            break;
        case 1: named = "no-such-folder/x" + extension, plan.description = "a name in a missing folder"; break;
        case 2: named = random.percent(50) ? "." : "..", plan.description = "the name " + named; break;
        case 3: named = INPUTS[random.below(3)], plan.description = "the name of an input file, " + named; break;
        case 4: named = "   ", plan.description = "a blank name with the console closed"; break;
        case 5:
            named = "   ";
            plan.consoleInput = "\nasked" + extension + "\n";
            plan.description = "a blank name answered on the console";
            plan.valid = true;
            break;
        case 6:
            plantLink(folder, named + engine::LOCK_SUFFIX, random);
            plan.description = "a link at the lock file of " + named;
            break;
        case 9:
            plantLink(folder, named + engine::TEMPORARY_SUFFIX, random);
            plan.description = "a link at the former temporary name of " + named;
            plan.valid = true;
            break;
        case 10:
            fs::remove(folder / WORK / named);
            plantLink(folder, named, random);
            plan.description = "a link in place of the result " + named;
            plan.valid = true;
            break;
        case 11:
            layPartner(folder);
            plan.partnerRun = true;
            plan.partnerStopAfterMs = random.percent(50) ? 1 + static_cast<int>(random.below(300)) : 0;
            plan.description = "a second run on the same names at the same time" +
                               (plan.partnerStopAfterMs > 0
                                    ? ", stopped by SIGTERM after " + std::to_string(plan.partnerStopAfterMs) + " ms"
                                    : std::string());
            return plan;
        case 7:
            fluenceName = resultName;
            plan.description = "result and fluence under one name";
            break;
        case 8:
            if (program_ == Program::Brisella) {
                // Wide scattering at 12 MeV: electrons reach z < 0, where no cell may go negative.
                lay(folder, engine::ELECTRON_DATA_FILE_NAME, corpus_.wideEldat);
                lay(folder, engine::RUN_FILE_NAME, corpus_.kernelRun12MeV);
                plan.description = "a wide scattering table at 12 MeV";
                plan.valid = true;
                return plan;
            }
            [[fallthrough]];
        default:
            plan.stopAfterMs = 1 + static_cast<int>(random.below(400));
            lay(folder, engine::RUN_FILE_NAME, runFileNaming(result, fluence, "200000000."));
            plan.description = "SIGTERM after " + std::to_string(plan.stopAfterMs) + " ms of a long run";
            return plan;
        }
        lay(folder, engine::RUN_FILE_NAME, runFileNaming(resultName, fluenceName));
        return plan;
    }

    Program program_;
    const Corpus& corpus_;
    std::vector<std::string> baseline_;
    std::vector<std::string> partnerBaseline_;
};

// orvalis-fit on its cached basis: mutated measured files, and output names that must be refused.
class FitTarget : public Target {
public:
    explicit FitTarget(const Corpus& corpus) : corpus_(corpus) {}

    std::string name() const override { return "orvalis-fit run"; }
    int batchSize() const override { return RUN_BATCH; }
    int casesPerThousand() const override { return 160; }  // a fit takes as long as 30 reader cases

    CasePlan prepare(const fs::path& folder, FuzzRandom& random) const override {
        fs::create_directories(folder / WORK);
        fs::create_directories(folder / EXPECTED);
        lay(folder, engine::ELECTRON_DATA_FILE_NAME, corpus_.eldat);
        lay(folder, "water.csda", corpus_.waterCsda);
        lay(folder, corpus_.basisCacheName, corpus_.basisCache);
        lay(folder, "fit.pdd", oldResult("fit.pdd"));
        CasePlan plan;
        plan.consoleInput = "fit.pdd";  // the --out name
        if (random.percent(20)) {
            lay(folder, "measured.csv", corpus_.measured);
            const std::array<std::string, 4> outs = {"measured.csv", "a-folder.pdd", "missing/fit.pdd", "ELDAT.dat"};
            plan.consoleInput = outs[random.below(outs.size())];
            if (plan.consoleInput == "a-folder.pdd") fs::create_directory(folder / WORK / plan.consoleInput);
            plan.description = "--out " + plan.consoleInput;
            return plan;
        }
        const Mutated m = mutate(corpus_.measured, random);
        lay(folder, "measured.csv", m.bytes);
        plan.mutatedFile = "measured.csv";
        plan.description = "measured.csv: " + m.description;
        return plan;
    }

    Outcome run(const fs::path& folder, const CasePlan& plan) const override {
        const fs::path work = folder / WORK;
        try {
            fit::CommandOptions o = fit::parseArguments({(work / "measured.csv").string(), "--emax", "9.0",
                                                         "--fixed-emax", "--histories", std::to_string(BASIS_HISTORIES),
                                                         "--out", (work / plan.consoleInput).string()});
            o.workFolder = work;
            o.threads = 1;
            std::ostringstream out;
            if (fit::runFitCommand(o, out) != 0) return {OutcomeKind::Refused, "the fit ended without a result"};
            return acceptedWith({plan.consoleInput});
        } catch (const std::exception& error) {  // what the program's main() catches and prints
            return {OutcomeKind::Refused, error.what()};
        }
    }

    Verdict judge(const fs::path& folder, const CasePlan&, const ChildEnd& end) const override {
        if (const std::string left = leftoverTemporary(folder / WORK); !left.empty())
            return {Finding::DamagedResult, "the temporary file " + left + " was left behind"};
        if (end.outcome->kind != OutcomeKind::Accepted) {
            if (const std::string changed = changedFile(folder); !changed.empty())
                return {Finding::DamagedResult, "a failed fit changed " + changed};
            return refusalVerdict(end.outcome->message,
                                  {"measured.csv", "ELDAT.dat", "water.csda", "fit-basis", ".pdd", "--out"});
        }
        const std::string fault = depthDoseResultFault(readBytes(folder / WORK / "fit.pdd"));
        if (!fault.empty()) return {Finding::DamagedResult, "fit.pdd: " + fault};
        return {};
    }

private:
    const Corpus& corpus_;
};

}  // namespace

std::vector<std::unique_ptr<Target>> runTargets(const Corpus& corpus, const fs::path& baselineFolder) {
    std::vector<std::unique_ptr<Target>> targets;
    targets.push_back(std::make_unique<SimulatorTarget>(Program::Brisella, corpus, baselineFolder));
    targets.push_back(std::make_unique<SimulatorTarget>(Program::Tolvane, corpus, baselineFolder));
    targets.push_back(std::make_unique<FitTarget>(corpus));
    return targets;
}

}  // namespace fuzz
