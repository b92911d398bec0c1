// The interface thread's share of a core while the "Étude paramétrique" window takes in a
// 90,000-point study (300 × 300 values): the window is shown on an offscreen screen of
// 1366 × 768, and the points reach it at a steady rate from a thread that stands for the
// study's runs (each row made from its values, so that the chart's curves are real ones). The
// share is the interface thread's processor time over the study's wall time; the longest stall
// is the longest wait of a timer asked for every 10 ms, which is how late a click is answered.

#include <benchmark/benchmark.h>
#include <time.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <thread>

#include "BenchCase.h"
#include "ui/EtudeParametrique.h"

namespace {

using namespace quillane;

constexpr int kValues = 300;  // of each quantity: 90,000 points

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Hands every point over at `rate` points a second, in order, as the runs would.
session::StudyWork SteadyPoints(double rate) {
  return [rate](const study::Study&, const std::vector<std::vector<double>>& points,
                const MaterialsCatalogue&, session::Handoff<session::FinishedPoint>& finished,
                std::stop_token stop) {
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < points.size() && !stop.stop_requested(); ++i) {
      study::PointResult row{points[i], {}, study::kStatusOk};
      const double flux = points[i][0];
      const double width = points[i][1];
      for (std::size_t r = 0; r < row.Results.size(); ++r) {
        row.Results[r] = std::sin(flux * 1e-6 * static_cast<double>(r + 1)) * width * 1e6;
      }
      finished.Put({i, std::move(row)});
      std::this_thread::sleep_until(
          start + std::chrono::duration<double>(static_cast<double>(i + 1) / rate));
    }
  };
}

void Choose(ui::EtudeParametrique& window, int row, const char* name, const char* from,
            const char* to) {
  const QString n = QString::number(row);
  auto* quantity = window.findChild<QComboBox*>("Quantity" + n);
  quantity->setCurrentIndex(quantity->findData(QString::fromUtf8(name)));
  window.findChild<QLineEdit*>("From" + n)->setText(QString::fromUtf8(from));
  window.findChild<QLineEdit*>("To" + n)->setText(QString::fromUtf8(to));
  window.findChild<QSpinBox*>("Steps" + n)->setValue(kValues - 1);
}

void BM_StudyWindowShare(benchmark::State& state) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "bench_study_window";
  char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  const MaterialsCatalogue catalogue = cases::OpenCatalogue();
  const ModelState base = cases::NiCrAlYOn316L(catalogue, 10, 5e-6);
  const double rate = static_cast<double>(state.range(0));
  for (auto _ : state) {
    ui::EtudeParametrique window(
        [&] {
          return session::StudyBase{base, catalogue};
        },
        nullptr, SteadyPoints(rate));
    window.resize(1366, 740);
    window.show();
    Choose(window, 1, "HeatFlux", "300", "900");
    Choose(window, 2, "SubstrateWidth", "0.01", "0.05");
    QElapsedTimer wall;
    qint64 longest = 0;
    QElapsedTimer gap;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] { longest = std::max(longest, gap.restart()); });
    beat.start(10);
    const double cpu = ThreadSeconds();
    wall.start();
    gap.start();
    if (!window.Lancer()) state.SkipWithError("the study did not start");
    while (window.Worker().IsRunning()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
    state.counters["ui_share_%"] = 100 * (ThreadSeconds() - cpu) / seconds;
    state.counters["longest_stall_ms"] = static_cast<double>(longest);
    state.counters["rows"] = static_cast<double>(window.FinishedPoints());
    state.counters["study_s"] = seconds;
  }
}
BENCHMARK(BM_StudyWindowShare)->Arg(3000)->Arg(10000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
