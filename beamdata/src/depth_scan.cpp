#include "beamdata/depth_scan.h"

#include "beamdata/text_value.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "measured_text.h"

namespace beamdata {
namespace {

std::string number(double value) { return printfNumber("%.10g", value); }

}  // namespace

void orderFromSurface(DepthScan& scan) {
    if (scan.depthMm.empty()) return;
    const auto [lowest, highest] = std::minmax_element(scan.depthMm.begin(), scan.depthMm.end());
    if (std::fabs(*lowest) > std::fabs(*highest))
        for (double& depth : scan.depthMm) depth = -depth;
    std::vector<std::size_t> order(scan.depthMm.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return scan.depthMm[a] < scan.depthMm[b]; });
    std::vector<double> depths;
    std::vector<double> values;
    for (std::size_t k = 0; k < order.size();) {
        // Points at one depth (a scan that stops and goes on) count once, with their mean.
        const double depth = scan.depthMm[order[k]];
        double sum = 0.0;
        std::size_t count = 0;
        for (; k < order.size() && scan.depthMm[order[k]] == depth; ++k, ++count) sum += scan.value[order[k]];
        depths.push_back(depth);
        values.push_back(sum / static_cast<double>(count));
    }
    scan.depthMm = std::move(depths);
    scan.value = std::move(values);
}

bool isElectronBeam(const ScanInfo& info) {
    const std::string beam = detail::upperCase(info.beamType);
    return !(beam == "X" || detail::startsWith(beam, "PHO"));
}

std::string describeScan(const ScanInfo& info, bool converted) {
    std::vector<std::string> parts;
    if (info.energyMeV) parts.push_back(number(*info.energyMeV) + (isElectronBeam(info) ? " MeV" : " MV photons"));
    if (info.fieldInplaneMm && info.fieldCrossplaneMm)
        parts.push_back(number(*info.fieldInplaneMm) + " x " + number(*info.fieldCrossplaneMm) + " mm");
    if (info.ssdMm) parts.push_back("SSD " + number(*info.ssdMm) + " mm");
    if (!info.detector.empty()) parts.push_back(info.detector);
    if (info.quantity == Quantity::Ionisation)
        parts.push_back(converted ? "ionisation \xE2\x86\x92 dose" : "ionisation");
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
    return text.empty() ? std::string("no beam data in the file") : text;
}

}  // namespace beamdata
