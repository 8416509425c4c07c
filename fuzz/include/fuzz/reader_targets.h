#pragma once
// Every reader of the system on mutations of the files it reads: the simulators' ELDAT.dat,
// Nimbrola.dat and Nimbrola.txt; orvalis-fit's measured file, water.csda and basis file; the
// front end's water.csda, measured, depth-dose, kernel, fluence and fitted-curve files and the
// fit's output lines. A reader refuses (with its file named, where it gives messages) or gives
// values that are sound for what is done with them next.
#include "fuzz/corpus.h"
#include "fuzz/target.h"

#include <memory>
#include <vector>

namespace fuzz {

// `seedFolder` (an empty folder) receives the whole files that the readers read once as the
// reference for cut files.
std::vector<std::unique_ptr<Target>> readerTargets(const Corpus& corpus, const std::filesystem::path& seedFolder);

}  // namespace fuzz
