#include <csignal>
#include <iostream>

#include "cli/BatchProgram.h"

int main(int argc, char** argv) {
  // Past a file-size limit (ulimit -f) a write fails with "File too large" and is reported as
  // any other write fault, its temporary file removed, rather than the signal killing the
  // program without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  return quillane::cli::RunBatch(args, std::cout, std::cerr);
}
