// How the input window answers while a long run ends: the default case of NiCrAlY on 316L over
// 20,000 passes (7.8 million thermal rows) run from "Execution calculs" on an offscreen screen of
// 1366 × 768. Once the files are written the results are made ready off the interface thread
// ("Chargement des résultats…"); the longest stall is the longest wait of a timer asked for every
// 10 ms (how late a click is answered), over the loading and over the whole run, whose last one is
// the grid's view taking the rows in.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <fstream>

#include "BenchCase.h"
#include "ui/Geometrie.h"
#include "ui/ResultWindows.h"
#include "widgets/ResultGridModel.h"

namespace {

using namespace quillane;

void BM_RunWindowAnswers(benchmark::State& state) {
  const QTemporaryDir scratch;
  const std::filesystem::path folder = scratch.path().toStdString();
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // The window remembers folders in its settings: the user's stay as they are.
  qputenv("XDG_CONFIG_HOME", scratch.path().toUtf8());
  int argc = 1;
  char name[] = "bench_run_window";
  char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  std::ofstream(folder / "case.json")
      << R"({"SubstrateMaterialName": "Acier 316L", "CoatingMaterialName": "NiCrAlY", "PassCount": )"
      << state.range(0) << "}\n";
  std::filesystem::path catalogue = DefaultCataloguePath();
  if (!std::filesystem::exists(catalogue)) {
    catalogue = catalogue.parent_path().parent_path() / "Brelon.db";
  }
  for (auto _ : state) {
    ModelState model;
    ui::ResultWindows windows;
    ui::Geometrie window(model, windows, {catalogue, folder / "materiaux.db", QLocale::c()});
    window.show();
    if (!window.OpenCaseFrom(QString::fromStdString((folder / "case.json").string()))) {
      state.SkipWithError("the case did not open");
      return;
    }
    window.Paths() = {(folder / "t.txt").string(), (folder / "s.txt").string()};
    QElapsedTimer wall, gap, loading;
    qint64 longest = 0, longestLoading = 0;
    bool loadingShown = false;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
      const qint64 waited = gap.restart();
      longest = std::max(longest, waited);
      if (loadingShown && window.Worker().IsRunning()) {
        longestLoading = std::max(longestLoading, waited);
      }
    });
    QObject::connect(&window.Worker(), &ui::RunWorker::Loading, [&] {
      loadingShown = true;
      loading.start();
    });
    double loadingSeconds = 0;
    QObject::connect(&window.Worker(), &ui::RunWorker::Finished,
                     [&] { loadingSeconds = static_cast<double>(loading.nsecsElapsed()) * 1e-9; });
    beat.start(10);
    wall.start();
    gap.start();
    window.Execution();
    while (window.Worker().IsRunning()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    state.counters["run_s"] = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
    state.counters["loading_s"] = loadingSeconds;
    state.counters["loading_longest_stall_ms"] = static_cast<double>(longestLoading);
    state.counters["longest_stall_ms"] = static_cast<double>(longest);
    state.counters["rows"] = windows.Grid(ui::GridId::Resultats).RowCount() - 2;
  }
}
BENCHMARK(BM_RunWindowAnswers)->Arg(20000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
