#include "session/CoatEntry.h"

#include <cmath>
#include <stdexcept>

#include "format/NumberFormat.h"
#include "run/Validation.h"
#include "session/FormEntry.h"

namespace quillane::session {

namespace {

CoatColumn FigureColumn(const char* name, const char* key,
                        std::optional<double> CoatInput::*field) {
  const InputSpec& input = Input(key);
  return {CoatColumnKind::Figure, std::string(name) + " (" + input.DisplayUnit + ")", &input,
          field};
}

std::string CellNumber(double value, const RegionalSettings& locale) {
  return format::FormatGeneral(value, locale.DecimalSeparator);
}

const CoatColumn& ColumnAt(std::size_t column) {
  return CoatColumns().at(column);
}

CommitOutcome CellRefused(std::size_t coat, const CoatColumn& column, const std::string& reason) {
  CommitOutcome outcome;
  outcome.Reason = "Couche " + std::to_string(coat + 1) + ", " + column.Header + " : " + reason +
                   " ; la valeur précédente est conservée.";
  return outcome;
}

CommitOutcome CellTaken(std::string shown) {
  CommitOutcome outcome;
  outcome.Accepted = true;
  outcome.Reformat = true;
  outcome.Shown = std::move(shown);
  return outcome;
}

// The column a fault of coat `coat` points at, or nullopt when it is not one of that coat's.
std::optional<std::size_t> FaultColumn(const InputFault& fault, std::size_t coat) {
  const std::string number = std::to_string(coat + 1);
  if (fault.French.starts_with("Couche " + number + " : ")) {
    for (std::size_t c = 0; c < CoatColumns().size(); ++c) {
      const CoatColumn& column = CoatColumns()[c];
      // The pause is the one figure of a coat that no input of the table holds.
      const bool pause = column.Kind == CoatColumnKind::Pause && fault.Input == nullptr;
      if (pause || (column.Input != nullptr && column.Input == fault.Input)) return c;
    }
    return std::nullopt;
  }
  if (fault.French.find("matériau de la couche " + number + " ") == std::string::npos) {
    return std::nullopt;
  }
  for (std::size_t c = 0; c < CoatColumns().size(); ++c) {
    if (CoatColumns()[c].Kind == CoatColumnKind::Material) return c;
  }
  return std::nullopt;
}

}  // namespace

const std::vector<CoatColumn>& CoatColumns() {
  static const std::vector<CoatColumn> kColumns = {
      {CoatColumnKind::Material, "Matériau", nullptr, nullptr},
      {CoatColumnKind::PassCount, "Passes", &Input("PassCount"), nullptr},
      FigureColumn("Ép. passe", "PassThickness", &CoatInput::PassThickness),
      FigureColumn("Ép. lamelle", "LamellaThickness", &CoatInput::LamellaThickness),
      FigureColumn("Flux", "HeatFlux", &CoatInput::HeatFlux),
      FigureColumn("T particules", "ParticleTemperature", &CoatInput::ParticleTemperature),
      FigureColumn("Période", "PassPeriod", &CoatInput::PassPeriod),
      FigureColumn("Créneau", "HeatingWindow", &CoatInput::HeatingWindow),
      {CoatColumnKind::Pause, "Pause avant (s)", nullptr, nullptr},
  };
  return kColumns;
}

std::string CoatCellText(const ModelState& state, std::size_t coat, std::size_t column) {
  const CoatInput& in = state.Input.Coats.at(coat);
  const CoatColumn& at = ColumnAt(column);
  switch (at.Kind) {
    case CoatColumnKind::Material:
      return in.Material;
    case CoatColumnKind::PassCount:
      return std::to_string(in.PassCount);
    case CoatColumnKind::Figure: {
      const std::optional<double>& value = in.*at.Field;
      return value ? CellNumber(at.Input->ToDisplay(*value), state.Locale) : std::string();
    }
    case CoatColumnKind::Pause:
      break;
  }
  return CellNumber(in.PauseBefore, state.Locale);
}

std::string CoatCellPlaceholder(const ModelState& state, std::size_t column) {
  const CoatColumn& at = ColumnAt(column);
  if (at.Kind != CoatColumnKind::Figure) return "";
  return CellNumber(at.Input->ToDisplay(at.Input->Get(state.Input)), state.Locale);
}

std::optional<CommitOutcome> CommitCoatCell(ModelState& state, std::size_t coat, std::size_t column,
                                            std::string_view text) {
  if (text == CoatCellText(state, coat, column)) return std::nullopt;
  CoatInput& target = state.Input.Coats.at(coat);
  const CoatColumn& at = ColumnAt(column);
  const std::string typed = Trimmed(std::string(text));
  if (at.Kind == CoatColumnKind::Material) {
    if (typed.empty()) return CellRefused(coat, at, "aucun matériau n'est choisi");
    target.Material = typed;
    return CellTaken(typed);
  }
  if (typed.empty()) {
    // An empty figure is the case's own; an empty pause is none.
    if (at.Kind == CoatColumnKind::PassCount) return CellRefused(coat, at, "la case est vide");
    if (at.Kind == CoatColumnKind::Figure) target.*at.Field = std::nullopt;
    if (at.Kind == CoatColumnKind::Pause) target.PauseBefore = 0;
    return CellTaken(CoatCellText(state, coat, column));
  }
  const RegionalSettings& locale = state.Locale;
  const auto number = format::ParseStrict(typed, locale.DecimalSeparator, locale.GroupSeparator);
  if (!number && std::isinf(LiveValue(typed, locale))) {
    return CellRefused(coat, at, "la valeur est trop grande");
  }
  if (!number) return CellRefused(coat, at, "« " + typed + " » n'est pas un nombre");
  switch (at.Kind) {
    case CoatColumnKind::PassCount:
      if (*number != std::floor(*number)) {
        return CellRefused(coat, at, "« " + typed + " » n'est pas un nombre entier");
      }
      if (std::fabs(*number) > kMaxInteger) {
        return CellRefused(coat, at, typed + " dépasse " + std::to_string(kMaxInteger));
      }
      target.PassCount = static_cast<int>(*number);
      break;
    case CoatColumnKind::Figure: {
      const double value = at.Input->FromDisplay(*number);
      if (!std::isfinite(value)) return CellRefused(coat, at, "la valeur est trop grande");
      target.*at.Field = value;
      break;
    }
    case CoatColumnKind::Pause:
      target.PauseBefore = *number;
      break;
    case CoatColumnKind::Material:
      break;
  }
  return CellTaken(CoatCellText(state, coat, column));
}

void StartCoats(InputParameters& in) {
  if (!in.Coats.empty()) return;
  CoatInput first;
  first.Material = in.CoatingMaterialName;
  first.PassCount = in.PassCount;
  in.Coats = {first, first};
}

void StopCoats(InputParameters& in) {
  if (in.Coats.empty()) return;
  if (!in.Coats.front().Material.empty()) in.CoatingMaterialName = in.Coats.front().Material;
  in.Coats.clear();
}

bool AddCoat(InputParameters& in) {
  if (in.Coats.empty() || in.Coats.size() >= static_cast<std::size_t>(kMaxCoats)) return false;
  in.Coats.push_back(in.Coats.back());
  return true;
}

bool RemoveCoat(InputParameters& in, std::size_t coat) {
  if (coat >= in.Coats.size() || in.Coats.size() <= 1) return false;
  in.Coats.erase(in.Coats.begin() + static_cast<std::ptrdiff_t>(coat));
  return true;
}

std::vector<std::vector<FieldNote>> CoatNotes(const ModelState& state,
                                              const MaterialsCatalogue* catalogue) {
  const std::size_t columns = CoatColumns().size();
  std::vector<std::vector<FieldNote>> notes(state.Input.Coats.size(),
                                            std::vector<FieldNote>(columns));
  if (state.Input.Coats.empty()) return notes;
  const std::vector<InputFault> faults = FindInputFaults(state, catalogue);
  for (std::size_t k = 0; k < notes.size(); ++k) {
    for (const InputFault& fault : faults) {
      const std::optional<std::size_t> column = FaultColumn(fault, k);
      if (!column) continue;
      FieldNote& note = notes[k][*column];
      note.Tip += (note.Outside ? "\n" : "") + fault.French;
      note.Outside = true;
    }
    for (std::size_t c = 0; c < columns; ++c) {
      FieldNote& note = notes[k][c];
      if (note.Outside) continue;
      const CoatColumn& at = CoatColumns()[c];
      if (at.Kind == CoatColumnKind::Pause) {
        note.Tip = "Plage : 0 à " + CellNumber(kLongestPause, state.Locale) + " s";
      } else if (at.Input != nullptr) {
        note.Tip = RangeText(FieldOf(*at.Input), state.Locale);
        if (at.Kind == CoatColumnKind::Figure && !(state.Input.Coats[k].*at.Field)) {
          note.Tip = "Vide : la valeur du cas, " + CoatCellPlaceholder(state, c) + " " +
                     at.Input->DisplayUnit + "\n" + note.Tip;
        }
      }
    }
  }
  return notes;
}

}  // namespace quillane::session
