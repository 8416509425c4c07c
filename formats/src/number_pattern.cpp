#include "beamdata/number_pattern.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace beamdata {
namespace {

struct Pattern {
    std::string prefix;        // literal characters in front of the digits
    int minIntegerDigits = 0;  // number of '0' places before the point
    int decimals = 0;
    bool scientific = false;
    int minExponentDigits = 0;
    bool alwaysExponentSign = false;
};

Pattern parsePattern(std::string_view text) {
    Pattern p;
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] != '#' && text[pos] != '0' && text[pos] != '.') {
        p.prefix += text[pos++];
    }
    while (pos < text.size() && (text[pos] == '#' || text[pos] == '0')) {
        if (text[pos] == '0') ++p.minIntegerDigits;
        ++pos;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && (text[pos] == '#' || text[pos] == '0')) {
            ++p.decimals;
            ++pos;
        }
    }
    if (pos < text.size() && (text[pos] == 'E' || text[pos] == 'e')) {
        p.scientific = true;
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            p.alwaysExponentSign = text[pos] == '+';
            ++pos;
        }
        while (pos < text.size() && text[pos] == '0') {
            ++p.minExponentDigits;
            ++pos;
        }
    }
    if (pos != text.size()) {
        throw std::invalid_argument("unsupported number pattern \"" + std::string(text) + "\"");
    }
    return p;
}

// |value| as decimal digits (no leading zeros, at least "0") and the position of the decimal
// point counted from the left of the digits: value = 0.d1d2d3... x 10^pointPos.
struct Decimal {
    std::string digits;
    int pointPos = 0;
};

Decimal toDecimal15(double magnitude) {
    Decimal d;
    if (magnitude == 0.0) {
        d.digits.assign(1, '0');
        d.pointPos = 1;
        return d;
    }
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", magnitude);  // 15 significant digits
    const std::string text(buffer);
    const std::size_t ePos = text.find('e');
    d.digits = text.substr(0, 1) + text.substr(2, ePos - 2);
    d.pointPos = std::atoi(text.c_str() + ePos + 1) + 1;
    return d;
}

// Keeps `keep` leading digits, rounding half-way away from zero on the next digit.
// A carry out of the first digit moves the point one place right.
void roundToDigits(Decimal& d, int keep) {
    if (keep < 0) {
        d.digits.assign(1, '0');
        d.pointPos = 1;
        return;
    }
    if (keep >= static_cast<int>(d.digits.size())) return;
    const bool roundUp = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(keep));
    if (roundUp) {
        int i = keep - 1;
        while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9') {
            d.digits[static_cast<std::size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.digits[static_cast<std::size_t>(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.pointPos;
        }
    }
    if (d.digits.empty()) {
        d.digits.assign(1, '0');
        d.pointPos = 1;
    }
}

// Digit at decimal position `power` (0 = units, 1 = tens, -1 = tenths).
char digitAt(const Decimal& d, int power) {
    const int index = d.pointPos - 1 - power;
    if (index < 0 || index >= static_cast<int>(d.digits.size())) return '0';
    return d.digits[static_cast<std::size_t>(index)];
}

bool isZero(const Decimal& d) { return d.digits.find_first_not_of('0') == std::string::npos; }

std::string fixedBody(const Decimal& d, const Pattern& p) {
    std::string integerPart;
    for (int power = d.pointPos - 1; power >= 0; --power) integerPart += digitAt(d, power);
    const std::size_t firstNonZero = integerPart.find_first_not_of('0');
    integerPart = firstNonZero == std::string::npos ? "" : integerPart.substr(firstNonZero);
    if (static_cast<int>(integerPart.size()) < p.minIntegerDigits) {
        integerPart.insert(0, static_cast<std::size_t>(p.minIntegerDigits) - integerPart.size(), '0');
    }
    std::string text = integerPart;
    if (p.decimals > 0) {
        text += '.';
        for (int power = -1; power >= -p.decimals; --power) text += digitAt(d, power);
    }
    return text;
}

std::string scientificBody(Decimal d, const Pattern& p) {
    int exponent = 0;
    if (!isZero(d)) {
        roundToDigits(d, 1 + p.decimals);
        exponent = d.pointPos - 1;
    }
    std::string text(1, d.digits[0]);
    if (p.decimals > 0) {
        text += '.';
        for (int i = 1; i <= p.decimals; ++i) {
            text += i < static_cast<int>(d.digits.size()) ? d.digits[static_cast<std::size_t>(i)] : '0';
        }
    }
    text += 'E';
    if (exponent < 0) {
        text += '-';
    } else if (p.alwaysExponentSign) {
        text += '+';
    }
    std::string exponentDigits = std::to_string(std::abs(exponent));
    if (static_cast<int>(exponentDigits.size()) < p.minExponentDigits) {
        exponentDigits.insert(0, static_cast<std::size_t>(p.minExponentDigits) - exponentDigits.size(), '0');
    }
    return text + exponentDigits;
}

}  // namespace

std::string formatNumber(double value, std::string_view patternText) {
    const Pattern pattern = parsePattern(patternText);
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
    Decimal decimal = toDecimal15(std::fabs(value));
    std::string body;
    bool zero = false;
    if (pattern.scientific) {
        zero = isZero(decimal);
        body = scientificBody(decimal, pattern);
    } else {
        roundToDigits(decimal, decimal.pointPos + pattern.decimals);
        zero = isZero(decimal);
        body = fixedBody(decimal, pattern);
    }
    const bool negative = value < 0 && !zero;
    return (negative ? "-" : "") + pattern.prefix + body;
}

}  // namespace beamdata
