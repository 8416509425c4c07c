#pragma once
// orvalis-commission: every electron depth curve of a set of water-tank exports fitted at once, each
// with its beam-quality figures, its level differences against a tolerance, its exchange files and,
// when asked, a confirming Tolvane run and a Brisella kernel; one record of the whole in JSON, CSV
// and PDF.
//
//   orvalis-commission INPUT... --out DIR [--jobs N] [--model free|beta] [--confirm HISTORIES]
//                      [--kernel HISTORIES] [--tolerance R90=0.5,R80=0.5,R50=0.5,R10=1.0] [--title TEXT]
//                      [--skip LABEL]...
//
// Progress: "PROGRESS beam <done> <total>" as beams finish, "PROGRESS beam-<n> <percent> 100" while the
// n-th beam to be fitted (from 1, in the order of the record) is fitted.
//
// The fit is orvalis-fit itself, run as a child process in the current folder (which holds ELDAT.dat,
// water.csda and the shared basis cache), so that every number is the one orvalis-fit prints.
#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "commission/beam_result.h"

namespace commission {

struct CommissionOptions {
    std::vector<std::filesystem::path> inputs;
    std::filesystem::path outFolder;
    int jobs = 0;  // 0: one per core
    std::string model = "free";
    std::optional<int> confirmHistories;
    std::optional<int> kernelHistories;
    Tolerances tolerance = defaultTolerances();
    std::string title = "Electron beam commissioning";
    std::vector<std::string> skipLabels;  // beams the user left out
};

std::string commissionUsage();
// Throws std::invalid_argument naming what is wrong.
CommissionOptions parseCommissionArguments(const std::vector<std::string>& arguments);

struct Programs {
    std::filesystem::path fit;
    std::filesystem::path tolvane;
    std::filesystem::path brisella;
};

// The PDF report's bytes for the run; empty when this build paints no reports.
using ReportPainter = std::function<std::string(const RunInfo&, const std::vector<BeamResult>&)>;

// One beam: its figures, the fit, the exchange files in outFolder/beams/<label>/, the confirming run
// and the kernel. `workFolder` holds ELDAT.dat and water.csda.
// `onProgress` sees the fit's progress in percent.
BeamResult processBeam(const BeamEntry& entry, const CommissionOptions& options, const Programs& programs,
                       const std::filesystem::path& workFolder, const std::atomic<bool>& cancel,
                       const std::function<void(int)>& onProgress = {});

// The whole run. Exit status: 0 every beam fitted within tolerance; 3 some fitted beam outside it;
// 1 an error (no beam, an output that cannot be written); 130 stopped by `cancel` (nothing of the
// report written; the beams already done keep their folders).
int runCommission(const CommissionOptions& options, const Programs& programs, const ReportPainter& painter,
                  std::ostream& out, std::ostream& errors, const std::atomic<bool>& cancel);

}  // namespace commission
