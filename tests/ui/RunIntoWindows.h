#pragma once
// A run fed to the result windows on the calling (interface) thread, as the window's worker
// runs it and the window takes it in.

#include "graphics/StressSurfaces.h"
#include "run/RunSimulation.h"
#include "ui/ResultWindows.h"

namespace quillane::test {

// Runs the case of `state` on a copy, with the results window shown and the stress windows
// hidden as a run from the input window leaves them; the windows take in its rows, tables and
// pictures. Returns the state the run left.
inline ModelState RunIntoWindows(ui::ResultWindows& windows, const ModelState& state,
                                 const MaterialsCatalogue& catalogue, const ResultPaths& paths) {
  windows.ShowResults();
  windows.HideStressWindows();
  ui::RunResults run = windows.PrepareRun(state);
  graphics::PictureSink pictures(run.Surfaces);
  ExecuteRun(run.State, &catalogue, paths, pictures, &run.Rows);
  windows.TakeIn(run);
  return run.State;
}

}  // namespace quillane::test
