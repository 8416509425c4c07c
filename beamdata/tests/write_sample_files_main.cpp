// Writes the sample water-tank files into a folder: write-sample-scans EXAMPLE.csv FOLDER.
#include <fstream>
#include <iostream>

#include "engine/run_error.h"
#include "sample_files.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: write-sample-scans EXAMPLE.csv FOLDER\n";
        return 1;
    }
    try {
        for (const auto& [name, text] : beamdata::testing::sampleFiles(argv[1])) {
            std::ofstream out(std::filesystem::path(argv[2]) / name, std::ios::binary);
            out << text;
            if (!out) {
                std::cerr << "write-sample-scans: cannot write " << name << "\n";
                return 1;
            }
        }
    } catch (const engine::RunError& e) {
        std::cerr << "write-sample-scans: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
