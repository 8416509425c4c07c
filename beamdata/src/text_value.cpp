#include "beamdata/text_value.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>

namespace beamdata {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipDigits(std::string_view text, std::size_t pos) {
    while (pos < text.size() && isDigit(text[pos])) ++pos;
    return pos;
}

struct LeadingNumber {
    std::size_t start = 0;  // first digit or point, after blanks and sign
    std::size_t end = 0;    // one past the number; end == start when there is none
    bool negative = false;
};

LeadingNumber findLeadingNumber(std::string_view text) {
    LeadingNumber found;
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t start = pos;
    std::size_t end = skipDigits(text, pos);
    std::size_t digitCount = end - start;
    if (end < text.size() && text[end] == '.') {
        const std::size_t fractionEnd = skipDigits(text, end + 1);
        digitCount += fractionEnd - (end + 1);
        end = fractionEnd;
    }
    if (digitCount == 0) {
        found.start = found.end = start;
        return found;
    }
    // An exponent belongs to the number only when at least one digit follows it.
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t expPos = end + 1;
        if (expPos < text.size() && (text[expPos] == '+' || text[expPos] == '-')) ++expPos;
        const std::size_t expEnd = skipDigits(text, expPos);
        if (expEnd > expPos) end = expEnd;
    }
    found.start = start;
    found.end = end;
    found.negative = negative;
    return found;
}

}  // namespace

bool isNumberText(std::string_view text) {
    const LeadingNumber number = findLeadingNumber(text);
    return number.end > number.start && number.end == text.size() && (text[0] != ' ' && text[0] != '\t');
}

double textValue(std::string_view text) {
    const LeadingNumber number = findLeadingNumber(text);
    if (number.end == number.start) return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(text.data() + number.start, text.data() + number.end, value);
    if (result.ec != std::errc() || !std::isfinite(value)) {
        // Underflow reads as 0 as well; overflow is not a usable number.
        return 0.0;
    }
    return number.negative ? -value : value;
}

std::string printfNumber(const char* printfFormat, double value) {
    char text[64];
    std::snprintf(text, sizeof text, printfFormat, value);
    return text;
}

}  // namespace beamdata
