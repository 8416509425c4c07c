#pragma once
// What a result file of the simulators must be for every reader downstream: the layout of its
// records, no field of asterisks, numbers that read back, no negative kernel cell, a depth dose
// between 0 and 1 with its maximum 1, fluence weights that are shares. Each check returns what is
// wrong, or an empty text for a sound file.
#include <string>

namespace fuzz {

std::string kernelResultFault(const std::string& text);
std::string depthDoseResultFault(const std::string& text);
std::string fluenceFileFault(const std::string& text);

}  // namespace fuzz
