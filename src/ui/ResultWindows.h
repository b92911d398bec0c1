#pragma once
// The four result windows of the program (Results, building, cooling, Arrow), created on first
// use and unloaded by "RAZ". Everything here lives on the interface thread.

#include <QObject>
#include <QPointer>

#include "core/RunHost.h"
#include "graphics/DrawingSurface.h"

namespace quillane::ui {

class Results;
class building;
class cooling;
class Arrow;

// The drawing surfaces of the stress windows.
enum class SurfaceId {
  BuildingPicture1,
  BuildingPicture2,
  CoolingPicture1,
  CoolingPicture2,
  ArrowPicture1
};

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

  // The grid of that id, in its window (created without being shown).
  ResultGrid& Grid(GridId id);
  // The drawing surface of that id, in its window (created without being shown).
  graphics::DrawingSurface& Surface(SurfaceId id);
  // Repaints the pictures after their surfaces were drawn.
  void RefreshPictures();

  void ShowResults();
  void HideStressWindows();
  // "RAZ": unloads building, Results, cooling and Arrow, in this order.
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
};

}  // namespace quillane::ui
