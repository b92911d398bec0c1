#pragma once
// The field rules of the input window, without widgets: what each box shows when the window
// loads, how its text is read back into the model state when it loses the focus, and how it is
// shown again, all derived from the input table. The window applies these to its line edits;
// tests can drive them directly.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/InputTable.h"
#include "model/ModelState.h"

namespace quillane::session {

// The boxes of the input window, in their load order (there is no box 11; the ninth is "text9";
// "Text17", the room temperature, and "Text18" to "Text21", the whole-deposit field's inputs,
// came later).
enum class FieldId {
  Text1,
  Text2,
  Text3,
  Text4,
  Text5,
  Text6,
  Text7,
  Text8,
  text9,
  Text10,
  Text12,
  Text13,
  Text14,
  Text15,
  Text16,
  Text17,
  Text18,
  Text19,
  Text20,
  Text21,
};
inline constexpr std::size_t kFieldCount = 20;

struct FieldInfo {
  FieldId Id;
  const InputSpec* Input;  // the input the box holds
  const char* Name() const { return Input->Control; }
  const char* Caption() const { return Input->Caption; }
  FieldParse Parse() const { return Input->Parse; }
  // A box with a spin button: its arrow keys step it too.
  bool Spins() const { return Input->SpinStep != 0; }
};

// Every box, in load order.
const std::vector<FieldInfo>& Fields();
const FieldInfo& Field(FieldId id);

// The box of an input; the input must have one.
const FieldInfo& FieldOf(const InputSpec& input);

// Whether the window shows an input as a list of the catalogue's materials.
bool IsMaterialList(const InputSpec& input);
// The inputs the window shows in a frame, in reading order so that Tab follows it: the material
// list first, then the fields row by row.
std::vector<const InputSpec*> FrameInputs(WindowFrame frame);

// The text a box shows when the window loads (or after a case is opened), from the state.
std::string LoadText(const ModelState& state, FieldId id);

// Result of a commit or a spin step.
struct CommitOutcome {
  bool Accepted = false;
  // Whether the box is given Shown (false: the box keeps the text as typed).
  bool Reformat = false;
  std::string Shown;
  // Why a text was refused, in the user's language, for a status message or a balloon; or,
  // for an accepted text that is not a number (a lenient box reads it all the same), what it
  // was read as.
  std::string Reason;
};

// The commit rule of the box when it loses the focus with the given text. A refused text
// leaves the state as it was.
CommitOutcome CommitField(ModelState& state, FieldId id, std::string_view text);

// A spin button click: steps the number shown in the box (its text when that is a number,
// the state's value otherwise) by one step up (direction > 0) or down, within the documented
// range of the field, and commits it at once.
CommitOutcome StepField(ModelState& state, FieldId id, std::string_view text, int direction);

// The allowed values of a box, in its unit, for its tooltip ("Plage : 0,001 à 1000000 µm").
std::string RangeText(const FieldInfo& field, const RegionalSettings& locale);

// The value that runs, in the box's unit with up to 15 significant digits, for its tooltip
// ("Valeur : 612,345 kW/m²"): a box's pattern may round what it shows.
std::string ValueText(const ModelState& state, const FieldInfo& field);

// The value a live box gives the model as its text changes ("Longueur du témoin (m)",
// "1/Rcourbure"): the leading number of the text, read with the point as decimal separator
// (the locale's separator typed in the box counts as one), 0 when there is none.
double LiveValue(std::string_view boxText, const RegionalSettings& locale);

}  // namespace quillane::session
