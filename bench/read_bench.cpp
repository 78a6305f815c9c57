// Micro-benchmarks of reading: decoding every row of a table with many rows,
// and verifying the largest sample database, both from memory so that the
// disk stays out of the measurement.
//
// Run: build/jet_read_bench (the sample databases must be present).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "jet/read/database.h"
#include "jet/verify/verify.h"

namespace {

std::vector<std::uint8_t> load(const std::string& name) {
  std::ifstream in(std::string(JET_CORPUS_DIR) + "/" + name, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void BM_DecodeRows(benchmark::State& state) {
  jet::MemoryFile file(load("jet4/v2000-compIndexTest.mdb"));
  if (file.size() == 0) return state.SkipWithError("sample database absent");
  jet::Database db(file);
  jet::Table table = db.table("Table1");
  std::int64_t rows = 0;
  for (auto _ : state) {
    table.scan([&](jet::RowPointer, std::vector<jet::Value>& values) {
      benchmark::DoNotOptimize(values.data());
      ++rows;
    });
  }
  state.SetItemsProcessed(rows);
}
BENCHMARK(BM_DecodeRows);

void BM_VerifyLargestSample(benchmark::State& state) {
  jet::MemoryFile file(load("jet4/v2003-test.mdb"));
  if (file.size() == 0) return state.SkipWithError("sample database absent");
  for (auto _ : state) benchmark::DoNotOptimize(jet::verify(file).total());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_VerifyLargestSample)->Unit(benchmark::kMillisecond);

}  // namespace
