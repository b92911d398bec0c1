#include <pthread.h>

#include <csignal>
#include <iostream>

#include "cli/BatchProgram.h"

int main(int argc, char** argv) {
  // Past a file-size limit (ulimit -f) a write fails with "File too large" and is reported as
  // any other write fault, its temporary file removed, rather than the signal killing the
  // program without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  // Ctrl-C and SIGTERM wait, blocked, for the watcher a long job starts, so that one sent while
  // the program starts or reads its inputs stops the job as cleanly as one sent mid-run (and one
  // sent to a background job, whose SIGINT the shell ignores, is still heard). One that no job
  // took is delivered as the program ends.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  std::vector<std::string> args(argv + 1, argv + argc);
  const int code = quillane::cli::RunBatch(args, std::cout, std::cerr);
  std::cout.flush();
  pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
  return code;
}
