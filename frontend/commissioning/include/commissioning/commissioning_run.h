#pragma once
// The Commissioning window's side of orvalis-commission: the arguments of a run, and the lines the
// program prints while it works ("PROGRESS beam <done> <total>", "PROGRESS beam-<n> <percent> 100",
// "RESULT beam n=<n> status=... pass=... R50=... worst=..."). Plain C++; the window only wires it
// to a process and widgets.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvalis::commissioning {

inline constexpr const char* COMMISSION_PROGRAM_NAME = "orvalis-commission";
inline constexpr const char* REPORT_PDF = "commissioning.pdf";
inline constexpr const char* REPORT_JSON = "commissioning.json";

struct CommissioningRequest {
    std::vector<std::string> inputs;  // files and folders, native bytes
    std::string outFolder;
    std::string title;
    std::map<std::string, double> toleranceMm;  // R90, R80, R50, R10
    std::optional<int> confirmHistories;        // run Tolvane on each fitted spectrum
    std::vector<std::string> skipLabels;        // curves the user unticked
};
std::vector<std::string> commissionArguments(const CommissioningRequest& request);

struct CommissionEvent {
    enum class Kind { Overall, BeamProgress, BeamDone };
    Kind kind = Kind::Overall;
    int beam = 0;         // the n-th beam fitted (from 1), for the beam kinds
    int done = 0;         // Overall: beams done; BeamProgress: percent
    int total = 0;        // Overall: beams to fit
    bool fitted = false;  // BeamDone
    bool pass = false;
    std::optional<double> r50Mm;
    std::optional<double> worstMm;
};
// Empty for any other line.
std::optional<CommissionEvent> parseCommissionLine(const std::string& line);

}  // namespace orvalis::commissioning
