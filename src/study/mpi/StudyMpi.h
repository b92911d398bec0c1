#pragma once
// The points of a study spread over the ranks of an MPI job (mpirun, or srun under Slurm) by
// dynamic scheduling: rank 0 hands out one point at a time to each other rank, collects the
// rows and writes the files; the others compute. Linked into the MPI program only.

#include "study/StudyRanks.h"

namespace quillane::study {

// Whether this process is one of several ranks started by an MPI launcher.
bool LaunchedAsRanks();

// MPI from construction to destruction.
class MpiSession final : public StudyRanks {
 public:
  MpiSession();
  ~MpiSession() override;
  MpiSession(const MpiSession&) = delete;
  MpiSession& operator=(const MpiSession&) = delete;

  int Rank() const override { return rank_; }
  bool Agree(bool go) const override;
  void CoordinatePoints(const std::vector<std::size_t>& todo, std::size_t quantities,
                        const std::function<void(std::size_t, const PointResult&)>& done,
                        std::stop_token stop) const override;
  void ServePoints(const Study& study, const std::vector<std::vector<double>>& points,
                   const MaterialsCatalogue& catalogue, const StudyOptions& options,
                   std::stop_token stop) const override;

 private:
  int rank_ = 0;
  int size_ = 1;
};

}  // namespace quillane::study
