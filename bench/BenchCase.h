#pragma once
// What the benchmark programs share: the catalogue built beside the programs, and the reference
// pair of materials with its inputs validated.

#include <filesystem>

#include "materials/MaterialsCatalogue.h"
#include "run/Validation.h"

namespace quillane::cases {

inline MaterialsCatalogue OpenCatalogue() {
  // The benchmarks live one folder below the programs.
  std::filesystem::path path = DefaultCataloguePath();
  if (!std::filesystem::exists(path)) path = path.parent_path().parent_path() / "Brelon.db";
  MaterialsCatalogue catalogue;
  catalogue.Open(path);
  return catalogue;
}

// NiCrAlY on 316L: `passes` passes of `passThickness`, in the given stress model, the other
// inputs at their defaults, the rows picked from `catalogue`.
inline ModelState NiCrAlYOn316L(const MaterialsCatalogue& catalogue, int passes,
                                double passThickness, const char* model = "one-pass") {
  ModelState state;
  ApplyDefaults(state);
  state.Input.SubstrateMaterialName = "Acier 316L";
  state.Input.CoatingMaterialName = "NiCrAlY";
  state.Input.PassCount = passes;
  state.Input.PassThickness = passThickness;
  state.Input.StressModel = model;
  ValidateRunInputs(state, &catalogue);
  return state;
}

}  // namespace quillane::cases
