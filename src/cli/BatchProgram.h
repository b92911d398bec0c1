#pragma once
// quillane-batch: runs one case headless and writes its result files.

#include <ostream>
#include <string>
#include <vector>

namespace quillane::cli {

// Runs the program with its arguments (without the program name). Returns the exit code:
// 0 success, 1 a fault of the inputs, the catalogue or the files (nothing changed), 2 a usage
// error, 130 stopped by Ctrl-C or SIGTERM (a single run changes no file; a study or fit keeps
// what RunStudyCommand and RunFitCommand tell).
int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quillane::cli
