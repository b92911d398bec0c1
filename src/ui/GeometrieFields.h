#pragma once
// The field rules of the input window, without widgets: what each box shows when the window
// loads, how its text is read back into the model state when it loses the focus, and how it is
// shown again. The window applies these to its line edits; tests can drive them directly.

#include <string>
#include <string_view>
#include <vector>

#include "core/ModelState.h"

namespace quillane::ui {

// The boxes of the input window, in their load order (there is no box 11; the ninth is "text9").
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
};

// How a box's text is read when the box loses the focus.
enum class ParseKind {
  Strict,   // the whole text must be a number; otherwise the value stays and the user is told
  Lenient,  // the leading number, 0 when none; never fails
  Live,     // no commit: the model reads the text itself at every layer set-up
};

struct FieldInfo {
  FieldId Id;
  const char* Name;     // object name of the box
  const char* Caption;  // caption shown beside or above the box
  ParseKind Parse;
  // Spin button: the step in the units shown in the box (0: no spin button) and the factor from
  // those units to the state's SI unit.
  double SpinStep;
  double DisplayScale;
  const char* RangeField;  // InputRanges() entry bounding the stepped value, or nullptr
};

// Every box, in load order.
const std::vector<FieldInfo>& Fields();
const FieldInfo& Field(FieldId id);

// The text a box shows when the window loads (or after a case is opened), from the state.
std::string LoadText(const ModelState& state, FieldId id);

// Result of a commit or a spin step.
struct CommitOutcome {
  bool Accepted = false;
  // Whether the box is given Shown (false: the box keeps the text as typed).
  bool Reformat = false;
  std::string Shown;
  // Why a text was refused, in the user's language, for a status message or a balloon.
  std::string Reason;
};

// The commit rule of the box when it loses the focus with the given text. A refused text
// leaves the state as it was.
CommitOutcome CommitField(ModelState& state, FieldId id, std::string_view text);

// A spin button click: steps the number shown in the box (its text when that is a number,
// the state's value otherwise) by one step up (direction > 0) or down, within the documented
// range of the field, and commits it at once.
CommitOutcome StepField(ModelState& state, FieldId id, std::string_view text, int direction);

// The text the model reads for a live box ("Longueur du témoin (m)", "1/Rcourbure"): the
// model's lenient reading knows only the point as decimal separator, so the locale's
// separator typed or shown in the box is given to it as a point.
std::string ModelText(std::string_view boxText, const RegionalSettings& locale);

// The reverse, for showing a model text (case files, defaults) in a box.
std::string BoxText(std::string_view modelText, const RegionalSettings& locale);

}  // namespace quillane::ui
