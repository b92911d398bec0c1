#include "io/Summary.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <vector>

#include "format/NumberFormat.h"

namespace quillane {

namespace {

using Json = nlohmann::ordered_json;

Json PerLamella(const BasedArray<double>& values, int count) {
  Json array = Json::array();
  for (int i = 0; i <= count; ++i) array.push_back(values.Contains(i) ? values(i) : 0.0);
  return array;
}

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
    out << "  Lamellae per pass                 " << n << " (" << Passes(passes) << ")\n";
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

std::string SummaryJson(const ModelState& state) {
  const StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;
  Json root;
  root["LamellaCount"] = n;
  root["ThermalRowCount"] = state.Statistics.ThermalRowCount;
  root["ElapsedTime"] = state.Clock.ElapsedTime;
  root["NodeTemperature"] = FinalTemperatures(state);
  root["PassEndSurfaceTemperature"] = state.Clock.PassEndSurfaceTemperature;
  root["LamellaForce"] = PerLamella(s.LamellaForce, n);
  root["NeutralAxisPosition"] = PerLamella(s.NeutralAxisPosition, n);
  root["FlexuralRigidity"] = PerLamella(s.FlexuralRigidity, n);
  root["Curvature"] = PerLamella(s.Curvature, n);
  root["Deflection"] = PerLamella(s.Deflection, n);
  root["SubstrateStressBack"] = PerLamella(s.SubstrateStressBack, n);
  root["SubstrateStressFront"] = PerLamella(s.SubstrateStressFront, n);
  root["LamellaStress"] = PerLamella(s.LamellaStress, n);
  root["FinalCurvature"] = s.FinalCurvature;
  root["FinalDeflection"] = s.FinalDeflection;
  root["SubstrateStressBackFinal"] = s.SubstrateStressBackFinal;
  root["SubstrateStressFrontFinal"] = s.SubstrateStressFrontFinal;
  root["LamellaStressFinal"] = PerLamella(s.LamellaStressFinal, n);
  root["StressAxisMin"] = s.StressAxisMin;
  root["StressAxisMax"] = s.StressAxisMax;
  root["DeflectionAxisMin"] = s.DeflectionAxisMin;
  root["DeflectionAxisMax"] = s.DeflectionAxisMax;
  root["SingularMatrixEvents"] = state.Statistics.SingularMatrixEvents;
  root["PeakSubstrateTemperature"] = state.Statistics.PeakSubstrateTemperature;
  root["PeakInterfaceTemperature"] = state.Statistics.PeakInterfaceTemperature;
  root["LamellaTime"] = PerLamella(s.LamellaTime, n);
  root["StressModel"] = state.Input.StressModel;
  root["RoomTemperature"] = state.Input.RoomTemperature;
  // The deposit the stress model holds: one pass of lamellae, or the whole coating.
  root["CoatingThickness"] = n * s.LamellaThicknessCopy;
  if (state.Model == StressModelKind::WholeDeposit) {
    root["PassEndCurvature"] = s.PassEndCurvature;
    root["PeakSurfaceTemperature"] = state.Statistics.PeakSurfaceTemperature;
  }
  return root.dump(1) + "\n";
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

std::vector<RunWarning> FindRunWarnings(const ModelState& state) {
  using Kind = RunWarning::Kind;
  std::vector<RunWarning> warnings;
  const RunStatistics& run = state.Statistics;
  if (run.NonFiniteTemperature) {
    warnings.push_back({Kind::NonFiniteTemperature});
  } else if (run.ThermalRowCount > 0 && run.LowestTemperature <= 0) {
    warnings.push_back({Kind::BelowAbsoluteZero, run.LowestTemperature});
  }
  const StressResults& s = state.Stress;
  for (double value : {s.FinalCurvature, s.FinalDeflection, s.SubstrateStressBackFinal,
                       s.SubstrateStressFrontFinal}) {
    if (!std::isfinite(value)) {
      warnings.push_back({Kind::NonFiniteResults});
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
  if (length > 0 && largest > 2 / length) warnings.push_back({Kind::CurvatureTooLarge, largest});
  if (run.SingularMatrixEvents > 0) {
    warnings.push_back({Kind::SingularMatrix, 0, run.SingularMatrixEvents});
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
  }
  return {};
}

std::vector<std::string> NonPhysicalWarnings(const ModelState& state) {
  std::vector<std::string> texts;
  for (const RunWarning& warning : FindRunWarnings(state)) texts.push_back(English(warning));
  return texts;
}

}  // namespace quillane
