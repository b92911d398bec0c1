#pragma once
// The result windows of the program (Results, building, cooling, Arrow, and ThermalField after a
// whole-deposit run), created on first use and unloaded by "RAZ". Everything here lives on the
// interface thread.

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>

#include "graphics/DrawingSurface.h"
#include "graphics/FieldPicture.h"
#include "graphics/StressSurfaces.h"
#include "model/ModelState.h"
#include "run/ResultRowStore.h"
#include "session/RunChannel.h"

namespace quillane::ui {

class Results;
class building;
class cooling;
class Arrow;
class ThermalField;
class ResultGridModel;
using session::RunResults;

// The result grids: the thermal rows (Results), and the stress tables of the Arrow window.
enum class GridId { Resultats, MSFlexGrid1, MSFlexGrid2, MSFlexGrid3 };

// The drawing surfaces of the stress windows.
enum class SurfaceId {
  BuildingPicture1,
  BuildingPicture2,
  CoolingPicture1,
  CoolingPicture2,
  ArrowPicture1
};

inline constexpr std::array<SurfaceId, 5> kSurfaceIds = {
    SurfaceId::BuildingPicture1, SurfaceId::BuildingPicture2, SurfaceId::CoolingPicture1,
    SurfaceId::CoolingPicture2, SurfaceId::ArrowPicture1};

// The surface of that id among a run's pictures.
graphics::DrawingSurface& SurfaceOf(graphics::StressSurfaces& surfaces, SurfaceId id);

class ResultWindows : public QObject {
  Q_OBJECT
 public:
  explicit ResultWindows(QObject* parent = nullptr);
  ~ResultWindows() override;

  // Each window is created (hidden) on first use; closing one with its title bar discards it.
  Results& ResultsWindow();
  building& BuildingWindow();
  cooling& CoolingWindow();
  Arrow& ArrowWindow();
  ThermalField& FieldWindow();

  // The grid of that id, in its window (created without being shown).
  ResultGridModel& Grid(GridId id);
  // The drawing surface of that id, in its window (created without being shown).
  graphics::DrawingSurface& Surface(SurfaceId id);
  // Repaints the pictures after their surfaces were drawn.
  void RefreshPictures();

  // A run's own copies: the state given, fresh rows, and the pictures as the windows show them
  // (a drawing goes on from the state its surface was left in). The Results window's records go
  // with the run, which adds its own to them; the window shows the run's progress in their place.
  RunResults PrepareRun(const ModelState& state);
  // A run that ended well: its rows, tables and pictures go to the windows (made ready for them
  // first, when the run did not do it); "Champ thermique" is enabled for a whole-deposit run
  // only.
  void TakeIn(RunResults& results);
  // A run that did not end well gives the records back: the windows are as they were.
  void GiveBack(RunResults& results);
  // The run's progress in the Results window, while it is open.
  void ShowRunProgress(const QString& text, double fraction);

  void ShowResults();
  void HideStressWindows();
  // "RAZ": unloads building, Results, cooling, Arrow and ThermalField, in this order, and
  // forgets the thermal field.
  void Reset();

 signals:
  // The "Fin" and "RAZ" menus of the Results window.
  void FinRequested();
  void RazRequested();

 private:
  QPointer<Results> results_;
  QPointer<building> building_;
  QPointer<cooling> cooling_;
  QPointer<Arrow> arrow_;
  QPointer<ThermalField> field_;
  // The last run's thermal field, drawn once: the window may be closed and opened again.
  graphics::DrawingSurface fieldDrawing_{graphics::kFieldWidthTwips, graphics::kFieldHeightTwips};
  bool fieldDrawn_ = false;
};

}  // namespace quillane::ui
