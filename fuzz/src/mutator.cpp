#include "fuzz/mutator.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace fuzz {

namespace {

// Numbers that no valid file holds where a number stands, and a few ordinary ones.
constexpr std::array<std::string_view, 28> SENSELESS_NUMBERS = {
    "0",   "-1",    "-2000",  "1e-400",  "1e30",     "-1e6",       "-1e308",      "1e308",     "1e999",
    "-0",  "0.000", "3.4e38", "1.0E-45", "99999999", "2147483648", "-2147483649", "1e10",      "nan",
    "inf", "-inf",  "0x10",   "1.5",     "-0.001",   "1e-30",      "9999.999",    "-9.99E+99", "12345678901234567890",
    ""};

bool isNumberByte(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

struct Span {
    std::size_t begin;
    std::size_t end;
};

// The numbers of the text: runs of number bytes holding at least one digit.
std::vector<Span> numbersOf(const std::string& text) {
    std::vector<Span> numbers;
    std::size_t i = 0;
    while (i < text.size()) {
        if (!isNumberByte(text[i])) {
            ++i;
            continue;
        }
        std::size_t j = i;
        bool digit = false;
        for (; j < text.size() && isNumberByte(text[j]); ++j)
            if (text[j] >= '0' && text[j] <= '9') digit = true;
        if (digit) numbers.push_back({i, j});
        i = j;
    }
    return numbers;
}

// The lines of the text with their line ends.
std::vector<Span> linesOf(const std::string& text) {
    std::vector<Span> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t feed = text.find('\n', start);
        const std::size_t end = feed == std::string::npos ? text.size() : feed + 1;
        lines.push_back({start, end});
        start = end;
    }
    return lines;
}

std::string at(std::size_t position) { return " at byte " + std::to_string(position); }

}  // namespace

std::uint64_t FuzzRandom::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::size_t FuzzRandom::below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

const char* mutationName(Mutation kind) {
    switch (kind) {
    case Mutation::CutAtEnd: return "cut at the end";
    case Mutation::CutLastLine: return "cut in the last line";
    case Mutation::DeleteLine: return "line deleted";
    case Mutation::DuplicateLine: return "line duplicated";
    case Mutation::SwapLines: return "lines swapped";
    case Mutation::ReplaceNumber: return "number replaced";
    case Mutation::ChangeDigit: return "digit changed";
    case Mutation::FlipByte: return "byte flipped";
    case Mutation::InsertBytes: return "bytes inserted";
    case Mutation::DeleteBytes: return "bytes deleted";
    case Mutation::LineEnds: return "line ends changed";
    case Mutation::Empty: return "emptied";
    }
    return "?";
}

Mutated mutate(const std::string& original, FuzzRandom& random) {
    // Cuts and number replacements are what the campaign is about; byte noise is the rest.
    static constexpr std::array<Mutation, 16> WEIGHTED = {
        Mutation::CutAtEnd,      Mutation::CutLastLine, Mutation::CutLastLine,   Mutation::DeleteLine,
        Mutation::DuplicateLine, Mutation::SwapLines,   Mutation::ReplaceNumber, Mutation::ReplaceNumber,
        Mutation::ReplaceNumber, Mutation::ChangeDigit, Mutation::FlipByte,      Mutation::InsertBytes,
        Mutation::DeleteBytes,   Mutation::LineEnds,    Mutation::ChangeDigit,   Mutation::Empty};
    return mutateAs(original, WEIGHTED[random.below(WEIGHTED.size())], random);
}

namespace {

// Cuts and line changes; false when the kind does not apply to this text.
bool changeLines(Mutation kind, const std::string& original, FuzzRandom& random, Mutated& m) {
    const std::vector<Span> lines = linesOf(original);
    std::string& b = m.bytes;
    switch (kind) {
    case Mutation::CutAtEnd: {
        const std::size_t keep = original.size() - 1 - random.below(std::min<std::size_t>(original.size(), 200));
        b.resize(keep);
        m.description = "cut to " + std::to_string(keep) + " bytes";
        return true;
    }
    case Mutation::CutLastLine: {
        const Span last = lines.back();
        const std::size_t keep = last.begin + random.below(last.end - last.begin);
        b.resize(keep);
        m.description = "last line cut after column " + std::to_string(keep - last.begin);
        return true;
    }
    case Mutation::DeleteLine:
    case Mutation::DuplicateLine: {
        const Span line = lines[random.below(lines.size())];
        if (kind == Mutation::DeleteLine)
            b.erase(line.begin, line.end - line.begin);
        else
            b.insert(line.end, original.substr(line.begin, line.end - line.begin));
        m.description = "line" + at(line.begin) + (kind == Mutation::DeleteLine ? " deleted" : " doubled");
        return true;
    }
    case Mutation::SwapLines: {
        if (lines.size() < 2) return false;
        const std::size_t k = random.below(lines.size() - 1);
        const std::string first = original.substr(lines[k].begin, lines[k].end - lines[k].begin);
        const std::string second = original.substr(lines[k + 1].begin, lines[k + 1].end - lines[k + 1].begin);
        b.replace(lines[k].begin, first.size() + second.size(), second + first);
        m.description = "lines " + std::to_string(k + 1) + " and " + std::to_string(k + 2) + " swapped";
        return true;
    }
    case Mutation::LineEnds:
        if (random.percent(50)) {
            b.erase(std::remove(b.begin(), b.end(), '\r'), b.end());
            m.description = "CR LF turned into LF";
        } else {
            while (!b.empty() && (b.back() == '\n' || b.back() == '\r')) b.pop_back();
            m.description = "last line end removed";
        }
        return true;
    case Mutation::Empty:
        b.clear();
        m.description = "emptied";
        return true;
    default: return false;
    }
}

// Changes of one number; false when the text holds none.
bool changeNumber(Mutation kind, const std::string& original, FuzzRandom& random, Mutated& m) {
    const std::vector<Span> numbers = numbersOf(original);
    if (numbers.empty()) return false;
    const Span n = numbers[random.below(numbers.size())];
    std::string& b = m.bytes;
    if (kind == Mutation::ReplaceNumber) {
        const std::string_view value = SENSELESS_NUMBERS[random.below(SENSELESS_NUMBERS.size())];
        b.replace(n.begin, n.end - n.begin, value);
        m.description.append(1, '"').append(original, n.begin, n.end - n.begin).append(1, '"');
        m.description.append(at(n.begin)).append(" replaced by \"").append(value).append(1, '"');
        return true;
    }
    std::size_t p = n.begin + random.below(n.end - n.begin);
    while (p < n.end && !(b[p] >= '0' && b[p] <= '9')) ++p;
    if (p == n.end) p = n.begin;
    b[p] = static_cast<char>('0' + random.below(10));
    m.description = "digit" + at(p) + " set to " + std::string(1, b[p]);
    return true;
}

// Byte noise: a byte replaced, bytes inserted or deleted.
void changeBytes(Mutation kind, const std::string& original, FuzzRandom& random, Mutated& m) {
    std::string& b = m.bytes;
    if (kind == Mutation::InsertBytes || original.empty()) {
        const std::size_t p = original.empty() ? 0 : random.below(original.size() + 1);
        static constexpr std::string_view POOL = "0123456789 .,-+eE\r\n\t\"x*\xff\x83";
        std::string inserted;
        for (std::size_t k = 1 + random.below(8); k > 0; --k) inserted += POOL[random.below(POOL.size())];
        b.insert(p, inserted);
        m.description = std::to_string(inserted.size()) + " bytes inserted" + at(p);
    } else if (kind == Mutation::DeleteBytes) {
        const std::size_t p = random.below(original.size());
        const std::size_t count = std::min(original.size() - p, 1 + random.below(16));
        b.erase(p, count);
        m.description = std::to_string(count) + " bytes deleted" + at(p);
    } else {
        const std::size_t p = random.below(original.size());
        b[p] = static_cast<char>(random.below(256));
        m.description = "byte" + at(p) + " replaced";
    }
}

}  // namespace

Mutated mutateAs(const std::string& original, Mutation kind, FuzzRandom& random) {
    Mutated m;
    m.kind = original.empty() ? Mutation::InsertBytes : kind;
    m.bytes = original;
    const bool numberKind = m.kind == Mutation::ReplaceNumber || m.kind == Mutation::ChangeDigit;
    const bool byteKind = m.kind == Mutation::FlipByte || m.kind == Mutation::InsertBytes ||
                          m.kind == Mutation::DeleteBytes;
    const bool done = !byteKind && (numberKind ? changeNumber(m.kind, original, random, m)
                                               : changeLines(m.kind, original, random, m));
    if (!done) {
        if (!byteKind) m.kind = Mutation::FlipByte;  // the kind does not apply: a byte instead
        changeBytes(m.kind, original, random, m);
    }
    m.truncated = m.bytes.size() < original.size() && original.compare(0, m.bytes.size(), m.bytes) == 0;
    return m;
}

}  // namespace fuzz
