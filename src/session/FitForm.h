#pragma once
// The entries of the "Ajustement sur mesures" window as plain data, and what the window makes of
// them: the bounds it proposes, the fit the entries describe over the input window's inputs, or
// the faults that stop it. The window only shows and words them.

#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "fit/Calibration.h"
#include "fit/CalibrationRecord.h"
#include "fit/FittedMaterials.h"
#include "materials/MaterialsCatalogue.h"
#include "materials/UserCatalogue.h"
#include "model/ModelState.h"
#include "run/EntryFault.h"
#include "run/QuantityTable.h"
#include "run/Validation.h"
#include "session/Handoff.h"

namespace quillane::session {

// The line of one figure a record can be fitted to. Bounds are in the unit of the figure's box
// (the heat flux in kW/m²), typed with the locale's separators.
struct FitFormRow {
  const QuantitySpec* Quantity = nullptr;
  bool Checked = false;
  std::string Min;
  std::string Max;
};

struct FitForm {
  std::vector<FitFormRow> Rows;  // FitQuantities(coats) of the case, in their order
  std::string CurvatureNoise;    // 1/m; empty: the fit estimates it
  std::string TemperatureNoise;  // K; same
  bool Robust = false;
};

// The names faults give the noise boxes.
inline constexpr const char* kCurvatureNoise = "CurvatureNoise";
inline constexpr const char* kTemperatureNoise = "TemperatureNoise";

// The bounds proposed for a figure, the widest the table allows, as its boxes show them.
struct ProposedBounds {
  std::string Min;
  std::string Max;
};
ProposedBounds ProposeBounds(const QuantitySpec& quantity, char separator);

// The figures the window offers for a case of `coats` coats: FittableQuantities(), then those of
// each later coat's row the case has, coat by coat.
std::vector<const QuantitySpec*> FitQuantities(std::size_t coats);

// The form as the window opens: nothing checked, every figure's bounds proposed, the noise left
// to the fit.
FitForm NewFitForm(char separator, std::size_t coats = 0);
// The rows once the case has `coats` coats: those of figures still offered keep their entries,
// the others go, and new ones come as the window opens them. False when the rows are the same.
bool FollowCoats(FitForm& form, std::size_t coats, char separator);

// The settings the entries describe, or the faults that stop the fit: NoRecord first when there
// is no record, then for each checked figure its bounds as typed (NotANumber naming "min" or
// "max"; a bound left as proposed, or emptied, keeps the exact allowed one) and the faults of
// fit::MakeFitParameter, then NothingChosen when no figure is checked and nothing else is wrong,
// then each noise (NotPositive naming its box).
struct FitEntries {
  fit::FitSettings Settings;
  std::vector<EntryFault> Faults;
};
FitEntries ReadFitEntries(const FitForm& form, const RegionalSettings& locale, bool haveRecord);

// What a fit starts from: the entries over the input window's inputs (and its locale), which are
// checked as a single run checks them and, when everything holds, validated with their rows.
struct FitReading {
  fit::FitSettings Settings;
  ModelState Base;
  std::vector<EntryFault> Faults;
  std::vector<InputFault> InputFaults;

  bool Ready() const { return Faults.empty() && InputFaults.empty(); }
};
FitReading ReadFitForm(const FitForm& form, bool haveRecord, ModelState inputs,
                       const MaterialsCatalogue& catalogue);

// A fault of the entries as the window tells it: the figure's caption or the noise box first
// ("Module d'Young du dépôt : le min doit être inférieur au max.").
std::string FrenchFitFault(const EntryFault& fault, char separator);
// Every fault of a reading in French, entries first, in the order they were found.
std::vector<std::string> FrenchFaults(const FitReading& reading, char separator);

// How a fit ended, handed over by its thread: the result, or the fault that stopped it.
struct FitOutcome {
  std::optional<fit::FitResult> Result;
  std::string Fault;
};
// Fits `record` from `base` (validated inputs, as a reading gives them), handing each iteration
// to `steps`; a fault of the fit ends it as an outcome, as `stop` does.
FitOutcome RunFit(const ModelState& base, const fit::CalibrationRecord& record,
                  const fit::FitSettings& settings, Handoff<fit::FitProgress>& steps,
                  std::stop_token stop);

// A write of the user's rows that can be taken back: the rows written and the user's rows of
// the same names they replaced.
struct RowsWrite {
  std::vector<UserMaterial> Written;
  std::vector<UserMaterial> Replaced;
};
// Writes `rows` (all or none), keeping what they replace. Throws CatalogueError.
RowsWrite WriteRows(UserCatalogue& user, std::vector<UserMaterial> rows);
// Takes a write back: its rows removed, those it replaced written again. Throws CatalogueError.
void TakeBack(UserCatalogue& user, const RowsWrite& write);
// What of a fit's write "Annuler la saisie" takes back with the inputs: the "contact" row, which
// every run uses whatever is picked. A fitted coating is a row of its own name, which the user
// may have picked elsewhere since: it stays among the user's materials.
RowsWrite UndoneWithInputs(const RowsWrite& write);

// The fitted figures as the user's rows, for the input window to take: the rows to write, or why
// none can be (a figure beyond the catalogue's bounds, or the user's file that cannot be
// written), as the window's box tells it.
struct FitSaving {
  std::optional<fit::FittedMaterials> Fitted;
  std::string Refusal;
  RowsWrite Write;  // once written
};
// The rows a fit makes, nothing written yet.
FitSaving PrepareFit(const ModelState& base, const fit::FitResult& result,
                     const std::string& recordName);
// The question asked before the rows are written, saying what every later run takes from them;
// empty when the fit writes no row (a fitted heat flux alone).
std::string ApplyQuestion(const fit::FittedMaterials& fitted);
// The fitted rows each coat of the fitted case picks, by coat (the first coat's is the coating's);
// empty for a coat whose row was not fitted.
std::vector<std::string> FittedCoats(const fit::FittedMaterials& fitted);
// Writes the prepared rows; false, with the refusal, when the user's file cannot be written.
bool WriteFit(FitSaving& saving, UserCatalogue& user);

}  // namespace quillane::session
