#include "engine/console.h"

#include "engine/record_io.h"
#include "engine/run_error.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <ctime>
#include <istream>
#include <ostream>

#include "engine/native_files.h"
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <langinfo.h>
#endif

namespace engine {

namespace {
constexpr int QUESTION_UNIT = 1;  // the unit number the question names
}

bool consoleUsesShiftJis() {
#ifdef _WIN32
    return GetConsoleOutputCP() == 932;
#else
    std::setlocale(LC_CTYPE, "");
    std::string codeset = nl_langinfo(CODESET);
    std::transform(codeset.begin(), codeset.end(), codeset.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    codeset.erase(std::remove(codeset.begin(), codeset.end(), '-'), codeset.end());
    codeset.erase(std::remove(codeset.begin(), codeset.end(), '_'), codeset.end());
    return codeset == "SHIFTJIS" || codeset == "SJIS" || codeset == "CP932" || codeset == "WINDOWS31J" ||
           codeset == "MSKANJI";
#endif
}

void prepareConsoleStreams() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

LocalTime localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &now);
#else
    localtime_r(&now, &parts);
#endif
    return LocalTime{parts.tm_hour, parts.tm_min, parts.tm_sec};
}

Console::Console(std::istream& in, std::ostream& out, bool shiftJis) : in_(in), out_(out), shiftJis_(shiftJis) {}

void Console::line(std::string_view text) { record(listDirectedRecord({text})); }

void Console::japaneseLine(std::string_view utf8, std::string_view shiftJis) { line(shiftJis_ ? shiftJis : utf8); }

void Console::record(std::string_view text) {
    out_ << text << "\r\n";
    out_.flush();
}

void Console::timeStamp(const char* formatLiteral, const LocalTime& time) {
    for (const std::string& r : formatRecords(RecordFormat(formatLiteral), {time.hour, time.minute, time.second}))
        record(r);
}

std::string Console::askFileName() {
    for (;;) {
        out_ << "File name missing or blank - please enter file name\r\nUNIT " << QUESTION_UNIT << "? ";
        out_.flush();
        std::string answer;
        if (!std::getline(in_, answer)) {
            out_ << "\r\n";
            throw RunError("no name was given on the console (its input ended); no result file was written.");
        }
        if (!answer.empty() && answer.back() == '\r') answer.pop_back();
        const std::size_t first = answer.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        return trimTrailingBlanks(answer.substr(first));
    }
}

void Console::endOfRun() {
    line("");
    line("    --- hit RET key ---");
    std::string ignored;
    std::getline(in_, ignored);
    out_ << "Stop - Program terminated.\r\n";
    out_.flush();
}

}  // namespace engine
