#include <iostream>

#include "cli/BatchProgram.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return quillane::cli::RunBatch(args, std::cout, std::cerr);
}
