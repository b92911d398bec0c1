#include "cli/StudyProgram.h"

#include "cli/Interrupt.h"

#include <chrono>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "format/NumberFormat.h"
#include "io/AtomicFile.h"
#include "model/Errors.h"
#ifdef QUILLANE_HAVE_PNG
#include "raster/RasterPicture.h"
#endif
#ifdef QUILLANE_MPI
#include "study/mpi/StudyMpi.h"
#endif
#include "run/Validation.h"
#include "study/StudyDesign.h"
#include "study/StudyPlots.h"
#include "study/StudyTable.h"

namespace quillane::cli {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPointProgressInterval = std::chrono::milliseconds(500);

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
    if (!show_ || (now - last_ < kPointProgressInterval && done_ < total_)) return;
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
  study::CheckPointCount(points, command.StudyPath, command.Force, "--force");
  if (study::ResultIndex(command.PlotResult) < 0) {
    throw study::StudyError("--plot-result: \"" + command.PlotResult +
                            "\" is not a result column.");
  }
  study::CheckStudyBase(study, command.StudyPath, catalogue);
}

// SVG always, PNG too where the program is built with Qt.
void WritePlots(const std::vector<study::StudyPlot>& plots, const std::filesystem::path& dir) {
  study::WriteStudyPlots(plots, dir);
#ifdef QUILLANE_HAVE_PNG
  const raster::PngWriter png;
  for (const study::StudyPlot& plot : plots) png.Write(plot.Surface, dir / (plot.Name + ".png"));
#endif
}

// A study read and checked, with its points; every process of a study does this alike, so a
// fault stops them all at once.
struct PreparedStudy {
  std::string Text;
  study::Study Study;
  std::vector<std::vector<double>> Points;
  study::StudyOptions Options;
};

PreparedStudy Prepare(const StudyCommand& command, const ModelState& base,
                      const MaterialsCatalogue& catalogue) {
  PreparedStudy prepared;
  // Read once: the saved copy is the text that was checked.
  const std::filesystem::path path = command.StudyPath;
  prepared.Text = study::ReadStudyFileText(path);
  prepared.Study =
      study::ReadStudyText(prepared.Text, command.StudyPath, base.Input, path.parent_path());
  CheckStudy(prepared.Study, study::PointCount(prepared.Study), command, catalogue);
  prepared.Points = study::DesignPoints(prepared.Study);
  prepared.Options.Jobs = command.Jobs;
  prepared.Options.Locale = base.Locale;
  if (command.KeepFiles) prepared.Options.KeepFilesIn = command.OutDir;
  return prepared;
}

#ifdef QUILLANE_MPI
// A rank other than 0: computes what rank 0 hands out. Its faults are rank 0's too, which
// tells them; this one stays quiet.
int ServeRank(const StudyCommand& command, const ModelState& base,
              const MaterialsCatalogue& catalogue, const study::MpiSession& session) {
  try {
    const PreparedStudy prepared = Prepare(command, base, catalogue);
    if (!session.Agree(true)) return 1;
    std::stop_source stop;
    const StopOnInterrupt interrupt(stop);
    study::ServePoints(prepared.Study, prepared.Points, catalogue, prepared.Options,
                       stop.get_token());
    return 0;
  } catch (const std::exception&) {
    return 1;
  }
}
#endif

// The rows already in the output folder (when resuming), with the folder made ready; only the
// process that writes the files does this.
study::StudyRows OpenOutput(const StudyCommand& command, const study::Study& study,
                            const std::string& studyText, std::size_t pointCount) {
  const std::filesystem::path outDir = command.OutDir;
  std::error_code error;
  std::filesystem::create_directories(outDir, error);
  if (error || !std::filesystem::is_directory(outDir)) {
    throw IoError("Cannot create the output folder " + outDir.string() + ".");
  }
  const std::filesystem::path saved = outDir / "study.json";
  if (!command.Resume) {
    AtomicFile::WriteWhole(saved, studyText, "study file");
    return study::StudyRows(pointCount);
  }
  // Only the same study may be resumed, or the kept rows would answer another question.
  if (!std::filesystem::exists(outDir / "results.csv") || !std::filesystem::exists(saved)) {
    throw study::StudyError(outDir.string() + " holds no study to resume.");
  }
  if (ReadWhole(saved) != studyText) {
    throw study::StudyError(command.StudyPath + " is not the study of " + outDir.string() +
                            "; run it without --resume, or into another folder.");
  }
  const std::string table = (outDir / "results.csv").string();
  return study::ReadTableCsv(ReadWhole(table), table, study, pointCount);
}

// Tables, plots and what the user is told once the points are computed (or stopped).
int FinishStudy(const StudyCommand& command, const study::Study& study,
                const study::StudyRows& rows, double seconds, std::ostream& out,
                std::ostream& err) {
  const std::filesystem::path outDir = command.OutDir;
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
        << " failed) in " << format::FormatPattern(seconds, "0.0") << " s; results in "
        << (outDir / "results.csv").string() << " and results.json, plots in "
        << (outDir / "plots").string() << "/\n";
  }
  return 0;
}

}  // namespace

int RunStudyCommand(const StudyCommand& command, const ModelState& base,
                    const MaterialsCatalogue& catalogue, std::ostream& out, std::ostream& err) {
#ifdef QUILLANE_MPI
  std::unique_ptr<study::MpiSession> session;
  if (study::LaunchedAsRanks()) session = std::make_unique<study::MpiSession>();
  if (session != nullptr && session->Rank() > 0) {
    return ServeRank(command, base, catalogue, *session);
  }
#endif
  const PreparedStudy prepared = Prepare(command, base, catalogue);
  const study::Study& study = prepared.Study;
  study::StudyRows rows;
#ifdef QUILLANE_MPI
  try {
    rows = OpenOutput(command, study, prepared.Text, prepared.Points.size());
  } catch (...) {
    if (session != nullptr) session->Agree(false);
    throw;
  }
  if (session != nullptr) session->Agree(true);
#else
  rows = OpenOutput(command, study, prepared.Text, prepared.Points.size());
#endif
  std::vector<std::size_t> todo;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i]) todo.push_back(i);
  }
  StudyProgress progress(err, !command.Quiet, todo.size());
  const auto done = [&](std::size_t index, const study::PointResult& result) {
    rows[index] = result;
    progress.PointDone();
  };
  std::stop_source stop;
  {
    const StopOnInterrupt interrupt(stop);
#ifdef QUILLANE_MPI
    if (session != nullptr) {
      study::CoordinatePoints(*session, todo, study.Vary.size(), done, stop.get_token());
    } else {
      study::RunPoints(study, prepared.Points, todo, catalogue, prepared.Options, done,
                       stop.get_token());
    }
#else
    study::RunPoints(study, prepared.Points, todo, catalogue, prepared.Options, done,
                     stop.get_token());
#endif
  }
  progress.Finish();
  return FinishStudy(command, study, rows, progress.Seconds(), out, err);
}

}  // namespace quillane::cli
