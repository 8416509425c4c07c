// orvalis-fuzz: the mutation campaign over every reader and both simulators (see fuzz/campaign.h).
//   orvalis-fuzz [--seed N] [--cases N] [--case N] [--target NAME] [--timeout S] [--work DIR] [--data DIR]
#include "fuzz/campaign.h"
#include "fuzz/corpus.h"
#include "fuzz/curve_targets.h"
#include "fuzz/reader_targets.h"
#include "fuzz/run_targets.h"

#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

const char* const USAGE =
    "usage: orvalis-fuzz [--seed N] [--cases N] [--case N] [--target NAME] [--timeout S] [--work DIR] [--data DIR]\n";

std::string valueAfter(int& i, int argc, char** argv) {
    if (i + 1 >= argc) throw std::invalid_argument(std::string(argv[i]) + " needs a value");
    return argv[++i];
}

}  // namespace

int main(int argc, char** argv) {
    fuzz::CampaignOptions options;
    std::filesystem::path dataFolder = ORVALIS_DATA_DIR;
    options.workFolder = std::filesystem::temp_directory_path() / "orvalis-fuzz";
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "--seed")
                options.seed = std::stoull(valueAfter(i, argc, argv));
            else if (a == "--cases")
                options.casesPerTarget = std::stoi(valueAfter(i, argc, argv));
            else if (a == "--case")
                options.firstCase = std::stoi(valueAfter(i, argc, argv));
            else if (a == "--target")
                options.onlyTarget = valueAfter(i, argc, argv);
            else if (a == "--timeout")
                options.timeoutSeconds = std::stod(valueAfter(i, argc, argv));
            else if (a == "--work")
                options.workFolder = valueAfter(i, argc, argv);
            else if (a == "--data")
                dataFolder = valueAfter(i, argc, argv);
            else if (a == "--help" || a == "-h") {
                std::cout << USAGE;
                return 0;
            } else
                throw std::invalid_argument("unknown option " + a);
        }
    } catch (const std::exception& e) {
        std::cerr << "orvalis-fuzz: " << e.what() << "\n" << USAGE;
        return 2;
    }
    try {
        std::filesystem::remove_all(options.workFolder);
        for (const char* part : {"corpus", "seeds", "baseline"})
            std::filesystem::create_directories(options.workFolder / part);
        const fuzz::Corpus corpus = fuzz::makeCorpus(dataFolder, ORVALIS_SAMPLES_DIR, options.workFolder / "corpus");
        auto targets = fuzz::readerTargets(corpus, options.workFolder / "seeds");
        for (auto& target : fuzz::runTargets(corpus, options.workFolder / "baseline"))
            targets.push_back(std::move(target));
        for (auto& target : fuzz::curveTargets()) targets.push_back(std::move(target));
        const int failures = fuzz::runCampaign(targets, options, std::cout);
        return failures == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "orvalis-fuzz: the campaign could not be set up: " << e.what() << "\n";
        return 2;
    }
}
