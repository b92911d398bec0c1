#pragma once
// The whole-deposit model's thermal field: finite volumes in enthalpy, implicit steps iterated
// until each conserves energy. The discrete equations are written beside the code in
// FieldSolver.cpp.

#include <vector>

#include "model/DepositField.h"
#include "model/ModelState.h"

namespace quillane {

// Cells of the substrate at refinement 1; each refinement multiplies them.
inline constexpr int kSubstrateCells = 32;
// Ratio of neighbouring substrate cells at refinement 1, the smallest at the top face.
inline constexpr double kSubstrateGrading = 1.09;
// Laid lamellae share cells of at most about 10 µm at refinement 1 near the surface... The
// figure, 6√3 µm, is no round number: the lamella thicknesses users type (tenths or halves of
// a micrometre) never divide it, so the count of lamellae a cell holds never sits on the edge
// where a rounding step would change it.
inline constexpr double kLaidCellThickness = 10.392304845413264e-6;
// ...and cells of twice as many lamellae once they lie deeper than this many times their
// thickness below it (times the refinement).
inline constexpr int kDepthPerCell = 4;

// The substrate cut into graded cells, the whole plate at `temperature`, no deposit yet, to be
// covered by `coats` in order; laid lamellae of a group of coats share cells of at most
// kLaidCellThickness / refinement, never with another group's.
void LayOutField(DepositField& field, double substrateThickness,
                 const std::vector<FieldCoat>& coats, int refinement, double temperature);

// The coats of a run as the field lays them: a coat joins the group of the coat under it when
// their rows have the same thermal figures and their lamellae the same thickness.
std::vector<FieldCoat> FieldCoats(const std::vector<SprayedCoat>& coats,
                                  const RunMaterials& materials);

// A lamella of coat `coat` lands on the surface as a cell of its own at `particleTemperature`;
// the lamella laid before it joins the laid cell below when that cell has room. Returns the
// enthalpy it brings, J/m² (counted from the field's reference temperature).
double LayLamella(DepositField& field, const RunMaterials& materials, int coat,
                  double particleTemperature);

// One step of `dt` seconds (TR-BDF2; backward Euler for the first after a lamella lands): cells,
// faces and the molten fractions iterated to convergence. Returns the faces at the step's
// points, whose exchanges make up its energy balance.
FieldStepFaces StepField(DepositField& field, const RunMaterials& materials,
                         const FaceExchange& exchange, double dt, bool afterLanding = false);

// Enthalpy of a cell per unit area at `temperature`, J/m², from the field's reference.
double CellEnthalpy(const DepositField& field, const FieldCell& cell, const RunMaterials& materials,
                    double temperature);

// The total enthalpy of the field per unit area, J/m².
double FieldEnthalpy(const DepositField& field, const RunMaterials& materials);

// Molten fraction at `temperature` of a material melting at `melting`: 0 up to 100 K below it,
// 1 from 100 K above it, and a C¹ cubic between.
double MoltenFraction(double temperature, double melting);

// What the plate's mechanics see of the field: the substrate's profile, linear between its faces
// and its cells' centres, integrated exactly; each lamella at the temperature of its cell. The
// integrals are of each material's ExpansionOf, so that an expansion given against temperature
// strains each point by ∫ α dT.
PlateTemperatures PlateTemperaturesOf(const DepositField& field, const RunMaterials& materials);

// What the plate needs of the field where a modulus changes with temperature: the substrate's
// integrals of E'(T(y)) over the profile PlateTemperaturesOf integrates, exact for tables linear
// between their points, and the laid cells.
ModulusField ModulusFieldOf(const DepositField& field, const RunMaterials& materials);

// The temperature of every laid lamella, lamella 1 first.
std::vector<double> LamellaTemperatures(const DepositField& field);

// The temperatures at `heights` (ascending, m above the substrate's top face), linear between
// the faces and the cells' centres; NaN above the surface. Appended to `out`.
void SampleField(const DepositField& field, const std::vector<double>& heights,
                 std::vector<double>& out);

// Thickness of the deposit laid so far, m.
double DepositThickness(const DepositField& field);

}  // namespace quillane
