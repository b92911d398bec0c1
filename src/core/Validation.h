#pragma once
// Checks made before a run opens anything: every input finite and within its documented
// physical range, so that no accepted input can overflow the arithmetic of the model.

#include <string>
#include <vector>

#include "core/ModelState.h"

namespace quillane {

// Documented range of one numeric input, in the state's SI units.
struct InputRange {
  const char* Field;    // ModelState field and case-file key
  const char* Caption;  // caption of the input window
  double Min;
  double Max;
  const char* Unit;
};

// Every ranged input, in the order of the input window.
const std::vector<InputRange>& InputRanges();

// One message per fault, each naming the input and its allowed range; empty when the run can
// go ahead. Reads the materials from the catalogue of the state.
std::vector<std::string> FindInputFaults(const ModelState& state);

// Throws InputError with every fault, or copies the picked rows and the "contact" row into the
// state for the run.
void ValidateRunInputs(ModelState& state);

}  // namespace quillane
