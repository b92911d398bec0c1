#include "session/InputForm.h"

#include <algorithm>
#include <filesystem>

#include "io/CaseFile.h"
#include "run/Validation.h"
#include "session/WindowText.h"

namespace quillane::session {

InputForm::InputForm(ModelState& state) : state_(state), shown_(Fields().size()) {}

void InputForm::ShowState() {
  for (const FieldInfo& field : Fields()) {
    shown_[static_cast<std::size_t>(field.Id)] = LoadText(state_, field.Id);
  }
}

std::optional<CommitOutcome> InputForm::Commit(FieldId id, const std::string& text) {
  std::string& shown = shown_.at(static_cast<std::size_t>(id));
  if (text == shown) return std::nullopt;
  CommitOutcome outcome = CommitField(state_, id, text);
  if (outcome.Accepted) shown = outcome.Reformat ? outcome.Shown : text;
  return outcome;
}

CommitOutcome InputForm::Step(FieldId id, const std::string& text, int direction) {
  CommitOutcome outcome = StepField(state_, id, text, direction);
  if (outcome.Accepted) shown_.at(static_cast<std::size_t>(id)) = outcome.Shown;
  return outcome;
}

void InputForm::Type(FieldId id, const std::string& text) {
  if (id == FieldId::Text13) {
    state_.Input.SpecimenLength = LiveValue(text, state_.Locale);
  } else if (id == FieldId::Text16) {
    state_.Input.InitialCurvature = LiveValue(text, state_.Locale);
  }
}

InputForm::Snapshot InputForm::Take() const {
  Snapshot snapshot{state_.Input, shown_};
  // The texts the window last accepted, not a half-typed edit.
  for (const FieldId live : {FieldId::Text13, FieldId::Text16}) {
    const double value = LiveValue(Shown(live), state_.Locale);
    (live == FieldId::Text13 ? snapshot.Input.SpecimenLength : snapshot.Input.InitialCurvature) =
        value;
  }
  return snapshot;
}

void InputForm::Restore(const Snapshot& snapshot) {
  state_.Input = snapshot.Input;
  shown_ = snapshot.Texts;
}

std::string InputForm::OpenCase(const std::filesystem::path& path) {
  InputParameters read = DefaultInputs();
  std::string catalogue;
  ReadCaseFile(path, read, &catalogue);
  state_.Input = std::move(read);
  ShowState();
  return catalogue;
}

std::vector<std::string> InputForm::MissingMaterials(const MaterialsCatalogue& catalogue) const {
  std::vector<std::string> missing;
  std::vector<const std::string*> names = {&state_.Input.SubstrateMaterialName};
  if (state_.Input.Coats.empty()) names.push_back(&state_.Input.CoatingMaterialName);
  for (const CoatInput& coat : state_.Input.Coats) names.push_back(&coat.Material);
  for (const std::string* name : names) {
    if (std::find(missing.begin(), missing.end(), *name) != missing.end()) continue;
    if (!name->empty() && (!catalogue.IsOpen() || catalogue.FindMaterial(*name) == nullptr)) {
      missing.push_back(*name);
    }
  }
  return missing;
}

void InputForm::RestoreDefaults() {
  InputParameters defaults = DefaultInputs();
  defaults.SubstrateMaterialName = state_.Input.SubstrateMaterialName;
  defaults.CoatingMaterialName = state_.Input.CoatingMaterialName;
  state_.Input = std::move(defaults);
  ShowState();
}

void InputForm::TakeFit(const std::string& coating, const std::vector<std::string>& coats,
                        std::optional<double> heatFlux) {
  if (!coating.empty()) {
    state_.Input.CoatingMaterialName = coating;
    // With coats, the fitted coating is the first coat's material.
    if (!state_.Input.Coats.empty()) state_.Input.Coats.front().Material = coating;
  }
  std::vector<CoatInput>& picked = state_.Input.Coats;
  for (std::size_t k = 0; k < std::min(coats.size(), picked.size()); ++k) {
    if (!coats[k].empty()) picked[k].Material = coats[k];
  }
  if (!heatFlux) return;
  state_.Input.HeatFlux = *heatFlux;
  for (const FieldInfo& field : Fields()) {
    if (field.Input->RealField == &InputParameters::HeatFlux) {
      shown_[static_cast<std::size_t>(field.Id)] = LoadText(state_, field.Id);
    }
  }
}

bool InputForm::Pick(bool substrate, const std::string& name) {
  std::string& target =
      substrate ? state_.Input.SubstrateMaterialName : state_.Input.CoatingMaterialName;
  if (target == name) return false;
  target = name;
  return true;
}

bool InputForm::FollowCatalogue(const std::vector<RowChange>& changes,
                                const MaterialsCatalogue& catalogue) {
  bool changed = false;
  std::vector<std::string*> picks = {&state_.Input.SubstrateMaterialName,
                                     &state_.Input.CoatingMaterialName};
  for (CoatInput& coat : state_.Input.Coats) picks.push_back(&coat.Material);
  for (std::string* picked : picks) {
    std::string followed = FollowedPick(*picked, changes, catalogue);
    changed = changed || followed != *picked;
    *picked = std::move(followed);
  }
  return changed;
}

bool InputForm::BothPicked() const {
  const InputParameters& in = state_.Input;
  if (in.SubstrateMaterialName.empty()) return false;
  if (in.Coats.empty()) return !in.CoatingMaterialName.empty();
  return std::none_of(in.Coats.begin(), in.Coats.end(),
                      [](const CoatInput& coat) { return coat.Material.empty(); });
}

std::vector<FieldNote> FieldNotes(const ModelState& state) {
  const std::vector<InputFault> faults = FindInputFaults(state, nullptr);
  std::vector<FieldNote> notes(Fields().size());
  for (const FieldInfo& field : Fields()) {
    FieldNote& note = notes[static_cast<std::size_t>(field.Id)];
    for (const InputFault& fault : faults) {
      // A coat's faults belong to its cells in the coats' table, not to the case's boxes.
      if (fault.Input != field.Input || fault.French.starts_with("Couche")) continue;
      note.Tip += (note.Outside ? "\n" : "") + fault.French;
      note.Outside = true;
    }
    if (!note.Outside) {
      note.Tip = ValueText(state, field) + "\n" + RangeText(field, state.Locale);
    }
  }
  return notes;
}

std::vector<std::string> ResultFileFilters() {
  return NameFilters(
      "Tous les fichiers "
      "(*.*)|*.*|Fichiers texte "
      "(*.txt)|*.txt|Fichiers batch (*.bat)|*.bat");
}

std::string ResultDialogStart(const std::string& current, const char* proposed) {
  return std::filesystem::path(current).is_absolute() ? current : proposed;
}

}  // namespace quillane::session
