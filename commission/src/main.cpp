// orvalis-commission: every electron beam of a set of water-tank exports fitted in parallel, with one
// report (see commission/commission_command.h).
#include <atomic>
#include <csignal>
#include <iostream>
#include <stdexcept>

#include "commission/child_process.h"
#include "commission/commission_command.h"
#include "engine/program_info.h"
#ifdef ORVALIS_COMMISSION_PDF
#include "commission_pdf.h"
#endif

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void requestStop(int) { stopRequested.store(true); }

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const engine::ProgramHelp help{"orvalis-commission",
                                   "fits every electron beam of a set of water-tank exports and writes one report",
                                   commission::commissionUsage()};
    if (const auto status = engine::answerInformationRequest(arguments, help, std::cout)) return *status;
    commission::CommissionOptions options;
    try {
        options = commission::parseCommissionArguments(arguments);
    } catch (const std::invalid_argument& e) {
        std::cerr << "orvalis-commission: " << e.what() << "\n" << commission::commissionUsage();
        return 1;
    }
    // Ctrl-C stops the beams between programs; the report is then not written at all.
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    const std::filesystem::path self = argv[0];
    const commission::Programs programs{commission::siblingProgram(self, "orvalis-fit"),
                                        commission::siblingProgram(self, "Tolvane"),
                                        commission::siblingProgram(self, "Brisella")};
    commission::ReportPainter painter;
#ifdef ORVALIS_COMMISSION_PDF
    painter = commission::paintCommissioningPdf;
#endif
    return commission::runCommission(options, programs, painter, std::cout, std::cerr, stopRequested);
}
