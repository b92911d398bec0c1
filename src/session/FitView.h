#pragma once
// What the "Ajustement sur mesures" window shows of a record and of a fit, as plain data and
// French text: the notes and the solver's end, the summary beneath the fitted values, and the
// series of its chart. The window hands them to its widgets as they are.

#include <array>
#include <string>
#include <vector>

#include "fit/Calibration.h"
#include "fit/CalibrationRecord.h"
#include "fit/FittedMaterials.h"

namespace quillane::session {

// A note in the window's French, naming the figure by its caption:
// "La grandeur « Dilatation thermique du dépôt » ne peut pas être déterminée ...".
std::string FrenchNote(const fit::FitNote& note, char separator);
// Why the solver stopped; its own message where there is no French for it.
std::string FrenchEnd(const fit::FitResult& result);
// The text beneath the fitted values: the RMS residuals, the iterations and the solver's end,
// then the notes.
std::string FitSummary(const fit::FitResult& result, char separator);

// One quantity of the chart: the record's points, the model's curve and the residuals beneath.
struct OverlaySeries {
  std::string Label;         // "Courbure"
  std::string Unit;          // "1/m"
  std::string ValueAxis;     // "Courbure (1/m)"
  std::string ResidualAxis;  // "Résidu (1/m)"
  std::vector<double> Time;  // the record's times that have a value
  std::vector<double> Measured;
  std::vector<double> Residual;   // measured − model at those times; empty without a fit
  std::vector<double> CurveTime;  // the model's history; empty without a fit
  std::vector<double> Curve;
  double From = 0;  // the residuals' zero line runs over these times
  double To = 0;
};

// The curvature, then the back face's temperature when the record has it; `fit` is null until
// a fit of this record is shown.
std::vector<OverlaySeries> FitOverlay(const fit::CalibrationRecord& record,
                                      const fit::FitResult* fit);
// The chart's title: the record's file name, and the model once a fit of it is shown.
std::string OverlayTitle(const std::string& recordName, bool fitted);

// The line naming the record opened: "essai.csv — 120 points de 0 à 59,5 s, avec la température
// de la face arrière".
std::string RecordText(const fit::CalibrationRecord& record, const std::string& fileName,
                       char separator);
// Why a record cannot serve a fit, in the window's French (numbers with `separator`); `fault` is
// null when the reader told no fault of the record itself.
std::string RecordRefused(const std::string& path, const fit::RecordFault* fault, char separator);
// The solver's last iteration while it runs: "Itération 12 — coût 3,142E-04".
std::string IterationText(const fit::FitProgress& progress, char separator);
// The status line once a fit has ended well, or was cancelled.
std::string EndText(const fit::FitResult& result);

// One line of the fitted values' table: the figure's caption (its name as the tooltip), the start,
// fitted value and the 68 % interval with the standard error beside it where the covariance holds
// (seven significant digits, three for the interval) and the unit, that of the figure's box (the
// heat flux in kW/m², as the input window gives it).
struct FitTableRow {
  std::string Caption;
  std::string Name;
  std::array<double, 3> Values{};
  std::array<std::string, 3> Texts;
  std::string Unit;
};
std::vector<FitTableRow> FitTable(const fit::FitResult& result, char separator);
// Whether the fit follows its record: no note says the model does not, or is the wrong one. A
// fit that does not is applied only once the user confirms.
bool FollowsRecord(const fit::FitResult& result);

// The status line once the fitted figures were applied: what was saved and what was taken.
std::string AppliedText(const fit::FittedMaterials& fitted);

}  // namespace quillane::session
