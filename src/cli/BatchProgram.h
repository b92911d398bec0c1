#pragma once
// quillane-batch: runs one case headless and writes its result files.

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "study/StudyRanks.h"

namespace quillane::cli {

// What a program's entry point brings to the batch runner: the name it answers to, and for the
// program built with MPI the ranks its studies spread over.
struct BatchHost {
  std::string Name = "quillane-batch";
  // Made as a study starts: the ranks of the MPI job this process is one of, or none (the
  // points then run on threads).
  std::function<std::unique_ptr<study::StudyRanks>()> Ranks;
};

// Runs the program with its arguments (without the program name). Returns the exit code:
// 0 success, 1 a fault of the inputs, the catalogue or the files (nothing changed), 2 a usage
// error, 130 stopped by Ctrl-C or SIGTERM (a single run changes no file; a study or fit keeps
// what RunStudyCommand and RunFitCommand tell).
int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const BatchHost& host = {});

// A batch program's main: RunBatch over the command line, on standard output and error, with
// the signals set as a long job needs them.
int BatchMain(int argc, char** argv, const BatchHost& host = {});

}  // namespace quillane::cli
