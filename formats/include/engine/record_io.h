#pragma once
// Sequential formatted records, the way the simulators read and write their text files: a format
// literal such as "(1X,8I6)" is parsed once into edit descriptors; a WRITE turns a list of items
// into records (reusing the format from its start while items remain), a READ takes its items from
// consecutive lines of a file. Records are strings without a line end; writers add CR LF.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <istream>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace engine {

// Length of every character variable of the simulators (file names and title lines).
constexpr int CHARACTER_LENGTH = 30;
// Width of a list-directed integer on output: right-justified in 12 columns.
constexpr int LIST_INTEGER_WIDTH = 12;

enum class EditKind { Skip, Integer, Fixed, Exponent, Character, Literal };

struct EditDescriptor {
    EditKind kind = EditKind::Skip;
    int width = 0;     // nX: columns; Iw/Fw.d/Ew.d/Aw: field width
    int digits = 0;    // d of Fw.d and Ew.d
    std::string text;  // the quoted text of a literal

    bool isData() const { return kind != EditKind::Skip && kind != EditKind::Literal; }
};

// A parsed format literal; repeat counts are expanded ("8I6" becomes eight I6 descriptors).
class RecordFormat {
public:
    // Throws std::invalid_argument for a literal this module cannot parse.
    explicit RecordFormat(std::string_view literal);

    const std::vector<EditDescriptor>& descriptors() const { return descriptors_; }
    bool hasDataDescriptor() const { return hasData_; }

private:
    std::vector<EditDescriptor> descriptors_;
    bool hasData_ = false;
};

using OutputItem = std::variant<std::int32_t, float, std::string_view>;

// One WRITE statement: the records it produces (more than one when the format is reused).
std::vector<std::string> formatRecords(const RecordFormat& format, std::span<const OutputItem> items);
std::vector<std::string> formatRecords(const RecordFormat& format, std::initializer_list<OutputItem> items);

// One WRITE statement as file text: every record followed by CR LF.
std::string formatLines(const RecordFormat& format, std::initializer_list<OutputItem> items);

// A list-directed WRITE: one blank, then the items (text unchanged, integers in 12 columns).
std::string listDirectedRecord(std::initializer_list<OutputItem> items);

// Single output fields. Values too wide for the field give asterisks; F and E round the exact
// binary value of the float to the digits shown, halves away from zero.
std::string formatIntegerField(std::int64_t value, int width);
std::string formatFixedField(float value, int width, int digits);
std::string formatExponentField(float value, int width, int digits);
// Aw: the first w characters of the value taken as a 30-character variable (blank-padded).
std::string formatCharacterField(std::string_view value, int width);

// Lines of a text file (CR LF or LF), with the file name and line number kept for messages.
class LineReader {
public:
    // Opens the file; throws RunError naming it when it cannot be opened or is a folder.
    explicit LineReader(const std::filesystem::path& path);
    // Reads from a stream that the caller keeps alive; fileName is used in messages only.
    LineReader(std::istream& in, std::string fileName);

    // The next line without its line end; throws RunError (file, next line number, expected)
    // at the end of the file.
    std::string nextRecord(std::string_view expected);
    // False at the end of the file.
    bool tryNextRecord(std::string& line);
    // False when the line read last is the end of the file without its line end: a file cut
    // inside its last line looks like that.
    bool lastRecordEnded() const { return lastRecordEnded_; }

    // Throws RunError naming the file, the current line and the message.
    [[noreturn]] void fail(const std::string& message) const;

    const std::string& fileName() const { return fileName_; }
    int lineNumber() const { return lineNumber_; }

private:
    std::unique_ptr<std::ifstream> owned_;
    std::istream* in_ = nullptr;
    std::string fileName_;
    int lineNumber_ = 0;
    bool lastRecordEnded_ = true;
};

// Targets of a formatted READ. A character target receives a 30-character value.
using InputItem = std::variant<std::int32_t*, float*, std::string*>;

// One formatted READ statement: starts on the next line, goes on to further lines when the format
// is reused, and skips whatever is left of its last line. `expected` describes the data for messages.
// A short line reads its missing columns as blanks, except the last line of a file that lacks its
// line end and stops inside a numeric field: that file is cut (a cut "0.3000000E+03" would read
// 0.3), and the read fails. Character fields define no length, since names are written unpadded.
void readFormatted(LineReader& reader, const RecordFormat& format, std::span<const InputItem> items,
                   std::string_view expected);
void readFormatted(LineReader& reader, const RecordFormat& format, std::initializer_list<InputItem> items,
                   std::string_view expected);

// One list-directed READ of a single real: the first value on the next non-empty line; the rest of
// that line is ignored.
float readListDirectedReal(LineReader& reader, std::string_view expected);

// Input conversion of one field; false when the field is not a number of that kind.
// A blank field reads 0; blanks inside are ignored; a real without a point takes its last
// `digits` digits as the fraction.
bool parseIntegerField(std::string_view field, std::int32_t& value);
bool parseRealField(std::string_view field, int digits, float& value);

// A character value as the simulators keep it: blank-padded (or cut) to 30 characters.
std::string toCharacterVariable(std::string_view text);
// The value without its trailing blanks (file names).
std::string trimTrailingBlanks(std::string_view text);

// A value as a message shows it: nine significant digits, which read back as the same float.
std::string floatMessageText(float value);

}  // namespace engine
