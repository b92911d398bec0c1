#include "stress/StressTables.h"

#include <cmath>
#include <string>

#include "format/NumberFormat.h"

namespace quillane {

namespace {

using format::FormatG;

std::string Row(const std::string& x, const std::string& value) {
  return x + '\t' + value;
}

// Time axis of the deflection history: 4 s per lamella, then 120 s of cooling in 20 samples.
constexpr int kSecondsPerLamella = 4;
constexpr int kCoolingSeconds = 120;
constexpr int kCoolingSamples = 20;
constexpr double kSecondsPerMetre = 4000;

}  // namespace

void WriteBeforeCoolingTable(ModelState& state, RunHost& host) {
  const StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;
  const double h = s.SubstrateThickness;
  const double w = s.LamellaThicknessCopy;
  const char separator = state.Locale.DecimalSeparator;
  ResultFile& file = state.Files.Thermal;

  const std::string axisLine = "POSITION DE L'AXE NEUTRE : \t" + FormatG(s.NeutralAxisPosition(n));
  const std::string titleLine = "CONTRAINTES AVANT REFROIDISSEMENT FINAL ";
  file.WriteLine(axisLine);
  file.WriteLine(titleLine);
  file.WriteLine("X\tSIGMA");
  file.WriteLine(Row(FormatG(-h), format::FormatS(s.SubstrateStressBack(n), separator)));
  file.WriteLine(Row(FormatG(0), format::FormatS(s.SubstrateStressFront(n), separator)));
  std::vector<std::string> lamellaLines;
  lamellaLines.reserve(static_cast<std::size_t>(n));
  for (int i = 1; i <= n; ++i) {
    lamellaLines.push_back(
        Row(FormatG((i - 0.5) * w), format::FormatS(s.LamellaStress(i), separator)));
    file.WriteLine(lamellaLines.back());
  }

  ResultGrid& grid = host.Grid(GridId::MSFlexGrid1);
  grid.FillBlock(0, 0, 0, 1, axisLine);
  grid.SetColumnWidth(0, 1500);
  grid.SetColumnWidth(1, 1500);
  grid.AddRow(titleLine);
  for (const std::string& line : lamellaLines) grid.AddRow(line);
}

void AddAfterCoolingRow(const ModelState& state, RunHost& host, int i) {
  const StressResults& s = state.Stress;
  host.Grid(GridId::MSFlexGrid2)
      .AddRow(Row(FormatG((i - 1) * s.LamellaThicknessCopy), FormatG(s.LamellaStressFinal(i))));
}

double DeflectionHistoryCoolingValue(const ModelState& state, int i) {
  const StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;
  const double u = (kCoolingSeconds / kCoolingSamples) * i;
  const double tau = kSecondsPerMetre * (n * s.LamellaThicknessCopy + s.SubstrateThickness);
  return s.FinalDeflection - (s.FinalDeflection - s.Deflection(n)) * std::exp((-u) / tau);
}

void WriteStressResultsFile(ModelState& state) {
  const StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;
  const double w = s.LamellaThicknessCopy;
  ResultFile& file = state.Files.Stress;
  file.WriteLine("CONTRAINTES FINALES");
  file.WriteLine("X\tSIGMA");
  file.WriteLine(Row(FormatG(-s.SubstrateThickness), FormatG(s.SubstrateStressBackFinal)));
  file.WriteLine(Row(FormatG(0), FormatG(s.SubstrateStressFrontFinal)));
  for (int i = 1; i <= n; ++i) {
    file.WriteLine(Row(FormatG((i - 0.5) * w), FormatG(s.LamellaStressFinal(i))));
  }
  file.WriteLine("FLECHES");
  file.WriteLine("temps\tfleches");
  file.WriteLine(Row(FormatG(0), FormatG(s.Deflection(0))));
  for (int i = 1; i <= n; ++i) {
    file.WriteLine(Row(FormatG(kSecondsPerLamella * i), FormatG(s.Deflection(i))));
  }
  for (int i = 1; i < kCoolingSamples; ++i) {
    file.WriteLine(Row(FormatG(kSecondsPerLamella * n + (kCoolingSeconds / kCoolingSamples) * i),
                       FormatG(DeflectionHistoryCoolingValue(state, i))));
  }
  file.WriteLine(
      Row(FormatG(kSecondsPerLamella * n + kCoolingSeconds), FormatG(s.FinalDeflection)));
}

}  // namespace quillane
