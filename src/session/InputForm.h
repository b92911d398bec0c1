#pragma once
// The input window's inputs without widgets: the model state the boxes commit into, the text
// each box last showed or accepted, and the changes that undo and redo replay. The window only
// copies these texts into its boxes and hands back what the user typed.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"
#include "session/GeometrieFields.h"
#include "session/MaterialEntry.h"

namespace quillane::session {

class InputForm {
 public:
  // The form works on `state`, which must outlive it.
  explicit InputForm(ModelState& state);

  // The text the box shows.
  const std::string& Shown(FieldId id) const { return shown_.at(static_cast<std::size_t>(id)); }
  // Every box from the state: at load, after a case is opened, after the defaults.
  void ShowState();

  // The box lost the focus with `text`. Only an edited box commits (re-reading a rounded
  // display would change the value): nothing when the text is the one shown. A refused text
  // leaves the state and the shown text as they were.
  std::optional<CommitOutcome> Commit(FieldId id, const std::string& text);
  // A spin step from the box's current text.
  CommitOutcome Step(FieldId id, const std::string& text, int direction);
  // The live boxes ("Longueur du témoin (m)", "1/Rcourbure") follow their text as it is typed.
  void Type(FieldId id, const std::string& text);

  // What undo and redo bring back: the inputs as the accepted texts give them, and the texts.
  struct Snapshot {
    InputParameters Input;
    std::vector<std::string> Texts;
    bool operator==(const Snapshot&) const = default;
  };
  Snapshot Take() const;
  void Restore(const Snapshot& snapshot);

  // Opens a case: the keys it leaves out take their defaults, not what was typed before.
  // Returns the catalogue the case names ("" for none); throws, changing nothing, when the
  // file cannot be read.
  std::string OpenCase(const std::filesystem::path& path);
  // The picked materials that `catalogue` does not hold (the coats' with coats), each once.
  std::vector<std::string> MissingMaterials(const MaterialsCatalogue& catalogue) const;
  // The defaults of the inputs; the picked materials stay.
  void RestoreDefaults();
  // A fit taken in: the fitted coating row picked (when named), each coat's fitted row (`coats`
  // by coat, empty where none was fitted; a coat the case no longer has is left) and the fitted
  // heat flux.
  void TakeFit(const std::string& coating, const std::vector<std::string>& coats,
               std::optional<double> heatFlux);
  // Picks a row as substrate or coating; false when it was already the one.
  bool Pick(bool substrate, const std::string& name);
  // Both picks once rows of the catalogue were replaced or deleted; true when one changed.
  bool FollowCatalogue(const std::vector<RowChange>& changes, const MaterialsCatalogue& catalogue);
  // A run can start once both materials are named (with coats, every coat's).
  bool BothPicked() const;

 private:
  ModelState& state_;
  std::vector<std::string> shown_;  // per box, in the order of FieldId
};

// What a box tells of its value: every fault of the input it holds, one a line, when the value
// lies outside what a run accepts; otherwise the value that runs (which the box's pattern may
// round) and its range.
struct FieldNote {
  bool Outside = false;
  std::string Tip;
};
// Per box, in the order of FieldId.
std::vector<FieldNote> FieldNotes(const ModelState& state);

// The result files' dialog: its filters, the one chosen at first, and the names it proposes.
std::vector<std::string> ResultFileFilters();
inline constexpr std::size_t kResultFilterChosen = 1;  // "Fichiers texte"
inline constexpr const char* kThermalProposed = "thermique.txt";
inline constexpr const char* kStressProposed = "stress.txt";
// The file a result dialog opens on: the one chosen before (a full path, so the dialog opens in
// its folder), or the name proposed while the file is still the default one.
std::string ResultDialogStart(const std::string& current, const char* proposed);

}  // namespace quillane::session
