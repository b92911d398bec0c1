// Cost of keeping a million thermal records in a result grid: time to append them and bytes
// held per record (the store's own count and the allocator's), and the time to read one
// column back as numbers, as the chart fill does.
#include "run/ResultRowStore.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <optional>
#include <string>
#include <vector>

#include "format/NumberFormat.h"

namespace {

using quillane::ResultRowStore;

constexpr int kRecords = 1'000'000;
constexpr int kPool = 4096;

// Rows as the thermal writer makes them: the time, `nodes` temperatures, empty cells up to
// eight temperatures, the thickness, each field followed by a tab.
std::vector<std::string> MakeRows(int nodes) {
  const quillane::format::NumberPattern time("00.000000000");
  const quillane::format::NumberPattern temperature("###0.00");
  const quillane::format::NumberPattern thickness("#.000000");
  std::vector<std::string> rows;
  rows.reserve(kPool);
  for (int i = 0; i < kPool; ++i) {
    std::string row;
    time.AppendTo(row, 0.0123456789 * i + 1.0 / 3.0);
    row += '\t';
    for (int node = 1; node <= 8; ++node) {
      if (node <= nodes) temperature.AppendTo(row, 573.29 + 0.731 * i + 1.37 * node);
      row += '\t';
    }
    thickness.AppendTo(row, 0.0025 + 1e-6 * (i % 97));
    row += '\t';
    rows.push_back(std::move(row));
  }
  return rows;
}

std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

void AppendRecords(benchmark::State& state, int nodes) {
  const std::vector<std::string> rows = MakeRows(nodes);
  std::size_t storeBytes = 0;
  std::size_t heapBytes = 0;
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    auto store = std::make_unique<ResultRowStore>();
    store->SetColumnCount(10);
    for (int i = 0; i < kRecords; ++i) store->AppendRow(rows[static_cast<std::size_t>(i % kPool)]);
    benchmark::DoNotOptimize(store->RowCount());
    state.PauseTiming();
    storeBytes = store->MemoryBytes();
    heapBytes = HeapInUse() - before;
    store.reset();
    state.ResumeTiming();
  }
  state.counters["text_bytes_per_record"] = static_cast<double>(rows[1].size());
  state.counters["store_bytes_per_record"] = static_cast<double>(storeBytes) / kRecords;
  state.counters["heap_bytes_per_record"] = static_cast<double>(heapBytes) / kRecords;
  state.counters["records_per_second"] = benchmark::Counter(
      static_cast<double>(kRecords), benchmark::Counter::kIsIterationInvariantRate);
}

// The run's example record: two nodes written, the other temperatures empty.
void BM_AppendMillionRecordsTwoNodes(benchmark::State& state) {
  AppendRecords(state, 2);
}
// Every temperature column written: the longest record the writer makes.
void BM_AppendMillionRecordsEightNodes(benchmark::State& state) {
  AppendRecords(state, 8);
}

// Reads the time and one temperature column of every record as numbers.
void BM_ReadColumnOfMillionRecords(benchmark::State& state) {
  const std::vector<std::string> rows = MakeRows(8);
  ResultRowStore store;
  store.SetColumnCount(10);
  for (int i = 0; i < kRecords; ++i) store.AppendRow(rows[static_cast<std::size_t>(i % kPool)]);
  for (auto _ : state) {
    double sum = 0;
    store.ForEachRow(2, store.RowCount() - 1, [&](int, std::string_view text) {
      const auto x = quillane::format::ParseStrict(ResultRowStore::Field(text, 0));
      const auto y = quillane::format::ParseStrict(ResultRowStore::Field(text, 5));
      if (x && y) sum += *x + *y;
    });
    benchmark::DoNotOptimize(sum);
  }
  state.counters["records_per_second"] = benchmark::Counter(
      static_cast<double>(kRecords), benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_AppendMillionRecordsTwoNodes)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_AppendMillionRecordsEightNodes)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadColumnOfMillionRecords)->Unit(benchmark::kMillisecond)->Iterations(5);
