#include "stress/WholeDeposit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

#include "model/Deposit.h"
#include "model/Errors.h"
#include "model/FigureTable.h"
#include "stress/BuildUpStress.h"
#include "stress/DeflectionHistory.h"
#include "stress/StressDriver.h"

namespace quillane {

namespace {

// The constants of a coat: its lamellae and the figures of its row.
struct CoatConstants {
  double W = 0;       // lamella thickness
  double Ed = 0;      // biaxial modulus
  double AlphaD = 0;  // ExpansionScale
  double SigmaQ = 0;
  int First = 1;    // its first lamella
  int Count = 0;    // its lamellae
  double Base = 0;  // m, the coats under it
  const MaterialRecord* Row = nullptr;

  // The quenching stress of a lamella landing on a surface at `landing` K.
  double QuenchingStress(double landing) const {
    return FigureAt(Row->Tables.SigmaQ, SigmaQ, landing);
  }
};

// The constants of the plate, from the rows the run picked.
struct PlateConstants {
  double H = 0;       // substrate thickness
  double Es = 0;      // biaxial modulus
  double AlphaS = 0;  // ExpansionScale
  const MaterialRecord* Substrate = nullptr;
  std::array<CoatConstants, kMaxCoats> Coats{};
  std::size_t CoatCount = 1;
  bool ModuliVary = false;  // the plate in total form (BalanceModulusPlate)

  // The thickness of coat k laid when `laid` lamellae of the deposit are.
  double Laid(std::size_t k, int laid) const {
    const CoatConstants& coat = Coats[k];
    return std::clamp(laid - coat.First + 1, 0, coat.Count) * coat.W;
  }
  std::size_t CoatOf(int lamella) const {
    std::size_t k = 0;
    while (k + 1 < CoatCount && Coats[k + 1].First <= lamella) ++k;
    return k;
  }
};

PlateConstants ConstantsOf(const ModelState& state) {
  const StressResults& s = state.Stress;
  const RunMaterials& m = state.Materials;
  PlateConstants c;
  c.H = s.SubstrateThickness;
  c.Es = s.SubstrateBiaxialModulus;
  c.AlphaS = ExpansionScale(m.Substrate);
  c.Substrate = &m.Substrate;
  c.ModuliVary = ModuliVary(m);
  // A plate set up without its coats (a bare model state) holds one coat of the coating.
  c.Coats[0] = {s.LamellaThicknessCopy,
                s.CoatingBiaxialModulus,
                ExpansionScale(m.Coating),
                m.Coating.SigmaQ,
                1,
                std::numeric_limits<int>::max(),
                0,
                &m.Coating};
  if (s.Coats.empty()) return c;
  c.CoatCount = s.Coats.size();
  for (std::size_t k = 0; k < c.CoatCount; ++k) {
    const SprayedCoat& coat = s.Coats[k];
    const MaterialRecord& row = CoatRow(m, coat.Given);
    c.Coats[k] = {
        coat.LaidThickness,  k == 0 ? s.CoatingBiaxialModulus : row.ModuleYoung / (1 - row.Poisson),
        ExpansionScale(row), row.SigmaQ,
        coat.FirstLamella,   coat.Lamellae,
        coat.Base,           &row};
  }
  return c;
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
  Section section;
  section.Stiffness = c.Es * h;
  double moment = 0;  // Σ E' (b² - a²) over the coats laid between a and b
  for (std::size_t k = 0; k < c.CoatCount; ++k) {
    const CoatConstants& coat = c.Coats[k];
    const double t = c.Laid(k, laid);
    section.Stiffness += coat.Ed * t;
    moment += coat.Ed * t * (2 * coat.Base + t);
  }
  section.Axis = (moment - c.Es * h * h) / (2 * section.Stiffness);
  const double d = section.Axis;
  section.Rigidity = c.Es * h * (h * h / 3 + h * d + d * d);
  for (std::size_t k = 0; k < c.CoatCount; ++k) {
    // ∫ (y - δ)² dy over the coat, its bottom at u = a - δ.
    const double t = c.Laid(k, laid);
    const double u = c.Coats[k].Base - d;
    section.Rigidity += c.Coats[k].Ed * t * (t * t / 3 + t * u + u * u);
  }
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

// The substrate takes αs ΔT(y) and each laid lamella its coat's αd ΔT_j; only the integrals of
// ΔT and ΔT y over each material are needed.
Eigenstrain ThermalEigenstrain(const PlateConstants& c, const Section& section,
                               const PlateTemperatures& before, const PlateTemperatures& now) {
  const double d = section.Axis;
  const double substrateSum = now.SubstrateSum - before.SubstrateSum;
  const double substrateMoment = now.SubstrateMoment - before.SubstrateMoment;
  Eigenstrain e;
  e.Back = c.AlphaS * (now.Back - before.Back);
  e.Front = c.AlphaS * (now.Front - before.Front);
  e.Force = c.Es * c.AlphaS * substrateSum;
  e.Moment = c.Es * c.AlphaS * (substrateMoment - d * substrateSum);
  for (std::size_t k = 0; k < c.CoatCount; ++k) {
    const CoatConstants& coat = c.Coats[k];
    const double coatSum = now.CoatSum[k] - before.CoatSum[k];
    const double coatMoment = now.CoatMoment[k] - before.CoatMoment[k];
    e.Force += coat.Ed * coat.AlphaD * coatSum;
    e.Moment += coat.Ed * coat.AlphaD * (coatMoment - d * coatSum);
  }
  return e;
}

// The per-lamella results of the tables, as the plate is just after arrival j.
void RecordArrival(ModelState& state, const PlateConstants& c, const Section& before,
                   const Section& after, int j, double sigmaQ) {
  StressResults& s = state.Stress;
  const DepositPlate& plate = s.Plate;
  const double b = s.StressWidth;
  // The share of the quenching force the plate below the lamella carries.
  const CoatConstants& coat = c.Coats[c.CoatOf(j)];
  s.LamellaForce(j) = sigmaQ * b * coat.W * before.Stiffness / after.Stiffness;
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
  const std::size_t k = c.CoatOf(j);
  const CoatConstants& coat = c.Coats[k];
  const double mid = coat.Base + (j - coat.First + 0.5) * coat.W;
  const double sigmaQ = coat.QuenchingStress(landing);
  Eigenstrain e;
  e.Force = -sigmaQ * coat.W;
  e.Moment = e.Force * (mid - after.Axis);
  plate.LaidCount = j;
  const StrainChange change = Superpose(plate, c, after, e);
  plate.ArrivalStress(j) =
      coat.Ed * (change.Uniform - change.Curvature * (mid - after.Axis)) + sigmaQ;
  plate.ArrivalShift(j) = plate.CoatingShift;
  plate.ArrivalCurvature(j) = plate.Curvature;
  plate.LandingTemperature(j) = landing;
  // Its thermal strain is counted from the surface it landed on.
  const double expansion = ExpansionOf(*coat.Row, landing);
  plate.Temperatures.CoatSum[k] += coat.W * expansion;
  plate.Temperatures.CoatMoment[k] += coat.W * mid * expansion;
  RecordArrival(state, c, before, after, j, sigmaQ);
}

// LaidLamellaStress with the plate's constants worked out once, for a loop over the lamellae.
double ModulusLaidStress(const DepositPlate& plate, const PlateConstants& c, int i, double t);

double StressOfLaid(const ModelState& state, const PlateConstants& c, int i, double t) {
  const DepositPlate& plate = state.Stress.Plate;
  if (c.ModuliVary) return ModulusLaidStress(plate, c, i, t);
  const CoatConstants& coat = c.Coats[c.CoatOf(i)];
  const double mid = coat.Base + (i - coat.First + 0.5) * coat.W;
  return plate.ArrivalStress(i) +
         coat.Ed * ((plate.CoatingShift - plate.ArrivalShift(i)) -
                    (plate.Curvature - plate.ArrivalCurvature(i)) * mid -
                    coat.AlphaD * (ExpansionOf(*coat.Row, t) -
                                   ExpansionOf(*coat.Row, plate.LandingTemperature(i))));
}

void Extend(double value, double& low, double& high) {
  low = MinOf(low, value);
  high = MaxOf(high, value);
}

// The deflections of the history so far, folded into the range of the views.
struct HistoryRange {
  const DeflectionFold& Lowest;
  const DeflectionFold& Highest;
};

// The stress range of the views (scaled) over the given substrate and lamella stresses, and the
// deflection range over the whole history.
void UpdateDisplayRanges(ModelState& state, double back, double front,
                         const BasedArray<double>& lamellae, double extraDeflection,
                         const HistoryRange& history) {
  StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;
  double low = MinOf(back, front);
  double high = MaxOf(back, front);
  for (int i = 1; i <= n; ++i) Extend(lamellae(i), low, high);
  s.StressAxisMin = low * s.StressScale;
  s.StressAxisMax = high * s.StressScale;
  s.DeflectionAxisMin = history.Lowest.From(MinOf(s.Deflection(0), extraDeflection));
  s.DeflectionAxisMax = history.Highest.From(MaxOf(s.Deflection(0), extraDeflection));
}

void KeepFinal(ModelState& state, const HistoryRange& history) {
  StressResults& s = state.Stress;
  const DepositPlate& plate = s.Plate;
  const int n = state.Clock.LamellaCount;
  const double room = state.Input.RoomTemperature;
  s.FinalCurvature = plate.Curvature;
  s.FinalDeflection = ShallowArcDeflection(state.Input.SpecimenLength, plate.Curvature);
  s.SubstrateStressBackFinal = plate.BackStress;
  s.SubstrateStressFrontFinal = plate.FrontStress;
  const PlateConstants c = ConstantsOf(state);
  for (int i = 1; i <= n; ++i) s.LamellaStressFinal(i) = StressOfLaid(state, c, i, room);
  UpdateDisplayRanges(state, plate.BackStress, plate.FrontStress, s.LamellaStressFinal,
                      s.FinalDeflection, history);
}

// Element N of the per-lamella results and the before-cooling table: the plate at the end of
// the last pass, with the field as it is then.
void KeepBeforeCooling(ModelState& state, const std::vector<double>& lamellaTemperatures,
                       const HistoryRange& history) {
  StressResults& s = state.Stress;
  const DepositPlate& plate = s.Plate;
  const int n = state.Clock.LamellaCount;
  if (lamellaTemperatures.size() < static_cast<std::size_t>(n)) {
    throw std::logic_error("the timeline holds fewer lamella temperatures than lamellae");
  }
  const PlateConstants c = ConstantsOf(state);
  for (int i = 1; i <= n; ++i) {
    s.LamellaStress(i) =
        StressOfLaid(state, c, i, lamellaTemperatures[static_cast<std::size_t>(i - 1)]);
  }
  s.Curvature(n) = plate.Curvature;
  s.Deflection(n) = ShallowArcDeflection(state.Input.SpecimenLength, plate.Curvature);
  s.SubstrateStressBack(n) = plate.BackStress;
  s.SubstrateStressFront(n) = plate.FrontStress;
  UpdateDisplayRanges(state, plate.BackStress, plate.FrontStress, s.LamellaStress, s.Deflection(n),
                      history);
}

// Where a modulus changes with temperature, the plate is thermoelastic in total form: each
// point's stress is E'(T) (ε - s Θ(T) - ε0), with ε = S - κ y its strain (S, the CoatingShift, at
// y = 0), s Θ its thermal strain (PlateTemperatures) and ε0 the strain it was laid with. Force
// and moment balance, ∫ E' (ε - s Θ - ε0) (1, y) dy = 0, give S and κ from the plate as it now
// is, whatever its path; with constant moduli this is the incremental plate above. The sums:
// A11 = ∫ E', A12 = ∫ E' y, A22 = ∫ E' y², B1 = ∫ E' (s Θ + ε0), B2 = ∫ E' (s Θ + ε0) y.
struct ModulusSums {
  double A11 = 0;
  double A12 = 0;
  double A22 = 0;
  double B1 = 0;
  double B2 = 0;

  Section AsSection() const { return {A11, A12 / A11, A22 - A12 * A12 / A11}; }
};

// Lamellae `from` to `to` of one coat at temperature `t`, their ε0 from the plate's sums (of w ε0
// and of ∫ ε0 y dy over each lamella).
void AddLaid(ModulusSums& m, const DepositPlate& plate, const CoatConstants& coat, int from, int to,
             double t) {
  const double e = BiaxialModulus(*coat.Row, t);
  const double thickness = (to - from + 1) * coat.W;
  const double mid = coat.Base + (from - coat.First) * coat.W + thickness / 2;
  const double strain = coat.AlphaD * ExpansionOf(*coat.Row, t) * thickness;
  m.A11 += e * thickness;
  m.A12 += e * thickness * mid;
  m.A22 += e * thickness * (mid * mid + thickness * thickness / 12);
  m.B1 += e * (strain + plate.LaidStrainSum(to) - plate.LaidStrainSum(from - 1));
  m.B2 += e * (strain * mid + plate.LaidStrainMoment(to) - plate.LaidStrainMoment(from - 1));
}

ModulusSums SumsOf(const DepositPlate& plate, const PlateConstants& c, const ModulusField& moduli) {
  // The substrate's ε0 = -κ0 y - s Θ0: bent to κ0 at the start and unstressed.
  const double s = c.AlphaS;
  ModulusSums m{moduli.Stiffness, moduli.First, moduli.Second,
                s * moduli.Strain - plate.StartCurvature * moduli.First -
                    s * plate.StartExpansion * moduli.Stiffness,
                s * moduli.StrainMoment - plate.StartCurvature * moduli.Second -
                    s * plate.StartExpansion * moduli.First};
  for (const LaidCell& cell : moduli.Cells) {
    const int last = cell.FirstLamella + cell.Lamellae - 1;
    for (int from = cell.FirstLamella; from <= last;) {
      const CoatConstants& coat = c.Coats[c.CoatOf(from)];
      const int to = std::min(last, coat.Count - 1 + coat.First);
      AddLaid(m, plate, coat, from, to, cell.Temperature);
      from = to + 1;
    }
  }
  return m;
}

// The balance of the plate as `m` sums it, with its substrate's faces at `back` and `front` K.
void BalanceModulusPlate(ModelState& state, const PlateConstants& c, const ModulusSums& m,
                         double back, double front) {
  DepositPlate& plate = state.Stress.Plate;
  const double det = m.A12 * m.A12 - m.A11 * m.A22;
  plate.CoatingShift = (m.A12 * m.B2 - m.A22 * m.B1) / det;
  plate.Curvature = (m.A11 * m.B2 - m.A12 * m.B1) / det;
  const MaterialRecord& substrate = *c.Substrate;
  const auto thermal = [&](double t) {
    return c.AlphaS * (ExpansionOf(substrate, t) - plate.StartExpansion);
  };
  plate.BackStress =
      BiaxialModulus(substrate, back) *
      (plate.CoatingShift + (plate.Curvature - plate.StartCurvature) * c.H - thermal(back));
  plate.FrontStress = BiaxialModulus(substrate, front) * (plate.CoatingShift - thermal(front));
}

double ModulusLaidStress(const DepositPlate& plate, const PlateConstants& c, int i, double t) {
  const CoatConstants& coat = c.Coats[c.CoatOf(i)];
  const double mid = coat.Base + (i - coat.First + 0.5) * coat.W;
  return BiaxialModulus(*coat.Row, t) *
         (plate.CoatingShift - plate.Curvature * mid - coat.AlphaD * ExpansionOf(*coat.Row, t) -
          plate.LaidStrain(i));
}

// Lamella LaidCount + 1 lands on a surface at `landing` K with its quenching stress, on the plate
// as the last event left it: its ε0 makes its stress σq before the plate answers.
void LandOnModulusPlate(ModelState& state, const PlateConstants& c, const DepositEvent& event) {
  DepositPlate& plate = state.Stress.Plate;
  const int j = plate.LaidCount + 1;
  if (!plate.LaidStrain.Contains(j)) {
    throw std::logic_error("the run lays more lamellae than the stress model holds");
  }
  const double landing = event.SurfaceTemperature;
  const CoatConstants& coat = c.Coats[c.CoatOf(j)];
  const double mid = coat.Base + (j - coat.First + 0.5) * coat.W;
  const double sigmaQ = coat.QuenchingStress(landing);
  const double strain = plate.CoatingShift - plate.Curvature * mid -
                        coat.AlphaD * ExpansionOf(*coat.Row, landing) -
                        sigmaQ / BiaxialModulus(*coat.Row, landing);
  // Unstressed but for σq on the plate as it was, the lamella's ε0 follows that plate's
  // curvature across it: ε0(y) = ε0 - κ (y - mid).
  plate.LaidStrain(j) = strain;
  plate.LaidStrainSum(j) = plate.LaidStrainSum(j - 1) + coat.W * strain;
  plate.LaidStrainMoment(j) = plate.LaidStrainMoment(j - 1) + coat.W * strain * mid -
                              plate.Curvature * coat.W * coat.W * coat.W / 12;
  const ModulusSums before = SumsOf(plate, c, plate.Moduli);
  plate.Moduli.Cells.push_back({j, 1, landing});
  const ModulusSums after = SumsOf(plate, c, plate.Moduli);
  plate.LaidCount = j;
  BalanceModulusPlate(state, c, after, event.BackTemperature, event.TopSubstrateTemperature);
  plate.ArrivalStress(j) = ModulusLaidStress(plate, c, j, landing);
  plate.ArrivalShift(j) = plate.CoatingShift;
  plate.ArrivalCurvature(j) = plate.Curvature;
  plate.LandingTemperature(j) = landing;
  RecordArrival(state, c, before.AsSection(), after.AsSection(), j, sigmaQ);
}

// The plate of moduli against temperature at one temperature throughout.
ModulusField UniformModulusField(const ModelState& state, const PlateConstants& c,
                                 double temperature) {
  const double h = c.H;
  const double e = BiaxialModulus(*c.Substrate, temperature);
  const double theta = ExpansionOf(*c.Substrate, temperature);
  ModulusField moduli{e * h,         -e * h * h / 2,         e * h * h * h / 3,
                      e * theta * h, -e * theta * h * h / 2, {}};
  const int laid = state.Stress.Plate.LaidCount;
  for (std::size_t k = 0; k < c.CoatCount; ++k) {
    const int count = std::clamp(laid - c.Coats[k].First + 1, 0, c.Coats[k].Count);
    if (count > 0) moduli.Cells.push_back({c.Coats[k].First, count, temperature});
  }
  return moduli;
}

// Events between two looks at the sink's progress (and its stop).
constexpr std::size_t kEventsPerProgress = 4096;

}  // namespace

void DeflectionFold::Add(double value) {
  if (std::isnan(value)) {
    // MinOf and MaxOf keep a NaN that comes second, and give way to whatever follows it.
    restarted_ = true;
    empty_ = true;
  } else if (empty_) {
    tail_ = value;
    empty_ = false;
  } else {
    tail_ = lowest_ ? MinOf(tail_, value) : MaxOf(tail_, value);
  }
}

double DeflectionFold::From(double start) const {
  if (restarted_) return empty_ ? std::numeric_limits<double>::quiet_NaN() : tail_;
  if (empty_) return start;
  return lowest_ ? MinOf(start, tail_) : MaxOf(start, tail_);
}

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
  if (ModuliVary(state.Materials)) {
    plate.LaidStrain.Redim(1, n);
    plate.LaidStrainSum.Redim(0, n);
    plate.LaidStrainMoment.Redim(0, n);
    plate.StartCurvature = plate.Curvature;
    plate.StartExpansion = ExpansionOf(substrate, temperature);
    plate.Moduli = UniformModulusField(state, ConstantsOf(state), temperature);
  }
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

void PlateAtUniformTemperature(ModelState& state, double temperature) {
  const PlateConstants c = ConstantsOf(state);
  if (!c.ModuliVary) {
    ApplyTemperatures(state, UniformTemperatures(state, temperature));
    return;
  }
  const ModulusField moduli = UniformModulusField(state, c, temperature);
  BalanceModulusPlate(state, c, SumsOf(state.Stress.Plate, c, moduli), temperature, temperature);
  state.Stress.Plate.Temperatures = UniformTemperatures(state, temperature);
}

PlateTemperatures UniformTemperatures(const ModelState& state, double temperature) {
  const double h = state.Stress.SubstrateThickness;
  const PlateConstants c = ConstantsOf(state);
  const double substrate = ExpansionOf(state.Materials.Substrate, temperature);
  PlateTemperatures uniform{substrate, substrate, substrate * h, -substrate * h * h / 2, {}, {}};
  for (std::size_t k = 0; k < c.CoatCount; ++k) {
    const double t = c.Laid(k, state.Stress.Plate.LaidCount);
    const double coat = ExpansionOf(*c.Coats[k].Row, temperature);
    uniform.CoatSum[k] = coat * t;
    uniform.CoatMoment[k] = coat * t * (2 * c.Coats[k].Base + t) / 2;
  }
  return uniform;
}

double LaidLamellaStress(const ModelState& state, int i, double t) {
  return StressOfLaid(state, ConstantsOf(state), i, t);
}

void CoolToRoom(ModelState& state) {
  PlateAtUniformTemperature(state, state.Input.RoomTemperature);
  const DeflectionFold none(true);
  KeepFinal(state, {none, none});
}

DepositPlateFollower::DepositPlateFollower(ModelState& state, RunSink& sink, int passes,
                                           HistoryKeeping keeping)
    : state_(state), sink_(sink), passes_(passes), keeping_(std::move(keeping)) {}

void DepositPlateFollower::Start() {
  StartDepositPlate(state_, state_.Input.SubstrateTemperature);
  moduliVary_ = ModuliVary(state_.Materials);
  // With no pass, the plate is after its last pass from the start.
  if (passes_ == 0) AfterLastPass();
}

void DepositPlateFollower::Event(const DepositEvent& event) {
  if (moduliVary_) {
    const PlateConstants c = ConstantsOf(state_);
    DepositPlate& plate = state_.Stress.Plate;
    if (event.Kind == DepositEventKind::Arrival) {
      LandOnModulusPlate(state_, c, event);
    } else if (event.Moduli == nullptr) {
      throw std::logic_error("a modulus changes with temperature but the event holds no field");
    } else {
      plate.Moduli = *event.Moduli;
      BalanceModulusPlate(state_, c, SumsOf(plate, c, plate.Moduli), event.BackTemperature,
                          event.TopSubstrateTemperature);
      plate.Temperatures = event.Plate;
    }
  } else if (event.Kind == DepositEventKind::Arrival) {
    ApplyArrival(state_, event.SurfaceTemperature);
  } else {
    ApplyTemperatures(state_, event.Plate);
  }
  const double curvature = state_.Stress.Plate.Curvature;
  HistoryPoint point{event, curvature,
                     ShallowArcDeflection(state_.Input.SpecimenLength, curvature)};
  point.Event.Moduli = nullptr;
  Keep(point);
}

void DepositPlateFollower::PassEnd() {
  StressResults& s = state_.Stress;
  // The point the pass ended with is kept, so that the picture can mark it.
  if (!keeping_.Whole) FlushDrawn(false);
  s.PassEndCurvature.push_back(s.Plate.Curvature);
  s.PassEndPoints.push_back(s.History.size());
  if (++passesEnded_ == passes_) AfterLastPass();
}

void DepositPlateFollower::AfterLastPass() {
  KeepBeforeCooling(state_, state_.Timeline.LamellaTemperatures, {lowest_, highest_});
  state_.Clock.LamellaIndex = state_.Clock.LamellaCount;
  sink_.Frame(state_, StressFrame::BuildUp);
}

void DepositPlateFollower::Finish() {
  PlateAtUniformTemperature(state_, state_.Input.RoomTemperature);
  KeepFinal(state_, {lowest_, highest_});
  StressResults& s = state_.Stress;
  Schedule& clock = state_.Clock;
  const double room = state_.Input.RoomTemperature;
  DepositEvent cooled{clock.ElapsedTime, DepositEventKind::Cooling, room, room, room, {}, nullptr};
  cooled.Plate = s.Plate.Temperatures;
  const double curvature = s.Plate.Curvature;
  Keep({cooled, curvature, ShallowArcDeflection(state_.Input.SpecimenLength, curvature)});
  if (!keeping_.Whole) FlushDrawn(true);
  clock.LamellaIndex = clock.LamellaCount + 1;
  sink_.Frame(state_, StressFrame::Cooling);
  sink_.Frame(state_, StressFrame::DeflectionHistory);
}

void DepositPlateFollower::Keep(const HistoryPoint& point) {
  if (keeping_.Point) keeping_.Point(point);
  lowest_.Add(point.Deflection);
  highest_.Add(point.Deflection);
  std::vector<HistoryPoint>& history = state_.Stress.History;
  const std::size_t number = points_++;
  if (keeping_.Whole) {
    history.push_back(point);
    return;
  }
  const std::size_t column = HistoryColumn(point.Event.Time, keeping_.EndTime);
  if (grouping_ && (column != column_ || point.Event.Kind == DepositEventKind::Cooling)) {
    FlushDrawn(true);
  }
  latest_ = {number, point};
  if (!grouping_) {
    grouping_ = true;
    column_ = column;
    low_ = high_ = latest_;
    history.push_back(point);
    keptUpTo_ = number + 1;
    return;
  }
  // As the picture folds a column: std::min and std::max, the earlier point on a tie.
  if (point.Deflection < low_.Point.Deflection) low_ = latest_;
  if (high_.Point.Deflection < point.Deflection) high_ = latest_;
}

void DepositPlateFollower::FlushDrawn(bool groupEnds) {
  std::vector<HistoryPoint>& history = state_.Stress.History;
  const Candidate* pending[] = {&low_, &high_, &latest_};
  std::sort(std::begin(pending), std::end(pending),
            [](const Candidate* a, const Candidate* b) { return a->Number < b->Number; });
  for (const Candidate* candidate : pending) {
    if (!grouping_ || candidate->Number < keptUpTo_) continue;
    history.push_back(candidate->Point);
    keptUpTo_ = candidate->Number + 1;
  }
  if (groupEnds) grouping_ = false;
}

void RunWholeDepositModel(ModelState& state, RunSink& sink) {
  const DepositTimeline& timeline = state.Timeline;
  DepositPlateFollower follower(state, sink, static_cast<int>(timeline.PassEnds.size()));
  state.Stress.History.reserve(timeline.Events.size() + 1);
  follower.Start();
  std::size_t pass = 0;
  for (std::size_t i = 0; i < timeline.Events.size(); ++i) {
    if ((i + 1) % kEventsPerProgress == 0 && !sink.Progress(1.0)) throw RunCancelled();
    DepositEvent event = timeline.Events[i];
    if (i < timeline.Moduli.size()) event.Moduli = &timeline.Moduli[i];
    follower.Event(event);
    while (pass < timeline.PassEnds.size() && timeline.PassEnds[pass] == i + 1) {
      follower.PassEnd();
      ++pass;
    }
  }
  follower.Finish();
}

}  // namespace quillane
