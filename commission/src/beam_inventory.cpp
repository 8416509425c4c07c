#include "commission/beam_inventory.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <system_error>

#include "beamdata/curve_plausibility.h"
#include "beamdata/measured_curve_file.h"
#include "engine/run_error.h"

namespace commission {

namespace fs = std::filesystem;

bool isMeasuredFileName(const fs::path& path) {
    std::string ending = path.extension().string();
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ending == ".csv" || ending == ".mcc" || ending == ".asc" || ending == ".txt" || ending == ".cdp";
}

std::vector<fs::path> measuredFiles(const std::vector<fs::path>& inputs) {
    std::vector<fs::path> files;
    for (const fs::path& input : inputs) {
        std::error_code error;
        if (fs::is_directory(input, error)) {
            std::vector<fs::path> found;
            // Links are not followed into other folders: a shared folder may link anywhere.
            for (fs::recursive_directory_iterator it(input, fs::directory_options::skip_permission_denied, error), end;
                 !error && it != end; it.increment(error)) {
                if (it->is_regular_file(error) && !it->is_symlink(error) && isMeasuredFileName(it->path()))
                    found.push_back(it->path());
            }
            if (error) throw engine::RunError(input.string(), 0, "the folder cannot be searched: " + error.message());
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else if (fs::exists(input, error)) {
            files.push_back(input);
        } else {
            throw engine::RunError(input.string(), 0, "no such file or folder");
        }
    }
    return files;
}

std::vector<BeamEntry> listBeams(const std::vector<fs::path>& files) {
    std::vector<BeamEntry> beams;
    for (const fs::path& path : files) {
        const std::string stem = path.stem().string();
        try {
            const beamdata::MeasuredFile file = beamdata::readMeasuredFile(path);
            const bool several = file.depthScans.size() > 1;
            for (std::size_t k = 0; k < file.depthScans.size(); ++k) {
                BeamEntry beam;
                beam.file = path;
                beam.scan = static_cast<int>(k + 1);
                beam.label = several ? stem + "#" + std::to_string(beam.scan) : stem;
                beam.info = file.depthScans[k].info;
                const beamdata::DepthScan& scan = file.depthScans[k];
                if (!beamdata::isElectronBeam(beam.info))
                    beam.skipReason = "a photon depth curve (beam type " + beam.info.beamType +
                                      "), not an electron beam";
                else if (const auto refusal = beamdata::curveRefusal(scan.depthMm, scan.value))
                    beam.skipReason = refusal->reason;
                beams.push_back(std::move(beam));
            }
            if (file.otherScans > 0) {
                BeamEntry other;
                other.file = path;
                other.label = stem + "#profiles";
                other.skipReason = std::to_string(file.otherScans) +
                                   (file.otherScans == 1 ? " profile or other scan" : " profiles or other scans") +
                                   " of the file, not depth curves";
                beams.push_back(std::move(other));
            }
        } catch (const engine::RunError& e) {
            BeamEntry unreadable;
            unreadable.file = path;
            unreadable.label = stem;
            unreadable.skipReason = e.what();
            beams.push_back(std::move(unreadable));
        }
    }
    std::map<std::string, int> seen;
    for (BeamEntry& beam : beams) {
        const int count = ++seen[beam.label];
        if (count > 1) beam.label += "-" + std::to_string(count);
    }
    return beams;
}

}  // namespace commission
