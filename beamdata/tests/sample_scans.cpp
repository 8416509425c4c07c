#include "sample_scans.h"

#include <cmath>
#include <cstdio>

namespace beamdata::testing {
namespace {

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// The points in the order and sign they are written.
struct Point {
    double position;
    double value;
};
std::vector<Point> writtenPoints(const SampleScan& s) {
    std::vector<Point> points;
    for (std::size_t k = 0; k < s.curve.depthMm.size(); ++k) {
        const double position = s.curve.depthMm[k];
        points.push_back({!s.profile && s.upwardDepths ? -position : position, s.curve.value[k]});
    }
    if (s.deepestFirst) std::vector<Point>(points.rbegin(), points.rend()).swap(points);
    return points;
}

}  // namespace

SampleScan profileScan(double depthMm, double fieldMm) {
    SampleScan s;
    s.profile = true;
    for (double x = -0.75 * fieldMm; x <= 0.75 * fieldMm + 1e-9; x += 2.0) {
        s.curve.depthMm.push_back(x);
        s.curve.value.push_back(100.0 * 0.5 * std::erfc((std::fabs(x) - 0.5 * fieldMm) / 3.0) + 0.4);
    }
    s.curve.info.fileScan = static_cast<int>(depthMm);  // the depth, kept for the writers
    return s;
}

std::string mccText(const std::vector<SampleScan>& scans) {
    std::string t = "BEGIN_SCAN_DATA\n\tFORMAT=CC-Export-V1.9\n\tFILE_CREATION_DATE=01-Mar-2024 10:00:00\n";
    int n = 0;
    for (const SampleScan& s : scans) {
        const std::string number = std::to_string(++n);
        t += "\tBEGIN_SCAN " + number + "\n";
        t += "\t\tTASK_NAME=tbaScan\n\t\tMODALITY=EL\n";
        t += "\t\tENERGY=" + format("%.2f", s.energyMeV) + "\n";
        t += "\t\tSSD=" + format("%.2f", s.ssdMm) + "\n";
        t += "\t\tFIELD_INPLANE=" + format("%.2f", s.fieldMm) + "\n";
        t += "\t\tFIELD_CROSSPLANE=" + format("%.2f", s.fieldMm) + "\n";
        t += std::string("\t\tSCAN_CURVETYPE=") +
             (s.profile ? (n % 2 ? "INPLANE_PROFILE" : "CROSSPLANE_PROFILE") : "PDD") + "\n";
        if (s.profile) t += "\t\tSCAN_DEPTH=" + format("%.2f", s.curve.info.fileScan) + "\n";
        t += std::string("\t\tDETECTOR=") + (s.chamber ? "34045_0123" : "60017_0456") + "\n";
        t += "\t\tDETECTOR_NAME=" + s.detectorName + "\n";
        t += "\t\tBEGIN_DATA\n";
        for (const Point& p : writtenPoints(s))
            t += "\t\t\t" + format("%.2f", p.position) + "\t" + format("%.2fE-03", 10.0 * p.value) + "\t" +
                 format("%.2fE-03", 1000.0) + "\n";
        t += "\t\tEND_DATA\n\tEND_SCAN " + number + "\n";
    }
    return t + "END_SCAN_DATA\n";
}

std::string rfa300Text(const std::vector<SampleScan>& scans) {
    std::string t = ":MSR \t" + std::to_string(scans.size()) + "\t # No. of measurement in file\n";
    t += ":SYS BDS 0 # Beam Data Scanner System\n#\n# RFA300 ASCII Measurement Dump ( BDS format )\n#\n";
    int n = 0;
    for (const SampleScan& s : scans) {
        const std::vector<Point> points = writtenPoints(s);
        t += "# Measurement number \t" + std::to_string(++n) + "\n#\n";
        t += "%VNR 1.0\n%MOD \tRAT\n%TYP \tSCN \n";
        t += std::string("%SCN \t") + (s.profile ? "PRO" : "DPT") + " \n";
        t += std::string("%FLD \t") + (s.chamber ? "ION" : "SEM") + " \n";
        t += "%DAT \t01-03-2024 \n%TIM \t10:00:00 \n";
        t += "%FSZ \t" + format("%.0f", s.fieldMm) + "\t" + format("%.0f", s.fieldMm) + "\n";
        t += "%BMT \tELE\t" + format("%7.1f", s.energyMeV) + "\n";
        t += "%SSD \t" + format("%.0f", s.ssdMm) + "\n%BUP \t0\n%BRD \t1000\n";
        t += "%PTS \t" + std::to_string(points.size()) + "\n";
        const auto xyz = [&](const Point& p) {
            const double depth = s.profile ? s.curve.info.fileScan : p.position;
            return format("%7.1f", s.profile ? p.position : 0.0) + "\t" + format("%7.1f", 0.0) + "\t" +
                   format("%7.1f", depth);
        };
        t += "%STS \t" + xyz(points.front()) + " # Start Scan values in mm ( X , Y , Z )\n";
        t += "%EDS \t" + xyz(points.back()) + " # End Scan values in mm ( X , Y , Z )\n";
        t += "#\n#\t  X      Y      Z     Dose\n#\n";
        for (const Point& p : points) t += "= \t" + xyz(p) + "\t" + format("%7.2f", p.value) + "\n";
        t += ":EOM  # End of Measurement\n";
    }
    return t + ":EOF # End of File\n";
}

std::string w2cadText(const std::vector<SampleScan>& scans) {
    std::string t = "$NUMS " + format("%03.0f", static_cast<double>(scans.size())) + "\n";
    for (const SampleScan& s : scans) {
        const std::vector<Point> points = writtenPoints(s);
        t += "$STOM\n%VERSION 02\n%DATE 01-03-2024\n";
        t += std::string("%DETY ") + (s.chamber ? "CHA" : "DIO") + "\n%BMTY ELE\n";
        t += std::string("%TYPE ") + (s.profile ? "OPP" : "OPD") + "\n";
        t += std::string("%AXIS ") + (s.profile ? "X" : "Z") + "\n";
        t += "%PNTS " + format("%03.0f", static_cast<double>(points.size())) + "\n%STEP 010\n";
        t += "%SSD " + format("%.0f", s.ssdMm) + "\n";
        t += "%FLSZ " + format("%.0f", s.fieldMm) + "*" + format("%.0f", s.fieldMm) + "\n";
        for (const Point& p : points) {
            const double x = s.profile ? p.position : 0.0;
            const double z = s.profile ? s.curve.info.fileScan : p.position;
            t += "< " + format("%+06.1f", x) + " " + format("%+06.1f", 0.0) + " " + format("%+06.1f", z) + " " +
                 format("%+06.1f", p.value) + " >\n";
        }
        t += "$ENOM\n";
    }
    return t + "$ENOF\n";
}

std::string csvText(const DepthScan& curve) {
    std::string t = "depth [mm], dose\n";
    for (std::size_t k = 0; k < curve.depthMm.size(); ++k)
        t += format("%.2f", curve.depthMm[k]) + ", " + format("%.3f", curve.value[k]) + "\n";
    return t;
}

}  // namespace beamdata::testing
