#include "commission/commission_command.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "beamdata/beam_quality.h"
#include "beamdata/depth_dose_file.h"
#include "beamdata/exchange_files.h"
#include "beamdata/fit_protocol.h"
#include "beamdata/free_exchange.h"
#include "beamdata/ionisation_to_dose.h"
#include "beamdata/measured_curve_file.h"
#include "beamdata/range_levels.h"
#include "commission/child_process.h"
#include "engine/constants.h"
#include "engine/program_info.h"
#include "engine/result_file.h"
#include "engine/run_error.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace commission {

namespace fs = std::filesystem;

namespace {

constexpr int HISTORY_LIMIT = 2000000000;  // a count the simulators hold in a signed 32-bit integer
constexpr double PERCENT = 100.0;
constexpr const char* MODEL_CURVE_SUFFIX = "-model.pdd";

int positiveCount(const std::string& option, const std::string& text) {
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 1 || value > HISTORY_LIMIT)
        throw std::invalid_argument(option + " takes a whole number from 1 to " + std::to_string(HISTORY_LIMIT));
    return static_cast<int>(value);
}

Tolerances parseTolerances(const std::string& text) {
    Tolerances tolerance = defaultTolerances();
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        const auto equals = item.find('=');
        const std::string name = item.substr(0, equals);
        if (equals == std::string::npos || !tolerance.count(name))
            throw std::invalid_argument("--tolerance takes R90=mm,R80=mm,R50=mm,R10=mm, not \"" + item + "\"");
        char* end = nullptr;
        const double mm = std::strtod(item.c_str() + equals + 1, &end);
        if (*end != '\0' || !(mm >= 0.0 && mm < 100.0))
            throw std::invalid_argument("--tolerance: " + name + " needs a depth from 0 to 100 mm");
        tolerance[name] = mm;
    }
    return tolerance;
}

std::optional<double> numberText(const std::string& text) {
    if (text.empty() || text == "-" || text == "nan") return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::vector<double> numberList(const std::string& text) {
    std::vector<double> values;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) values.push_back(numberText(item).value_or(0.0));
    return values;
}

const std::string* fieldOf(const beamdata::ResultRecord& record, const std::string& key) {
    for (const auto& field : record.fields)
        if (field.key == key) return &field.value;
    return nullptr;
}

// "R100=23.10 R90=29.21 ..." into names and values ("-": not found).
std::vector<std::pair<std::string, std::optional<double>>> qualityValues(const std::string& fields) {
    std::vector<std::pair<std::string, std::optional<double>>> values;
    std::stringstream tokens(fields);
    std::string token;
    while (tokens >> token) {
        const auto equals = token.find('=');
        if (equals != std::string::npos)
            values.emplace_back(token.substr(0, equals), numberText(token.substr(equals + 1)));
    }
    return values;
}

std::string lastLine(const std::string& text) {
    std::stringstream lines(text);
    std::string line;
    std::string last;
    while (std::getline(lines, line))
        if (!line.empty()) last = line;
    const std::string prefix = "orvalis-fit: ";
    if (last.rfind(prefix, 0) == 0) last.erase(0, prefix.size());
    return last;
}

// A copy of the scattering table beside a run's exchange files, created new; an existing regular
// file is left as it is, anything else in its place is refused.
void provideTable(const fs::path& workFolder, const fs::path& beamFolder) {
    const fs::path target = beamFolder / engine::ELECTRON_DATA_FILE_NAME;
    std::ifstream in(workFolder / engine::ELECTRON_DATA_FILE_NAME, std::ios::binary);
    if (!in) throw engine::RunError(engine::ELECTRON_DATA_FILE_NAME, 0, "cannot be read in the work folder");
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
#ifndef _WIN32
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::error_code error;
        if (errno == EEXIST && fs::is_regular_file(fs::symlink_status(target, error))) return;
        throw engine::RunError(target.string(), 0, "cannot be created");
    }
    const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    if (!written) throw engine::RunError(target.string(), 0, "cannot be written");
#else
    std::error_code error;
    if (!fs::exists(target, error)) engine::writeFileAtomically(target, bytes);
#endif
}

// A simulator result as depth (its label, mm) and percent of its largest slab; the levels as the
// comparison window searches a result file.
void readResultCurve(const fs::path& file, std::vector<double>& depthMm, std::vector<double>& percent,
                     beamdata::RangeLevels* levels) {
    const beamdata::DepthDoseRecords records = beamdata::readDepthDoseFile(file);
    const double largest = *std::max_element(records.dose.begin(), records.dose.end());
    depthMm = records.labelMm;
    percent.clear();
    for (double d : records.dose) percent.push_back(largest > 0.0 ? PERCENT * d / largest : 0.0);
    if (levels != nullptr) *levels = beamdata::resultCurveLevels(records.dose);
}

void takeFitOutput(const std::string& output, const Tolerances& tolerance, BeamResult& r) {
    const std::string modelKey = r.model == "free" ? beamdata::FREE_MODEL_KEY : beamdata::GRID_KIND;
    std::stringstream lines(output);
    std::string line;
    std::optional<double> alpha;
    std::optional<double> beta;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto record = beamdata::parseResultLine(line);
        if (!record) continue;
        const std::string& kind = record->kind;
        auto text = [&](const std::string& key) {
            const std::string* value = fieldOf(*record, key);
            return value != nullptr ? *value : std::string();
        };
        if (kind == beamdata::FREE_KIND || (r.model == "beta" && kind == beamdata::GRID_KIND)) {
            for (const char* key : {"rms", "emax", "mean", "peak", "background", "smooth"})
                if (fieldOf(*record, key) != nullptr) r.fitFigures[key] = numberText(text(key));
            if (r.model == "beta") {
                alpha = numberText(text("alpha"));
                beta = numberText(text("beta"));
                r.fitFigures["alpha"] = alpha;
                r.fitFigures["beta"] = beta;
            }
        } else if (kind == "interval") {
            const auto low = numberText(text("low"));
            const auto high = numberText(text("high"));
            if (low && high) r.intervals[text("quantity")] = {*low, *high};
        } else if (kind == beamdata::SPECTRUM_KIND) {
            r.spectrumWeight = numberList(text("weights"));
        } else if (kind == "spectrum-band") {
            r.bandLow = numberList(text("low"));
            r.bandHigh = numberList(text("high"));
        } else {
            for (std::size_t k = 0; k < LEVEL_NAMES.size(); ++k) {
                if (kind != LEVEL_NAMES[k]) continue;
                LevelResult& level = r.levels[k];
                level.measuredMm = numberText(text("measured"));
                level.modelMm = numberText(text(modelKey));
                if (level.measuredMm && level.modelMm) {
                    level.differenceMm = differenceMm(*level.modelMm, *level.measuredMm);
                    level.pass = std::fabs(*level.differenceMm) <= tolerance.at(LEVEL_NAMES[k]) + 1e-9;
                }
            }
        }
    }
    if (r.model == "beta" && alpha && beta) {  // the Beta spectrum as the set-up window computes it
        const auto density = beamdata::relativeBetaDensity(*alpha, *beta);
        if (density) r.spectrumWeight.assign(density->begin() + 1, density->end());
    }
    const double emax = r.fitFigures.count("emax") ? r.fitFigures["emax"].value_or(0.0) : 0.0;
    r.spectrumEnergyMeV.clear();
    for (std::size_t j = 1; j <= r.spectrumWeight.size() && emax > 0.0; ++j)
        r.spectrumEnergyMeV.push_back(std::round(emax * static_cast<double>(j) / 100.0 * 1e6) / 1e6);
    if (r.model == "beta" && emax > 0.0 && !r.spectrumWeight.empty()) {
        double sum = 0.0, first = 0.0, peak = 0.0;
        for (std::size_t j = 0; j < r.spectrumWeight.size(); ++j) {
            sum += r.spectrumWeight[j];
            first += r.spectrumWeight[j] * r.spectrumEnergyMeV[j];
            if (r.spectrumWeight[j] > peak) {
                peak = r.spectrumWeight[j];
                r.fitFigures["peak"] = r.spectrumEnergyMeV[j];
            }
        }
        if (sum > 0.0) r.fitFigures["mean"] = std::round(first / sum * 1000.0) / 1000.0;
    }
}

// The exchange files of the fitted spectrum: for the free-form model exactly what orvalis-fit
// --exchange writes from the same output (the run spectrum, its name and titles); for the Beta model
// the set-up window's spectrum of the fitted alpha and beta. The result name comes from the label.
beamdata::ExchangeContent exchangeOf(const BeamResult& r, const std::string& fitOutput, beamdata::CalculationKind kind,
                                     int histories) {
    const fs::path nameSource(r.entry.label + ".csv");
    beamdata::ExchangeContent content;
    if (r.model == "free") {
        const auto fit = beamdata::parseFreeFitOutput(fitOutput);
        if (!fit) throw engine::RunError(r.entry.label + ": the fit gave no spectrum for the simulators");
        content = beamdata::freeExchangeContent(*fit, nameSource, kind);
    } else {
        const double alpha = r.fitFigures.at("alpha").value_or(0.0);
        const double beta = r.fitFigures.at("beta").value_or(0.0);
        const auto density = beamdata::relativeBetaDensity(alpha, beta);
        if (!density) throw engine::RunError(r.entry.label + ": the fitted Beta spectrum cannot be computed");
        content.kind = kind;
        content.maxEnergyMeV = std::round(r.fitFigures.at("emax").value_or(0.0) * 10.0) / 10.0;
        content.resultBaseName = beamdata::freeResultStem(nameSource) + "-beta";
        content.titleLine1 = beamdata::alphaTitleLine(alpha);
        content.titleLine2 = beamdata::betaTitleLine(beta);
        content.relativeWeight = *density;
    }
    content.historyText = std::to_string(histories);
    return content;
}

// Runs a simulator on the exchange files of the beam's folder; empty on success, else why not.
std::optional<std::string> simulate(const fs::path& program, const fs::path& beamFolder,
                                    const std::atomic<bool>& cancel) {
    const ChildResult run = runChild(program, {}, beamFolder, cancel);
    if (run.cancelled) return "stopped";
    if (run.exitStatus != 0)
        return program.filename().string() + " failed (" + std::to_string(run.exitStatus) +
               "): " + lastLine(run.errors);
    return std::nullopt;
}

void confirm(BeamResult& r, const fs::path& beamFolder, const std::string& resultName, const Tolerances& tolerance) {
    beamdata::RangeLevels levels{};
    const fs::path result = beamFolder / resultName;
    readResultCurve(result, r.confirmDepthMm, r.confirmPercent, &levels);
    // The run's own statistical uncertainty of each level, from Tolvane's .sd file beside the result.
    beamdata::RangeLevels sd{};
    if (const auto uncertainty = beamdata::readUncertaintyBeside(result)) {
        const beamdata::DepthDoseRecords records = beamdata::readDepthDoseFile(result);
        sd = beamdata::resultCurveLevelUncertainties(records.dose, uncertainty->dose);
    }
    for (std::size_t k = 0; k < LEVEL_NAMES.size(); ++k) {
        ConfirmLevel& c = r.confirmLevels[k];
        if (levels[k]) c.calculatedMm = std::round(*levels[k] * 1000.0) / 1000.0;
        if (sd[k]) c.sdMm = std::round(*sd[k] * 1000.0) / 1000.0;
        const auto& measured = r.levels[k].measuredMm;
        if (c.calculatedMm && measured) {
            c.differenceMm = differenceMm(*c.calculatedMm, *measured);
            c.pass = std::fabs(*c.differenceMm) <= tolerance.at(LEVEL_NAMES[k]) + 1e-9;
        }
    }
}

// The fit's progress as a share of the whole fit: the basis, when it is simulated, takes most of it.
std::optional<int> fitPercent(const std::string& line) {
    constexpr int BASIS_PERCENT = 90;
    const auto progress = beamdata::parseProgressLine(line);
    if (!progress) return std::nullopt;
    const double fraction = std::min(1.0, static_cast<double>(progress->done) / progress->total);
    if (progress->stage == "basis") return static_cast<int>(BASIS_PERCENT * fraction);
    return BASIS_PERCENT + static_cast<int>((100 - BASIS_PERCENT) * fraction);
}

std::string isoTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string fixed(const std::optional<double>& value, int decimals) {
    if (!value) return "-";
    std::ostringstream s;
    s.setf(std::ios::fixed);
    s.precision(decimals);
    s << *value;
    return s.str();
}

std::string beamLine(const BeamResult& r) {
    if (!r.fitted) return r.entry.label + ": skipped: " + r.reason;
    const std::size_t r50 = 2;
    std::string line = r.entry.label + ": R50 " + fixed(r.levels[r50].measuredMm, 2) + " mm measured, " +
                       fixed(r.levels[r50].modelMm, 2) + " mm model; worst level difference " +
                       fixed(std::isfinite(r.worstDifferenceMm()) ? std::optional(r.worstDifferenceMm()) : std::nullopt,
                             2) +
                       " mm";
    if (r.confirmHistories) line += "; confirmed by Tolvane";
    return line + (r.pass() ? "; pass" : "; OUTSIDE TOLERANCE");
}

// "RESULT beam n=3 status=fitted pass=1 R50=32.294 worst=0.070" for the window's table.
beamdata::ResultRecord beamRecord(std::size_t n, const BeamResult& r) {
    beamdata::ResultRecord record{"beam", {}};
    record.fields.push_back({"n", std::to_string(n)});
    record.fields.push_back({"status", r.fitted ? "fitted" : "skipped"});
    record.fields.push_back({"pass", r.pass() ? "1" : "0"});
    record.add("R50", r.levels[2].measuredMm.value_or(std::nan("")), "%.3f");
    record.add("worst", r.worstDifferenceMm(), "%.3f");
    return record;
}

}  // namespace

std::string commissionUsage() {
    return "usage: orvalis-commission INPUT... --out DIR [--jobs N] [--model free|beta] [--confirm HISTORIES]\n"
           "                          [--kernel HISTORIES] [--tolerance R90=0.5,R80=0.5,R50=0.5,R10=1.0] [--title "
           "TEXT]\n"
           "  INPUT: measured files or folders (searched for .csv, .mcc, .asc, .txt, .cdp); every electron depth\n"
           "  curve is fitted by orvalis-fit in the current folder (ELDAT.dat, water.csda, the basis cache).\n"
           "  Writes DIR/commissioning.json, .csv and .pdf and each beam's exchange files in DIR/beams/<label>/.\n"
           "  --confirm runs Tolvane on each fitted spectrum, --kernel runs Brisella. Exit status 0: every beam\n"
           "  fitted within tolerance; 3: some beam outside it; 1: an error.\n";
}

CommissionOptions parseCommissionArguments(const std::vector<std::string>& arguments) {
    CommissionOptions o;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= arguments.size()) throw std::invalid_argument(a + " needs a value");
            return arguments[++i];
        };
        if (a == "--out") {
            o.outFolder = value();
        } else if (a == "--jobs") {
            o.jobs = positiveCount(a, value());
        } else if (a == "--model") {
            o.model = value();
            if (o.model != "free" && o.model != "beta") throw std::invalid_argument("--model takes free or beta");
        } else if (a == "--confirm") {
            o.confirmHistories = positiveCount(a, value());
        } else if (a == "--kernel") {
            o.kernelHistories = positiveCount(a, value());
        } else if (a == "--tolerance") {
            o.tolerance = parseTolerances(value());
        } else if (a == "--title") {
            o.title = value();
        } else if (a == "--skip") {
            o.skipLabels.push_back(value());
        } else if (a.size() > 1 && a[0] == '-') {
            throw std::invalid_argument("unknown option " + a);
        } else {
            o.inputs.emplace_back(a);
        }
    }
    if (o.inputs.empty()) throw std::invalid_argument("no measured file or folder given");
    if (o.outFolder.empty()) throw std::invalid_argument("--out DIR is required");
    return o;
}

BeamResult processBeam(const BeamEntry& entry, const CommissionOptions& options, const Programs& programs,
                       const fs::path& workFolder, const std::atomic<bool>& cancel,
                       const std::function<void(int)>& onProgress) {
    BeamResult r;
    r.entry = entry;
    r.model = options.model;
    if (entry.skipReason) {
        r.reason = *entry.skipReason;
        return r;
    }
    r.quantity = entry.info.quantity == beamdata::Quantity::Ionisation ? "ionisation" : "dose";
    try {
        const beamdata::MeasuredFile file = beamdata::readMeasuredFile(entry.file);
        const beamdata::DepthScan dose = beamdata::depthDoseOf(
            file.depthScans.at(static_cast<std::size_t>(entry.scan - 1)), beamdata::QuantityChoice::AsDetected,
            file.fileName);
        r.quality = qualityValues(beamdata::qualityFields(beamdata::beamQuality(dose.depthMm, dose.value)));
        const double largest = *std::max_element(dose.value.begin(), dose.value.end());
        r.measuredDepthMm = dose.depthMm;
        for (double v : dose.value) r.measuredPercent.push_back(PERCENT * v / largest);

        const fs::path beamFolder = fs::absolute(options.outFolder / "beams" / entry.label);
        fs::create_directories(beamFolder);
        const fs::path modelCurve = beamFolder / (entry.label + MODEL_CURVE_SUFFIX);
        const ChildResult fitRun = runChild(
            programs.fit,
            {fs::absolute(entry.file).string(), "--scan", std::to_string(entry.scan), "--model", options.model, "--rp",
             "measured", "--out", modelCurve.string()},
            workFolder, cancel, [&](const std::string& line) {
                if (const auto percent = fitPercent(line); percent && onProgress) onProgress(*percent);
            });
        if (fitRun.cancelled) {
            r.reason = "stopped";
            return r;
        }
        engine::writeFileAtomically(beamFolder / "fit.txt", fitRun.output);
        if (fitRun.exitStatus != 0) {
            r.reason = lastLine(fitRun.errors.empty() ? fitRun.output : fitRun.errors);
            return r;
        }
        takeFitOutput(fitRun.output, options.tolerance, r);
        readResultCurve(modelCurve, r.modelDepthMm, r.modelPercent, nullptr);

        const bool needsTable = options.kernelHistories || options.confirmHistories;
        if (needsTable) provideTable(workFolder, beamFolder);
        if (options.kernelHistories) {
            const auto content = exchangeOf(r, fitRun.output, beamdata::CalculationKind::Kernel,
                                            *options.kernelHistories);
            beamdata::writeExchangeFiles(beamFolder, content);
            if (auto failure = simulate(programs.brisella, beamFolder, cancel)) {
                r.reason = *failure;
                return r;
            }
            r.kernelHistories = options.kernelHistories;
            r.kernelFile =
                (fs::path("beams") / entry.label / (content.resultBaseName + beamdata::KERNEL_EXTENSION)).string();
        }
        const int histories = options.confirmHistories.value_or(std::atoi(beamdata::DEPTH_DOSE_HISTORY_TEXT));
        const auto content = exchangeOf(r, fitRun.output, beamdata::CalculationKind::DepthDose, histories);
        beamdata::writeExchangeFiles(beamFolder, content);
        if (options.confirmHistories) {
            if (auto failure = simulate(programs.tolvane, beamFolder, cancel)) {
                r.reason = *failure;
                return r;
            }
            r.confirmHistories = options.confirmHistories;
            confirm(r, beamFolder, content.resultBaseName + beamdata::DEPTH_DOSE_EXTENSION, options.tolerance);
        }
        r.fitted = true;
    } catch (const std::exception& e) {  // engine::RunError names its file
        r.fitted = false;
        r.reason = e.what();
    }
    return r;
}

int runCommission(const CommissionOptions& options, const Programs& programs, const ReportPainter& painter,
                  std::ostream& out, std::ostream& errors, const std::atomic<bool>& cancel) {
    std::vector<BeamEntry> entries;
    try {
        entries = listBeams(measuredFiles(options.inputs));
        for (BeamEntry& entry : entries)
            if (!entry.skipReason && std::count(options.skipLabels.begin(), options.skipLabels.end(), entry.label))
                entry.skipReason = "left out by the user";
        fs::create_directories(options.outFolder);
    } catch (const std::exception& e) {
        errors << "orvalis-commission: " << e.what() << "\n";
        return 1;
    }
    std::vector<std::size_t> toFit;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (entries[k].skipReason)
            out << entries[k].label << ": skipped: " << *entries[k].skipReason << "\n";
        else
            toFit.push_back(k);
    }
    if (toFit.empty()) {
        errors << "orvalis-commission: no electron depth curve among the inputs\n";
        return 1;
    }
    const fs::path workFolder = fs::current_path();
    std::vector<BeamResult> results(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k)
        if (entries[k].skipReason) results[k] = processBeam(entries[k], options, programs, workFolder, cancel);

    std::mutex outputLock;
    std::atomic<std::size_t> next{0};
    int done = 0;
    out << beamdata::progressLine({"beam", 0, static_cast<int>(toFit.size())}) << std::flush;
    auto worker = [&]() {
        for (std::size_t i = next++; i < toFit.size() && !cancel.load(); i = next++) {
            const std::size_t k = toFit[i];
            const std::string stage = "beam-" + std::to_string(i + 1);
            int shown = -1;
            BeamResult result = processBeam(entries[k], options, programs, workFolder, cancel, [&](int percent) {
                if (percent == shown) return;
                shown = percent;
                const std::lock_guard<std::mutex> lock(outputLock);
                out << beamdata::progressLine({stage, percent, 100}) << std::flush;
            });
            if (cancel.load()) return;
            const std::lock_guard<std::mutex> lock(outputLock);
            out << beamdata::progressLine({"beam", ++done, static_cast<int>(toFit.size())}) << beamLine(result) << "\n"
                << beamdata::resultLine(beamRecord(i + 1, result)) << std::flush;
            results[k] = std::move(result);
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t jobs = std::min<std::size_t>(options.jobs > 0 ? static_cast<std::size_t>(options.jobs) : cores,
                                                   toFit.size());
    std::vector<std::thread> threads;
    for (std::size_t j = 0; j < jobs; ++j) threads.emplace_back(worker);
    for (std::thread& t : threads) t.join();
    if (cancel.load()) {
        errors << "orvalis-commission: stopped; " << done << " of " << toFit.size()
               << " beams done (their folders stay), no report written\n";
        return 130;
    }

    RunInfo run{engine::programVersion(), isoTimeNow(), options.title, options.tolerance};
    bool allFitted = true;
    bool allPass = true;
    for (std::size_t k : toFit) {
        allFitted = allFitted && results[k].fitted;
        allPass = allPass && (!results[k].fitted || results[k].pass());
    }
    try {
        engine::writeFileAtomically(options.outFolder / "commissioning.json",
                                    commissioningJson(run, results).dump(2) + "\n");
        engine::writeFileAtomically(options.outFolder / "commissioning.csv", commissioningCsv(results));
        const std::string pdf = painter ? painter(run, results) : std::string();
        if (!pdf.empty()) engine::writeFileAtomically(options.outFolder / "commissioning.pdf", pdf);
    } catch (const std::exception& e) {
        errors << "orvalis-commission: " << e.what() << "\n";
        return 1;
    }
    out << "Report written: " << (options.outFolder / "commissioning.json").string() << ", .csv"
        << (painter ? ", .pdf" : "") << "\n";
    if (!allFitted) return 1;
    return allPass ? 0 : 3;
}

}  // namespace commission
