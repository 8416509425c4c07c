#pragma once
// Title lines of the simulators' result files carry the Greek letters of the spectrum shape as
// their Shift_JIS byte pairs (alpha is 0x83 0xBF, beta 0x83 0xC0), copied unchanged from the
// exchange files. This turns such a line into UTF-8 for display.
#include <string>
#include <string_view>

namespace beamdata::text {

// Shift_JIS Greek pairs (0x83 0x9F-0xB6 capitals, 0x83 0xBF-0xD6 small letters) become the Greek
// letters; a valid UTF-8 sequence is kept; any other byte is taken as Latin-1.
std::string decodeTitleBytes(std::string_view bytes);

}  // namespace beamdata::text
