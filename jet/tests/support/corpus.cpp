#include "support/corpus.h"

#include <algorithm>
#include <filesystem>

namespace jet::testing {

std::string corpus_file(const std::string& name) { return std::string(JET_CORPUS_DIR) + "/" + name; }

std::vector<std::string> corpus_files() {
  std::vector<std::string> files;
  std::error_code error;
  for (const char* sub : {"jet3", "jet4"}) {
    std::filesystem::path folder = std::filesystem::path(JET_CORPUS_DIR) / sub;
    for (auto it = std::filesystem::directory_iterator(folder, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
      if (it->path().extension() == ".mdb") files.push_back(it->path().generic_string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace jet::testing
