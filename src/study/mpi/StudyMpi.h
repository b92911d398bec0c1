#pragma once
// The points of a study spread over the ranks of an MPI job (mpirun, or srun under Slurm) by
// dynamic scheduling: rank 0 hands out one point at a time to each other rank, collects the
// rows and writes the files; the others compute. Built with -DQUILLANE_MPI=ON only.

#include <functional>
#include <stop_token>
#include <vector>

#include "study/StudyRunner.h"

namespace quillane::study {

// Whether this process is one of several ranks started by an MPI launcher.
bool LaunchedAsRanks();

// MPI from construction to destruction.
class MpiSession {
 public:
  MpiSession();
  ~MpiSession();
  MpiSession(const MpiSession&) = delete;
  MpiSession& operator=(const MpiSession&) = delete;
  int Rank() const { return rank_; }
  int Size() const { return size_; }
  // Rank 0 tells every rank whether the study goes ahead; returns what rank 0 said.
  bool Agree(bool go) const;

 private:
  int rank_ = 0;
  int size_ = 1;
};

// Rank 0: hands out the points of `todo` and calls `done` for each row that comes back. Once a
// stop is requested, no further point is handed out and the points under way are awaited.
void CoordinatePoints(const MpiSession& session, const std::vector<std::size_t>& todo,
                      std::size_t quantities,
                      const std::function<void(std::size_t, const PointResult&)>& done,
                      std::stop_token stop);

// The other ranks: computes the points rank 0 hands out until it says stop.
void ServePoints(const Study& study, const std::vector<std::vector<double>>& points,
                 const MaterialsCatalogue& catalogue, const StudyOptions& options,
                 std::stop_token stop);

}  // namespace quillane::study
