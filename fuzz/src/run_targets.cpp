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

#include <array>
#include <sstream>

namespace fuzz {

namespace {

namespace fs = std::filesystem;

constexpr const char* WORK = "work";          // the folder the product runs in
constexpr const char* EXPECTED = "expected";  // what the inputs and the earlier results were
constexpr const char* INPUTS[] = {engine::ELECTRON_DATA_FILE_NAME, engine::RUN_FILE_NAME, engine::SPECTRUM_FILE_NAME};
constexpr int RUN_BATCH = 10;

std::string oldResult(const std::string& name) { return "an earlier result, " + name + "\r\n"; }

// A temporary file left anywhere in the work folder (a folder of that name may stand in the way).
std::string leftoverTemporary(const fs::path& work) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(work, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
        if (it->path().extension() == engine::TEMPORARY_SUFFIX && it->is_regular_file(error))
            return it->path().filename().string();
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
        const fs::path work = folder / WORK;
        engine::clearStopRequest();  // a process runs one simulation; a child runs several cases
        std::istringstream in(plan.consoleInput);
        std::ostringstream out;
        engine::Console console(in, out, false);
        try {
            if (plan.stopAfterMs == 0) {
                // A mutated count may ask for hours of work; the case is counted, not run.
                const auto kind = program_ == Program::Brisella ? engine::RunKind::Kernel : engine::RunKind::DepthDose;
                const float limit = program_ == Program::Brisella ? CAMPAIGN_KERNEL_HISTORIES
                                                                  : CAMPAIGN_DEPTH_DOSE_HISTORIES;
                if (engine::readRunFile(work / engine::RUN_FILE_NAME, kind).historyCount > limit)
                    return {OutcomeKind::Skipped, {}};
            }
            if (program_ == Program::Brisella) {
                kernel::runKernelSimulation(work, console);
                const engine::RunFile r = engine::readRunFile(work / engine::RUN_FILE_NAME, engine::RunKind::Kernel);
                return acceptedWith({writtenName(r.resultFileName, plan)});
            }
            depthdose::runDepthDoseSimulation(work, console);
            const engine::RunFile r = engine::readRunFile(work / engine::RUN_FILE_NAME, engine::RunKind::DepthDose);
            return acceptedWith({writtenName(r.resultFileName, plan), writtenName(r.fluenceFileName, plan)});
        } catch (const std::exception& error) {  // what the program's main() catches and prints
            return {OutcomeKind::Refused, error.what()};
        }
    }

    Verdict judge(const fs::path& folder, const CasePlan& plan, const ChildEnd& end) const override {
        if (const std::string left = leftoverTemporary(folder / WORK); !left.empty())
            return {Finding::DamagedResult, "the temporary file " + left + " was left behind"};
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
    static std::string writtenName(const std::string& variable, const CasePlan& plan) {
        const std::string name = engine::trimTrailingBlanks(variable);
        if (!name.empty()) return name;
        std::istringstream answers(plan.consoleInput);  // the console's first answer that is not blank
        for (std::string answer; std::getline(answers, answer);)
            if (answer.find_first_not_of(" \t") != std::string::npos) return engine::trimTrailingBlanks(answer);
        return {};
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
        switch (random.below(11)) {
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
            fs::create_directory(folder / WORK / (named + engine::TEMPORARY_SUFFIX));
            plan.description = "a folder in the way of the temporary file";
            break;
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
