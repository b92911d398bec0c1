#include "ui/ResultWindows.h"

#include "graphics/FieldPicture.h"
#include "run/ResultWriter.h"
#include "stress/DeflectionHistory.h"
#include "ui/Arrow.h"
#include "ui/Results.h"
#include "ui/ThermalField.h"
#include "ui/building.h"
#include "ui/cooling.h"
#include "widgets/ResultGridModel.h"
#include "widgets/Widgets.h"

namespace quillane::ui {

namespace {

// Forgets a window the user closed: it is being deleted, and the next use makes a new one.
template <typename Window>
void ForgetOnClose(QObject* owner, QPointer<Window>& slot, Window* window) {
  QObject::connect(window, &Window::Closed, owner, [&slot, window] {
    if (slot == window) slot = nullptr;
  });
}

}  // namespace

graphics::DrawingSurface& SurfaceOf(graphics::StressSurfaces& surfaces, SurfaceId id) {
  switch (id) {
    case SurfaceId::BuildingPicture1:
      return surfaces.BuildingPicture1;
    case SurfaceId::BuildingPicture2:
      return surfaces.BuildingPicture2;
    case SurfaceId::CoolingPicture1:
      return surfaces.CoolingPicture1;
    case SurfaceId::CoolingPicture2:
      return surfaces.CoolingPicture2;
    case SurfaceId::ArrowPicture1:
      return surfaces.ArrowPicture1;
  }
  return surfaces.ArrowPicture1;
}

ResultWindows::ResultWindows(QObject* parent) : QObject(parent) {}

ResultWindows::~ResultWindows() {
  Reset();
}

Results& ResultWindows::ResultsWindow() {
  if (!results_) {
    results_ = new Results();
    ForgetOnClose(this, results_, results_.data());
    connect(results_, &Results::BuildingViewRequested, this,
            [this] { ShowInFront(BuildingWindow()); });
    connect(results_, &Results::CoolingViewRequested, this,
            [this] { ShowInFront(CoolingWindow()); });
    connect(results_, &Results::ArrowViewRequested, this, [this] { ShowInFront(ArrowWindow()); });
    connect(results_, &Results::FieldViewRequested, this, [this] {
      if (fieldDrawn_) ShowInFront(FieldWindow());
    });
    results_->EnableFieldView(fieldDrawn_);
    // Queued: the reset unloads the Results window, which must not happen while its own menu
    // is still delivering the click.
    connect(results_, &Results::FinClicked, this, &ResultWindows::FinRequested,
            Qt::QueuedConnection);
    connect(results_, &Results::RazClicked, this, &ResultWindows::RazRequested,
            Qt::QueuedConnection);
  }
  return *results_;
}

building& ResultWindows::BuildingWindow() {
  if (!building_) {
    building_ = new building();
    ForgetOnClose(this, building_, building_.data());
  }
  return *building_;
}

cooling& ResultWindows::CoolingWindow() {
  if (!cooling_) {
    cooling_ = new cooling();
    ForgetOnClose(this, cooling_, cooling_.data());
  }
  return *cooling_;
}

Arrow& ResultWindows::ArrowWindow() {
  if (!arrow_) {
    arrow_ = new Arrow();
    ForgetOnClose(this, arrow_, arrow_.data());
  }
  return *arrow_;
}

ThermalField& ResultWindows::FieldWindow() {
  if (!field_) {
    field_ = new ThermalField();
    ForgetOnClose(this, field_, field_.data());
    field_->ShowDrawing(fieldDrawing_);
  }
  return *field_;
}

ResultGridModel& ResultWindows::Grid(GridId id) {
  switch (id) {
    case GridId::Resultats:
      return ResultsWindow().Grid();
    case GridId::MSFlexGrid1:
      return ArrowWindow().Grid(1);
    case GridId::MSFlexGrid2:
      return ArrowWindow().Grid(2);
    case GridId::MSFlexGrid3:
      return ArrowWindow().Grid(3);
  }
  return ArrowWindow().Grid(3);
}

graphics::DrawingSurface& ResultWindows::Surface(SurfaceId id) {
  switch (id) {
    case SurfaceId::BuildingPicture1:
      return BuildingWindow().GlobalSurface();
    case SurfaceId::BuildingPicture2:
      return BuildingWindow().ZoomSurface();
    case SurfaceId::CoolingPicture1:
      return CoolingWindow().GlobalSurface();
    case SurfaceId::CoolingPicture2:
      return CoolingWindow().ZoomSurface();
    case SurfaceId::ArrowPicture1:
      return ArrowWindow().Surface();
  }
  return ArrowWindow().Surface();
}

void ResultWindows::RefreshPictures() {
  if (building_) building_->RefreshPictures();
  if (cooling_) cooling_->RefreshPictures();
  if (arrow_) arrow_->RefreshPicture();
}

RunResults ResultWindows::PrepareRun(const ModelState& state) {
  RunResults run;
  run.State = state;
  run.Rows.SetColumnCount(kThermalColumns);
  for (SurfaceId id : kSurfaceIds) SurfaceOf(run.Surfaces, id) = Surface(id);
  // The run adds its records to those of the runs before off this thread; the Results window
  // shows its progress meanwhile.
  run.Earlier = Grid(GridId::Resultats).TakeRecords();
  ResultsWindow().ShowRunProgress(QStringLiteral("Calcul en cours…"), 0);
  return run;
}

void ResultWindows::GiveBack(RunResults& results) {
  Grid(GridId::Resultats).AppendRecords(std::move(results.Earlier));
  results.Earlier = {};
  ResultsWindow().EndRunProgress();
}

void ResultWindows::ShowRunProgress(const QString& text, double fraction) {
  if (results_) results_->ShowRunProgress(text, fraction);
}

void ResultWindows::TakeIn(RunResults& results) {
  if (!results.Ready) ReadyForWindows(results);
  ResultGridModel& rows = Grid(GridId::Resultats);
  rows.SetColumnCount(kThermalColumns);
  if (rows.RowCount() == 2) {
    rows.FillBlock(0, 0, 0, kThermalColumns - 1, kThermalTitles);
    rows.FillBlock(1, 1, 0, kThermalColumns - 1, kThermalUnits);
  }
  rows.SetColumnWidth(0, 1500);
  rows.SetColumnWidth(1, 1000);
  rows.SetCurrentColumn(0);
  rows.AppendRecords(std::move(results.Records));
  ResultsWindow().EndRunProgress();

  const BeforeCoolingTable table = MakeBeforeCoolingTable(results.State);
  ResultGridModel& before = Grid(GridId::MSFlexGrid1);
  before.FillBlock(0, 0, 0, 1, table.AxisLine);
  before.SetColumnWidth(0, 1500);
  before.SetColumnWidth(1, 1500);
  before.AddRow(table.TitleLine);
  for (const std::string& line : table.LamellaLines) before.AddRow(line);
  ResultGridModel& after = Grid(GridId::MSFlexGrid2);
  for (const std::string& line : AfterCoolingRows(results.State)) after.AddRow(line);

  for (SurfaceId id : kSurfaceIds) Surface(id) = std::move(SurfaceOf(results.Surfaces, id));
  RefreshPictures();
  ArrowWindow().ShowTimeSpan(DeflectionHistorySeconds(results.State),
                             results.State.Locale.DecimalSeparator);

  // Drawn with the results, off this thread.
  fieldDrawn_ = results.FieldDrawn;
  if (fieldDrawn_) {
    fieldDrawing_ = std::move(results.Field);
  } else {
    fieldDrawing_.Cls();
  }
  ResultsWindow().EnableFieldView(fieldDrawn_);
  // An open field window shows the new run's field, or none.
  if (field_) {
    field_->ShowDrawing(fieldDrawing_);
    if (!fieldDrawn_) field_->hide();
  }
}

void ResultWindows::ShowResults() {
  ShowInFront(ResultsWindow());
}

void ResultWindows::HideStressWindows() {
  BuildingWindow().hide();
  CoolingWindow().hide();
  ArrowWindow().hide();
}

void ResultWindows::Reset() {
  // Deleting a window discards its grids and drawings with it.
  delete building_.data();
  delete results_.data();
  delete cooling_.data();
  delete arrow_.data();
  delete field_.data();
  fieldDrawn_ = false;
  fieldDrawing_.Cls();
}

}  // namespace quillane::ui
