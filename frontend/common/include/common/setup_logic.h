#pragma once
// What the calculation set-up window does, without the window: the composed result name, the
// cursor read-out of the spectrum plot, and a launch (exchange files, then the simulator).
#include <filesystem>
#include <functional>
#include <string>

#include "beamdata/beta_spectrum.h"
#include "beamdata/exchange_files.h"
#include "common/message_sink.h"
#include "common/program_launcher.h"

namespace orvalis {

using beamdata::CalculationKind;
using beamdata::SpectrumArray;

// The alpha and beta scroll bars: values 1 to 200, the parameter is the value divided by 10 (so
// 0.1 to 20.0 in steps of 0.1).
inline constexpr int SCROLL_BAR_MIN = 1;
inline constexpr int SCROLL_BAR_MAX = 200;
inline constexpr double SCROLL_STEPS_PER_PARAMETER = 10.0;

// The scroll-bar value of a parameter, the nearest step on the bar (a parameter below 0.1 or above
// 20.0 goes to the bar's end).
int scrollBarValue(double parameter);

// Result name without extension: nominal energy + "MeV-" + maximum energy + "_" + alpha + "-" +
// beta, each box's text as it stands ("9MeV-9.0_8.0-2.0").
std::string composeFileName(const std::string& nominalEnergyText, const std::string& maxEnergyText,
                            const std::string& alphaText, const std::string& betaText);

using beamdata::RESULT_NAME_FIELD_WIDTH;  // the longest result name the simulators keep

// The spectrum plot's user scale: x = 1000 * Beta variable, y = 1000 * relative density; the
// points j = 0..100 lie every 10 units.
inline constexpr double SPECTRUM_PLOT_FULL_SCALE = 1000.0;
inline constexpr double SPECTRUM_PLOT_UNITS_PER_POINT = 10.0;

struct SpectrumCursor {
    bool shown = false;
    double x = 0.0;         // abscissa of the vertical cursor line, plot units (0..1000)
    double y = 0.0;         // ordinate of the horizontal cursor line, plot units (0..1000)
    std::string xText;      // x read-out, "0.00"; empty when hidden
    std::string valueText;  // relative density of the grid point at or left of x, "0.000"
};

// Pointer at (x, y) in the plot's units (x = 1000 * Beta variable, y = 1000 * relative density).
// Shown only strictly inside 1 < x < 998 and 1 < y < 998.
SpectrumCursor spectrumCursor(double x, double y, const SpectrumArray& relative);

struct LaunchRequest {
    CalculationKind kind = CalculationKind::DepthDose;
    std::string maxEnergyText;
    std::string historyText;
    std::string fileNameText;
    std::string alphaText;
    std::string betaText;
};

// Checks the request, writes both exchange files into folder, with points 1..100 of relativeWeight
// as the bin weights, and starts the simulator there. Any fault (a history count that is not a
// whole number, a name the simulator would cut, a file that cannot be written, a program that
// cannot be started) goes to messages and nothing is started; returns true when the simulator was
// started. afterWriting runs between writing and starting (the window repaints there).
bool launchCalculation(const LaunchRequest& request, const SpectrumArray& relativeWeight,
                       const std::filesystem::path& folder, MessageSink& messages, ProgramLauncher& launcher,
                       const std::function<void()>& afterWriting = {});

// The simulator that a calculation starts: "Tolvane" for a depth dose, "Brisella" for a kernel.
std::string simulatorFor(CalculationKind kind);

// Starts the simulator of `kind` in folder, whose exchange files are written; a program that
// cannot be started goes to messages. True when it was started.
bool startSimulator(CalculationKind kind, const std::filesystem::path& folder, MessageSink& messages,
                    ProgramLauncher& launcher);

}  // namespace orvalis
