#pragma once
// One kind of case of the campaign: a reader or a whole program, the files of its case laid down
// from a mutation of valid files, the product code run on them (in a child process), and the
// judgement of what it did: refused with a message that names its file, or accepted and sound.
#include "fuzz/mutator.h"

#include <filesystem>
#include <optional>
#include <string>

namespace fuzz {

struct CasePlan {
    std::string description;     // the mutation or situation, for the report
    std::string mutatedFile;     // the file that was mutated, if one was
    bool truncated = false;      // the mutated file is the original cut short
    std::string consoleInput;    // simulators: what the console answers ("" = closed at once)
    int stopAfterMs = 0;         // simulators: SIGTERM this long after the start (0: none)
    bool valid = false;          // every input is sound: the run must succeed
    bool partnerRun = false;     // simulators: a second run on the same result names at the same time
    int partnerStopAfterMs = 0;  // SIGTERM to that second run this long after its start (0: none)
};

// Silent: a corrupted file was taken without a word (a cut file read as if whole). Skipped: the
// case would run longer than a case may (a huge history count); it is counted, not judged.
enum class OutcomeKind { Accepted, Refused, Damaged, Silent, Skipped };

struct Outcome {
    OutcomeKind kind = OutcomeKind::Accepted;
    std::string message;  // the refusal's message, or what is wrong
};

// How the child ended, as the campaign saw it.
struct ChildEnd {
    bool stoppedBySignal = false;  // the SIGTERM of the plan ended it before its handlers were in place
    std::optional<Outcome> outcome;
};

enum class Finding { None, Crash, Hang, SanitizerReport, DamagedResult, SilentCorruption, UnnamedError };
const char* findingName(Finding finding);

struct Verdict {
    Finding finding = Finding::None;
    std::string detail;
};

class Target {
public:
    virtual ~Target() = default;
    virtual std::string name() const = 0;
    // Cases that one child process runs one after the other (a crash or hang still ends only its
    // own case): many for a quick reader, one where a case times a signal.
    virtual int batchSize() const { return 1; }
    // The share of the campaign's cases per target that this target runs, in thousandths: a slow
    // target runs fewer.
    virtual int casesPerThousand() const { return 1000; }
    // Lays down the case in `folder` (fresh and empty).
    virtual CasePlan prepare(const std::filesystem::path& folder, FuzzRandom& random) const = 0;
    // Runs the product code on the folder; called in the child process.
    virtual Outcome run(const std::filesystem::path& folder, const CasePlan& plan) const = 0;
    // Judges what the run left, in the parent process.
    virtual Verdict judge(const std::filesystem::path& folder, const CasePlan& plan, const ChildEnd& end) const = 0;
};

// A refusal must name its file: one of `names` must appear in the message.
Verdict refusalVerdict(const std::string& message, std::initializer_list<std::string> names);

// The bytes of a file; empty for a missing file or a folder.
std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace fuzz
