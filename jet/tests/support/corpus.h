// The sample databases written by Access, found through JET_CORPUS_DIR.
#pragma once

#include <string>
#include <vector>

namespace jet::testing {

// The path of a file within the corpus, e.g. "jet4/v2000-test.mdb".
std::string corpus_file(const std::string& name);

// Every .mdb file of the corpus, sorted; empty when the corpus is absent.
std::vector<std::string> corpus_files();

}  // namespace jet::testing
