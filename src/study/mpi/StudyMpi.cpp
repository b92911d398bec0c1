#include "study/mpi/StudyMpi.h"

#include <mpi.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

#include "model/Errors.h"

namespace quillane::study {

namespace {

enum Tag : int { kWork = 1, kStop = 2, kRow = 3, kStatus = 4 };

// A row travels as doubles: the point, whether it was cancelled, its values, its results; the
// status follows as text.
std::vector<double> PackRow(std::size_t index, bool cancelled, const PointResult& result) {
  std::vector<double> packed{static_cast<double>(index), cancelled ? 1.0 : 0.0};
  packed.insert(packed.end(), result.Values.begin(), result.Values.end());
  packed.insert(packed.end(), result.Results.begin(), result.Results.end());
  return packed;
}

int EnvironmentNumber(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::atoi(value) : 0;
}

}  // namespace

bool LaunchedAsRanks() {
  // Open MPI's launcher, then Slurm's and PMIx's.
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "SLURM_NTASKS", "PMI_SIZE"}) {
    if (EnvironmentNumber(name) > 1) return true;
  }
  return false;
}

MpiSession::MpiSession() {
  int provided = 0;
  // Only the main thread calls MPI; the pool and the interrupt watcher do not.
  MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided);
  MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
  MPI_Comm_size(MPI_COMM_WORLD, &size_);
}

MpiSession::~MpiSession() {
  MPI_Finalize();
}

bool MpiSession::Agree(bool go) const {
  int flag = go ? 1 : 0;
  MPI_Bcast(&flag, 1, MPI_INT, 0, MPI_COMM_WORLD);
  return flag != 0;
}

void MpiSession::CoordinatePoints(const std::vector<std::size_t>& todo, std::size_t quantities,
                                  const std::function<void(std::size_t, const PointResult&)>& done,
                                  std::stop_token stop) const {
  std::size_t next = 0;
  int busy = 0;
  const auto handOut = [&](int rank) {
    if (next < todo.size() && !stop.stop_requested()) {
      unsigned long long index = todo[next++];
      MPI_Send(&index, 1, MPI_UNSIGNED_LONG_LONG, rank, kWork, MPI_COMM_WORLD);
      ++busy;
    } else {
      MPI_Send(nullptr, 0, MPI_UNSIGNED_LONG_LONG, rank, kStop, MPI_COMM_WORLD);
    }
  };
  for (int rank = 1; rank < size_; ++rank) handOut(rank);
  std::vector<double> packed(2 + quantities + kResultColumns.size());
  while (busy > 0) {
    // Polled, so that Ctrl-C is seen while every rank computes.
    int arrived = 0;
    MPI_Status status;
    MPI_Iprobe(MPI_ANY_SOURCE, kRow, MPI_COMM_WORLD, &arrived, &status);
    if (!arrived) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      continue;
    }
    const int rank = status.MPI_SOURCE;
    MPI_Recv(packed.data(), static_cast<int>(packed.size()), MPI_DOUBLE, rank, kRow, MPI_COMM_WORLD,
             MPI_STATUS_IGNORE);
    MPI_Probe(rank, kStatus, MPI_COMM_WORLD, &status);
    int length = 0;
    MPI_Get_count(&status, MPI_CHAR, &length);
    std::string text(static_cast<std::size_t>(length), '\0');
    MPI_Recv(text.data(), length, MPI_CHAR, rank, kStatus, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    --busy;
    if (packed[1] == 0) {
      PointResult result;
      result.Values.assign(packed.begin() + 2, packed.begin() + 2 + static_cast<long>(quantities));
      std::copy(packed.begin() + 2 + static_cast<long>(quantities), packed.end(),
                result.Results.begin());
      result.Status = std::move(text);
      done(static_cast<std::size_t>(packed[0]), result);
    }
    handOut(rank);
  }
}

void MpiSession::ServePoints(const Study& study, const std::vector<std::vector<double>>& points,
                             const MaterialsCatalogue& catalogue, const StudyOptions& options,
                             std::stop_token stop) const {
  for (;;) {
    MPI_Status status;
    unsigned long long index = 0;
    MPI_Recv(&index, 1, MPI_UNSIGNED_LONG_LONG, 0, MPI_ANY_TAG, MPI_COMM_WORLD, &status);
    if (status.MPI_TAG == kStop) return;
    PointResult result;
    result.Values.assign(study.Vary.size(), std::nan(""));
    result.Results.fill(std::nan(""));
    bool cancelled = false;
    try {
      result = RunPoint(study, points[index], catalogue, options, index, stop);
    } catch (const RunCancelled&) {
      cancelled = true;
    }
    const std::vector<double> packed = PackRow(index, cancelled, result);
    MPI_Send(packed.data(), static_cast<int>(packed.size()), MPI_DOUBLE, 0, kRow, MPI_COMM_WORLD);
    MPI_Send(result.Status.data(), static_cast<int>(result.Status.size()), MPI_CHAR, 0, kStatus,
             MPI_COMM_WORLD);
  }
}

}  // namespace quillane::study
