#pragma once
// The one record through which the subsystems of a run talk to each other. Plain values only
// (no files, no catalogue), so that a run can work on its own copy while others go on; fields
// are grouped by the subsystem that owns (writes) them, and any subsystem may read any field.
//
// Integer fields of the input window hold 16-bit values (validated before a run); they are
// stored as int so that counters derived from them (PassNumber reaches PassCount + 1) cannot
// overflow. "Optional numbers" of the model (empty reads as 0) are plain doubles starting at 0.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "model/BasedArray.h"
#include "model/DepositField.h"
#include "model/MaterialRecord.h"

namespace quillane {

// The stress models a case chooses from: the lamellae of one pass cooled from the melting point
// (the default, whose results earlier cases keep), or every lamella of every pass laid at its
// own time on the plate as it then is, and cooled to room temperature.
inline constexpr const char* kOnePassModel = "one-pass";
inline constexpr const char* kWholeDepositModel = "whole-deposit";

// A coat of a coating system (a bond coat under a top coat, say), as a case gives it: its
// material and passes, and the figures of its spraying that differ from the case's own.
struct CoatInput {
  std::string Material;
  int PassCount = 0;
  std::optional<double> PassThickness;        // m
  std::optional<double> LamellaThickness;     // m
  std::optional<double> PassPeriod;           // s
  std::optional<double> HeatingWindow;        // s
  std::optional<double> HeatFlux;             // W/m²
  std::optional<double> ParticleTemperature;  // K
  double PauseBefore = 0;  // s, the plate cooling in the gases while the gun is changed

  bool operator==(const CoatInput&) const = default;
};

// The figures of its spraying a coat may give, by the keys of the case's own.
struct CoatFigure {
  const char* Key;
  std::optional<double> CoatInput::*Field;
};
inline constexpr std::array<CoatFigure, 6> kCoatFigures = {{
    {"PassThickness", &CoatInput::PassThickness},
    {"LamellaThickness", &CoatInput::LamellaThickness},
    {"PassPeriod", &CoatInput::PassPeriod},
    {"HeatingWindow", &CoatInput::HeatingWindow},
    {"HeatFlux", &CoatInput::HeatFlux},
    {"ParticleTemperature", &CoatInput::ParticleTemperature},
}};

// The most coats a case sprays.
inline constexpr int kMaxCoats = 6;

// A coat as a run sprays it: every figure of its spraying given, and where its lamellae lie.
struct SprayedCoat {
  std::string Material;
  int PassCount = 0;
  double PassThickness = 0;        // m
  double LamellaThickness = 0;     // m, as given
  double PassPeriod = 0;           // s
  double HeatingWindow = 0;        // s
  double HeatFlux = 0;             // W/m²
  double ParticleTemperature = 0;  // K
  double PauseBefore = 0;          // s
  int LamellaePerPass = 1;
  double LaidThickness = 0;  // m, each of its lamellae as laid
  int FirstLamella = 1;      // the number of its first lamella in the deposit
  int Lamellae = 0;          // PassCount × LamellaePerPass
  double Base = 0;           // m, the thickness of the coats under it
  double Start = 0;          // s, when its first pass starts
  std::size_t Given = 0;     // the first of the case's coats it sprays, whose row it takes

  bool operator==(const SprayedCoat&) const = default;
};

// Inputs of the input window, committed by its field rules.
struct InputParameters {
  double PassThickness = 0;            // m, coating deposited per pass
  double LamellaThickness = 0;         // m, one lamella
  int PassCount = 0;                   // passes
  double PassPeriod = 0;               // s, one pass cycle, heating window included
  double HeatingWindow = 0;            // s, torch heating window of a pass
  double HeatFlux = 0;                 // W/m², incident torch flux
  double ParticleTemperature = 0;      // K, freshly arrived lamella
  double SubstrateThicknessInput = 0;  // m
  double SubstrateWidth = 0;           // m
  double SubstrateTemperature = 0;     // K, initial plate temperature
  double GasTemperature = 0;           // K, convective gases
  double SpecimenLength = 0;           // m
  double InitialCurvature = 0;         // 1/m, "1/Rcourbure"
  double RoomTemperature = 0;          // K, surroundings of the radiating faces; end of cooling
  std::string StressModel;             // kOnePassModel or kWholeDepositModel
  // Whole-deposit model only.
  double CoolingTime = 0;          // s, the plate cooling in room air after the last pass
  double BackFaceCoefficient = 0;  // W/(m²·K), a holder at the back face; 0 for none
  double BackFaceTemperature = 0;  // K, the holder's; 0 for the plate's starting temperature
  int ThermalRefinement = 1;       // multiplies the field's cells and steps
  int WitnessParticle = 0;         // read by no computation
  int WitnessCoat = 0;             // read by no computation
  std::string SubstrateMaterialName;
  std::string CoatingMaterialName;
  // Whole-deposit model only: the coats in spraying order. Empty for one coat of
  // CoatingMaterialName sprayed as the inputs above say.
  std::vector<CoatInput> Coats;

  bool operator==(const InputParameters&) const = default;
};

enum class StressModelKind { OnePass, WholeDeposit };

// The model a case chooses; a run reads it once, into ModelState::Model.
inline StressModelKind ModelOf(const InputParameters& in) {
  return in.StressModel == kWholeDepositModel ? StressModelKind::WholeDeposit
                                              : StressModelKind::OnePass;
}

// Heat-transfer coefficients of the two faces, W/(m²·K).
struct HeatTransfer {
  double TopHeatCoeff = 0;
  double BackHeatCoeff = 0;
  double TopRadiativeCoeff = 0;
};

// Schedule and clock, written by the run driver.
struct Schedule {
  int LamellaCount = 0;  // the lamellae the stress model holds: those of one pass in the one-pass
                         // model, every lamella of every pass in the whole-deposit model
  double LamellaPeriod = 0;  // s allotted to one lamella
  int PassNumber = 0;        // current pass, from 1
  int LamellaIndex = 0;    // lamella within the pass (0 between passes); the stress model's counter
  double TimeStep = 0;     // s, length of the next thermal step
  double PassTime = 0;     // s since the start of the pass
  double ElapsedTime = 0;  // s since the start of the run
  double PassStartThickness = 0;         // m of coating laid before the current pass
  double PassEndSurfaceTemperature = 0;  // K, top surface at the end of each pass
};

// The layer stack and the working arrays of the thermal step (at most 7 layers, 8 nodes).
struct LayerStack {
  static constexpr int kMaxLayers = 7;
  int LayerCount = 0;
  int NodeCount = 0;
  BasedArray<double> NodeTemperature;  // [1..NodeCount], K; node 1 the back face
  double StepsSinceSetup = 0;
  double BackGasTemperature = 0;       // K, environment of the back face for the next step
  double TopGasTemperature = 0;        // K, environment of the top surface for the next step
  double SolidificationTime = 0;       // s; never given a value by the thermal step
  double MeltingPoint = 0;             // K, "Tfusion" of the last substrate or coating row read
  BasedMatrix<double> LayerTable;      // [1..LayerCount][1..3]: thickness, unused, top node
  BasedMatrix<double> ThermalMatrix;   // [1..NodeCount][1..NodeCount]
  BasedArray<double> ThermalRhs;       // [1..NodeCount]
  BasedArray<double> ThermalSolution;  // [1..NodeCount]
  BasedArray<double> NodeHeight;       // [1..NodeCount], m above the back face
  BasedArray<double> LayerFourier;     // [1..LayerCount]
  BasedMatrix<double> LayerCoeff;      // [1..LayerCount][1..13]
  BasedMatrix<double> InterfaceCoeff;  // [1..LayerCount][1..12]
  // Values of the layer being processed.
  double LayerLambda = 0;
  double LayerRho = 0;
  double LayerStep = 0;
  // Constants left for the stress model.
  double LastSigmaQ = 0;
  double SubstrateYoung = 0;
  double SubstratePoisson = 0;
  double SubstrateExpansion = 0;
  double CoatingYoung = 0;
  double CoatingPoisson = 0;
  double CoatingExpansion = 0;
};

// What the whole-deposit plate sees of the temperatures at one moment: the substrate's faces
// and the integrals of its profile over -h <= y <= 0, and, coat by coat, the sums over its laid
// lamellae of w Θ_j and w Θ_j y_j (y_j a lamella's mid-plane). Θ is each material's ExpansionOf
// its temperature (FigureTable.h): the temperature itself (K) where its expansion coefficient is
// a constant, its thermal strain ∫ α dT where that is a table.
struct PlateTemperatures {
  double Back = 0;                             // Θ
  double Front = 0;                            // Θ
  double SubstrateSum = 0;                     // ∫ Θ dy
  double SubstrateMoment = 0;                  // ∫ Θ y dy
  std::array<double, kMaxCoats> CoatSum{};     // Σ w Θ_j
  std::array<double, kMaxCoats> CoatMoment{};  // Σ w Θ_j y_j
};

// The moments of the whole-deposit history.
enum class DepositEventKind {
  Row,      // a thermal step
  Arrival,  // a lamella is laid
  Cooling,  // the plate cools to room temperature (the last event)
};

// A laid cell of the field as the plate sees it where a modulus changes with temperature.
struct LaidCell {
  int FirstLamella = 0;  // the deposit's number of its lowest lamella
  int Lamellae = 0;
  double Temperature = 0;  // K
};

// What the plate needs of the field where a modulus is given against temperature (then each
// point's stress depends on its own temperature): the substrate's integrals over -h <= y <= 0 of
// its biaxial modulus E'(T(y)), and every laid cell.
struct ModulusField {
  double Stiffness = 0;     // ∫ E' dy
  double First = 0;         // ∫ E' y dy
  double Second = 0;        // ∫ E' y² dy
  double Strain = 0;        // ∫ E' Θ dy (Θ as in PlateTemperatures)
  double StrainMoment = 0;  // ∫ E' Θ y dy
  std::vector<LaidCell> Cells;
};

struct DepositEvent {
  double Time = 0;  // s
  DepositEventKind Kind = DepositEventKind::Row;
  double BackTemperature = 0;          // K, the substrate's back face
  double TopSubstrateTemperature = 0;  // K, the substrate's top face
  double SurfaceTemperature = 0;       // K, the top face of the plate; at an arrival, the
                                       // surface the lamella lands on
  PlateTemperatures Plate;             // after a thermal step
  // Where a modulus changes with temperature, the field at this event (an arrival's with the
  // new lamella laid); valid while the event is handed on, never kept with it.
  const ModulusField* Moduli = nullptr;
};

// Written by the whole-deposit model's thermal run, read by its stress model: the stress model
// depends on figures the field does not read (σq, moduli, expansions), so a fit of those runs
// the field once and the plate on copies.
struct DepositTimeline {
  std::vector<DepositEvent> Events;         // in time order
  std::vector<std::size_t> PassEnds;        // events recorded by the end of each pass
  std::vector<double> LamellaTemperatures;  // K, each lamella at the end of the last pass
  std::vector<ModulusField> Moduli;         // per event, where a modulus changes with temperature
};

// A point of the whole-deposit history: the event and the plate's bending just after it.
struct HistoryPoint {
  DepositEvent Event;
  double Curvature = 0;   // 1/m
  double Deflection = 0;  // m, L² κ / 8
};

// The plate of the whole-deposit model at the current event. Every laid lamella sees the same
// uniform strain and curvature changes after its arrival, so their sums are kept once, with
// each lamella's stress and the sums as they were at its arrival: an event costs the same
// whatever the number of lamellae.
struct DepositPlate {
  int LaidCount = 0;
  double Curvature = 0;
  double BackStress = 0;   // Pa, substrate at y = -h
  double FrontStress = 0;  // Pa, substrate at y = 0
  // Sum of the strain changes at y = 0 over events.
  double CoatingShift = 0;
  PlateTemperatures Temperatures;         // at the last event
  BasedArray<double> ArrivalStress;       // [1..N], Pa at the mid-plane just after arrival
  BasedArray<double> LandingTemperature;  // [1..N], K, the surface each lamella landed on
  BasedArray<double> ArrivalShift;        // [1..N], CoatingShift just after arrival
  BasedArray<double> ArrivalCurvature;    // [1..N], Curvature just after arrival
  // Where a modulus changes with temperature, each point's stress is E'(T) (ε - s Θ - ε0): its
  // strain less its thermal strain and the strain ε0 it was laid with (a lamella's) or bent to
  // at the start (the substrate's, -κ0 y - s Θ0). Per lamella ε0 and the running sums of w ε0
  // and w ε0 y over the lamellae laid ([0..N]).
  BasedArray<double> LaidStrain;
  BasedArray<double> LaidStrainSum;
  BasedArray<double> LaidStrainMoment;
  double StartCurvature = 0;  // κ0
  double StartExpansion = 0;  // Θ0 of the substrate
  ModulusField Moduli;        // the field at the last event, which an arrival lands on
};

// Per-lamella results and the values of the stress model; arrays indexed 0..LamellaCount. In the
// whole-deposit model element k is the plate just after lamella k arrives, but element N, which
// the before-cooling table and views show, is the plate at the end of the last pass.
struct StressResults {
  BasedArray<double> LamellaForce;
  BasedArray<double> NeutralAxisPosition;
  BasedArray<double> FlexuralRigidity;
  BasedArray<double> Curvature;
  BasedArray<double> SubstrateStressBack;
  BasedArray<double> SubstrateStressFront;
  BasedArray<double> LamellaStress;
  BasedArray<double> LamellaStressFinal;
  BasedArray<double> Deflection;
  BasedArray<double> LamellaTime;  // s, when lamella k (of the first pass in the one-pass
                                   // model) is laid; 0 at index 0
  double StressScale = 0;          // pascals to plotted units, 1e-9
  double SubstrateBiaxialModulus = 0;
  double CoatingBiaxialModulus = 0;
  double SubstrateThickness = 0;    // m, left by the layer set-up
  double LamellaThicknessCopy = 0;  // m, left by the layer set-up; the first coat's
  std::vector<SprayedCoat> Coats;   // the whole-deposit model's; empty in the one-pass model
  double StressWidth = 0;           // m, SubstrateWidth as the run starts
  double FinalCurvature = 0;
  double FinalDeflection = 0;
  double SubstrateStressBackFinal = 0;
  double SubstrateStressFrontFinal = 0;
  double StressAxisMin = 0;  // scaled units
  double StressAxisMax = 0;
  double DeflectionAxisMin = 0;  // m
  double DeflectionAxisMax = 0;
  // The whole-deposit model's plate, its history and its curvature at the end of each pass.
  DepositPlate Plate;
  std::vector<HistoryPoint> History;
  std::vector<double> PassEndCurvature;
  std::vector<std::size_t> PassEndPoints;  // points of the history by the end of each pass

  // Every per-lamella array sized for lamellae 0 to `upper`, each element empty.
  void SizeLamellaArrays(int upper) {
    for (BasedArray<double>* array :
         {&LamellaForce, &NeutralAxisPosition, &FlexuralRigidity, &Curvature, &SubstrateStressBack,
          &SubstrateStressFront, &LamellaStress, &LamellaStressFinal, &Deflection, &LamellaTime}) {
      array->Redim(0, upper);
    }
  }
};

// Spans published by the drawing routines for the strokes drawn right after a frame.
struct ViewSpans {
  double ProfileSpanX = 0;
  double ProfileSpanY = 0;
  double DeflectionSpan = 0;
};

// The catalogue rows a run uses, copied in before it starts. Coating is the first coat's row;
// LaterCoats those of the case's later coats, in order (InputParameters::Coats[1] on).
struct RunMaterials {
  MaterialRecord Substrate;
  MaterialRecord Contact;
  MaterialRecord Coating;
  std::vector<MaterialRecord> LaterCoats;
};

// The user's regional conventions for numbers written in the result files and boxes.
struct RegionalSettings {
  char DecimalSeparator = '.';
  char GroupSeparator = ',';
};

// Counts kept for the summary of a run.
struct RunStatistics {
  long long ThermalRowCount = 0;
  long long SingularMatrixEvents = 0;
  // Extremes of the node temperatures written, to warn about non-physical results.
  double LowestTemperature = 0;
  double HighestTemperature = 0;
  bool NonFiniteTemperature = false;
  // Hottest back face (node 1) and substrate/coating interface (node 2) of the rows written, K.
  double PeakSubstrateTemperature = 0;
  double PeakInterfaceTemperature = 0;
  // Hottest surface of the whole-deposit model, at the ends of its steps, K.
  double PeakSurfaceTemperature = 0;
};

struct ModelState {
  InputParameters Input;
  StressModelKind Model = StressModelKind::OnePass;  // read from the input as a run starts
  HeatTransfer Heat;
  Schedule Clock;
  LayerStack Stack;
  DepositField Field;  // the whole-deposit model's
  DepositTimeline Timeline;
  StressResults Stress;
  ViewSpans Views;
  RunMaterials Materials;
  RunStatistics Statistics;
  RegionalSettings Locale;
};

// The defaults operation, run once when the input window loads: every input takes its default
// from the input table (no material picked), and the model its starting values.
void ApplyDefaults(ModelState& state);

// The inputs as ApplyDefaults leaves them.
InputParameters DefaultInputs();

}  // namespace quillane
