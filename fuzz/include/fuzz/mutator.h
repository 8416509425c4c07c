#pragma once
// Mutations of a valid file, the way a damaged or carelessly edited file differs from the one a
// program wrote: cut off at the end or inside its last line, a line deleted, doubled or swapped,
// a number replaced by a senseless one, bytes flipped, inserted or deleted, line ends changed.
// Everything is drawn from one seeded stream, so a campaign is the same on every machine.
#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// SplitMix64: a small generator whose output is fixed by its definition (unlike the standard
// library's distributions), so a seed names the same cases everywhere.
class FuzzRandom {
public:
    explicit FuzzRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // 0 to n - 1 (n > 0).
    std::size_t below(std::size_t n);
    bool percent(int chance) { return below(100) < static_cast<std::size_t>(chance); }

private:
    std::uint64_t state_;
};

enum class Mutation {
    CutAtEnd,       // the file cut off anywhere in its last part
    CutLastLine,    // cut inside the last line, the line end lost with it
    DeleteLine,     // one line removed
    DuplicateLine,  // one line written twice
    SwapLines,      // two neighbouring lines exchanged
    ReplaceNumber,  // one number replaced by a senseless or extreme one
    ChangeDigit,    // one digit of a number changed
    FlipByte,       // one byte replaced by any byte
    InsertBytes,    // a few bytes inserted
    DeleteBytes,    // a few bytes removed
    LineEnds,       // CR LF turned into LF, or the last line end removed
    Empty,          // nothing left
};
constexpr int MUTATION_KINDS = 12;

const char* mutationName(Mutation kind);

struct Mutated {
    std::string bytes;
    Mutation kind = Mutation::FlipByte;
    std::string description;  // what was changed, for the report
    // The file is the original cut short: a reader that takes it must read what the whole file
    // holds, or it has taken a corrupted file silently.
    bool truncated = false;
};

// One mutation of `original`, of a kind drawn from the stream.
Mutated mutate(const std::string& original, FuzzRandom& random);
// One mutation of the given kind (used by the tests).
Mutated mutateAs(const std::string& original, Mutation kind, FuzzRandom& random);

}  // namespace fuzz
