#pragma once
// Shared helpers of the engine and simulator tests: temporary folders, small scattering tables,
// and exchange files: the front end's own writer for whole spectra, and single records of any
// content for the readers' tests.
#include "engine/electron_data.h"
#include "engine/kernel_grid.h"
#include "testsupport/test_folder.h"

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

using TempFolder = testsupport::TestFolder;

// Energies 20000 keV x 0.8^k, k = 0..23 (down to about 118 keV).
engine::ElectronData straightTable();       // every entry 16384: never deflects
engine::ElectronData gaussianWidthTable();  // polar angle of a 2-D Gaussian whose width falls with energy
// Energies 12000 keV x 0.88^k (down to about 633 keV, so lower steps go undeflected); wide rows
// whose cosines are mostly negative, every other row in ascending order, and a few quantiles
// beyond +-16384 so that extrapolated and clamped cosines occur: electrons turn back often.
engine::ElectronData backscatterStressTable();

// The records of a file written with CR LF line ends; text after the last CR LF is a test failure.
std::vector<std::string> splitRecords(const std::string& text);

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& text);

// Nimbrola.dat holding the given records as they stand (" 9.0", "1000.", names), malformed ones
// included; fluenceName empty = kernel run.
void writeRunFile(const std::filesystem::path& folder, const std::string& maxEnergy, const std::string& historyCount,
                  const std::string& resultName, const std::string& fluenceName = "");

// One spectrum line "00.00 0.000E+00" of any relative energy and weight, in the front end's patterns.
std::string spectrumLine(double relativeEnergy, double weight);

// Nimbrola.txt of a Beta(alpha, beta) spectrum, written by the front end's writer.
void writeBetaSpectrum(const std::filesystem::path& folder, double alpha, double beta);

// Nimbrola.txt whose only non-zero weight is bin 100 (relative energy 1.00): every history starts
// at the maximum energy.
void writeSingleBinSpectrum(const std::filesystem::path& folder);

// The bit patterns of the cells (depth bins 1..125, radial bins 1..rings) as hexadecimal words, one
// line per depth bin: unlike the three digits of the result files, it shows a change in the last bit.
std::string gridBits(const engine::KernelGrid& grid, int rings);

// Runs a program in `folder` with `input` on its standard input; its output goes to
// folder/stdout.txt and folder/stderr.txt. Returns the exit status.
int runProgram(const std::filesystem::path& program, const std::filesystem::path& folder,
               const std::string& input = "");

// Starts a program in `folder` without waiting, its standard input empty and its output in
// folder/<outputPrefix>stdout.txt and folder/<outputPrefix>stderr.txt (a prefix per run keeps the
// outputs of runs side by side in one folder apart). Returns its process id (POSIX only; -1 elsewhere).
int startProgram(const std::filesystem::path& program, const std::filesystem::path& folder,
                 const std::string& outputPrefix = "");
// Waits for a started program; its exit status, or 128 + n when signal n ended it.
int waitForProgram(int processId);
// A result's lock file held as another running program holds it: its own open file, locked, let go
// of when this object ends (as when that program ends, killed or not). POSIX only.
class LockHeldElsewhere {
public:
    explicit LockHeldElsewhere(const std::filesystem::path& lockFile);
    ~LockHeldElsewhere();
    LockHeldElsewhere(const LockHeldElsewhere&) = delete;
    LockHeldElsewhere& operator=(const LockHeldElsewhere&) = delete;

private:
    int descriptor_ = -1;
};

// Polls the file until it holds `text`, for up to `seconds`; false when it never did.
bool waitForText(const std::filesystem::path& file, const std::string& text, double seconds);

// One whole-run case of the identity tests: which scattering table, which spectrum, how many histories.
enum class IdentityTable { Committed, BackscatterStress };
enum class IdentitySpectrum { Beta8And2, SingleBin };
struct IdentityCase {
    const char* name;
    IdentityTable table;
    const char* maxEnergyMeV;  // as the front end writes it
    IdentitySpectrum spectrum;
    const char* historyCount;
};

// Writes ELDAT.dat (a copy of committedTable, or the backscatter stress table) and the exchange
// files of `run` into folder; fluenceName empty = kernel run.
void prepareIdentityRun(const IdentityCase& run, const std::filesystem::path& folder,
                        const std::filesystem::path& committedTable, const std::string& resultName,
                        const std::string& fluenceName = "");

}  // namespace testing_support
