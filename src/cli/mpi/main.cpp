// quillane-batch-mpi: the batch program whose studies spread over the ranks of an MPI job when
// mpiexec or srun starts it; on its own it runs as quillane-batch does.

#include <memory>

#include "cli/BatchProgram.h"
#include "study/mpi/StudyMpi.h"

int main(int argc, char** argv) {
  quillane::cli::BatchHost host;
  host.Name = "quillane-batch-mpi";
  host.Ranks = []() -> std::unique_ptr<quillane::study::StudyRanks> {
    if (!quillane::study::LaunchedAsRanks()) return nullptr;
    return std::make_unique<quillane::study::MpiSession>();
  };
  return quillane::cli::BatchMain(argc, argv, host);
}
