#pragma once
// quillane-batch --study: runs the points of a study file in parallel and writes the results
// table (CSV and JSON) and its plots into an output folder.

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "cli/BatchOutput.h"
#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"
#include "study/StudyRanks.h"

namespace quillane::cli {

struct StudyCommand {
  std::string StudyPath;
  std::string OutDir;
  int Jobs = 0;  // 0: every core
  bool KeepFiles = false;
  bool Resume = false;
  bool RetryFailed = false;  // with Resume: the kept rows of failed points are computed again
  // More than the usual limit of points, or over the study the output folder holds (whose files
  // are removed first).
  bool Force = false;
  bool Quiet = false;
  std::string PlotResult = "FinalCurvature";
  PlotFormats Formats = DefaultPlotFormats();  // of the plots
  // Made as the study starts: the ranks of the MPI job this process is one of, or none (the
  // points then run on threads).
  std::function<std::unique_ptr<study::StudyRanks>()> Ranks;
};

// Runs the study over `base` (the inputs the case file and flags gave). The finished rows are
// written to the output folder every 5 % of the points and every 30 s, so that a study killed
// outright keeps them for --resume. Returns the exit code: 0 every point computed, 3 every point
// run but some failed (their faults are rows of the table), 1 a fault of the study or the files,
// 130 stopped by Ctrl-C or SIGTERM with the finished rows kept.
int RunStudyCommand(const StudyCommand& command, const ModelState& base,
                    const MaterialsCatalogue& catalogue, std::ostream& out, std::ostream& err);

}  // namespace quillane::cli
