#include "stress/WholeDeposit.h"

#include <stdexcept>
#include <vector>

#include "stress/BuildUpStress.h"
#include "stress/StressDriver.h"

namespace quillane {

namespace {

// The constants of the plate, from the rows the run picked.
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
  const RunMaterials& m = state.Materials;
  return {s.SubstrateThickness,    s.LamellaThicknessCopy, s.SubstrateBiaxialModulus,
          s.CoatingBiaxialModulus, m.Substrate.dilat,      m.Coating.dilat,
          m.Coating.SigmaQ};
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
// values at the substrate's back face and top.
struct Eigenstrain {
  double Force = 0;
  double Moment = 0;
  double Back = 0;
  double Front = 0;
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
  plate.CoatingShift += atInterface;
  return change;
}

// The substrate takes αs ΔT(y) and each laid lamella αd ΔT_j; only the integrals of ΔT and
// ΔT y over each material are needed.
Eigenstrain ThermalEigenstrain(const PlateConstants& c, const Section& section,
                               const PlateTemperatures& before, const PlateTemperatures& now) {
  const double d = section.Axis;
  const double substrateSum = now.SubstrateSum - before.SubstrateSum;
  const double substrateMoment = now.SubstrateMoment - before.SubstrateMoment;
  const double coatingSum = now.CoatingSum - before.CoatingSum;
  const double coatingMoment = now.CoatingMoment - before.CoatingMoment;
  Eigenstrain e;
  e.Back = c.AlphaS * (now.Back - before.Back);
  e.Front = c.AlphaS * (now.Front - before.Front);
  e.Force = c.Es * c.AlphaS * substrateSum + c.Ed * c.AlphaD * coatingSum;
  e.Moment = c.Es * c.AlphaS * (substrateMoment - d * substrateSum) +
             c.Ed * c.AlphaD * (coatingMoment - d * coatingSum);
  return e;
}

// The per-lamella results of the tables, as the plate is just after arrival j.
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

void LandLamella(ModelState& state, const PlateConstants& c, double landing) {
  DepositPlate& plate = state.Stress.Plate;
  const int j = plate.LaidCount + 1;
  if (!plate.ArrivalStress.Contains(j)) {
    throw std::logic_error("the run lays more lamellae than the stress model holds");
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
  plate.LandingTemperature(j) = landing;
  // Its thermal strain is counted from the surface it landed on.
  plate.Temperatures.CoatingSum += c.W * landing;
  plate.Temperatures.CoatingMoment += c.W * mid * landing;
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

void KeepFinal(ModelState& state) {
  StressResults& s = state.Stress;
  const DepositPlate& plate = s.Plate;
  const int n = state.Clock.LamellaCount;
  const double room = state.Input.RoomTemperature;
  s.FinalCurvature = plate.Curvature;
  s.FinalDeflection = ShallowArcDeflection(state.Input.SpecimenLength, plate.Curvature);
  s.SubstrateStressBackFinal = plate.BackStress;
  s.SubstrateStressFrontFinal = plate.FrontStress;
  for (int i = 1; i <= n; ++i) s.LamellaStressFinal(i) = LaidLamellaStress(state, i, room);
  UpdateDisplayRanges(state, plate.BackStress, plate.FrontStress, s.LamellaStressFinal,
                      s.FinalDeflection);
}

}  // namespace

void StartDepositPlate(ModelState& state, double temperature) {
  StartStressModel(state);
  StressResults& s = state.Stress;
  const MaterialRecord& substrate = state.Materials.Substrate;
  const MaterialRecord& coating = state.Materials.Coating;
  s.SubstrateBiaxialModulus = substrate.ModuleYoung / (1 - substrate.Poisson);
  s.CoatingBiaxialModulus = coating.ModuleYoung / (1 - coating.Poisson);
  const int n = state.Clock.LamellaCount;

  DepositPlate& plate = s.Plate;
  plate = DepositPlate{};
  plate.Curvature = s.Curvature(0);
  plate.Temperatures = UniformTemperatures(state, temperature);
  plate.ArrivalStress.Redim(1, n);
  plate.ArrivalShift.Redim(1, n);
  plate.ArrivalCurvature.Redim(1, n);
  plate.LandingTemperature.Redim(1, n);
  s.History.clear();
  s.PassEndCurvature.clear();
  s.PassEndPoints.clear();
}

void ApplyArrival(ModelState& state, double landing) {
  LandLamella(state, ConstantsOf(state), landing);
}

void ApplyTemperatures(ModelState& state, const PlateTemperatures& now) {
  const PlateConstants c = ConstantsOf(state);
  DepositPlate& plate = state.Stress.Plate;
  const Section section = SectionOf(c, plate.LaidCount);
  Superpose(plate, c, section, ThermalEigenstrain(c, section, plate.Temperatures, now));
  plate.Temperatures = now;
}

void RecordHistoryPoint(ModelState& state, const DepositEvent& event) {
  const double curvature = state.Stress.Plate.Curvature;
  state.Stress.History.push_back(
      {event, curvature, ShallowArcDeflection(state.Input.SpecimenLength, curvature)});
}

PlateTemperatures UniformTemperatures(const ModelState& state, double temperature) {
  const double h = state.Stress.SubstrateThickness;
  const double t = state.Stress.Plate.LaidCount * state.Stress.LamellaThicknessCopy;
  return {temperature,     temperature,
          temperature * h, -temperature * h * h / 2,
          temperature * t, temperature * t * t / 2};
}

double LaidLamellaStress(const ModelState& state, int i, double t) {
  const DepositPlate& plate = state.Stress.Plate;
  const double mid = (i - 0.5) * state.Stress.LamellaThicknessCopy;
  const double ed = state.Stress.CoatingBiaxialModulus;
  return plate.ArrivalStress(i) +
         ed * ((plate.CoatingShift - plate.ArrivalShift(i)) -
               (plate.Curvature - plate.ArrivalCurvature(i)) * mid -
               state.Materials.Coating.dilat * (t - plate.LandingTemperature(i)));
}

void KeepBeforeCooling(ModelState& state, const std::vector<double>& lamellaTemperatures) {
  StressResults& s = state.Stress;
  const DepositPlate& plate = s.Plate;
  const int n = state.Clock.LamellaCount;
  if (lamellaTemperatures.size() < static_cast<std::size_t>(n)) {
    throw std::logic_error("the timeline holds fewer lamella temperatures than lamellae");
  }
  for (int i = 1; i <= n; ++i) {
    s.LamellaStress(i) =
        LaidLamellaStress(state, i, lamellaTemperatures[static_cast<std::size_t>(i - 1)]);
  }
  s.Curvature(n) = plate.Curvature;
  s.Deflection(n) = ShallowArcDeflection(state.Input.SpecimenLength, plate.Curvature);
  s.SubstrateStressBack(n) = plate.BackStress;
  s.SubstrateStressFront(n) = plate.FrontStress;
  UpdateDisplayRanges(state, plate.BackStress, plate.FrontStress, s.LamellaStress, s.Deflection(n));
}

void CoolToRoom(ModelState& state) {
  ApplyTemperatures(state, UniformTemperatures(state, state.Input.RoomTemperature));
  KeepFinal(state);
}

void RunWholeDepositModel(ModelState& state, RunSink& sink) {
  StartDepositPlate(state, state.Input.SubstrateTemperature);
  const DepositTimeline& timeline = state.Timeline;
  StressResults& s = state.Stress;
  s.History.reserve(timeline.Events.size() + 1);
  Schedule& clock = state.Clock;
  const std::size_t lastPassEnd = timeline.PassEnds.empty() ? 0 : timeline.PassEnds.back();
  std::size_t pass = 0;
  const auto passEnds = [&](std::size_t recorded) {
    while (pass < timeline.PassEnds.size() && timeline.PassEnds[pass] == recorded) {
      s.PassEndCurvature.push_back(s.Plate.Curvature);
      s.PassEndPoints.push_back(s.History.size());
      ++pass;
    }
    if (recorded == lastPassEnd) {
      KeepBeforeCooling(state, timeline.LamellaTemperatures);
      clock.LamellaIndex = clock.LamellaCount;
      sink.Frame(state, StressFrame::BuildUp);
    }
  };
  passEnds(0);
  for (std::size_t i = 0; i < timeline.Events.size(); ++i) {
    const DepositEvent& event = timeline.Events[i];
    if (event.Kind == DepositEventKind::Arrival) {
      ApplyArrival(state, event.SurfaceTemperature);
    } else {
      ApplyTemperatures(state, event.Plate);
    }
    RecordHistoryPoint(state, event);
    passEnds(i + 1);
  }
  CoolToRoom(state);
  const double room = state.Input.RoomTemperature;
  DepositEvent cooled{clock.ElapsedTime, DepositEventKind::Cooling, room, room, room, {}};
  cooled.Plate = s.Plate.Temperatures;
  RecordHistoryPoint(state, cooled);
  clock.LamellaIndex = clock.LamellaCount + 1;
  sink.Frame(state, StressFrame::Cooling);
  sink.Frame(state, StressFrame::DeflectionHistory);
}

}  // namespace quillane
