#include "test_support.h"

#include "beamdata/exchange_files.h"
#include "beamdata/number_pattern.h"
#include "engine/constants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

#include <chrono>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testing_support {

std::vector<std::string> splitRecords(const std::string& text) {
    std::vector<std::string> records;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        records.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return records;
}

namespace {
engine::ElectronData withEnergies(engine::ElectronData data) {
    for (int k = 0; k < engine::ENERGY_ROWS; ++k)
        data.tableEnergyKeV[static_cast<std::size_t>(k)] = 20000.0f * std::pow(0.8f, static_cast<float>(k));
    return data;
}
}  // namespace

engine::ElectronData straightTable() {
    engine::ElectronData data;
    for (auto& row : data.deflectionQuantiles) row.fill(16384);
    return withEnergies(data);
}

engine::ElectronData gaussianWidthTable() {
    engine::ElectronData data = withEnergies(engine::ElectronData{});
    for (int k = 0; k < engine::ENERGY_ROWS; ++k) {
        const double energyKeV = data.tableEnergyKeV[static_cast<std::size_t>(k)];
        const double width = std::min(0.9, 0.12 * std::pow(1000.0 / energyKeV, 0.9));
        for (int c = 0; c < engine::QUANTILE_COLUMNS; ++c) {
            const double p = std::min(c / 64.0, 0.999);
            const double theta = std::min(width * std::sqrt(-2.0 * std::log(1.0 - p)), 3.14159);
            data.deflectionQuantiles[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)] =
                static_cast<std::int32_t>(std::lround(16384.0 * std::cos(theta)));
        }
    }
    return data;
}

engine::ElectronData backscatterStressTable() {
    engine::ElectronData data;
    constexpr double PI = 3.14159265358979;
    for (int k = 0; k < engine::ENERGY_ROWS; ++k) {
        const auto row = static_cast<std::size_t>(k);
        data.tableEnergyKeV[row] = 12000.0f * std::pow(0.88f, static_cast<float>(k));
        const double exponent = 0.4 + 0.1 * k;  // 82 % of the cosines negative in row 1, 23 % in row 24
        for (int c = 0; c < engine::QUANTILE_COLUMNS; ++c) {
            const int position = k % 2 == 0 ? c : engine::QUANTILE_COLUMNS - 1 - c;
            const double theta = PI * std::pow(position / 64.0, exponent);
            data.deflectionQuantiles[row][static_cast<std::size_t>(c)] = static_cast<std::int32_t>(
                std::lround(16384.0 * std::cos(theta)));
        }
    }
    data.deflectionQuantiles[0][0] = 16400;
    data.deflectionQuantiles[0][64] = -16500;
    data.deflectionQuantiles[1][0] = -16390;
    data.deflectionQuantiles[7][32] = 16384;
    return data;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

void writeRunFile(const std::filesystem::path& folder, const std::string& maxEnergy, const std::string& historyCount,
                  const std::string& resultName, const std::string& fluenceName) {
    std::string text = maxEnergy + "\r\n" + historyCount + "\r\n" + resultName + "\r\n";
    if (!fluenceName.empty()) text += fluenceName + "\r\n";
    writeFile(folder / "Nimbrola.dat", text);
}

std::string spectrumLine(double relativeEnergy, double weight) {
    return beamdata::formatNumber(relativeEnergy, "00.00") + " " + beamdata::weightText(weight);
}

namespace {
void writeSpectrumFile(const std::filesystem::path& folder, const std::string& title1, const std::string& title2,
                       const beamdata::SpectrumArray& relativeWeight) {
    beamdata::ExchangeContent content;
    content.titleLine1 = title1;
    content.titleLine2 = title2;
    content.relativeWeight = relativeWeight;
    writeFile(folder / engine::SPECTRUM_FILE_NAME, beamdata::spectrumFileBytes(content));
}
}  // namespace

void writeBetaSpectrum(const std::filesystem::path& folder, double alpha, double beta) {
    const auto relative = beamdata::relativeBetaDensity(alpha, beta);
    ASSERT_TRUE(relative.has_value()) << "no Beta density for alpha " << alpha << ", beta " << beta;
    writeSpectrumFile(folder, beamdata::alphaTitleLine(alpha), beamdata::betaTitleLine(beta), *relative);
}

void writeSingleBinSpectrum(const std::filesystem::path& folder) {
    beamdata::SpectrumArray relative{};
    relative[engine::SPECTRUM_BINS] = 1.0;
    writeSpectrumFile(folder, "single", "bin", relative);
}

std::string gridBits(const engine::KernelGrid& grid, int rings) {
    std::string text;
    char word[16];
    for (int depth = 1; depth <= engine::KernelGrid::DEPTH_BINS; ++depth) {
        for (int ring = 1; ring <= rings; ++ring) {
            std::uint32_t bits = 0;
            const float value = grid.cell(depth, ring);
            std::memcpy(&bits, &value, sizeof bits);
            std::snprintf(word, sizeof word, ring == 1 ? "%08x" : " %08x", static_cast<unsigned>(bits));
            text += word;
        }
        text += "\n";
    }
    return text;
}

int runProgram(const std::filesystem::path& program, const std::filesystem::path& folder, const std::string& input) {
    writeFile(folder / "stdin.txt", input);
#ifdef _WIN32
    const std::string command = "cd /d \"" + folder.string() + "\" && \"" + program.string() +
                                "\" < stdin.txt > stdout.txt 2> stderr.txt";
    return std::system(command.c_str());
#else
    const std::string command = "cd '" + folder.string() + "' && '" + program.string() +
                                "' < stdin.txt > stdout.txt 2> stderr.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

int startProgram(const std::filesystem::path& program, const std::filesystem::path& folder,
                 const std::string& outputPrefix) {
#ifdef _WIN32
    (void)program;
    (void)folder;
    (void)outputPrefix;
    return -1;
#else
    const std::string programText = program.string();
    const std::string folderText = folder.string();
    const std::string outText = (folder / (outputPrefix + "stdout.txt")).string();
    const std::string errText = (folder / (outputPrefix + "stderr.txt")).string();
    const pid_t child = fork();
    if (child != 0) return static_cast<int>(child);
    // In the child: only calls that are safe after fork, then the program.
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outText.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errText.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || chdir(folderText.c_str()) != 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execl(programText.c_str(), programText.c_str(), static_cast<char*>(nullptr));
    _exit(127);
#endif
}

int waitForProgram(int processId) {
#ifdef _WIN32
    (void)processId;
    return -1;
#else
    int status = 0;
    if (waitpid(static_cast<pid_t>(processId), &status, 0) < 0) return -1;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

LockHeldElsewhere::LockHeldElsewhere(const std::filesystem::path& lockFile) {
#ifndef _WIN32
    descriptor_ = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor_ < 0 || flock(descriptor_, LOCK_EX | LOCK_NB) != 0)
        throw std::runtime_error("cannot hold " + lockFile.string());
#else
    (void)lockFile;
#endif
}

LockHeldElsewhere::~LockHeldElsewhere() {
#ifndef _WIN32
    if (descriptor_ >= 0) close(descriptor_);
#endif
}

bool waitForText(const std::filesystem::path& file, const std::string& text, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (readFile(file).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void prepareIdentityRun(const IdentityCase& run, const std::filesystem::path& folder,
                        const std::filesystem::path& committedTable, const std::string& resultName,
                        const std::string& fluenceName) {
    if (run.table == IdentityTable::Committed)
        std::filesystem::copy_file(committedTable, folder / engine::ELECTRON_DATA_FILE_NAME);
    else
        engine::saveElectronData(folder / engine::ELECTRON_DATA_FILE_NAME, backscatterStressTable());
    writeRunFile(folder, run.maxEnergyMeV, run.historyCount, resultName, fluenceName);
    if (run.spectrum == IdentitySpectrum::Beta8And2)
        writeBetaSpectrum(folder, 8.0, 2.0);
    else
        writeSingleBinSpectrum(folder);
}

}  // namespace testing_support
