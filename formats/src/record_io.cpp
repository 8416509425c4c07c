#include "engine/record_io.h"

#include "engine/run_error.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace engine {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// ---- format literal parsing -------------------------------------------------------------------

class FormatParser {
public:
    explicit FormatParser(std::string_view literal) : text_(literal) {}

    std::vector<EditDescriptor> parse() {
        skipBlanks();
        expect('(');
        std::vector<EditDescriptor> out;
        for (;;) {
            skipBlanks();
            if (peek() == ')') break;
            parseItem(out);
            skipBlanks();
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            if (peek() == ')') break;
            // A literal may follow another item without a comma, as in "(1X'text')".
            if (peek() == '\'' || std::isdigit(static_cast<unsigned char>(peek())) ||
                std::isalpha(static_cast<unsigned char>(peek())))
                continue;
            fail("expected ',' or ')'");
        }
        ++pos_;
        skipBlanks();
        if (pos_ != text_.size()) fail("text after the closing parenthesis");
        return out;
    }

private:
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    void skipBlanks() {
        while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    }
    void expect(char c) {
        if (peek() != c) fail(std::string("expected '") + c + "'");
        ++pos_;
    }
    [[noreturn]] void fail(const std::string& what) const {
        throw std::invalid_argument("format \"" + std::string(text_) + "\": " + what + " at column " +
                                    std::to_string(pos_ + 1));
    }
    int number() {
        if (!isDigit(peek())) fail("expected a number");
        int value = 0;
        while (isDigit(peek())) {
            value = value * 10 + (peek() - '0');
            if (value > 100000) fail("number too large");
            ++pos_;
        }
        return value;
    }

    void parseItem(std::vector<EditDescriptor>& out) {
        if (peek() == '\'') {
            out.push_back({EditKind::Literal, 0, 0, quoted()});
            return;
        }
        int repeat = 1;
        bool hasRepeat = false;
        if (isDigit(peek())) {
            repeat = number();
            hasRepeat = true;
        }
        EditDescriptor d;
        switch (upper(peek())) {
        case 'X':
            ++pos_;
            d.kind = EditKind::Skip;
            d.width = hasRepeat ? repeat : 1;
            out.push_back(d);
            return;
        case 'I': d.kind = EditKind::Integer; break;
        case 'F': d.kind = EditKind::Fixed; break;
        case 'E': d.kind = EditKind::Exponent; break;
        case 'A': d.kind = EditKind::Character; break;
        default: fail("unknown edit descriptor");
        }
        ++pos_;
        if (d.kind == EditKind::Character && !isDigit(peek())) {
            d.width = CHARACTER_LENGTH;  // plain A: the whole variable
        } else {
            d.width = number();
        }
        if (d.kind == EditKind::Fixed || d.kind == EditKind::Exponent) {
            expect('.');
            d.digits = number();
        }
        if (d.width == 0) fail("field width 0");
        for (int k = 0; k < repeat; ++k) out.push_back(d);
    }

    std::string quoted() {
        ++pos_;
        std::string value;
        for (;;) {
            if (pos_ >= text_.size()) fail("unterminated quoted text");
            const char c = text_[pos_++];
            if (c == '\'') {
                if (peek() == '\'') {  // a doubled apostrophe stands for one
                    value += '\'';
                    ++pos_;
                    continue;
                }
                return value;
            }
            value += c;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// ---- exact decimal rounding -------------------------------------------------------------------

// The exact decimal expansion of |value| (a float has at most 112 significant digits):
// |value| = 0.d1 d2 d3 ... x 10^exponent. Zero gives an empty digit string.
struct ExactDecimal {
    std::string digits;
    int exponent = 0;
};

ExactDecimal exactDecimal(float value) {
    ExactDecimal out;
    const double magnitude = std::fabs(static_cast<double>(value));
    if (magnitude == 0.0) return out;
    char buffer[160];
    // 120 digits after the point are more than any float needs, so no rounding happens here.
    std::snprintf(buffer, sizeof buffer, "%.120e", magnitude);
    const std::string_view text(buffer);
    const std::size_t e = text.find('e');
    out.digits.push_back(text[0]);
    out.digits.append(text.substr(2, e - 2));
    int exponent = 0;
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), exponent);
    out.exponent = exponent + 1;
    while (!out.digits.empty() && out.digits.back() == '0') out.digits.pop_back();
    return out;
}

// Keeps the first `count` digits (count may be 0 or exceed the digits present), rounding half away
// from zero on the first dropped digit. Returns the kept digits; `carried` is set when the rounding
// added a digit in front (999 -> 1000), in which case the string is one longer than `count`.
std::string roundDigits(const std::string& digits, int count, bool& carried) {
    carried = false;
    std::string kept;
    for (int k = 0; k < count; ++k)
        kept.push_back(k < static_cast<int>(digits.size()) ? digits[static_cast<std::size_t>(k)] : '0');
    const bool roundUp = count >= 0 && count < static_cast<int>(digits.size()) &&
                         digits[static_cast<std::size_t>(count)] >= '5';
    if (!roundUp) return kept;
    int k = count - 1;
    while (k >= 0 && kept[static_cast<std::size_t>(k)] == '9') kept[static_cast<std::size_t>(k--)] = '0';
    if (k >= 0) {
        ++kept[static_cast<std::size_t>(k)];
    } else {
        kept.insert(kept.begin(), '1');
        carried = true;
    }
    return kept;
}

std::string rightJustify(const std::string& text, int width) {
    if (static_cast<int>(text.size()) > width) return std::string(static_cast<std::size_t>(width), '*');
    return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

// Chooses the form with the optional zero before the point when it fits, the form without it
// otherwise, asterisks when neither fits. A negative value keeps a blank in front: the readers of
// our files split numbers at blanks, and a tiny negative kernel cell written as "-0.519E-07"
// would fill its E10.3 field and run into the number before it; "-.519E-07" keeps them apart.
std::string fitWithOptionalZero(const std::string& sign, const std::string& afterPoint, int width) {
    const std::string withZero = sign + "0." + afterPoint;
    const int room = sign.empty() ? width : width - 1;
    if (static_cast<int>(withZero.size()) <= room) return rightJustify(withZero, width);
    return rightJustify(sign + "." + afterPoint, width);
}

// ---- input helpers ----------------------------------------------------------------------------

std::string withoutBlanks(std::string_view field) {
    std::string out;
    for (char c : field)
        if (c != ' ' && c != '\t') out.push_back(c);
    return out;
}

bool convertDecimal(const std::string& text, float& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (*first == '+') ++first;
    float parsed = 0.0f;
    const auto result = std::from_chars(first, last, parsed, std::chars_format::general);
    if (result.ptr != last) return false;
    if (result.ec == std::errc::result_out_of_range) {
        // Underflow reads as (signed) zero or a subnormal; overflow is not a usable number.
        parsed = std::strtof(text.c_str(), nullptr);
        if (std::isinf(parsed)) return false;
    } else if (result.ec != std::errc()) {
        return false;
    }
    value = parsed;
    return true;
}

std::string describeField(std::string_view field, std::size_t firstColumn) {
    return "columns " + std::to_string(firstColumn) + "-" + std::to_string(firstColumn + field.size() - 1) +
           " hold \"" + std::string(field) + "\"";
}

std::string fieldAt(const std::string& record, std::size_t position, int width) {
    std::string field(static_cast<std::size_t>(width), ' ');  // a short line reads as blanks
    for (std::size_t k = 0; k < field.size() && position + k < record.size(); ++k) field[k] = record[position + k];
    return field;
}

}  // namespace

// ---- RecordFormat -----------------------------------------------------------------------------

RecordFormat::RecordFormat(std::string_view literal) : descriptors_(FormatParser(literal).parse()) {
    hasData_ = std::any_of(descriptors_.begin(), descriptors_.end(),
                           [](const EditDescriptor& d) { return d.isData(); });
}

// ---- output -----------------------------------------------------------------------------------

std::string formatIntegerField(std::int64_t value, int width) { return rightJustify(std::to_string(value), width); }

std::string formatFixedField(float value, int width, int digits) {
    if (!std::isfinite(value)) return std::string(static_cast<std::size_t>(width), '*');
    const ExactDecimal exact = exactDecimal(value);
    bool carried = false;
    // Digits of round(|value| x 10^digits), counted from the first significant digit.
    const int kept = exact.exponent + digits;
    std::string scaled = exact.digits.empty() || kept < 0 ? std::string() : roundDigits(exact.digits, kept, carried);
    scaled.erase(0, std::min(scaled.find_first_not_of('0'), scaled.size()));
    const std::string sign = value < 0.0f && !scaled.empty() ? "-" : (value < 0.0f ? "-" : "");
    if (static_cast<int>(scaled.size()) < digits + 1)
        scaled.insert(0, static_cast<std::size_t>(digits + 1) - scaled.size(), '0');
    std::string integerPart = scaled.substr(0, scaled.size() - static_cast<std::size_t>(digits));
    const std::string fraction = scaled.substr(scaled.size() - static_cast<std::size_t>(digits));
    if (integerPart == "0") {
        if (digits == 0) return rightJustify(sign + "0.", width);  // "0." keeps at least one digit
        return fitWithOptionalZero(sign, fraction, width);
    }
    return rightJustify(sign + integerPart + "." + fraction, width);
}

std::string formatExponentField(float value, int width, int digits) {
    if (!std::isfinite(value)) return std::string(static_cast<std::size_t>(width), '*');
    const ExactDecimal exact = exactDecimal(value);
    std::string mantissa(static_cast<std::size_t>(digits), '0');
    int exponent = 0;
    if (!exact.digits.empty()) {
        bool carried = false;
        mantissa = roundDigits(exact.digits, digits, carried);
        exponent = exact.exponent;
        if (carried) {
            mantissa.pop_back();
            ++exponent;
        }
    }
    const std::string sign = value < 0.0f ? "-" : "";
    const int magnitude = exponent < 0 ? -exponent : exponent;
    std::string exponentText = exponent < 0 ? "-" : "+";
    if (magnitude <= 99) {
        exponentText = "E" + exponentText + (magnitude < 10 ? "0" : "") + std::to_string(magnitude);
    } else {
        exponentText += std::to_string(magnitude);  // three digits replace the letter
    }
    return fitWithOptionalZero(sign, mantissa + exponentText, width);
}

std::string formatCharacterField(std::string_view value, int width) {
    const std::string variable = toCharacterVariable(value);
    if (width <= CHARACTER_LENGTH) return variable.substr(0, static_cast<std::size_t>(width));
    return std::string(static_cast<std::size_t>(width - CHARACTER_LENGTH), ' ') + variable;
}

std::vector<std::string> formatRecords(const RecordFormat& format, std::span<const OutputItem> items) {
    const auto& descriptors = format.descriptors();
    std::vector<std::string> records;
    std::string record;
    std::size_t item = 0;
    std::size_t index = 0;
    for (;;) {
        if (index == descriptors.size()) {
            if (item == items.size() || !format.hasDataDescriptor()) break;
            records.push_back(record);  // reversion: the format starts again on a new record
            record.clear();
            index = 0;
        }
        const EditDescriptor& d = descriptors[index++];
        if (d.isData() && item == items.size()) break;
        switch (d.kind) {
        case EditKind::Skip: record.append(static_cast<std::size_t>(d.width), ' '); break;
        case EditKind::Literal: record += d.text; break;
        case EditKind::Integer:
            if (!std::holds_alternative<std::int32_t>(items[item]))
                throw std::invalid_argument("I edit needs an integer");
            record += formatIntegerField(std::get<std::int32_t>(items[item++]), d.width);
            break;
        case EditKind::Fixed:
        case EditKind::Exponent: {
            if (!std::holds_alternative<float>(items[item])) throw std::invalid_argument("F/E edit needs a real");
            const float value = std::get<float>(items[item++]);
            record += d.kind == EditKind::Fixed ? formatFixedField(value, d.width, d.digits)
                                                : formatExponentField(value, d.width, d.digits);
            break;
        }
        case EditKind::Character:
            if (!std::holds_alternative<std::string_view>(items[item]))
                throw std::invalid_argument("A edit needs text");
            record += formatCharacterField(std::get<std::string_view>(items[item++]), d.width);
            break;
        }
    }
    records.push_back(record);
    return records;
}

std::vector<std::string> formatRecords(const RecordFormat& format, std::initializer_list<OutputItem> items) {
    return formatRecords(format, std::span<const OutputItem>(items.begin(), items.size()));
}

std::string formatLines(const RecordFormat& format, std::initializer_list<OutputItem> items) {
    std::string text;
    for (const std::string& record : formatRecords(format, items)) text += record + "\r\n";
    return text;
}

std::string listDirectedRecord(std::initializer_list<OutputItem> items) {
    std::string record = " ";
    for (const OutputItem& item : items) {
        if (std::holds_alternative<std::string_view>(item)) {
            record += std::get<std::string_view>(item);
        } else if (std::holds_alternative<std::int32_t>(item)) {
            record += formatIntegerField(std::get<std::int32_t>(item), LIST_INTEGER_WIDTH);
        } else {
            throw std::invalid_argument("list-directed output of reals is not used by the simulators");
        }
    }
    return record;
}

// ---- input ------------------------------------------------------------------------------------

LineReader::LineReader(const std::filesystem::path& path) : fileName_(path.string()) {
    std::error_code ignored;
    // A folder opens like an empty file on some systems, which would read as a file that ends at once.
    if (std::filesystem::is_directory(path, ignored)) throw RunError(fileName_, 0, "is a folder, not a file");
    owned_ = std::make_unique<std::ifstream>(path, std::ios::binary);
    in_ = owned_.get();
    if (!*owned_) throw RunError(fileName_, 0, "cannot be opened (missing or unreadable file)");
}

LineReader::LineReader(std::istream& in, std::string fileName) : in_(&in), fileName_(std::move(fileName)) {}

bool LineReader::tryNextRecord(std::string& line) {
    if (!std::getline(*in_, line)) {
        if (in_->bad()) throw RunError(fileName_, lineNumber_ + 1, "the file cannot be read here");
        return false;
    }
    const bool carriageReturn = !line.empty() && line.back() == '\r';
    if (carriageReturn) line.pop_back();
    // getline stops at the end of the file only when the line has no line feed; a carriage return
    // alone still ends the record.
    lastRecordEnded_ = carriageReturn || !in_->eof();
    ++lineNumber_;
    return true;
}

std::string LineReader::nextRecord(std::string_view expected) {
    std::string line;
    if (!tryNextRecord(line))
        throw RunError(fileName_, lineNumber_ + 1, "the file ends here; expected " + std::string(expected));
    return line;
}

void LineReader::fail(const std::string& message) const { throw RunError(fileName_, lineNumber_, message); }

bool parseIntegerField(std::string_view field, std::int32_t& value) {
    const std::string text = withoutBlanks(field);
    if (text.empty()) {
        value = 0;
        return true;
    }
    const char* first = text.data();
    if (*first == '+') ++first;
    std::int32_t parsed = 0;
    const auto result = std::from_chars(first, text.data() + text.size(), parsed);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || first == text.data() + text.size())
        return false;
    value = parsed;
    return true;
}

bool parseRealField(std::string_view field, int digits, float& value) {
    const std::string text = withoutBlanks(field);
    if (text.empty()) {
        value = 0.0f;
        return true;
    }
    std::size_t pos = 0;
    std::string sign;
    if (text[pos] == '+' || text[pos] == '-') sign = text[pos++];
    std::string whole;
    std::string fraction;
    bool hasPoint = false;
    while (pos < text.size() && isDigit(text[pos])) whole += text[pos++];
    if (pos < text.size() && text[pos] == '.') {
        hasPoint = true;
        ++pos;
        while (pos < text.size() && isDigit(text[pos])) fraction += text[pos++];
    }
    if (whole.empty() && fraction.empty()) return false;
    std::string exponent;
    if (pos < text.size()) {
        const char c = upper(text[pos]);
        if (c == 'E' || c == 'D')
            ++pos;
        else if (c != '+' && c != '-')
            return false;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) exponent += text[pos++];
        const std::size_t start = pos;
        while (pos < text.size() && isDigit(text[pos])) exponent += text[pos++];
        if (pos == start || pos != text.size()) return false;
    }
    if (!hasPoint) {
        // No point in the field: its last `digits` digits are the fraction.
        if (static_cast<int>(whole.size()) < digits)
            whole.insert(0, static_cast<std::size_t>(digits) - whole.size(), '0');
        fraction = whole.substr(whole.size() - static_cast<std::size_t>(digits));
        whole.resize(whole.size() - static_cast<std::size_t>(digits));
    }
    std::string decimal = sign + (whole.empty() ? "0" : whole) + "." + fraction + "0";
    if (!exponent.empty()) decimal += "e" + exponent;
    return convertDecimal(decimal, value);
}

void readFormatted(LineReader& reader, const RecordFormat& format, std::span<const InputItem> items,
                   std::string_view expected) {
    const auto& descriptors = format.descriptors();
    std::string record = reader.nextRecord(expected);
    std::size_t position = 0;
    std::size_t numericEnd = 0;  // the end of the last numeric field read from this record
    std::size_t item = 0;
    std::size_t index = 0;
    for (;;) {
        if (index == descriptors.size()) {
            if (item == items.size() || !format.hasDataDescriptor()) break;
            record = reader.nextRecord(expected);  // reversion: the format starts again on the next line
            position = 0;
            numericEnd = 0;
            index = 0;
        }
        const EditDescriptor& d = descriptors[index++];
        if (d.isData() && item == items.size()) break;
        if (d.kind == EditKind::Skip) {
            position += static_cast<std::size_t>(d.width);
            continue;
        }
        if (d.kind == EditKind::Literal) {
            position += d.text.size();
            continue;
        }
        const std::string field = fieldAt(record, position, d.width);
        const std::size_t firstColumn = position + 1;
        position += static_cast<std::size_t>(d.width);
        if (d.kind != EditKind::Character) numericEnd = position;
        const InputItem& target = items[item++];
        if (d.kind == EditKind::Integer) {
            if (!std::holds_alternative<std::int32_t*>(target)) throw std::invalid_argument("I edit needs an integer");
            if (!parseIntegerField(field, *std::get<std::int32_t*>(target)))
                reader.fail("expected an integer: " + describeField(field, firstColumn) + " (reading " +
                            std::string(expected) + ")");
        } else if (d.kind == EditKind::Fixed || d.kind == EditKind::Exponent) {
            if (!std::holds_alternative<float*>(target)) throw std::invalid_argument("F/E edit needs a real");
            if (!parseRealField(field, d.digits, *std::get<float*>(target)))
                reader.fail("expected a number: " + describeField(field, firstColumn) + " (reading " +
                            std::string(expected) + ")");
        } else {
            if (!std::holds_alternative<std::string*>(target)) throw std::invalid_argument("A edit needs text");
            const std::string_view text(field);
            *std::get<std::string*>(target) = toCharacterVariable(
                d.width > CHARACTER_LENGTH ? text.substr(text.size() - CHARACTER_LENGTH) : text);
        }
    }
    // Only the last line of a file can lack its line end; a reversion onto a further line would
    // have found the end of the file already.
    if (!reader.lastRecordEnded() && record.size() < numericEnd)
        reader.fail("the file ends inside this line, after column " + std::to_string(record.size()) + " of the " +
                    std::to_string(numericEnd) + " columns that its numbers take (reading " + std::string(expected) +
                    "): the file is cut off");
}

void readFormatted(LineReader& reader, const RecordFormat& format, std::initializer_list<InputItem> items,
                   std::string_view expected) {
    readFormatted(reader, format, std::span<const InputItem>(items.begin(), items.size()), expected);
}

float readListDirectedReal(LineReader& reader, std::string_view expected) {
    for (;;) {
        const std::string line = reader.nextRecord(expected);
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) continue;  // line ends separate values like blanks
        const std::size_t end = std::min(line.find_first_of(" \t,/", start), line.size());
        const std::string token = line.substr(start, end - start);
        float value = 0.0f;
        if (token.empty() || token.find_first_not_of("+-.0123456789eEdD") != std::string::npos ||
            !parseRealField(token, 0, value))
            reader.fail("expected " + std::string(expected) + ", found \"" + line + "\"");
        return value;
    }
}

std::string toCharacterVariable(std::string_view text) {
    std::string value(text.substr(0, std::min<std::size_t>(text.size(), CHARACTER_LENGTH)));
    value.resize(CHARACTER_LENGTH, ' ');
    return value;
}

std::string trimTrailingBlanks(std::string_view text) {
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string floatMessageText(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

}  // namespace engine
