#include "stress/WholeDeposit.h"

#include <stdexcept>

#include "stress/BuildUpStress.h"
#include "stress/StressDriver.h"

namespace quillane {

namespace {

// The constants of the plate, from the materials the thermal run left.
struct PlateConstants {
  double H = 0;   // substrate thickness
  double W = 0;   // lamella thickness
  double Es = 0;  // biaxial moduli
  double Ed = 0;
  double AlphaS = 0;  // expansion coefficients
  double AlphaD = 0;
  double SigmaQ = 0;
};

PlateConstants ConstantsOf(const ModelState& state) {
  const StressResults& s = state.Stress;
  const LayerStack& stack = state.Stack;
  return {s.SubstrateThickness,    s.LamellaThicknessCopy,   s.SubstrateBiaxialModulus,
          s.CoatingBiaxialModulus, stack.SubstrateExpansion, stack.CoatingExpansion,
          stack.LastSigmaQ};
}

// The section of the plate with `laid` lamellae, per unit width: axial stiffness ∫E', neutral
// axis δ (where ∫E'(y - δ) = 0) and flexural rigidity ∫E'(y - δ)².
struct Section {
  double Stiffness = 0;
  double Axis = 0;
  double Rigidity = 0;
};

Section SectionOf(const PlateConstants& c, int laid) {
  const double h = c.H;
  const double t = laid * c.W;
  Section section;
  section.Stiffness = c.Es * h + c.Ed * t;
  section.Axis = (c.Ed * t * t - c.Es * h * h) / (2 * section.Stiffness);
  const double d = section.Axis;
  section.Rigidity =
      c.Es * h * (h * h / 3 + h * d + d * d) + c.Ed * t * (t * t / 3 - t * d + d * d);
  return section;
}

// An eigenstrain increment: its force ∫E'Δε* and moment ∫E'Δε*(y - δ) per unit width, and its
// values at the substrate's back face and top and in the lamellae already laid.
struct Eigenstrain {
  double Force = 0;
  double Moment = 0;
  double Back = 0;
  double Front = 0;
  double Coating = 0;
};

struct StrainChange {
  double Uniform = 0;  // Δc, at the neutral axis
  double Curvature = 0;
};

// Force and moment balance give the plate's strain increment; the substrate's stresses and the
// laid lamellae's sums follow it.
StrainChange Superpose(DepositPlate& plate, const PlateConstants& c, const Section& section,
                       const Eigenstrain& e) {
  const StrainChange change{e.Force / section.Stiffness, -e.Moment / section.Rigidity};
  const double atInterface = change.Uniform + change.Curvature * section.Axis;
  plate.Curvature += change.Curvature;
  plate.BackStress += c.Es * ((atInterface + change.Curvature * c.H) - e.Back);
  plate.FrontStress += c.Es * (atInterface - e.Front);
  plate.CoatingShift += atInterface - e.Coating;
  return change;
}

// The substrate's temperature changes linearly from its back face to its top; every laid
// lamella follows the top.
Eigenstrain ThermalEigenstrain(const PlateConstants& c, const Section& section, int laid,
                               double backChange, double topChange) {
  const double h = c.H;
  const double t = laid * c.W;
  const double d = section.Axis;
  const double gradient = topChange - backChange;
  Eigenstrain e;
  e.Back = c.AlphaS * backChange;
  e.Front = c.AlphaS * topChange;
  e.Coating = c.AlphaD * topChange;
  e.Force = c.Es * c.AlphaS * h * (backChange + topChange) / 2 + c.Ed * e.Coating * t;
  e.Moment = c.Es * c.AlphaS * h * (backChange * (-h / 2 - d) + gradient * (-h / 6 - d / 2)) +
             c.Ed * e.Coating * (t * t / 2 - t * d);
  return e;
}

void ApplyTemperatureChange(ModelState& state, const PlateConstants& c, const DepositEvent& event) {
  DepositPlate& plate = state.Stress.Plate;
  const Section section = SectionOf(c, plate.LaidCount);
  const double backChange = event.BackTemperature - plate.BackTemperature;
  const double topChange = event.TopSubstrateTemperature - plate.TopTemperature;
  plate.BackTemperature = event.BackTemperature;
  plate.TopTemperature = event.TopSubstrateTemperature;
  Superpose(plate, c, section,
            ThermalEigenstrain(c, section, plate.LaidCount, backChange, topChange));
}

// The per-lamella results of the Parts' tables, as the plate is just after arrival j.
void RecordArrival(ModelState& state, const PlateConstants& c, const Section& before,
                   const Section& after, int j) {
  StressResults& s = state.Stress;
  const DepositPlate& plate = s.Plate;
  const double b = s.StressWidth;
  // The share of the quenching force the plate below the lamella carries.
  s.LamellaForce(j) = c.SigmaQ * b * c.W * before.Stiffness / after.Stiffness;
  s.NeutralAxisPosition(j) = after.Axis;
  s.FlexuralRigidity(j) = b * after.Rigidity;
  s.Curvature(j) = plate.Curvature;
  s.Deflection(j) = ShallowArcDeflection(state.Input.SpecimenLength, plate.Curvature);
  s.SubstrateStressBack(j) = plate.BackStress;
  s.SubstrateStressFront(j) = plate.FrontStress;
}

// Lamella j lands with its quenching stress: an eigenstrain -σq / Ed' on it alone, on the plate
// that now holds it.
void ApplyArrival(ModelState& state, const PlateConstants& c) {
  DepositPlate& plate = state.Stress.Plate;
  const int j = plate.LaidCount + 1;
  if (!plate.ArrivalStress.Contains(j)) {
    throw std::logic_error("the timeline lays more lamellae than the stress model holds");
  }
  const Section before = SectionOf(c, j - 1);
  const Section after = SectionOf(c, j);
  const double mid = (j - 0.5) * c.W;
  Eigenstrain e;
  e.Force = -c.SigmaQ * c.W;
  e.Moment = e.Force * (mid - after.Axis);
  plate.LaidCount = j;
  const StrainChange change = Superpose(plate, c, after, e);
  plate.ArrivalStress(j) =
      c.Ed * (change.Uniform - change.Curvature * (mid - after.Axis)) + c.SigmaQ;
  plate.ArrivalShift(j) = plate.CoatingShift;
  plate.ArrivalCurvature(j) = plate.Curvature;
  RecordArrival(state, c, before, after, j);
}

void Extend(double value, double& low, double& high) {
  low = MinOf(low, value);
  high = MaxOf(high, value);
}

// The stress range of the views (scaled) over the given substrate and lamella stresses, and the
// deflection range over the whole history.
void UpdateDisplayRanges(ModelState& state, double back, double front,
                         const BasedArray<double>& lamellae, double extraDeflection) {
  StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;
  double low = MinOf(back, front);
  double high = MaxOf(back, front);
  for (int i = 1; i <= n; ++i) Extend(lamellae(i), low, high);
  s.StressAxisMin = low * s.StressScale;
  s.StressAxisMax = high * s.StressScale;
  s.DeflectionAxisMin = MinOf(s.Deflection(0), extraDeflection);
  s.DeflectionAxisMax = MaxOf(s.Deflection(0), extraDeflection);
  for (const HistoryPoint& point : s.History) {
    Extend(point.Deflection, s.DeflectionAxisMin, s.DeflectionAxisMax);
  }
}

// Element N of the per-lamella results becomes the plate at the end of the last pass, which the
// before-cooling table and the build-up view show.
void KeepBeforeCooling(ModelState& state) {
  StressResults& s = state.Stress;
  const DepositPlate& plate = s.Plate;
  const int n = state.Clock.LamellaCount;
  for (int i = 1; i <= n; ++i) s.LamellaStress(i) = LaidLamellaStress(state, i);
  s.Curvature(n) = plate.Curvature;
  s.Deflection(n) = ShallowArcDeflection(state.Input.SpecimenLength, plate.Curvature);
  s.SubstrateStressBack(n) = plate.BackStress;
  s.SubstrateStressFront(n) = plate.FrontStress;
  UpdateDisplayRanges(state, plate.BackStress, plate.FrontStress, s.LamellaStress, s.Deflection(n));
}

void KeepFinal(ModelState& state) {
  StressResults& s = state.Stress;
  const DepositPlate& plate = s.Plate;
  const int n = state.Clock.LamellaCount;
  s.FinalCurvature = plate.Curvature;
  s.FinalDeflection = ShallowArcDeflection(state.Input.SpecimenLength, plate.Curvature);
  s.SubstrateStressBackFinal = plate.BackStress;
  s.SubstrateStressFrontFinal = plate.FrontStress;
  for (int i = 1; i <= n; ++i) s.LamellaStressFinal(i) = LaidLamellaStress(state, i);
  UpdateDisplayRanges(state, plate.BackStress, plate.FrontStress, s.LamellaStressFinal,
                      s.FinalDeflection);
}

}  // namespace

void StartDepositPlate(ModelState& state) {
  StartStressModel(state);
  StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;

  DepositPlate& plate = s.Plate;
  plate = DepositPlate{};
  plate.Curvature = s.Curvature(0);
  plate.BackTemperature = state.Input.SubstrateTemperature;
  plate.TopTemperature = state.Input.SubstrateTemperature;
  plate.ArrivalStress.Redim(1, n);
  plate.ArrivalShift.Redim(1, n);
  plate.ArrivalCurvature.Redim(1, n);
  s.History.clear();
  s.History.reserve(state.Timeline.Events.size() + 1);
  s.PassEndCurvature.clear();
}

void ApplyDepositEvent(ModelState& state, const DepositEvent& event) {
  const PlateConstants c = ConstantsOf(state);
  if (event.Kind == DepositEventKind::Arrival) {
    ApplyArrival(state, c);
  } else {
    ApplyTemperatureChange(state, c, event);
  }
  const double curvature = state.Stress.Plate.Curvature;
  state.Stress.History.push_back(
      {event, curvature, ShallowArcDeflection(state.Input.SpecimenLength, curvature)});
}

DepositEvent RoomCoolingEvent(const ModelState& state) {
  const double room = state.Input.RoomTemperature;
  return {state.Clock.ElapsedTime, DepositEventKind::Cooling, room, room};
}

double LaidLamellaStress(const ModelState& state, int i) {
  const DepositPlate& plate = state.Stress.Plate;
  const double mid = (i - 0.5) * state.Stress.LamellaThicknessCopy;
  return plate.ArrivalStress(i) +
         state.Stress.CoatingBiaxialModulus * ((plate.CoatingShift - plate.ArrivalShift(i)) -
                                               (plate.Curvature - plate.ArrivalCurvature(i)) * mid);
}

void RunWholeDepositModel(ModelState& state, RunSink& sink) {
  StartDepositPlate(state);
  const DepositTimeline& timeline = state.Timeline;
  std::size_t pass = 0;
  for (std::size_t i = 0; i < timeline.Events.size(); ++i) {
    ApplyDepositEvent(state, timeline.Events[i]);
    while (pass < timeline.PassEnds.size() && timeline.PassEnds[pass] == i + 1) {
      state.Stress.PassEndCurvature.push_back(state.Stress.Plate.Curvature);
      ++pass;
    }
  }
  Schedule& clock = state.Clock;
  KeepBeforeCooling(state);
  clock.LamellaIndex = clock.LamellaCount;
  sink.Frame(state, StressFrame::BuildUp);
  ApplyDepositEvent(state, RoomCoolingEvent(state));
  KeepFinal(state);
  clock.LamellaIndex = clock.LamellaCount + 1;
  sink.Frame(state, StressFrame::Cooling);
  sink.Frame(state, StressFrame::DeflectionHistory);
}

}  // namespace quillane
