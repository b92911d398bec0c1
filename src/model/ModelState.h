#pragma once
// The one record through which the subsystems of a run talk to each other. Plain values only
// (no files, no catalogue), so that a run can work on its own copy while others go on; fields
// are grouped by the subsystem that owns (writes) them, and any subsystem may read any field.
//
// Integer fields of the input window hold 16-bit values (validated before a run); they are
// stored as int so that counters derived from them (PassNumber reaches PassCount + 1) cannot
// overflow. "Optional numbers" of the model (empty reads as 0) are plain doubles starting at 0.

#include <string>

#include "model/BasedArray.h"
#include "model/MaterialRecord.h"

namespace quillane {

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
  int WitnessParticle = 0;             // read by no computation
  int WitnessCoat = 0;                 // read by no computation
  std::string SubstrateMaterialName;
  std::string CoatingMaterialName;

  bool operator==(const InputParameters&) const = default;
};

// Heat-transfer coefficients of the two faces, W/(m²·K).
struct HeatTransfer {
  double TopHeatCoeff = 0;
  double BackHeatCoeff = 0;
  double TopRadiativeCoeff = 0;
};

// Schedule and clock, written by the run driver.
struct Schedule {
  int LamellaCount = 0;      // lamellae per pass
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

// Per-lamella results and the values of the stress model; arrays indexed 0..LamellaCount.
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
  BasedArray<double> LamellaTime;  // s, when lamella k of the first pass is laid (0 at index 0)
  double StressScale = 0;          // pascals to plotted units, 1e-9
  double SubstrateBiaxialModulus = 0;
  double CoatingBiaxialModulus = 0;
  double SubstrateThickness = 0;    // m, left by the layer set-up
  double LamellaThicknessCopy = 0;  // m, left by the layer set-up
  double StressWidth = 0;           // m, SubstrateWidth as the run starts
  double FinalCurvature = 0;
  double FinalDeflection = 0;
  double SubstrateStressBackFinal = 0;
  double SubstrateStressFrontFinal = 0;
  double StressAxisMin = 0;  // scaled units
  double StressAxisMax = 0;
  double DeflectionAxisMin = 0;  // m
  double DeflectionAxisMax = 0;
};

// Spans published by the drawing routines for the strokes drawn right after a frame.
struct ViewSpans {
  double ProfileSpanX = 0;
  double ProfileSpanY = 0;
  double DeflectionSpan = 0;
};

// The catalogue rows a run uses, copied in before it starts.
struct RunMaterials {
  MaterialRecord Substrate;
  MaterialRecord Contact;
  MaterialRecord Coating;
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
};

struct ModelState {
  InputParameters Input;
  HeatTransfer Heat;
  Schedule Clock;
  LayerStack Stack;
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
