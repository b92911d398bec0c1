#pragma once
// The ranks of an MPI job a study spreads over, as the study sees them. The batch program built
// with MPI brings them (study/mpi); a program without MPI has none and runs a study on threads.

#include <functional>
#include <stop_token>
#include <vector>

#include "study/StudyRunner.h"

namespace quillane::study {

class StudyRanks {
 public:
  virtual ~StudyRanks() = default;
  // This process's rank: 0 coordinates and writes the files, the others compute.
  virtual int Rank() const = 0;
  // Rank 0 tells every rank whether the study goes ahead; returns what rank 0 said.
  virtual bool Agree(bool go) const = 0;
  // Rank 0: hands out the points of `todo` and calls `done` for each row that comes back. Once
  // a stop is requested, no further point is handed out and the points under way are awaited.
  virtual void CoordinatePoints(const std::vector<std::size_t>& todo, std::size_t quantities,
                                const std::function<void(std::size_t, const PointResult&)>& done,
                                std::stop_token stop) const = 0;
  // The other ranks: computes the points rank 0 hands out until it says stop.
  virtual void ServePoints(const Study& study, const std::vector<std::vector<double>>& points,
                           const MaterialsCatalogue& catalogue, const StudyOptions& options,
                           std::stop_token stop) const = 0;
};

}  // namespace quillane::study
