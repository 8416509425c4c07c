#include "fuzz/campaign.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fuzz {

namespace {

namespace fs = std::filesystem;

constexpr const char* OUTCOME_FILE = "outcome.txt";
constexpr const char* PROGRESS_FILE = "progress.txt";    // the case the child is on
constexpr const char* ERROR_OUTPUT_FILE = "stderr.txt";  // the child's standard error
constexpr int SHOWN_FAILURES = 40;
constexpr std::array<const char*, 5> SANITIZER_MARKS = {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                                                        "runtime error:", "UndefinedBehaviorSanitizer",
                                                        "ThreadSanitizer"};

const char* outcomeWord(OutcomeKind kind) {
    switch (kind) {
    case OutcomeKind::Accepted: return "accepted";
    case OutcomeKind::Refused: return "refused";
    case OutcomeKind::Damaged: return "damaged";
    case OutcomeKind::Silent: return "silent";
    case OutcomeKind::Skipped: return "skipped";
    }
    return "?";
}

std::optional<Outcome> readOutcome(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string word;
    if (!std::getline(in, word)) return std::nullopt;
    for (OutcomeKind kind : {OutcomeKind::Accepted, OutcomeKind::Refused, OutcomeKind::Damaged, OutcomeKind::Silent,
                             OutcomeKind::Skipped}) {
        if (word != outcomeWord(kind)) continue;
        std::ostringstream rest;
        rest << in.rdbuf();
        return Outcome{kind, rest.str()};
    }
    return std::nullopt;
}

// One case waiting to run: its folder and plan.
struct PendingCase {
    int number;
    fs::path folder;
    CasePlan plan;
};

// In the child: the cases one after the other, each announced in the progress file before it runs
// and its outcome written in its folder after; then a normal exit, so that the sanitizers' checks
// at the end of a process run. An exception that escapes the product code is a crash.
[[noreturn]] void runChild(const Target& target, const std::vector<PendingCase>& cases, std::size_t first,
                           const fs::path& work) {
    const int errors = open((work / ERROR_OUTPUT_FILE).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (errors >= 0) dup2(errors, 2);
    for (std::size_t k = first; k < cases.size(); ++k) {
        std::ofstream(work / PROGRESS_FILE, std::ios::trunc) << k << "\n";
        Outcome outcome;
        try {
            outcome = target.run(cases[k].folder, cases[k].plan);
        } catch (const std::exception& error) {
            std::cerr << "an exception escaped: " << error.what() << "\n" << std::flush;
            std::_Exit(EXIT_FAILURE);
        }
        std::ofstream(cases[k].folder / OUTCOME_FILE, std::ios::binary) << outcomeWord(outcome.kind) << "\n"
                                                                        << outcome.message;
    }
    std::exit(EXIT_SUCCESS);
}

std::optional<std::size_t> progressOf(const fs::path& work) {
    std::ifstream in(work / PROGRESS_FILE);
    std::size_t k = 0;
    if (in >> k) return k;
    return std::nullopt;
}

// Where the child stopped and why, when it did not finish its cases.
struct Interruption {
    std::size_t caseIndex;
    Verdict verdict;
    bool stoppedBySignal = false;  // the plan's SIGTERM ended it: judged by its files
};

// Runs cases[first..] in one child; returns where it was interrupted, if it was.
std::optional<Interruption> runChildOn(const Target& target, const std::vector<PendingCase>& cases, std::size_t first,
                                       const fs::path& work, double timeoutSeconds) {
    std::error_code ignored;
    fs::remove(work / PROGRESS_FILE, ignored);
    std::cout.flush();
    const pid_t child = fork();
    if (child < 0) return Interruption{first, {Finding::Crash, "the case could not be started (fork failed)"}};
    if (child == 0) runChild(target, cases, first, work);

    auto lastProgress = std::chrono::steady_clock::now();
    std::size_t current = first;
    bool stopSent = false;  // to the current case
    int status = 0;
    for (;;) {
        if (waitpid(child, &status, WNOHANG) == child) break;
        const auto now = std::chrono::steady_clock::now();
        if (const auto k = progressOf(work); k && *k != current) {
            current = *k;
            lastProgress = now;
            stopSent = false;
        }
        const double seconds = std::chrono::duration<double>(now - lastProgress).count();
        const int stopAfterMs = cases[current].plan.stopAfterMs;
        if (stopAfterMs > 0 && !stopSent && seconds * 1000.0 >= stopAfterMs) {
            kill(child, SIGTERM);
            stopSent = true;
        }
        if (seconds > timeoutSeconds) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            std::ostringstream what;
            what << "still running after " << timeoutSeconds << " s";
            return Interruption{current, {Finding::Hang, what.str()}};
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == EXIT_SUCCESS) return std::nullopt;
    current = progressOf(work).value_or(first);
    const std::string errorOutput = readBytes(work / ERROR_OUTPUT_FILE);
    for (const char* mark : SANITIZER_MARKS) {
        const std::size_t at = errorOutput.find(mark);
        if (at != std::string::npos)
            return Interruption{current,
                                {Finding::SanitizerReport, errorOutput.substr(at, errorOutput.find('\n', at) - at)}};
    }
    if (WIFSIGNALED(status) && stopSent && WTERMSIG(status) == SIGTERM) return Interruption{current, {}, true};
    const std::string what = WIFSIGNALED(status) ? "ended by signal " + std::to_string(WTERMSIG(status))
                                                 : errorOutput.substr(0, errorOutput.find('\n'));
    return Interruption{current, {Finding::Crash, what}};
}

struct Tally {
    int cases = 0;
    int accepted = 0;
    int refused = 0;
    int skipped = 0;
    std::map<Finding, int> findings;
};

std::uint64_t nameHash(const std::string& name) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ULL;
    return hash;
}

// Prepares, runs and judges the cases [from, to) of a target; returns their verdicts and outcomes.
std::vector<std::pair<Verdict, std::optional<Outcome>>> runBatch(const Target& target, const CampaignOptions& options,
                                                                 int from, int to, std::vector<PendingCase>& cases) {
    cases.clear();
    for (int n = from; n < to; ++n) {
        const fs::path folder = options.workFolder / ("case-" + std::to_string(n - from));
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        fs::create_directories(folder);
        FuzzRandom random = caseRandom(options.seed, target.name(), n);
        cases.push_back({n, folder, target.prepare(folder, random)});
    }
    std::vector<std::pair<Verdict, std::optional<Outcome>>> results(cases.size());
    std::vector<bool> interrupted(cases.size(), false);
    std::vector<bool> stopped(cases.size(), false);
    for (std::size_t first = 0; first < cases.size();) {
        const auto stop = runChildOn(target, cases, first, options.workFolder, options.timeoutSeconds);
        if (!stop) break;
        interrupted[stop->caseIndex] = !stop->stoppedBySignal;
        stopped[stop->caseIndex] = stop->stoppedBySignal;
        results[stop->caseIndex].first = stop->verdict;
        first = stop->caseIndex + 1;
    }
    for (std::size_t k = 0; k < cases.size(); ++k) {
        if (interrupted[k]) continue;
        ChildEnd end;
        end.stoppedBySignal = stopped[k];
        if (!stopped[k]) {
            end.outcome = readOutcome(cases[k].folder / OUTCOME_FILE);
            if (!end.outcome) {
                results[k].first = {Finding::Crash, "no outcome was written"};
                continue;
            }
            results[k].second = end.outcome;
            if (end.outcome->kind == OutcomeKind::Skipped) continue;
        }
        results[k].first = target.judge(cases[k].folder, cases[k].plan, end);
    }
    return results;
}

}  // namespace

const char* findingName(Finding finding) {
    static constexpr const char* NAMES[] = {"none",
                                            "crash",
                                            "hang",
                                            "sanitizer report",
                                            "damaged result",
                                            "corrupted file taken silently",
                                            "error without its file"};  // in the order of Finding
    static_assert(std::size(NAMES) == static_cast<std::size_t>(Finding::UnnamedError) + 1);
    return NAMES[static_cast<std::size_t>(finding)];
}

FuzzRandom caseRandom(std::uint64_t seed, const std::string& targetName, int caseNumber) {
    FuzzRandom mix(seed ^ nameHash(targetName));
    for (int k = 0; k < 3; ++k) mix.next();
    return FuzzRandom(mix.next() + static_cast<std::uint64_t>(caseNumber) * 0x9E3779B97F4A7C15ULL);
}

int runCampaign(const std::vector<std::unique_ptr<Target>>& targets, const CampaignOptions& options,
                std::ostream& report) {
    int failures = 0;
    std::vector<std::string> shown;
    report << "Mutation campaign, seed " << options.seed << ", " << options.casesPerTarget << " cases per target\n";
    const auto start = std::chrono::steady_clock::now();
    int totalCases = 0;
    std::vector<PendingCase> pending;
    for (const auto& target : targets) {
        if (!options.onlyTarget.empty() && target->name().find(options.onlyTarget) == std::string::npos) continue;
        Tally tally;
        const auto targetStart = std::chrono::steady_clock::now();
        const int cases = std::max(1, options.casesPerTarget * target->casesPerThousand() / 1000);
        const int last = options.firstCase + (options.casesPerTarget == 1 ? 1 : cases);
        for (int from = options.firstCase; from < last; from += target->batchSize()) {
            const int to = std::min(last, from + target->batchSize());
            const auto results = runBatch(*target, options, from, to, pending);
            for (std::size_t k = 0; k < results.size(); ++k) {
                const auto& [verdict, outcome] = results[k];
                ++tally.cases;
                if (outcome) {
                    tally.accepted += outcome->kind == OutcomeKind::Accepted ? 1 : 0;
                    tally.refused += outcome->kind == OutcomeKind::Refused ? 1 : 0;
                    tally.skipped += outcome->kind == OutcomeKind::Skipped ? 1 : 0;
                }
                if (verdict.finding == Finding::None) continue;
                ++failures;
                ++tally.findings[verdict.finding];
                if (static_cast<int>(shown.size()) < SHOWN_FAILURES)
                    shown.push_back(target->name() + " case " + std::to_string(pending[k].number) + " (" +
                                    pending[k].plan.description + "): " + findingName(verdict.finding) + ": " +
                                    verdict.detail);
            }
        }
        totalCases += tally.cases;
        report << "  " << std::left << std::setw(30) << target->name() << std::right << std::setw(6) << tally.cases
               << " cases, " << std::setw(5) << tally.accepted << " accepted, " << std::setw(5) << tally.refused
               << " refused, " << std::setw(4) << tally.skipped << " skipped";
        for (const auto& [finding, count] : tally.findings) report << ", " << count << " " << findingName(finding);
        report << " (" << std::fixed << std::setprecision(1)
               << std::chrono::duration<double>(std::chrono::steady_clock::now() - targetStart).count() << " s)\n"
               << std::flush;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    report << totalCases << " cases in " << std::fixed << std::setprecision(1) << seconds << " s: " << failures
           << (failures == 0
                   ? " failing cases (no crash, hang, sanitizer report, damaged result or silent corruption)\n"
                   : " failing cases\n");
    for (const std::string& line : shown) report << "  " << line << "\n";
    if (failures > 0)
        report << "Reproduce one case with --target \"<name>\" --case <n> --cases 1 (same --seed); the case's files "
                  "stay in the work folder (case-0).\n";
    return failures;
}

}  // namespace fuzz
