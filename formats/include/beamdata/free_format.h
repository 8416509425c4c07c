#pragma once
// Free-format reading of the text files the front end loads (depth-dose, kernel and fluence
// files, measured data people bring): whole lines on request, and numeric fields that end at a
// comma, a blank or a line end. Files from other programs are accepted with a UTF-8 byte-order
// mark, LF, CR LF or CR line ends, and numbers in double quotes.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace beamdata::text {

// The value of one whole field: an optional sign, digits with an optional decimal point (".100"
// and "1." both count), an optional exponent E, e, D or d with optional sign. Surrounding double
// quotes are removed first. Anything else, an empty field included, is not a number.
std::optional<double> parseNumberField(std::string_view field);

// Fixed-width files of the simulators can run two numbers together when a negative value fills
// its whole field ("0.785E-07-0.519E-07" in E10.3 columns). Split reads such a field as two.
enum class JoinedNumbers { Refuse, Split };

class FieldReader {
public:
    explicit FieldReader(std::string text, JoinedNumbers joined = JoinedNumbers::Refuse);

    // The rest of the current line, without its line end; nullopt when the text is used up.
    std::optional<std::string> readLine();

    // The next field as a number; nullopt at the end of the text or when the field is no number.
    std::optional<double> readNumber();

    // The next field's text as it stands (quotes included); nullopt at the end of the text.
    std::optional<std::string> readField();

    // True when only blanks and line ends remain: no further field can begin.
    bool atEnd() const;

    // The line (counted from 1) on which the last field read began, for messages.
    int lastFieldLine() const;

private:
    void skipBlanksAndLineEnds();
    void advanceTo(std::size_t position);  // counts the line ends passed
    std::optional<std::string_view> scanField();
    void skipFieldSeparator();
    std::string text_;
    std::size_t pos_ = 0;
    JoinedNumbers joined_ = JoinedNumbers::Refuse;
    int line_ = 1;
    int lastFieldLine_ = 1;
};

// The bytes of a file, or nullopt when it cannot be opened or read.
std::optional<std::string> readWholeFile(const std::string& path);

}  // namespace beamdata::text
