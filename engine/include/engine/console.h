#pragma once
// The simulators' console: list-directed lines (one blank, then the text), formatted time stamps,
// the question for a missing file name and the pause at the end of a run. Every line ends in CR LF.
#include <iosfwd>
#include <string>
#include <string_view>

namespace engine {

// True when the locale's (or the Windows console's) character set is Shift_JIS / code page 932.
bool consoleUsesShiftJis();

// Puts the standard streams in a state where CR LF is written as given (binary on Windows).
void prepareConsoleStreams();

struct LocalTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
};
LocalTime localTimeNow();

class Console {
public:
    Console(std::istream& in, std::ostream& out, bool shiftJis);

    // A list-directed record: one blank, then the text.
    void line(std::string_view text);
    // A list-directed record whose text is Japanese: Shift_JIS bytes on a Shift_JIS console,
    // UTF-8 otherwise.
    void japaneseLine(std::string_view utf8, std::string_view shiftJis);
    // A record written as it stands.
    void record(std::string_view text);
    // The time stamp formatted with the given "(...,I2,':',I2,':',I2)" literal.
    void timeStamp(const char* formatLiteral, const LocalTime& time);

    // Asks for a file name while the answer is empty. Throws RunError at the end of the input,
    // where asking again could never be answered.
    std::string askFileName();

    // The end of a normal run: the prompt, one line read (end of input simply continues), and the
    // closing "Stop - Program terminated.".
    void endOfRun();

    bool shiftJis() const { return shiftJis_; }

private:
    std::istream& in_;
    std::ostream& out_;
    bool shiftJis_;
};

}  // namespace engine
