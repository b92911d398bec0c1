#pragma once
// Every input of a run, listed once: its model field, case-file key, caption, units, range,
// window control and its cell, batch flag and display patterns. Case files, batch flags and
// their help, validation messages and the window's field rules and layout are all derived from
// this table.

#include <span>
#include <string>
#include <vector>

#include "model/ModelState.h"

namespace quillane {

enum class InputType { Real, Integer, Text };

// How the window's box reads its text back when it loses the focus.
enum class FieldParse {
  Strict,   // the whole text must be a number; otherwise the value stays and the user is told
  Lenient,  // the leading number, 0 when none; never fails
  Live,     // no commit: the value follows the text as it is typed
  List,     // picked from a list, not typed
};

// One value a text input can take, with its caption in the window.
struct InputChoice {
  const char* Value;
  const char* Caption;
};

// A value in a unit worth `factor` SI units, in SI (ScaleToSi) and back (ScaleFromSi). Where the
// factor is a power of ten (1e-6, 1e-3, 1000) the value's shortest decimal digits are shifted, so
// that a decimal typed in one unit is the same decimal in the other: 2.5 µm is 2.5e-06 m, the
// double "2.5e-6" reads as (2.5 × 1e-6 is 2.4999999999999998e-06), and shows as 2.5 again.
double ScaleToSi(double shown, double factor);
double ScaleFromSi(double si, double factor);

// The frames of the input window.
enum class WindowFrame { None, Substrate, Deposit, Options };

// Where the input window shows an input: its frame, and its cell there counted in fields (a
// caption with its box; a wide one's caption spans both columns), with the spin button beside
// its box when it has one. A material list stands at the top of its frame.
struct WindowCell {
  WindowFrame Frame = WindowFrame::None;
  int Row = 0;
  int Column = 0;
  bool Wide = false;
  const char* Spin = nullptr;  // object name of the spin button
};

struct InputSpec {
  const char* Key;  // model field and case-file key
  InputType Type;
  const char* Caption;      // caption of the window's control
  const char* Unit;         // SI unit of the field ("" for counts and names)
  const char* DisplayUnit;  // unit of the window's box and of the batch flag
  double DisplayFactor;     // SI value of one display unit
  bool Ranged;              // Min and Max apply
  double Min;               // SI
  double Max;               // SI
  double Default;           // SI; names default to empty
  const char* Control;      // object name of the window's control
  const char* Flag;         // batch flag
  FieldParse Parse;
  const char* LoadPattern;    // the box's text at load; "" for the general form
  const char* CommitPattern;  // the box's text after a commit; "" general, nullptr as typed
  double SpinStep;            // spin button step in display units, 0 for none
  double InputParameters::*RealField;
  int InputParameters::*IntegerField;
  std::string InputParameters::*TextField;
  // The values a text input takes, the default first; empty for the material names, which the
  // catalogue checks.
  std::span<const InputChoice> Choices;
  WindowCell Cell{};

  // The value of a number input, in SI units.
  double Get(const InputParameters& in) const;
  void Set(InputParameters& in, double value) const;
  // An SI value in the display unit, and back, by ScaleFromSi and ScaleToSi.
  double ToDisplay(double si) const { return ScaleFromSi(si, DisplayFactor); }
  double FromDisplay(double shown) const { return ScaleToSi(shown, DisplayFactor); }
};

// Every input, in the order of the input window's frames.
const std::vector<InputSpec>& InputTable();

// The input of that key (nullptr when there is none).
const InputSpec* FindInput(const std::string& key);
// Same, but the input must exist.
const InputSpec& Input(const std::string& key);

// The caption of a choice's value ("" when the input has no such value).
const char* ChoiceCaption(const InputSpec& input, const std::string& value);
// The allowed values of a choice, "a or b" ("a, b or c"), and their captions in French.
std::string ChoiceList(const InputSpec& input);
std::string ChoiceCaptionList(const InputSpec& input);

// The materials of a run from a script (the batch program, the Python module) that names none.
inline constexpr const char* kDefaultSubstrate = "Acier 316L";
inline constexpr const char* kDefaultCoating = "NiCrAlY";

// Largest value a 16-bit field of the window holds.
inline constexpr int kMaxInteger = 32767;

}  // namespace quillane
