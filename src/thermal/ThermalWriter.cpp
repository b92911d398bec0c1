#include "thermal/ThermalWriter.h"

#include <cmath>

#include "format/NumberFormat.h"

namespace quillane {

namespace {

constexpr int kColumns = 10;
constexpr int kMaxWrittenNodes = 8;

void WriteTitleRows(ResultGrid& grid) {
  grid.FillBlock(0, 0, 0, kColumns - 1,
                 "Temps\tTsubstratI\tTsubstratE\tTResistE\tT1LamE\tT2lame\tT3lamE\tT4lamE\t"
                 "T5lamE\tEpaisseur");
  // The last column holds metres.
  grid.FillBlock(1, 1, 0, kColumns - 1, "s\tK\tK\tK\tK\tK\tK\tK\tK\tm");
}

}  // namespace

void RepeatThermalRow(ModelState& state, RunHost& host) {
  ResultGrid& grid = host.Grid(GridId::Resultats);
  grid.SetColumnCount(kColumns);
  if (grid.RowCount() == 2) WriteTitleRows(grid);
  grid.SetColumnWidth(0, 1500);
  grid.SetColumnWidth(1, 1000);
  grid.SetCurrentColumn(0);
  state.Files.Thermal.WriteLine(state.Stack.ThermalRowText);
  grid.AddRow(state.Stack.ThermalRowText);
  ++state.Statistics.ThermalRowCount;
}

void WriteThermalRow(ModelState& state, RunHost& host) {
  static const format::NumberPattern kTime("00.000000000");
  static const format::NumberPattern kTemperature("###0.00");
  static const format::NumberPattern kThickness("#.000000");

  const LayerStack& stack = state.Stack;
  const char separator = state.Locale.DecimalSeparator;
  std::string& row = state.Stack.ThermalRowText;
  row.clear();
  kTime.AppendTo(row, state.Clock.ElapsedTime, separator);
  row += '\t';
  RunStatistics& statistics = state.Statistics;
  for (int i = 1; i <= kMaxWrittenNodes; ++i) {
    if (i <= stack.NodeCount) {
      const double t = stack.NodeTemperature(i);
      kTemperature.AppendTo(row, t, separator);
      if (statistics.ThermalRowCount == 0 && i == 1) {
        statistics.LowestTemperature = statistics.HighestTemperature = t;
      }
      if (t < statistics.LowestTemperature) statistics.LowestTemperature = t;
      if (t > statistics.HighestTemperature) statistics.HighestTemperature = t;
      if (!std::isfinite(t)) statistics.NonFiniteTemperature = true;
    }
    row += '\t';
  }
  kThickness.AppendTo(row, stack.NodeHeight(stack.NodeCount), separator);
  row += '\t';
  RepeatThermalRow(state, host);
}

}  // namespace quillane
