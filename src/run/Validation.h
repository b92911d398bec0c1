#pragma once
// Checks made before a run opens anything: every input finite and within its documented
// physical range, so that no accepted input can overflow the arithmetic of the model, and the
// picked materials present in the catalogue with figures a real material can have.

#include <string>
#include <vector>

#include "materials/MaterialsCatalogue.h"
#include "model/InputTable.h"
#include "model/ModelState.h"

namespace quillane {

// Most lamellae the whole-deposit model keeps (every lamella of every pass, each with its sums).
inline constexpr double kMaxWholeDepositLamellae = 1e6;

// Longest pause before a coat, s: a day.
inline constexpr double kLongestPause = 86400;

// The catalogue row of the thermal contact layer between the first coat and the substrate.
inline constexpr const char* kContactName = "contact";

// One reason why a run cannot start, told in the batch program's English (naming the case key
// and the flag) and in the window's French (naming the caption, in the box's unit).
struct InputFault {
  const InputSpec* Input = nullptr;  // the input at fault, when there is one
  std::string English;
  std::string French;
};

// Physical bounds of a catalogue figure: wide enough for any real material, narrow enough that
// no figure can overflow the model's arithmetic.
struct MaterialBound {
  const MaterialColumn& Column;  // name, field and unit
  double Min;
  double Max;
};
const std::vector<MaterialBound>& MaterialBounds();

// The faults of one catalogue row against those bounds, each naming the material, the column
// and its range; empty when a run can use the row. The French texts write numbers with
// `separator`.
std::vector<InputFault> FindMaterialFaults(const MaterialRecord& row, char separator = '.');

// Every fault of the inputs and of the rows they pick; empty when the run can go ahead. The
// French texts use the state's decimal separator.
std::vector<InputFault> FindInputFaults(const ModelState& state,
                                        const MaterialsCatalogue* catalogue);

// Throws InputError with every fault (in English), or copies the picked rows and the "contact"
// row into the state for the run.
void ValidateRunInputs(ModelState& state, const MaterialsCatalogue* catalogue);

}  // namespace quillane
