#include "jet/salvage/version_probe.h"

#include <gtest/gtest.h>

#include <random>

#include "support/corpus.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

// Blanks the given byte ranges of a copy of the file.
std::vector<std::uint8_t> damaged(std::vector<std::uint8_t> bytes,
                                  std::initializer_list<std::pair<std::size_t, std::size_t>> ranges) {
  for (auto [offset, length] : ranges) {
    for (std::size_t i = offset; i < offset + length && i < bytes.size(); ++i) bytes[i] = 0;
  }
  return bytes;
}

TEST(GuessVersion, FindsTheFormatOfEveryCorpusFileFromItsPagesAlone) {
  auto files = testing::corpus_files();
  if (files.empty()) GTEST_SKIP() << "the sample databases are not here";
  for (const auto& path : files) {
    auto bytes = testing::read_file_bytes(path);
    Version truth = bytes.at(0x14) == 0 ? Version::Jet3 : Version::Jet4;
    std::size_t page = page_size(truth);
    struct Row {
      const char* damage;
      std::vector<std::uint8_t> bytes;
    } rows[] = {
        {"header blanked", damaged(bytes, {{0, page}})},
        {"header and catalog definition blanked", damaged(bytes, {{0, page}, {2 * page, page}})},
        {"header blanked, file cut to six pages", damaged({bytes.begin(), bytes.begin() + 6 * page}, {{0, page}})},
    };
    for (const auto& row : rows) {
      MemoryFile file(row.bytes);
      auto guess = guess_version(gather_version_evidence(file));
      ASSERT_TRUE(guess.has_value()) << path << ": " << row.damage;
      EXPECT_EQ(*guess, truth) << path << ": " << row.damage;
    }
  }
}

TEST(GuessVersion, GivesNoAnswerForWhatIsNoDatabase) {
  std::mt19937 random(7);
  std::vector<std::uint8_t> noise(64 * 2048);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  struct Row {
    const char* name;
    std::vector<std::uint8_t> bytes;
  } rows[] = {
      {"noise", noise},
      {"zeros", std::vector<std::uint8_t>(64 * 2048, 0)},
      {"shorter than a page", std::vector<std::uint8_t>(100, 0x01)},
  };
  for (const auto& row : rows) {
    MemoryFile file(row.bytes);
    EXPECT_FALSE(guess_version(gather_version_evidence(file)).has_value()) << row.name;
  }
}

}  // namespace
}  // namespace jet
