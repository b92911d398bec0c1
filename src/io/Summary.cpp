#include "io/Summary.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <vector>

#include "format/NumberFormat.h"
#include "model/InputTable.h"

namespace quillane {

namespace {

using Json = nlohmann::ordered_json;

// Writes the summary's object as nlohmann's dump with an indent of one space writes it, a member
// at a time: every value is a number, a string or an array of numbers, each written by the
// library itself.
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

  template <typename Count, typename At>
  void Array(const char* key, Count count, At at) {
    Key(key);
    if (count == 0) {
      write_("[]");
      return;
    }
    std::string text = "[\n";
    for (Count i = 0; i < count; ++i) {
      text += "  ";
      text += Json(at(i)).dump();
      text += i + 1 < count ? ",\n" : "\n ]";
      // In pieces of a few hundred kilobytes.
      if (text.size() > kPiece) {
        write_(text);
        text.clear();
      }
    }
    write_(text);
  }

  void PerLamella(const char* key, const BasedArray<double>& values, int count) {
    Array(key, count + 1, [&](int i) { return values.Contains(i) ? values(i) : 0.0; });
  }

  void Vector(const char* key, const std::vector<double>& values) {
    Array(key, values.size(), [&](std::size_t i) { return values[i]; });
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

std::string Passes(int count) {
  return std::to_string(count) + (count == 1 ? " pass" : " passes");
}

void PrintLamellae(const ModelState& state, std::ostream& out) {
  const int n = state.Clock.LamellaCount;
  const int passes = state.Input.PassCount;
  if (state.Model != StressModelKind::WholeDeposit) {
    out << "  Lamellae per pass                 " << n << " (" << Passes(passes) << ")\n"
        << "  Cooled to                         " << Fixed(state.Clock.PassEndSurfaceTemperature, 2)
        << " K, the surface at the end of the last pass (one-pass model: not to "
           "RoomTemperature)\n";
    return;
  }
  out << "  Lamellae laid                     " << n << " (" << (passes > 0 ? n / passes : 0)
      << " per pass, " << Passes(passes) << "), "
      << Fixed(n * state.Stress.LamellaThicknessCopy * 1e6, 3) << " µm\n"
      << "  Cooled to room temperature        " << Fixed(state.Input.RoomTemperature, 2)
      << " K (whole-deposit model)\n";
}

}  // namespace

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
  const StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;
  SummaryWriter root(write);
  root.Value("LamellaCount", n);
  root.Value("ThermalRowCount", state.Statistics.ThermalRowCount);
  root.Value("ElapsedTime", state.Clock.ElapsedTime);
  root.Vector("NodeTemperature", FinalTemperatures(state));
  root.Value("PassEndSurfaceTemperature", state.Clock.PassEndSurfaceTemperature);
  root.PerLamella("LamellaForce", s.LamellaForce, n);
  root.PerLamella("NeutralAxisPosition", s.NeutralAxisPosition, n);
  root.PerLamella("FlexuralRigidity", s.FlexuralRigidity, n);
  root.PerLamella("Curvature", s.Curvature, n);
  root.PerLamella("Deflection", s.Deflection, n);
  root.PerLamella("SubstrateStressBack", s.SubstrateStressBack, n);
  root.PerLamella("SubstrateStressFront", s.SubstrateStressFront, n);
  root.PerLamella("LamellaStress", s.LamellaStress, n);
  root.Value("FinalCurvature", s.FinalCurvature);
  root.Value("FinalDeflection", s.FinalDeflection);
  root.Value("SubstrateStressBackFinal", s.SubstrateStressBackFinal);
  root.Value("SubstrateStressFrontFinal", s.SubstrateStressFrontFinal);
  root.PerLamella("LamellaStressFinal", s.LamellaStressFinal, n);
  root.Value("StressAxisMin", s.StressAxisMin);
  root.Value("StressAxisMax", s.StressAxisMax);
  root.Value("DeflectionAxisMin", s.DeflectionAxisMin);
  root.Value("DeflectionAxisMax", s.DeflectionAxisMax);
  root.Value("SingularMatrixEvents", state.Statistics.SingularMatrixEvents);
  root.Value("PeakSubstrateTemperature", state.Statistics.PeakSubstrateTemperature);
  root.Value("PeakInterfaceTemperature", state.Statistics.PeakInterfaceTemperature);
  root.PerLamella("LamellaTime", s.LamellaTime, n);
  root.Value("StressModel", state.Input.StressModel);
  root.Value("RoomTemperature", state.Input.RoomTemperature);
  // The deposit the stress model holds: one pass of lamellae, or the whole coating.
  root.Value("CoatingThickness", n * s.LamellaThicknessCopy);
  if (state.Model == StressModelKind::WholeDeposit) {
    root.Vector("PassEndCurvature", s.PassEndCurvature);
    root.Value("PeakSurfaceTemperature", state.Statistics.PeakSurfaceTemperature);
  }
  root.End();
}

std::string SummaryJson(const ModelState& state) {
  std::string text;
  WriteSummaryJson(state, [&text](std::string_view piece) { text += piece; });
  return text;
}

void PrintSummary(const ModelState& state, double runSeconds, std::ostream& out) {
  const StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;
  double lowest = 0;
  double highest = 0;
  for (int i = 1; i <= n; ++i) {
    const double value = s.LamellaStressFinal(i);
    if (i == 1 || value < lowest) lowest = value;
    if (i == 1 || value > highest) highest = value;
  }
  const std::vector<double> temperatures = FinalTemperatures(state);
  const double top = temperatures.empty() ? state.Input.SubstrateTemperature : temperatures.back();
  out << "Substrate " << state.Input.SubstrateMaterialName << ", coating "
      << state.Input.CoatingMaterialName << "\n";
  PrintLamellae(state, out);
  out << "  Thermal rows written              " << state.Statistics.ThermalRowCount << "\n"
      << "  Simulated time                    " << Fixed(state.Clock.ElapsedTime, 3) << " s\n"
      << "  Final top-surface temperature     " << Fixed(top, 2) << " K\n"
      << "  Final curvature                   " << Fixed(s.FinalCurvature, 6) << " 1/m\n"
      << "  Final deflection                  " << Fixed(s.FinalDeflection * 1e6, 3) << " µm\n"
      << "  Substrate stress after cooling    back face "
      << Fixed(s.SubstrateStressBackFinal * 1e-6, 3) << " MPa, interface "
      << Fixed(s.SubstrateStressFrontFinal * 1e-6, 3) << " MPa\n"
      << "  Lamella stresses after cooling    " << Fixed(lowest * 1e-6, 3) << " to "
      << Fixed(highest * 1e-6, 3) << " MPa\n"
      << "  Run time                          " << Fixed(runSeconds, 3) << " s\n";
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
  const std::string value = format::FormatPattern(warning.Value, "0.###", separator);
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
