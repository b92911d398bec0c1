// Speed of the user's catalogue: importing 10,000 rows (the goal is under 1 s), and the merged
// catalogue a run loads, over 10,000 short user rows and over 1,000 names of 10,000 characters
// (the goal is under 50 ms).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "BenchCase.h"
#include "materials/UserCatalogue.h"

namespace {

using namespace quillane;

std::filesystem::path Folder() {
  return std::filesystem::temp_directory_path() /
         ("quillane-bench-catalogue-" + std::to_string(getpid()));
}

std::vector<UserMaterial> Rows(int count, std::size_t nameLength) {
  std::vector<UserMaterial> rows;
  for (int i = 0; i < count; ++i) {
    std::string name = "M" + std::to_string(i);
    name.resize(std::max(name.size(), nameLength), 'x');
    rows.push_back({{name, 1, 1, 1, 1, 1, 1e9, 0.3, 1e-6, 0, {}}, "bench"});
  }
  return rows;
}

// Into an empty catalogue, then over the same names (each row replacing its own).
void BM_ImportTenThousandRows(benchmark::State& state) {
  const std::vector<UserMaterial> rows = Rows(10000, 0);
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(Folder());
    state.ResumeTiming();
    UserCatalogue user(Folder() / "materiaux.db");
    user.SaveAll(rows);
    if (state.range(0) == 1) user.SaveAll(rows);
  }
  std::filesystem::remove_all(Folder());
}
BENCHMARK(BM_ImportTenThousandRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LoadMergedCatalogue(benchmark::State& state) {
  std::filesystem::remove_all(Folder());
  UserCatalogue user(Folder() / "materiaux.db");
  user.SaveAll(Rows(static_cast<int>(state.range(0)), static_cast<std::size_t>(state.range(1))));
  const std::filesystem::path shipped = cases::OpenCatalogue().Path();
  for (auto _ : state) {
    std::string fault;
    benchmark::DoNotOptimize(OpenMergedCatalogue(shipped, user, fault));
  }
  std::filesystem::remove_all(Folder());
}
BENCHMARK(BM_LoadMergedCatalogue)
    ->Args({10000, 0})
    ->Args({1000, 10000})
    ->Unit(benchmark::kMillisecond);

}  // namespace
