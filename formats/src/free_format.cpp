#include "beamdata/free_format.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace beamdata::text {
namespace {

constexpr std::string_view UTF8_BYTE_ORDER_MARK = "\xEF\xBB\xBF";

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
bool endsField(char c) { return c == ',' || isBlank(c) || isLineEnd(c); }

std::size_t skipDigits(std::string_view s, std::size_t pos) {
    while (pos < s.size() && isDigit(s[pos])) ++pos;
    return pos;
}

}  // namespace

std::optional<double> parseNumberField(std::string_view field) {
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"') field = field.substr(1, field.size() - 2);
    std::string normal;  // the field in the form std::from_chars takes: no '+', 'E' for the exponent
    std::size_t pos = 0;
    if (pos < field.size() && (field[pos] == '+' || field[pos] == '-')) {
        if (field[pos] == '-') normal += '-';
        ++pos;
    }
    const std::size_t intEnd = skipDigits(field, pos);
    std::size_t mantissaDigits = intEnd - pos;
    normal.append(field.substr(pos, intEnd - pos));
    pos = intEnd;
    if (pos < field.size() && field[pos] == '.') {
        const std::size_t fracEnd = skipDigits(field, pos + 1);
        mantissaDigits += fracEnd - pos - 1;
        if (mantissaDigits == 0) normal += '0';  // ".5" -> "0.5"
        normal.append(field.substr(pos, fracEnd - pos));
        pos = fracEnd;
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (pos < field.size() && (field[pos] == 'E' || field[pos] == 'e' || field[pos] == 'D' || field[pos] == 'd')) {
        normal += 'E';
        ++pos;
        if (pos < field.size() && (field[pos] == '+' || field[pos] == '-')) normal += field[pos++];
        const std::size_t expEnd = skipDigits(field, pos);
        if (expEnd == pos) return std::nullopt;
        normal.append(field.substr(pos, expEnd - pos));
        pos = expEnd;
    }
    if (pos != field.size()) return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (error != std::errc() || end != normal.data() + normal.size()) return std::nullopt;
    return value;
}

FieldReader::FieldReader(std::string text, JoinedNumbers joined) : text_(std::move(text)), joined_(joined) {
    if (std::string_view(text_).substr(0, UTF8_BYTE_ORDER_MARK.size()) == UTF8_BYTE_ORDER_MARK)
        pos_ = UTF8_BYTE_ORDER_MARK.size();
}

void FieldReader::advanceTo(std::size_t position) {
    for (; pos_ < position && pos_ < text_.size(); ++pos_) {
        // CR LF, LF and a lone CR each end one line.
        if (text_[pos_] == '\n' || (text_[pos_] == '\r' && (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '\n')))
            ++line_;
    }
}

std::optional<std::string> FieldReader::readLine() {
    if (pos_ >= text_.size()) return std::nullopt;
    std::size_t end = pos_;
    while (end < text_.size() && !isLineEnd(text_[end])) ++end;
    std::string line = text_.substr(pos_, end - pos_);
    if (end < text_.size() && text_[end] == '\r') ++end;
    if (end < text_.size() && text_[end] == '\n') ++end;
    advanceTo(end);
    return line;
}

void FieldReader::skipBlanksAndLineEnds() {
    std::size_t end = pos_;
    while (end < text_.size() && (isBlank(text_[end]) || isLineEnd(text_[end]))) ++end;
    advanceTo(end);
}

bool FieldReader::atEnd() const {
    for (std::size_t i = pos_; i < text_.size(); ++i)
        if (!isBlank(text_[i]) && !isLineEnd(text_[i])) return false;
    return true;
}

std::optional<std::string_view> FieldReader::scanField() {
    skipBlanksAndLineEnds();
    if (pos_ >= text_.size()) return std::nullopt;
    const std::size_t start = pos_;
    lastFieldLine_ = line_;
    std::size_t end = start;
    if (text_[end] == '"') {
        const std::size_t close = text_.find('"', end + 1);
        end = (close == std::string::npos) ? text_.size() : close + 1;
    }
    while (end < text_.size() && !endsField(text_[end])) ++end;
    advanceTo(end);
    return std::string_view(text_.data() + start, end - start);
}

void FieldReader::skipFieldSeparator() {
    // A comma after the field (blanks around it allowed) belongs to this field's separator.
    std::size_t next = pos_;
    while (next < text_.size() && isBlank(text_[next])) ++next;
    if (next < text_.size() && text_[next] == ',') advanceTo(next + 1);
}

std::optional<std::string> FieldReader::readField() {
    const auto field = scanField();
    if (!field) return std::nullopt;
    std::string text(*field);
    skipFieldSeparator();
    return text;
}

std::optional<double> FieldReader::readNumber() {
    const auto field = scanField();
    if (!field) return std::nullopt;
    if (joined_ == JoinedNumbers::Split && !parseNumberField(*field)) {
        const std::size_t start = static_cast<std::size_t>(field->data() - text_.data());
        for (std::size_t k = 1; k < field->size(); ++k) {
            const char c = (*field)[k];
            const char before = (*field)[k - 1];
            if ((c != '-' && c != '+') || !(isDigit(before) || before == '.')) continue;
            const std::optional<double> head = parseNumberField(field->substr(0, k));
            if (!head) break;
            pos_ = start + k;  // the signed rest is the next field (no line end lies within a field)
            return head;
        }
    }
    const std::optional<double> value = parseNumberField(*field);
    skipFieldSeparator();
    return value;
}

int FieldReader::lastFieldLine() const { return lastFieldLine_; }

std::optional<std::string> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(bytes).str();
}

}  // namespace beamdata::text
