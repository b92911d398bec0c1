#include "io/Summary.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <vector>

#include "format/NumberFormat.h"
#include "model/Deposit.h"
#include "model/InputTable.h"

namespace quillane {

namespace {

using Json = nlohmann::ordered_json;

// Writes the summary's object as nlohmann's dump with an indent of one space writes it, a member
// at a time: every value is a number, a string or an array of numbers or strings, each element
// written by the library itself.
class SummaryWriter {
 public:
  explicit SummaryWriter(const std::function<void(std::string_view)>& write) : write_(write) {
    write_("{");
  }

  template <typename T>
  void Value(const char* key, const T& value) {
    Key(key);
    write_(Json(value).dump());
  }

  template <typename T>
  void Value(const char* key, const std::vector<T>& values) {
    Key(key);
    if (values.empty()) {
      write_("[]");
      return;
    }
    std::string text = "[\n";
    for (std::size_t i = 0; i < values.size(); ++i) {
      text += "  ";
      text += Json(values[i]).dump();
      text += i + 1 < values.size() ? ",\n" : "\n ]";
      // In pieces of a few hundred kilobytes.
      if (text.size() > kPiece) {
        write_(text);
        text.clear();
      }
    }
    write_(text);
  }

  void End() { write_(first_ ? "}\n" : "\n}\n"); }

 private:
  static constexpr std::size_t kPiece = 1 << 18;

  void Key(const char* key) {
    write_(first_ ? "\n " : ",\n ");
    first_ = false;
    write_(Json(key).dump() + ": ");
  }

  const std::function<void(std::string_view)>& write_;
  bool first_ = true;
};

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// A line of the printed summary: its caption in a column of its own, then the value.
std::string Line(const std::string& caption, const std::string& value) {
  constexpr std::size_t kCaptionWidth = 34;
  return "  " + caption + std::string(kCaptionWidth - caption.size(), ' ') + value + "\n";
}

std::string Passes(int count) {
  return std::to_string(count) + (count == 1 ? " pass" : " passes");
}

std::string PrintedLamellae(const ModelState& state) {
  const int n = state.Clock.LamellaCount;
  const int passes = state.Model == StressModelKind::WholeDeposit
                         ? SprayedPasses(state.Stress.Coats)
                         : state.Input.PassCount;
  if (state.Model != StressModelKind::WholeDeposit) {
    return Line("Lamellae per pass", std::to_string(n) + " (" + Passes(passes) + ")") +
           Line("Cooled to", Fixed(state.Clock.PassEndSurfaceTemperature, 2) +
                                 " K, the surface at the end of the last pass (one-pass model: "
                                 "not to RoomTemperature)");
  }
  const std::vector<SprayedCoat>& coats = state.Stress.Coats;
  std::string laid;
  if (coats.size() <= 1) {
    laid = Line("Lamellae laid", std::to_string(n) + " (" +
                                     std::to_string(passes > 0 ? n / passes : 0) + " per pass, " +
                                     Passes(passes) + "), " +
                                     Fixed(DepositTop(state.Stress, n) * 1e6, 3) + " µm");
  } else {
    laid =
        Line("Lamellae laid", std::to_string(n) + " in " + std::to_string(coats.size()) +
                                  " coats, " + Fixed(DepositTop(state.Stress, n) * 1e6, 3) + " µm");
    for (std::size_t k = 0; k < coats.size(); ++k) {
      const SprayedCoat& coat = coats[k];
      laid += Line("  Coat " + std::to_string(k + 1),
                   coat.Material + ", " + std::to_string(coat.LamellaePerPass) + " per pass, " +
                       Passes(coat.PassCount) + ", " +
                       Fixed(coat.Lamellae * coat.LaidThickness * 1e6, 3) + " µm");
    }
  }
  return laid + Line("Cooled to room temperature",
                     Fixed(state.Input.RoomTemperature, 2) + " K (whole-deposit model)");
}

std::string PrintedTopTemperature(const ModelState& state) {
  const std::vector<double> temperatures = FinalTemperatures(state);
  const double top = temperatures.empty() ? state.Input.SubstrateTemperature : temperatures.back();
  return Line("Final top-surface temperature", Fixed(top, 2) + " K");
}

std::string PrintedSubstrateStresses(const ModelState& state) {
  const StressResults& s = state.Stress;
  return Line("Substrate stress after cooling",
              "back face " + Fixed(s.SubstrateStressBackFinal * 1e-6, 3) + " MPa, interface " +
                  Fixed(s.SubstrateStressFrontFinal * 1e-6, 3) + " MPa");
}

// The stresses of a run of lamellae after the final cooling, Pa; all 0 for none.
struct StressSpread {
  double Mean = 0;
  double Lowest = 0;
  double Highest = 0;
};

StressSpread SpreadOf(const StressResults& stress, int first, int count) {
  StressSpread spread;
  double sum = 0;
  for (int i = first; i < first + count; ++i) {
    const double value = stress.LamellaStressFinal(i);
    sum += value;
    if (i == first || value < spread.Lowest) spread.Lowest = value;
    if (i == first || value > spread.Highest) spread.Highest = value;
  }
  if (count > 0) spread.Mean = sum / count;
  return spread;
}

StressSpread CoatSpread(const StressResults& stress, const SprayedCoat& coat) {
  return SpreadOf(stress, coat.FirstLamella, coat.Lamellae);
}

std::string Megapascals(double lowest, double highest) {
  return Fixed(lowest * 1e-6, 3) + " to " + Fixed(highest * 1e-6, 3) + " MPa";
}

// The lowest and highest stress of the lamellae laid, then each coat's when there are several.
std::string PrintedLamellaStresses(const ModelState& state) {
  const StressSpread all = SpreadOf(state.Stress, 1, state.Clock.LamellaCount);
  std::string lines = Line("Lamella stresses after cooling", Megapascals(all.Lowest, all.Highest));
  const std::vector<SprayedCoat>& coats = state.Stress.Coats;
  if (coats.size() <= 1) return lines;
  for (std::size_t k = 0; k < coats.size(); ++k) {
    const StressSpread coat = CoatSpread(state.Stress, coats[k]);
    lines +=
        Line("  Coat " + std::to_string(k + 1), "mean " + Fixed(coat.Mean * 1e-6, 3) + " MPa, " +
                                                    Megapascals(coat.Lowest, coat.Highest));
  }
  return lines;
}

using Reader = SummaryValue (*)(const ModelState&);
using Printer = std::string (*)(const ModelState&);

SummaryField Field(const char* key, const char* doc, Reader read, Printer printed = nullptr) {
  return {key, doc, read, false, printed};
}

SummaryField WholeDepositOnly(const char* key, const char* doc, Reader read) {
  return {key, doc, read, true, nullptr};
}

template <double StressResults::*Member>
SummaryValue Stress(const ModelState& state) {
  return state.Stress.*Member;
}

template <double RunStatistics::*Member>
SummaryValue Statistic(const ModelState& state) {
  return state.Statistics.*Member;
}

template <long long RunStatistics::*Member>
SummaryValue Count(const ModelState& state) {
  return state.Statistics.*Member;
}

// An element per sprayed coat, as StressResults::Coats lists them.
template <typename T>
std::vector<T> PerCoat(const ModelState& state, T (*of)(const StressResults&, const SprayedCoat&)) {
  std::vector<T> values;
  for (const SprayedCoat& coat : state.Stress.Coats) values.push_back(of(state.Stress, coat));
  return values;
}

template <double StressSpread::*Member>
SummaryValue CoatStress(const ModelState& state) {
  return PerCoat<double>(state, [](const StressResults& stress, const SprayedCoat& coat) {
    return CoatSpread(stress, coat).*Member;
  });
}

// Elements 0 to LamellaCount, 0 where the run left one unset.
template <BasedArray<double> StressResults::*Member>
SummaryValue Lamellae(const ModelState& state) {
  const BasedArray<double>& values = state.Stress.*Member;
  std::vector<double> copy;
  copy.reserve(static_cast<std::size_t>(state.Clock.LamellaCount) + 1);
  for (int i = 0; i <= state.Clock.LamellaCount; ++i) {
    copy.push_back(values.Contains(i) ? values(i) : 0.0);
  }
  return copy;
}

}  // namespace

const std::vector<SummaryField>& SummaryFields() {
  using S = const ModelState&;
  using R = StressResults;
  static const std::vector<SummaryField> kFields = {
      Field(
          "LamellaCount",
          "Lamellae the stress model holds: one pass's, or every lamella (whole-deposit model).",
          [](S s) -> SummaryValue { return static_cast<long long>(s.Clock.LamellaCount); },
          PrintedLamellae),
      Field("ThermalRowCount", "Thermal rows written.", Count<&RunStatistics::ThermalRowCount>,
            [](S s) {
              return Line("Thermal rows written", std::to_string(s.Statistics.ThermalRowCount));
            }),
      Field(
          "ElapsedTime", "Simulated time, s.",
          [](S s) -> SummaryValue { return s.Clock.ElapsedTime; },
          [](S s) { return Line("Simulated time", Fixed(s.Clock.ElapsedTime, 3) + " s"); }),
      Field(
          "NodeTemperature",
          "Temperatures at the end, K: the nodes, node 1 the back face (one-pass model), or "
          "the back face, the substrate's top face and the surface (whole-deposit model).",
          [](S s) -> SummaryValue { return FinalTemperatures(s); }, PrintedTopTemperature),
      Field("PassEndSurfaceTemperature", "Top-surface temperature at the end of the last pass, K.",
            [](S s) -> SummaryValue { return s.Clock.PassEndSurfaceTemperature; }),
      Field("LamellaForce", "Force of each lamella, N.", Lamellae<&R::LamellaForce>),
      Field("NeutralAxisPosition", "Neutral axis after each lamella, m.",
            Lamellae<&R::NeutralAxisPosition>),
      Field("FlexuralRigidity", "Flexural rigidity after each lamella, N·m.",
            Lamellae<&R::FlexuralRigidity>),
      Field("Curvature", "Curvature after each lamella, 1/m.", Lamellae<&R::Curvature>),
      Field("Deflection", "Deflection after each lamella, m.", Lamellae<&R::Deflection>),
      Field("SubstrateStressBack", "Substrate stress at the back face after each lamella, Pa.",
            Lamellae<&R::SubstrateStressBack>),
      Field("SubstrateStressFront", "Substrate stress at the interface after each lamella, Pa.",
            Lamellae<&R::SubstrateStressFront>),
      Field("LamellaStress", "Stress of each lamella before the final cooling, Pa.",
            Lamellae<&R::LamellaStress>),
      Field(
          "FinalCurvature", "Curvature after the final cooling, 1/m.", Stress<&R::FinalCurvature>,
          [](S s) { return Line("Final curvature", Fixed(s.Stress.FinalCurvature, 6) + " 1/m"); }),
      Field("FinalDeflection", "Deflection after the final cooling, m.",
            Stress<&R::FinalDeflection>,
            [](S s) {
              return Line("Final deflection", Fixed(s.Stress.FinalDeflection * 1e6, 3) + " µm");
            }),
      Field("SubstrateStressBackFinal", "Substrate stress at the back face after cooling, Pa.",
            Stress<&R::SubstrateStressBackFinal>, PrintedSubstrateStresses),
      Field("SubstrateStressFrontFinal", "Substrate stress at the interface after cooling, Pa.",
            Stress<&R::SubstrateStressFrontFinal>),
      Field("LamellaStressFinal", "Stress of each lamella after the final cooling, Pa.",
            Lamellae<&R::LamellaStressFinal>, PrintedLamellaStresses),
      Field("StressAxisMin", "Lower end of the stress pictures' axis, GPa.",
            Stress<&R::StressAxisMin>),
      Field("StressAxisMax", "Upper end of the stress pictures' axis, GPa.",
            Stress<&R::StressAxisMax>),
      Field("DeflectionAxisMin", "Lower end of the deflection picture's axis, m.",
            Stress<&R::DeflectionAxisMin>),
      Field("DeflectionAxisMax", "Upper end of the deflection picture's axis, m.",
            Stress<&R::DeflectionAxisMax>),
      Field("SingularMatrixEvents",
            "Thermal steps whose system was singular (they kept their temperatures).",
            Count<&RunStatistics::SingularMatrixEvents>),
      Field("PeakSubstrateTemperature",
            "Hottest back face of the substrate over the thermal rows, K.",
            Statistic<&RunStatistics::PeakSubstrateTemperature>),
      Field("PeakInterfaceTemperature",
            "Hottest substrate/coating interface over the thermal rows, K.",
            Statistic<&RunStatistics::PeakInterfaceTemperature>),
      Field("LamellaTime",
            "When each lamella is laid, s (of the first pass in the one-pass model).",
            Lamellae<&R::LamellaTime>),
      Field("StressModel", "\"one-pass\" or \"whole-deposit\".",
            [](S s) -> SummaryValue { return s.Input.StressModel; }),
      Field("RoomTemperature", "Room temperature the plate cools to, K.",
            [](S s) -> SummaryValue { return s.Input.RoomTemperature; }),
      // The deposit the stress model holds: one pass of lamellae, or the whole coating.
      Field("CoatingThickness", "Thickness of the deposit the stress model holds, m.",
            [](S s) -> SummaryValue { return DepositTop(s.Stress, s.Clock.LamellaCount); }),
      WholeDepositOnly(
          "PassEndCurvature",
          "Curvature at the end of each pass, 1/m (whole-deposit model; empty otherwise).",
          [](S s) -> SummaryValue { return s.Stress.PassEndCurvature; }),
      WholeDepositOnly("PeakSurfaceTemperature",
                       "Hottest surface at the ends of the thermal steps, K (whole-deposit "
                       "model; 0 otherwise).",
                       Statistic<&RunStatistics::PeakSurfaceTemperature>),
      // The coats as sprayed, neighbours identical in everything and sprayed at once joined.
      WholeDepositOnly("CoatMaterial", "Material of each coat, in spraying order.",
                       [](S s) -> SummaryValue {
                         return PerCoat<std::string>(
                             s, [](const StressResults&, const SprayedCoat& coat) {
                               return coat.Material;
                             });
                       }),
      WholeDepositOnly("CoatThickness", "Thickness of each coat, m.",
                       [](S s) -> SummaryValue {
                         return PerCoat<double>(s,
                                                [](const StressResults&, const SprayedCoat& coat) {
                                                  return coat.Lamellae * coat.LaidThickness;
                                                });
                       }),
      WholeDepositOnly("CoatMeanStress",
                       "Mean stress of each coat's lamellae after the final cooling, Pa (0 for a "
                       "coat of no lamella).",
                       CoatStress<&StressSpread::Mean>),
      WholeDepositOnly("CoatLowestStress",
                       "Lowest stress of each coat's lamellae after the final cooling, Pa (0 for a "
                       "coat of no lamella).",
                       CoatStress<&StressSpread::Lowest>),
      WholeDepositOnly(
          "CoatHighestStress",
          "Highest stress of each coat's lamellae after the final cooling, Pa (0 for a "
          "coat of no lamella).",
          CoatStress<&StressSpread::Highest>),
  };
  return kFields;
}

std::vector<double> FinalTemperatures(const ModelState& state) {
  if (state.Model == StressModelKind::WholeDeposit) {
    const DepositField& f = state.Field;
    if (f.Cells.empty()) return {};
    return {f.BackFace, f.SubstrateTop, f.Surface};
  }
  std::vector<double> nodes;
  for (int i = 1; i <= state.Stack.NodeCount; ++i) nodes.push_back(state.Stack.NodeTemperature(i));
  return nodes;
}

void WriteSummaryJson(const ModelState& state, const std::function<void(std::string_view)>& write) {
  SummaryWriter root(write);
  const bool wholeDeposit = state.Model == StressModelKind::WholeDeposit;
  for (const SummaryField& field : SummaryFields()) {
    if (field.WholeDepositOnly && !wholeDeposit) continue;
    std::visit([&](const auto& value) { root.Value(field.Key, value); }, field.Read(state));
  }
  root.End();
}

std::string SummaryJson(const ModelState& state) {
  std::string text;
  WriteSummaryJson(state, [&text](std::string_view piece) { text += piece; });
  return text;
}

void PrintSummary(const ModelState& state, double runSeconds, std::ostream& out) {
  const std::vector<SprayedCoat>& coats = state.Stress.Coats;
  out << "Substrate " << state.Input.SubstrateMaterialName;
  if (coats.size() > 1) {
    // In spraying order, the top coat last.
    out << ", coats " << coats.front().Material;
    for (std::size_t k = 1; k < coats.size(); ++k) out << " then " << coats[k].Material;
  } else {
    out << ", coating " << (coats.empty() ? state.Input.CoatingMaterialName : coats[0].Material);
  }
  out << "\n";
  for (const SummaryField& field : SummaryFields()) {
    if (field.Printed != nullptr) out << field.Printed(state);
  }
  out << Line("Run time", Fixed(runSeconds, 3) + " s");
}

namespace {

using WarningKind = RunWarning::Kind;

// Temperatures no spray process reaches: above the particles', or a substrate above its melting
// point, which the model never melts.
void AddImplausibleTemperatures(const ModelState& state, std::vector<RunWarning>& warnings) {
  const RunStatistics& run = state.Statistics;
  const double particles = state.Input.ParticleTemperature;
  // A lamella lands a few millikelvins above the particles' temperature: 1 % is far beyond.
  if (run.HighestTemperature > particles * 1.01) {
    warnings.push_back({WarningKind::AboveParticles, run.HighestTemperature, 0, particles});
  }
  const double substrate = std::fmax(run.PeakSubstrateTemperature, run.PeakInterfaceTemperature);
  const double melting = state.Materials.Substrate.Tfusion;
  if (melting > 0 && substrate > melting) {
    warnings.push_back({WarningKind::SubstrateMelts, substrate, 0, melting});
  }
}

void AddRoomTemperature(const ModelState& state, std::vector<RunWarning>& warnings) {
  const double room = state.Input.RoomTemperature;
  if (room < kColdestRoom) warnings.push_back({WarningKind::RoomInCelsius, room});
  if (state.Model == StressModelKind::OnePass && room != Input("RoomTemperature").Default) {
    warnings.push_back(
        {WarningKind::RoomTemperatureUnused, room, 0, state.Clock.PassEndSurfaceTemperature});
  }
}

// A temperature as the warnings write it: to 0.1 K.
std::string Kelvin(double value, char separator = '.') {
  return format::FormatGeneral(std::round(value * 10) / 10, separator) + " K";
}

}  // namespace

std::vector<RunWarning> FindRunWarnings(const ModelState& state) {
  std::vector<RunWarning> warnings;
  const RunStatistics& run = state.Statistics;
  if (run.NonFiniteTemperature) {
    warnings.push_back({WarningKind::NonFiniteTemperature});
  } else if (run.ThermalRowCount > 0 && run.LowestTemperature <= 0) {
    warnings.push_back({WarningKind::BelowAbsoluteZero, run.LowestTemperature});
  }
  // What the inputs of a run gave (a state no run filled has nothing to tell).
  if (!run.NonFiniteTemperature && run.ThermalRowCount > 0) {
    AddImplausibleTemperatures(state, warnings);
    AddRoomTemperature(state, warnings);
  }
  const StressResults& s = state.Stress;
  for (double value : {s.FinalCurvature, s.FinalDeflection, s.SubstrateStressBackFinal,
                       s.SubstrateStressFrontFinal}) {
    if (!std::isfinite(value)) {
      warnings.push_back({WarningKind::NonFiniteResults});
      break;
    }
  }
  // The deflection is the rise of a shallow arc: meaningless once the radius of curvature falls
  // below half the specimen length.
  const double length = state.Input.SpecimenLength;
  double largest = std::fabs(s.FinalCurvature);
  for (int i = 0; i <= state.Clock.LamellaCount && s.Curvature.Contains(i); ++i) {
    largest = std::fmax(largest, std::fabs(s.Curvature(i)));
  }
  if (length > 0 && largest > 2 / length)
    warnings.push_back({WarningKind::CurvatureTooLarge, largest});
  if (run.SingularMatrixEvents > 0) {
    warnings.push_back({WarningKind::SingularMatrix, 0, run.SingularMatrixEvents});
  }
  return warnings;
}

std::string English(const RunWarning& warning) {
  switch (warning.What) {
    case RunWarning::Kind::NonFiniteTemperature:
      return "some node temperatures are not finite numbers";
    case RunWarning::Kind::BelowAbsoluteZero:
      return "node temperatures fall to " + std::to_string(warning.Value) +
             " K, below absolute zero: the time steps are too coarse for these inputs";
    case RunWarning::Kind::NonFiniteResults:
      return "the final stresses or curvature are not finite numbers";
    case RunWarning::Kind::CurvatureTooLarge:
      return "the curvature reaches " + std::to_string(warning.Value) +
             " 1/m, a radius below half the specimen length: the deflections are not physical "
             "(a thin substrate under a thick deposit)";
    case RunWarning::Kind::SingularMatrix:
      return "Matrix singular  reported " + std::to_string(warning.Count) + " times";
    case RunWarning::Kind::AboveParticles:
      return "temperatures reach " + Kelvin(warning.Value) + ", above the particle temperature (" +
             Kelvin(warning.Bound) +
             "): no spray process heats this way; check the heat flux (HeatFlux in W/m², "
             "--heat-flux in kW/m²)";
    case RunWarning::Kind::SubstrateMelts:
      return "the substrate reaches " + Kelvin(warning.Value) + ", above its melting point (" +
             Kelvin(warning.Bound) +
             "), which the model does not follow; check the heat flux and the substrate";
    case RunWarning::Kind::RoomInCelsius:
      return "RoomTemperature is " + Kelvin(warning.Value) +
             ", below 200 K: it is in kelvin (20 °C is 293.15 K)";
    case RunWarning::Kind::RoomTemperatureUnused:
      return "the one-pass model does not use RoomTemperature (" + Kelvin(warning.Value) +
             "): its final state is the coating cooled from its melting point to the surface "
             "temperature at the end of the last pass (" +
             Kelvin(warning.Bound) +
             "), not to room temperature; the whole-deposit model cools to RoomTemperature";
  }
  return {};
}

std::string French(const RunWarning& warning, char separator) {
  // "30", not the pattern's "30,".
  const std::string value = format::FormatTableNumber(warning.Value, separator);
  switch (warning.What) {
    case RunWarning::Kind::NonFiniteTemperature:
      return "Attention : des températures non finies ont été calculées.";
    case RunWarning::Kind::BelowAbsoluteZero:
      return "Attention : des températures descendent à " + value +
             " K, sous le zéro absolu : les pas de temps sont trop grossiers pour ces données.";
    case RunWarning::Kind::NonFiniteResults:
      return "Attention : les contraintes ou la courbure finales ne sont pas des nombres finis.";
    case RunWarning::Kind::CurvatureTooLarge:
      return "Attention : la courbure atteint " + value +
             " 1/m, un rayon inférieur à la moitié de la longueur du témoin : les flèches ne "
             "sont pas physiques (un substrat mince sous un dépôt épais).";
    case RunWarning::Kind::SingularMatrix:
      return "Systèmes singuliers : " + std::to_string(warning.Count) + ".";
    case RunWarning::Kind::AboveParticles:
      return "Attention : des températures atteignent " + Kelvin(warning.Value, separator) +
             ", au-dessus de celle des particules (" + Kelvin(warning.Bound, separator) +
             ") : aucune projection ne chauffe ainsi ; vérifiez le flux thermique (en kW/m²).";
    case RunWarning::Kind::SubstrateMelts:
      return "Attention : le substrat atteint " + Kelvin(warning.Value, separator) +
             ", au-dessus de sa température de fusion (" + Kelvin(warning.Bound, separator) +
             "), que le modèle ne suit pas ; vérifiez le flux thermique et le substrat.";
    case RunWarning::Kind::RoomInCelsius:
      return "Attention : la température ambiante vaut " + Kelvin(warning.Value, separator) +
             ", moins de 200 K : elle est en kelvins (20 °C font 293,15 K).";
    case RunWarning::Kind::RoomTemperatureUnused:
      return "Le modèle une passe n'utilise pas la température ambiante (" +
             Kelvin(warning.Value, separator) +
             ") : son état final est le dépôt refroidi de sa température de fusion à celle de la "
             "surface en fin de dernière passe (" +
             Kelvin(warning.Bound, separator) +
             "), non à l'ambiante ; le modèle dépôt complet refroidit jusqu'à l'ambiante.";
  }
  return {};
}

std::vector<std::string> NonPhysicalWarnings(const ModelState& state) {
  std::vector<std::string> texts;
  for (const RunWarning& warning : FindRunWarnings(state)) texts.push_back(English(warning));
  return texts;
}

}  // namespace quillane
