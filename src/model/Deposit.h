#pragma once
// How the inputs lay the coating: lamellae per pass and their thickness, which depend on the
// stress model chosen, and the coats of a whole-deposit run.

#include <vector>

#include "model/ModelState.h"

namespace quillane {

// Lamellae laid in each pass. The one-pass model lays Int(ratio) + 1 (one more than fits); the
// whole-deposit model the nearest whole number, at least one, so that every pass is exactly
// PassThickness thick.
int LamellaePerPass(const InputParameters& in);

// Thickness of each lamella laid: LamellaThickness, or PassThickness shared evenly among the
// lamellae of a pass in the whole-deposit model.
double LaidLamellaThickness(const InputParameters& in);

// The coats of a whole-deposit run in spraying order: the case's Coats, each figure it leaves
// out taken from the case, or one coat of CoatingMaterialName. A coat sprayed at once (no pause)
// with the row (`materials`, as ValidateRunInputs picks them) and every figure of the coat under
// it goes on with that coat, so that the run is the one of a single coat of their summed passes.
std::vector<SprayedCoat> SprayedCoats(const InputParameters& in, const RunMaterials& materials);

// The passes of every coat of a whole-deposit run.
int SprayedPasses(const std::vector<SprayedCoat>& coats);

// The coat holding lamella i (1 to the deposit's count), by its index in `coats`.
std::size_t CoatOf(const std::vector<SprayedCoat>& coats, int i);

// Where lamella i lies, m above the substrate's top face: its mid-plane, and the deposit's top
// once it is laid (0 for i = 0). Where no coats are kept (the one-pass model), every lamella is
// LamellaThicknessCopy thick.
double LamellaMid(const StressResults& stress, int i);
double DepositTop(const StressResults& stress, int i);

// Whether a row the plate reads gives its modulus against temperature (a table that holds one
// value is its constant, as ValidateRunInputs leaves it).
bool ModuliVary(const RunMaterials& materials);

// The biaxial modulus E / (1 - ν) of a row at `temperature`, Pa.
double BiaxialModulus(const MaterialRecord& row, double temperature);

// The catalogue row of the case's coat `coat` (0 the first; SprayedCoat::Given).
const MaterialRecord& CoatRow(const RunMaterials& materials, std::size_t coat);

}  // namespace quillane
