// Cost of the number formatting on the paths that write every result row.
#include "format/NumberFormat.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <string>

namespace {

using quillane::format::NumberPattern;

// A few values of each kind so the branch predictor does not see one value only; the computed
// ones carry 17 significant digits like the solver's results, the literals are short decimals.
constexpr std::array kTemperatures = {
    573.2914, 273.15 + 300.141592653589793, 1287.55631, 299.99999 * 1.0000001, 845.0, 300.1 * 3};
constexpr std::array kTimes = {0.0123456789, 1.5, 0.1 * 3, 12.000000001, 47.25 / 3, 0.1 + 0.2};
constexpr std::array kThicknesses = {0.002002, 0.0001534 / 3, 0.000999999, 0.05 * 1.1, 0.0123};
constexpr std::array kStresses = {1241473.72093833, -0.002, 9.00008100144234e-05, 0.5 / 3,
                                  -639175.79 * 1.1};

template <std::size_t N>
void FormatRows(benchmark::State& state, const char* pattern, const std::array<double, N>& values) {
  const NumberPattern compiled(pattern);
  std::string row;
  row.reserve(64);
  std::size_t i = 0;
  for (auto _ : state) {
    row.clear();
    compiled.AppendTo(row, values[i], '.');
    benchmark::DoNotOptimize(row.data());
    i = i + 1 == N ? 0 : i + 1;
  }
}

void BM_FormatTemperature(benchmark::State& state) {
  FormatRows(state, "###0.00", kTemperatures);
}
void BM_FormatTime(benchmark::State& state) {
  FormatRows(state, "00.000000000", kTimes);
}
void BM_FormatThickness(benchmark::State& state) {
  FormatRows(state, "#.000000", kThicknesses);
}

void BM_FormatG(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    std::string text = quillane::format::FormatG(kStresses[i]);
    benchmark::DoNotOptimize(text.data());
    i = i + 1 == kStresses.size() ? 0 : i + 1;
  }
}

BENCHMARK(BM_FormatTemperature);
BENCHMARK(BM_FormatTime);
BENCHMARK(BM_FormatThickness);
BENCHMARK(BM_FormatG);

}  // namespace
