#pragma once
// What a run hands out while it computes. The thermal and stress models know nothing of files,
// grids or windows: they give their records and events to a sink, and each caller (the batch
// program, the window's worker, a study) decides what to keep.

#include <array>

namespace quillane {

struct ModelState;

// One row of the thermal history: the clock, the node temperatures (node 1 the back face) and
// the height of the top node above the back face.
struct ThermalRecord {
  static constexpr int kMaxNodes = 8;
  double Time = 0;  // s since the start of the run
  int NodeCount = 0;
  std::array<double, kMaxNodes> Temperature{};  // [0] is node 1, K
  double Thickness = 0;                         // m
};

// The moments at which the stress pictures can be drawn.
enum class StressFrame {
  BuildUp,            // after lamella LamellaIndex of the build-up
  Cooling,            // after the final cooling
  DeflectionHistory,  // the whole history is known
};

class RunSink {
 public:
  virtual ~RunSink() = default;
  // A thermal row. `repeat` is set when the row is the previous one recorded again (its values
  // have not changed), so that a writer can reuse what it formatted.
  virtual void ThermalRow(const ThermalRecord& record, bool repeat) = 0;
  // "Matrix singular ": the step kept its temperatures and the run goes on.
  virtual void SingularMatrix() = 0;
  // The state at a moment worth drawing. Drawing routines may publish their spans into it.
  virtual void Frame(ModelState& state, StressFrame frame) = 0;
  // The fraction of the run done, 0 to 1, now and then. Returning false cancels the run.
  virtual bool Progress(double fraction) = 0;
};

// A sink that keeps nothing: for computations whose results are read from the state alone.
class NullSink : public RunSink {
 public:
  void ThermalRow(const ThermalRecord&, bool) override {}
  void SingularMatrix() override {}
  void Frame(ModelState&, StressFrame) override {}
  bool Progress(double) override { return true; }
};

}  // namespace quillane
