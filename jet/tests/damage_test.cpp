// Damaged databases never crash the engine: every damaged copy ends in
// findings or a clean jet::Error from both the verifier and a full read of
// every row (read_everything), with allocations bounded and every walk
// finite. Structural damage that cannot go unseen (a partial page, a pointer
// loop, noise over the catalog) must be detected.
//
// The sweeps sample their positions (deterministically) so that the whole
// file also runs in reasonable time under the sanitizers.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/allocation_limit.h"
#include "support/corpus.h"
#include "support/damage.h"
#include "support/read_everything.h"

namespace jet::testing {
namespace {

// No single allocation a damaged small file provokes may exceed this.
constexpr std::size_t kAllocationLimit = 64u << 20;


// Small files that between them hold every structure kind: Jet 3 and Jet 4,
// long values (inline, single and chained), overflow rows, multi-level
// indexes.
const char* const kSamples[] = {
    "jet3/v1997-overflowTest.mdb",
    "jet3/v1997-indexTest.mdb",
    "jet4/v2000-overflowTest.mdb",
    "jet4/v2000-compIndexTest.mdb",
};

class DamagedSample : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    std::string path = testing::corpus_file(GetParam());
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "sample database " << path << " is absent";
    image_ = load_image(path);
    ReadOutcome healthy = read_everything(image_);
    ASSERT_FALSE(healthy.detected()) << "the undamaged sample must read cleanly";
    ASSERT_GT(healthy.rows_read, 0u);
  }

  // Runs both paths over a damaged copy; only an escape (crash, foreign
  // exception, oversized allocation) fails here.
  ReadOutcome run(const Image& damaged, const std::string& what) {
    SCOPED_TRACE(what);
    AllocationLimit limit(kAllocationLimit);
    ++runs_;
    ReadOutcome outcome;
    EXPECT_NO_THROW(outcome = read_everything(damaged)) << what;
    if (outcome.detected()) ++detected_;
    return outcome;
  }

  // One byte value per sampled position, rotating through the sweep values,
  // so each position costs one run.
  void sweep(std::size_t begin, std::size_t end, std::size_t budget, const std::string& what) {
    for (std::size_t position : sample_positions(begin, end, budget, begin)) {
      auto values = sweep_values(image_[position]);
      std::uint8_t value = values[position % values.size()];
      run(with_byte(image_, position, value), what + " byte " + std::to_string(position));
    }
  }

  std::size_t page_size() const { return image_page_size(image_); }

  Image image_;
  std::size_t runs_ = 0;
  std::size_t detected_ = 0;
};

TEST_P(DamagedSample, HeaderSweep) {
  // The decoded fields lie in the first 0xA0 bytes: every one of them, then
  // a sample of the rest of page 0.
  sweep(0, 0xA0, 0xA0, "header");
  sweep(0xA0, page_size(), 64, "header page");
}

TEST_P(DamagedSample, StructurePageSweeps) {
  struct Target {
    const char* name;
    std::optional<std::size_t> page;
  };
  auto first = [](const std::vector<std::size_t>& pages) {
    return pages.empty() ? std::nullopt : std::optional<std::size_t>(pages.front());
  };
  std::vector<Target> targets = {
      {"catalog definition", 2},
      {"data page", first_user_data_page(image_)},
      {"long-value page", first(long_value_pages(image_))},
      {"index leaf", first(pages_of_type(image_, 0x04))},
      {"index node", first(pages_of_type(image_, 0x03))},
      {"usage map page", first(pages_of_type(image_, 0x05))},
      {"free-page map", 1},
  };
  for (const Target& target : targets) {
    if (!target.page) continue;
    std::size_t start = *target.page * page_size();
    // Headers, counts and offsets sit at the start of a page: sweep it
    // densely, then sample the rest.
    sweep(start, start + 64, 64, target.name);
    sweep(start + 64, start + page_size(), 48, target.name);
  }
}

TEST_P(DamagedSample, TruncationIsAlwaysNoticedInsideAPage) {
  std::size_t pages = page_count(image_);
  for (std::size_t page = 1; page < pages; ++page) {
    run(truncated(image_, page * page_size()), "cut before page " + std::to_string(page));
    ReadOutcome inside = run(truncated(image_, page * page_size() + page_size() / 2 + 1),
                             "cut inside page " + std::to_string(page));
    EXPECT_TRUE(inside.detected()) << "a partial page " << page << " went unnoticed";
  }
  run(truncated(image_, 0), "empty file");
  run(truncated(image_, 0x17), "cut inside the signature");
}

TEST_P(DamagedSample, NoisePages) {
  for (std::size_t page = 1; page < page_count(image_); ++page) {
    for (bool keep_type : {false, true}) {
      run(with_noise_page(image_, page, 7, keep_type),
          "noise on page " + std::to_string(page) + (keep_type ? " behind its type" : ""));
    }
  }
  EXPECT_TRUE(run(with_noise_page(image_, 2, 7, true), "noise on the catalog").detected());
}

TEST_P(DamagedSample, PointerLoopsEndAndAreNoticed) {
  struct Row {
    std::string what;
    Image damaged;
    bool must_detect;
  };
  std::vector<Row> rows;
  rows.push_back({"catalog definition continues on itself", with_tdef_next(image_, 2, 2), true});
  for (std::size_t tdef : pages_of_type(image_, 0x02)) {
    rows.push_back({"definition " + std::to_string(tdef) + " continues on the catalog",
                    with_tdef_next(image_, tdef, 2), tdef == 2});
  }
  for (std::size_t page : long_value_pages(image_)) {
    rows.push_back({"long-value rows of page " + std::to_string(page) + " link to themselves",
                    with_lval_rows_linked_to_self(image_, page), false});
  }
  for (std::size_t page : pages_of_type(image_, 0x04)) {
    rows.push_back({"index leaf " + std::to_string(page) + " is its own next sibling",
                    with_index_next(image_, page, static_cast<std::uint32_t>(page)), false});
  }
  for (const Row& row : rows) {
    ReadOutcome outcome = run(row.damaged, row.what);
    if (row.must_detect) {
      EXPECT_TRUE(outcome.detected()) << row.what;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, DamagedSample, ::testing::ValuesIn(kSamples),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace jet::testing
