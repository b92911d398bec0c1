#include "cli/BatchProgram.h"

int main(int argc, char** argv) {
  return quillane::cli::BatchMain(argc, argv);
}
