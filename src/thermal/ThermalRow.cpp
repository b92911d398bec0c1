#include "thermal/ThermalRow.h"

#include <algorithm>
#include <cmath>

namespace quillane {

namespace {

ThermalRecord CurrentRecord(const ModelState& state) {
  const LayerStack& stack = state.Stack;
  ThermalRecord record;
  record.Time = state.Clock.ElapsedTime;
  record.NodeCount =
      stack.NodeCount < ThermalRecord::kMaxNodes ? stack.NodeCount : ThermalRecord::kMaxNodes;
  for (int i = 1; i <= record.NodeCount; ++i) {
    record.Temperature[static_cast<std::size_t>(i - 1)] = stack.NodeTemperature(i);
  }
  record.Thickness = stack.NodeHeight(stack.NodeCount);
  return record;
}

}  // namespace

void RepeatThermalRow(ModelState& state, RunSink& sink) {
  sink.ThermalRow(CurrentRecord(state), true);
  ++state.Statistics.ThermalRowCount;
}

void WriteThermalRow(ModelState& state, RunSink& sink) {
  const ThermalRecord record = CurrentRecord(state);
  RunStatistics& statistics = state.Statistics;
  for (int i = 0; i < record.NodeCount; ++i) {
    const double t = record.Temperature[static_cast<std::size_t>(i)];
    if (statistics.ThermalRowCount == 0 && i == 0) {
      statistics.LowestTemperature = statistics.HighestTemperature = t;
    }
    if (t < statistics.LowestTemperature) statistics.LowestTemperature = t;
    if (t > statistics.HighestTemperature) statistics.HighestTemperature = t;
    if (!std::isfinite(t)) statistics.NonFiniteTemperature = true;
  }
  const double back = record.Temperature[0];
  const double interface = record.Temperature[record.NodeCount > 1 ? 1 : 0];
  const bool first = statistics.ThermalRowCount == 0;
  statistics.PeakSubstrateTemperature =
      first ? back : std::max(statistics.PeakSubstrateTemperature, back);
  statistics.PeakInterfaceTemperature =
      first ? interface : std::max(statistics.PeakInterfaceTemperature, interface);
  sink.ThermalRow(record, false);
  ++state.Statistics.ThermalRowCount;
}

}  // namespace quillane
