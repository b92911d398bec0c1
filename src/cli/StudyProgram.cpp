#include "cli/StudyProgram.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "format/NumberFormat.h"
#include "io/AtomicFile.h"
#include "model/Errors.h"
#ifdef QUILLANE_HAVE_PNG
#include "raster/RasterPicture.h"
#endif
#include "run/Validation.h"
#include "study/StudyDesign.h"
#include "study/StudyPlots.h"
#include "study/StudyTable.h"

namespace quillane::cli {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProgressInterval = std::chrono::milliseconds(500);

// Turns Ctrl-C (and SIGTERM) into a request to stop while it lives: the signals are blocked in
// this thread and in the threads it starts, and a watcher thread waits for them.
class StopOnInterrupt {
 public:
  explicit StopOnInterrupt(std::atomic<bool>& stop) : stop_(stop) {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
    watcher_ = std::thread([this] {
      const timespec wait{0, 100'000'000};
      while (!finished_.load()) {
        if (sigtimedwait(&signals_, nullptr, &wait) > 0) stop_.store(true);
      }
    });
  }
  ~StopOnInterrupt() {
    finished_.store(true);
    watcher_.join();
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  StopOnInterrupt(const StopOnInterrupt&) = delete;
  StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

 private:
  std::atomic<bool>& stop_;
  std::atomic<bool> finished_{false};
  sigset_t signals_{};
  sigset_t previous_{};
  std::thread watcher_;
};

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// "3, 5-9, 12": the missing points, 1-based, in runs.
std::string PointRanges(const study::StudyRows& rows) {
  std::string text;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i]) continue;
    std::size_t last = i;
    while (last + 1 < rows.size() && !rows[last + 1]) ++last;
    text += (text.empty() ? "" : ", ") + std::to_string(i + 1);
    if (last > i) text += "-" + std::to_string(last + 1);
    i = last;
  }
  return text;
}

std::string Duration(double seconds) {
  if (seconds < 90) return format::FormatPattern(seconds, "0") + " s";
  if (seconds < 5400) return format::FormatPattern(seconds / 60, "0") + " min";
  return format::FormatPattern(seconds / 3600, "0.0") + " h";
}

// Points done, points per second and the time left, on one line of standard error.
class StudyProgress {
 public:
  StudyProgress(std::ostream& err, bool show, std::size_t total)
      : err_(err), show_(show), total_(total), start_(Clock::now()), last_(start_) {}

  void PointDone() {
    ++done_;
    const auto now = Clock::now();
    if (!show_ || (now - last_ < kProgressInterval && done_ < total_)) return;
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0;
    err_ << "\rPoints " << done_ << " / " << total_ << ", " << format::FormatPattern(rate, "0.00")
         << " points/s";
    if (rate > 0 && done_ < total_) {
      err_ << ", " << Duration(static_cast<double>(total_ - done_) / rate) << " left";
    }
    err_ << "      " << std::flush;
    shown_ = true;
  }
  void Finish() {
    if (shown_) err_ << "\n";
    shown_ = false;
  }
  double Seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

 private:
  std::ostream& err_;
  bool show_;
  std::size_t total_;
  std::size_t done_ = 0;
  bool shown_ = false;
  Clock::time_point start_;
  Clock::time_point last_;
};

void WriteTables(const study::Study& study, const study::StudyRows& rows,
                 const std::filesystem::path& out) {
  AtomicFile::WriteWhole(out / "results.csv", study::TableCsv(study, rows), "results table");
  AtomicFile::WriteWhole(out / "results.json", study::TableJson(study, rows), "results table");
}

// Checks the study before any run: its points, the base case and the output folder.
void CheckStudy(const study::Study& study, long long points, const StudyCommand& command,
                const MaterialsCatalogue& catalogue) {
  if (points > study::kMaxPointsUnforced && !command.Force) {
    throw study::StudyError(command.StudyPath + ": design: the study has " +
                            std::to_string(points) + " points, more than " +
                            std::to_string(study::kMaxPointsUnforced) +
                            "; give --force to run it.");
  }
  if (study::ResultIndex(command.PlotResult) < 0) {
    throw study::StudyError("--plot-result: \"" + command.PlotResult +
                            "\" is not a result column.");
  }
  ModelState base;
  ApplyDefaults(base);
  base.Input = study.Base;
  std::vector<std::string> faults;
  for (const InputFault& fault : FindInputFaults(base, &catalogue)) {
    faults.push_back(command.StudyPath + ": base: " + fault.English);
  }
  if (!faults.empty()) throw InputError(faults);
}

// SVG always, PNG too where the program is built with Qt.
void WritePlots(const std::vector<study::StudyPlot>& plots, const std::filesystem::path& dir) {
  study::WriteStudyPlots(plots, dir);
#ifdef QUILLANE_HAVE_PNG
  const raster::PngWriter png;
  for (const study::StudyPlot& plot : plots) png.Write(plot.Surface, dir / (plot.Name + ".png"));
#endif
}

}  // namespace

int RunStudyCommand(const StudyCommand& command, const ModelState& base,
                    const MaterialsCatalogue& catalogue, std::ostream& out, std::ostream& err) {
  const std::filesystem::path outDir = command.OutDir;
  const std::string studyText = ReadWhole(command.StudyPath);
  const study::Study study = study::ReadStudyFile(command.StudyPath, base.Input);
  CheckStudy(study, study::PointCount(study), command, catalogue);
  const std::vector<std::vector<double>> points = study::DesignPoints(study);

  std::error_code error;
  std::filesystem::create_directories(outDir, error);
  if (error || !std::filesystem::is_directory(outDir)) {
    throw IoError("Cannot create the output folder " + outDir.string() + ".");
  }
  study::StudyRows rows(points.size());
  const std::filesystem::path saved = outDir / "study.json";
  if (command.Resume) {
    // Only the same study may be resumed, or the kept rows would answer another question.
    if (!std::filesystem::exists(outDir / "results.csv") || !std::filesystem::exists(saved)) {
      throw study::StudyError(outDir.string() + " holds no study to resume.");
    }
    if (ReadWhole(saved) != studyText) {
      throw study::StudyError(command.StudyPath + " is not the study of " + outDir.string() +
                              "; run it without --resume, or into another folder.");
    }
    const std::string table = (outDir / "results.csv").string();
    rows = study::ReadTableCsv(ReadWhole(table), table, study, points.size());
  } else {
    AtomicFile::WriteWhole(saved, studyText, "study file");
  }
  std::vector<std::size_t> todo;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i]) todo.push_back(i);
  }

  study::StudyOptions options;
  options.Jobs = command.Jobs;
  options.Locale = base.Locale;
  if (command.KeepFiles) options.KeepFilesIn = outDir;
  StudyProgress progress(err, !command.Quiet, todo.size());
  std::atomic<bool> stop{false};
  {
    const StopOnInterrupt interrupt(stop);
    study::RunPoints(
        study, points, todo, catalogue, options,
        [&](std::size_t index, const study::PointResult& result) {
          rows[index] = result;
          progress.PointDone();
        },
        stop);
  }
  progress.Finish();
  WriteTables(study, rows, outDir);
  const std::string missing = PointRanges(rows);
  if (!missing.empty()) {
    err << "quillane-batch: stopped; the finished rows are in " << (outDir / "results.csv").string()
        << ". Missing points: " << missing << ". Run again with --resume to compute them.\n";
    return 130;
  }
  std::size_t failed = 0;
  for (const auto& row : rows) failed += row->Status != study::kStatusOk ? 1 : 0;
  WritePlots(study::MakeStudyPlots(study, rows, command.PlotResult), outDir / "plots");
  if (!command.Quiet) {
    out << rows.size() << (rows.size() == 1 ? " point" : " points") << " (" << failed
        << " failed) in " << format::FormatPattern(progress.Seconds(), "0.0") << " s; results in "
        << (outDir / "results.csv").string() << " and results.json, plots in "
        << (outDir / "plots").string() << "/\n";
  }
  return 0;
}

}  // namespace quillane::cli
