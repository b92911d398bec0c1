#pragma once
// Everything a run reaches outside the model goes through the host: result grids, the stress
// drawings, windows, beeps, the singular-matrix report and progress. The desktop application,
// the batch program and the tests each provide one.

#include "core/ResultGrid.h"

namespace quillane {

struct ModelState;

enum class GridId { Resultats, MSFlexGrid1, MSFlexGrid2, MSFlexGrid3 };

class RunHost {
 public:
  virtual ~RunHost() = default;

  virtual ResultGrid& Grid(GridId id) = 0;

  // Windows: the run shows the thermal results window and hides the three stress windows.
  virtual void ShowResultsWindow() = 0;
  virtual void HideStressWindows() = 0;

  // Drawings of the stress views: the zoom surface (Picture2) when zoom is set, the global
  // surface (Picture1) otherwise. The routines may publish spans into the state.
  virtual void DrawBuildUpView(ModelState& state, bool zoom) = 0;
  virtual void DrawCoolingView(ModelState& state, bool zoom) = 0;
  virtual void DrawDeflectionHistory(ModelState& state) = 0;

  virtual void Beep() = 0;
  // "Matrix singular ": the run goes on afterwards.
  virtual void ReportSingularMatrix() = 0;

  // Called now and then with the fraction of the run done (0 to 1). Returning false cancels
  // the run, which then changes no result file.
  virtual bool Progress(double fraction) = 0;
};

}  // namespace quillane
