#include "cli/StudyProgram.h"

#include "Version.h"
#include "cli/Interrupt.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "format/NumberFormat.h"
#include "io/AtomicFile.h"
#include "io/CaseFile.h"
#include "io/FolderLock.h"
#include "io/TextFile.h"
#include "model/Errors.h"
#ifdef QUILLANE_HAVE_PNG
#include "raster/RasterPicture.h"
#endif
#include "run/Validation.h"
#include "study/StudyDesign.h"
#include "study/StudyFolder.h"
#include "study/StudyPlots.h"
#include "study/StudyRecord.h"
#include "study/StudyTable.h"

namespace quillane::cli {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPointProgressInterval = std::chrono::milliseconds(500);
// How often the finished rows are written while a study runs: every 30 s, and every
// twentieth of the points.
constexpr auto kCheckpointInterval = std::chrono::seconds(30);
constexpr std::size_t kCheckpointsPerStudy = 20;
constexpr int kSomePointsFailed = 3;

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

// The files of a study's folder that belong together: a resumed study reads them as a set.
struct StudyFiles {
  std::filesystem::path Study, Record, Base, Csv, Json, Plots, Points;
  explicit StudyFiles(const std::filesystem::path& out)
      : Study(out / "study.json"),
        Record(out / study::kRecordFileName),
        Base(out / "base_case.json"),
        Csv(out / "results.csv"),
        Json(out / "results.json"),
        Plots(out / "plots"),
        Points(out / "points") {}
};

// The plots in the forms asked for.
void AddPlots(const std::vector<study::StudyPlot>& plots, const std::filesystem::path& dir,
              const PlotFormats& formats, AtomicFileSet& files) {
  // The folder is made there, whichever forms are asked for.
  study::AddStudyPlots(formats.Svg ? plots : std::vector<study::StudyPlot>{}, dir, files);
#ifdef QUILLANE_HAVE_PNG
  if (!formats.Png) return;
  const raster::PngWriter writer;
  for (const study::StudyPlot& plot : plots) {
    files.Add(dir / (plot.Name + ".png"), writer.Encode(plot.Surface), "picture");
  }
#endif
}

// A study read and checked, with its points; every process of a study does this alike, so a
// fault stops them all at once.
struct PreparedStudy {
  std::string Text;
  std::string Record;  // what else decides the rows
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
  if (study::ResultIndex(command.PlotResult) < 0) {
    throw study::StudyError("--plot-result: \"" + command.PlotResult +
                            "\" is not a result column.");
  }
  prepared.Points = study::PointsOrThrow(
      study::SetUpStudy(prepared.Study, catalogue, command.Force), command.StudyPath, "--force");
  prepared.Options.Jobs = command.Jobs;
  prepared.Options.Locale = base.Locale;
  if (command.KeepFiles) prepared.Options.KeepFilesIn = command.OutDir;
  prepared.Record = study::StudyRecordJson(prepared.Study, catalogue, prepared.Options,
                                           std::string("quillane-batch ") + kVersion);
  return prepared;
}

// A rank other than 0: computes what rank 0 hands out. Its faults are rank 0's too, which
// tells them; this one stays quiet.
int ServeRank(const StudyCommand& command, const ModelState& base,
              const MaterialsCatalogue& catalogue, const study::StudyRanks& ranks) {
  try {
    const PreparedStudy prepared = Prepare(command, base, catalogue);
    if (!ranks.Agree(true)) return 1;
    std::stop_source stop;
    const StopOnInterrupt interrupt(stop);
    ranks.ServePoints(prepared.Study, prepared.Points, catalogue, prepared.Options,
                      stop.get_token());
    return 0;
  } catch (const std::exception&) {
    return 1;
  }
}

// Every file the study will write must be writable before its first point runs: a target that
// is a folder, or a folder nobody may write into, is told now.
void CheckOutputPaths(const StudyFiles& files, bool keepFiles) {
  const std::pair<const std::filesystem::path*, const char*> targets[] = {
      {&files.Study, "study file"},
      {&files.Record, "study record"},
      {&files.Base, "case file"},
      {&files.Csv, "results table"},
      {&files.Json, "results table"}};
  for (const auto& [target, kind] : targets) AtomicFile(kind).Open(*target);
  std::error_code error;
  for (const auto& folder : {files.Plots, keepFiles ? files.Points : std::filesystem::path()}) {
    if (!folder.empty() && std::filesystem::exists(folder, error) &&
        !std::filesystem::is_directory(folder, error)) {
      throw IoError("Cannot create the folder " + folder.string() +
                    ": a file of that name is there.");
    }
  }
}

// The rows already in the output folder, checked against what decides them: the study, the
// record of the base case, catalogue rows and program, and each row's varied values. A refused
// resume changes nothing in the folder.
study::StudyRows KeptRows(const StudyCommand& command, const PreparedStudy& prepared,
                          const MaterialsCatalogue& catalogue, const StudyFiles& files) {
  const std::filesystem::path outDir = command.OutDir;
  for (const auto& needed : {files.Study, files.Csv}) {
    if (!std::filesystem::is_regular_file(needed)) {
      throw study::StudyError(outDir.string() + " holds no study to resume.");
    }
  }
  if (ReadTextFile(files.Study, "study file", kMaxJsonFileBytes) != prepared.Text) {
    throw study::StudyError(command.StudyPath + " is not the study of " + outDir.string() +
                            "; run it into another folder.");
  }
  if (!std::filesystem::is_regular_file(files.Record)) {
    throw study::StudyError(outDir.string() + " holds no " + study::kRecordFileName +
                            ", which tells what its rows were computed from: it was removed, or "
                            "never written there. Run the study into another folder.");
  }
  const std::string difference =
      study::RecordDifference(ReadTextFile(files.Record, "study record", kMaxJsonFileBytes),
                              prepared.Record, files.Record.string());
  if (!difference.empty()) {
    throw study::StudyError("Cannot resume the study in " + outDir.string() +
                            ": its rows were computed from other inputs: " + difference +
                            ". Run it into another folder.");
  }
  study::StudyRows rows =
      study::ReadTableCsv(ReadTextFile(files.Csv, "results table", kMaxTableFileBytes),
                          files.Csv.string(), prepared.Study, prepared.Points.size());
  study::CheckKeptRows(prepared.Study, prepared.Points, rows, catalogue, files.Csv.string());
  if (command.RetryFailed) {
    for (auto& row : rows) {
      if (row && row->Status != study::kStatusOk) row.reset();
    }
  }
  return rows;
}

// Why a new study does not run over the one `files` belong to: the same study is completed
// with --resume, and any study is replaced with --force alone.
std::string EarlierStudy(const StudyCommand& command, const PreparedStudy& prepared,
                         const std::vector<std::filesystem::path>& files) {
  const std::filesystem::path outDir = command.OutDir;
  const StudyFiles own(outDir);
  std::error_code error;
  const bool same = std::filesystem::is_regular_file(own.Study, error) &&
                    ReadTextFile(own.Study, "study file", kMaxJsonFileBytes) == prepared.Text;
  const std::string held = " (" + study::FilesNamed(files, outDir) + ")";
  if (same) {
    return outDir.string() + " holds this study already" + held +
           ". Give --resume to complete it, --force to compute it again from the start (its "
           "files are removed first), or another --out folder.";
  }
  return outDir.string() + " holds another study" + held +
         ". Give another --out folder, or --force to replace it (its files are removed first).";
}

// The output folder made ready and locked for this study alone, with the rows it already holds
// (when resuming); only the process that writes the files does this.
struct OpenedOutput {
  std::unique_ptr<FolderLock> Lock;
  study::StudyRows Rows;
};

OpenedOutput OpenOutput(const StudyCommand& command, const PreparedStudy& prepared,
                        const MaterialsCatalogue& catalogue) {
  const std::filesystem::path outDir = command.OutDir;
  const StudyFiles files(outDir);
  OpenedOutput opened;
  const std::string writer = "quillane-batch --study " + command.StudyPath;
  if (command.Resume) {
    // Nothing is created for a folder that holds no study.
    if (!std::filesystem::is_directory(outDir)) {
      throw study::StudyError(outDir.string() + " holds no study to resume.");
    }
    opened.Lock = std::make_unique<FolderLock>(outDir, writer);
    opened.Rows = KeptRows(command, prepared, catalogue, files);
    CheckOutputPaths(files, command.KeepFiles);
    return opened;
  }
  std::error_code error;
  std::filesystem::create_directories(outDir, error);
  if (error || !std::filesystem::is_directory(outDir)) {
    throw IoError("Cannot create the output folder " + outDir.string() + ": " +
                  (error ? error.message() : std::string("it is not a folder")) + ".");
  }
  opened.Lock = std::make_unique<FolderLock>(outDir, writer);
  // An earlier study's pictures or points left beside the new table would be read as its own.
  const std::vector<std::filesystem::path> earlier = study::StudyFilesIn(outDir);
  if (!earlier.empty()) {
    if (!command.Force) throw study::StudyError(EarlierStudy(command, prepared, earlier));
    study::ClearStudyFiles(outDir);
  }
  CheckOutputPaths(files, command.KeepFiles);
  opened.Rows = study::StudyRows(prepared.Points.size());
  return opened;
}

// The study, its record and its tables of the rows so far, as one set. The renames follow each
// other at once; a kill in the instant between two can leave results.json a checkpoint ahead
// of results.csv, which --resume reads, or the tables of a new study beside the study file and
// record of the earlier one, which --resume of the new study refuses.
void AddTables(const PreparedStudy& prepared, const study::StudyRows& rows, const StudyFiles& files,
               AtomicFileSet& set) {
  set.Add(files.Json, study::TableJson(prepared.Study, rows), "results table");
  set.Add(files.Csv, study::TableCsv(prepared.Study, rows), "results table");
  set.Add(files.Study, prepared.Text, "study file");
  set.Add(files.Record, prepared.Record, "study record");
  // The base case as the case file and the flags resolved it: runs alone as a single case.
  set.Add(files.Base, CaseText(prepared.Study.Base), "case file");
}

// Writes the finished rows while the study runs, so that a study killed outright (SIGKILL, a
// crash, the end of a batch job's time) keeps them for --resume. Called for each finished
// point, one call at a time.
class Checkpoints {
 public:
  Checkpoints(const PreparedStudy& prepared, const std::filesystem::path& outDir, std::ostream& err)
      : prepared_(prepared),
        files_(outDir),
        err_(err),
        every_(std::max<std::size_t>(1, prepared.Points.size() / kCheckpointsPerStudy)),
        last_(Clock::now()) {}

  void PointDone(const study::StudyRows& rows) {
    ++sinceLast_;
    if (sinceLast_ < every_ && Clock::now() - last_ < kCheckpointInterval) return;
    sinceLast_ = 0;
    last_ = Clock::now();
    try {
      AtomicFileSet set;
      AddTables(prepared_, rows, files_, set);
      set.Publish();
    } catch (const std::exception& error) {
      // The earlier checkpoint stays whole; the study goes on, and its end tells any fault.
      if (!warned_) err_ << "\nwarning: " << error.what() << " The study goes on.\n";
      warned_ = true;
    }
  }

 private:
  const PreparedStudy& prepared_;
  StudyFiles files_;
  std::ostream& err_;
  std::size_t every_;
  std::size_t sinceLast_ = 0;
  bool warned_ = false;
  Clock::time_point last_;
};

// Tables, plots and what the user is told once the points are computed (or stopped). The study,
// its record, its tables and its plots are published together.
int FinishStudy(const StudyCommand& command, const PreparedStudy& prepared,
                const study::StudyRows& rows, double seconds, std::ostream& out,
                std::ostream& err) {
  const study::Study& study = prepared.Study;
  const std::filesystem::path outDir = command.OutDir;
  const StudyFiles files(outDir);
  AtomicFileSet set;
  AddTables(prepared, rows, files, set);
  const std::string missing = PointRanges(rows);
  if (!missing.empty()) {
    set.Publish();
    err << "quillane-batch: stopped; the finished rows are in " << files.Csv.string()
        << ". Missing points: " << missing << ". Run again with --resume to compute them.\n";
    return 130;
  }
  std::size_t failed = 0;
  for (const auto& row : rows) failed += row->Status != study::kStatusOk ? 1 : 0;
  try {
    AddPlots(study::MakeStudyPlots(study, rows, command.PlotResult), files.Plots, command.Formats,
             set);
    set.Publish();
  } catch (const IoError& error) {
    // Every row is computed: a plot that cannot be written (a full disk) must not drop them. The
    // tables go alone, as a checkpoint does, and a resume writes the plots.
    try {
      AtomicFileSet tables;
      AddTables(prepared, rows, files, tables);
      tables.Publish();
    } catch (const IoError&) {
      err << "quillane-batch: " << error.what() << " The rows of the last checkpoint are in "
          << files.Csv.string()
          << "; run again with --resume, once it can be written, to complete the study.\n";
      return 1;
    }
    err << "quillane-batch: " << error.what() << " Every row is in " << files.Csv.string()
        << " and results.json, but no plot was written; run again with --resume, once it can "
           "be written, to write them.\n";
    return 1;
  }
  if (!command.Quiet) {
    out << rows.size() << (rows.size() == 1 ? " point" : " points") << " (" << failed
        << " failed) in " << format::FormatPattern(seconds, "0.0") << " s; results in "
        << files.Csv.string() << " and results.json, plots in " << files.Plots.string() << "/\n";
  }
  if (failed == 0) return 0;
  err << "quillane-batch: " << failed << (failed == 1 ? " point" : " points")
      << " failed; the faults are in the status column of " << files.Csv.string()
      << ". Run again with --resume --retry-failed to compute them again.\n";
  return kSomePointsFailed;
}

}  // namespace

int RunStudyCommand(const StudyCommand& command, const ModelState& base,
                    const MaterialsCatalogue& catalogue, std::ostream& out, std::ostream& err) {
  const std::unique_ptr<study::StudyRanks> ranks = command.Ranks ? command.Ranks() : nullptr;
  if (ranks != nullptr && ranks->Rank() > 0) return ServeRank(command, base, catalogue, *ranks);
  const PreparedStudy prepared = Prepare(command, base, catalogue);
  const study::Study& study = prepared.Study;
  OpenedOutput output;
  try {
    output = OpenOutput(command, prepared, catalogue);
  } catch (...) {
    if (ranks != nullptr) ranks->Agree(false);
    throw;
  }
  if (ranks != nullptr) ranks->Agree(true);
  study::StudyRows& rows = output.Rows;
  std::vector<std::size_t> todo;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i]) todo.push_back(i);
  }
  StudyProgress progress(err, !command.Quiet, todo.size());
  Checkpoints checkpoints(prepared, command.OutDir, err);
  const auto done = [&](std::size_t index, const study::PointResult& result) {
    rows[index] = result;
    progress.PointDone();
    checkpoints.PointDone(rows);
  };
  std::stop_source stop;
  {
    const StopOnInterrupt interrupt(stop);
    if (ranks != nullptr) {
      ranks->CoordinatePoints(todo, study.Vary.size(), done, stop.get_token());
    } else {
      study::RunPoints(study, prepared.Points, todo, catalogue, prepared.Options, done,
                       stop.get_token());
    }
  }
  progress.Finish();
  return FinishStudy(command, prepared, rows, progress.Seconds(), out, err);
}

}  // namespace quillane::cli
