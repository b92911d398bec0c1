#pragma once
// The whole-deposit model's thermal field: one-dimensional finite volumes through the plate,
// the substrate's cells graded towards its top face and each lamella a cell of its own when it
// lands. Plain values only; thermal/ advances it and stress/ reads it.

#include <array>
#include <vector>

namespace quillane {

enum class CellMaterial { Substrate, Coating };

// One finite volume, bottom to top.
struct FieldCell {
  double Bottom = 0;     // m, height of its lower face above the substrate's top face
  double Thickness = 0;  // m
  CellMaterial Material = CellMaterial::Substrate;
  double Temperature = 0;  // K, the cell's mean
  int Lamellae = 0;        // laid lamellae it holds; 0 in the substrate
  int FirstLamella = 0;    // the deposit's number of its lowest lamella
  int Coat = 0;            // the coat of its lowest lamella (0 the first)
  std::size_t Row = 0;     // the row of its figures (CoatRow)
};

// A coat as the field lays it.
struct FieldCoat {
  double LamellaThickness = 0;  // m
  // Neighbouring coats of one group (alike in every thermal figure and lamella thickness)
  // share cells as the lamellae of one coat do, so that such coats are laid as one coat is.
  int Group = 0;
  std::size_t Row = 0;  // the row of its figures (CoatRow)
};

// The field sampled for its picture: temperature against time and height.
struct FieldPicture {
  std::vector<double> Times;    // s
  std::vector<double> Heights;  // m above the substrate's top face, the back face first
  // K, one row of Heights.size() values per time; NaN where no deposit is laid yet.
  std::vector<double> Temperatures;
};

struct DepositField {
  std::vector<FieldCell> Cells;
  int SubstrateCells = 0;
  // Per coat: how it is laid, how many of its lamellae may share a laid cell near the surface,
  // and the deposit's number of its first lamella (0 until one is laid).
  std::vector<FieldCoat> Coats;
  std::vector<int> MergeCount;
  std::vector<int> FirstLamella;
  int Laid = 0;          // lamellae laid
  int DepthPerCell = 1;  // deeper cells merge below this many times their thickness
  // Enthalpies are counted from this temperature, so that a step's change is not lost beside
  // the heat a cell holds.
  double ReferenceTemperature = 0;
  // Temperatures of the faces after the last step, K: the substrate's back face, the
  // substrate's top face (under the contact) and the surface.
  double BackFace = 0;
  double SubstrateTop = 0;
  double Surface = 0;
  // Working arrays of the step: per cell, and per unknown (the faces and the cells).
  std::vector<double> Previous, StepStart, Conductances;
  // Where a conductivity is a table, the conductances follow the temperatures within a step.
  bool VaryingConductivity = false;
  std::vector<double> SlopeBelow, SlopeAbove;
  std::vector<double> Unknowns, Lower, Diagonal, Upper, Change, Residual, Trial;
  FieldPicture Picture;
};

// The exchange of the plate's two faces during a step.
struct FaceExchange {
  double GasTemperature = 0;   // K, convection of both faces
  double RoomTemperature = 0;  // K, radiation sink of both faces
  double TopFlux = 0;          // W/m², torch into the surface
  double BackCoefficient = 0;  // W/(m²·K), a holder at the back face
  double BackTemperature = 0;  // K, the holder's
};

// The faces at a step's three points (its start, its inner stage and its end) and each point's
// share of the step: the heat through the faces over the step is the weighted sum of their
// exchanges at these points, and it equals the change of the cells' enthalpy.
struct FieldStepFaces {
  std::array<double, 3> Back{};     // K, the back face at each point
  std::array<double, 3> Surface{};  // K, the surface at each point
  std::array<double, 3> Weight{};   // s, each point's share of the step
};

}  // namespace quillane
