#include "beamdata/title_decoding.h"

#include <cstddef>
#include <cstdint>

namespace beamdata::text {
namespace {

constexpr unsigned char SJIS_GREEK_LEAD = 0x83;
constexpr unsigned char SJIS_GREEK_CAPITAL_FIRST = 0x9F;  // Alpha
constexpr unsigned char SJIS_GREEK_SMALL_FIRST = 0xBF;    // alpha
constexpr int GREEK_LETTER_COUNT = 24;
constexpr char32_t UNICODE_CAPITAL_ALPHA = 0x391;
constexpr char32_t UNICODE_SMALL_ALPHA = 0x3B1;

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Shift_JIS orders the 24 letters without the final sigma, which Unicode has between rho and sigma.
char32_t greekLetter(char32_t alpha, int index) {
    return alpha + static_cast<char32_t>(index >= 17 ? index + 1 : index);
}

// Length of a valid UTF-8 sequence starting at pos, or 0 when the bytes there are not one.
std::size_t utf8SequenceLength(std::string_view bytes, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(bytes[pos]);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (length == 0 || pos + length > bytes.size()) return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(bytes[pos + k]) & 0xC0) != 0x80) return 0;
    return length;
}

}  // namespace

std::string decodeTitleBytes(std::string_view bytes) {
    std::string out;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[pos]);
        if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++pos;
            continue;
        }
        if (byte == SJIS_GREEK_LEAD && pos + 1 < bytes.size()) {
            const int trail = static_cast<unsigned char>(bytes[pos + 1]);
            const int capital = trail - SJIS_GREEK_CAPITAL_FIRST;
            const int small = trail - SJIS_GREEK_SMALL_FIRST;
            if (capital >= 0 && capital < GREEK_LETTER_COUNT) {
                appendUtf8(out, greekLetter(UNICODE_CAPITAL_ALPHA, capital));
                pos += 2;
                continue;
            }
            if (small >= 0 && small < GREEK_LETTER_COUNT) {
                appendUtf8(out, greekLetter(UNICODE_SMALL_ALPHA, small));
                pos += 2;
                continue;
            }
        }
        if (const std::size_t length = utf8SequenceLength(bytes, pos); length > 0) {
            out.append(bytes.substr(pos, length));
            pos += length;
            continue;
        }
        appendUtf8(out, static_cast<char32_t>(byte));
        ++pos;
    }
    return out;
}

}  // namespace beamdata::text
