#include "run/ResultWriter.h"

#include "format/NumberFormat.h"
#include "model/Deposit.h"
#include "model/Errors.h"
#include "stress/DeflectionHistory.h"

namespace quillane {

namespace {

using format::FormatG;

std::string Row(const std::string& x, const std::string& value) {
  return x + '\t' + value;
}

// Lines between two looks at the watching sink's progress (and its stop).
constexpr long kLinesPerProgress = 4096;

// Counts the lines of a long table, asking the sink now and then whether to go on.
class LineWatch {
 public:
  explicit LineWatch(RunSink* sink) : sink_(sink) {}
  void Line() {
    if (sink_ != nullptr && ++lines_ % kLinesPerProgress == 0 && !sink_->Progress(1.0)) {
      throw RunCancelled();
    }
  }

 private:
  RunSink* sink_;
  long lines_ = 0;
};

std::string LamellaLineBeforeCooling(const StressResults& s, int i, char separator) {
  return Row(FormatG(LamellaMid(s, i)), format::FormatS(s.LamellaStress(i), separator));
}

}  // namespace

const std::string& ThermalRowFormatter::Format(const ThermalRecord& record, bool repeat) {
  static const format::NumberPattern kTime("00.000000000");
  static const format::NumberPattern kTemperature("###0.00");
  static const format::NumberPattern kThickness("#.000000");
  if (repeat) return text_;
  text_.clear();
  kTime.AppendTo(text_, record.Time, separator_);
  text_ += '\t';
  for (int i = 0; i < ThermalRecord::kMaxNodes; ++i) {
    if (i < record.NodeCount) {
      kTemperature.AppendTo(text_, record.Temperature[static_cast<std::size_t>(i)], separator_);
    }
    text_ += '\t';
  }
  kThickness.AppendTo(text_, record.Thickness, separator_);
  text_ += '\t';
  return text_;
}

void ResultWriter::ThermalRow(const ThermalRecord& record, bool repeat) {
  if (file_ != nullptr || rows_ != nullptr) {
    const std::string& text = formatter_.Format(record, repeat && formatted_);
    formatted_ = true;
    if (file_ != nullptr) file_->WriteLine(text);
    if (rows_ != nullptr) rows_->AppendRow(text);
  }
  observer_.ThermalRow(record, repeat);
}

BeforeCoolingTable MakeBeforeCoolingTable(const ModelState& state) {
  const StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;
  const char separator = state.Locale.DecimalSeparator;
  BeforeCoolingTable table;
  table.AxisLine = "POSITION DE L'AXE NEUTRE : \t" + FormatG(s.NeutralAxisPosition(n));
  table.TitleLine = "CONTRAINTES AVANT REFROIDISSEMENT FINAL ";
  table.SubstrateLines = {
      Row(FormatG(-s.SubstrateThickness), format::FormatS(s.SubstrateStressBack(n), separator)),
      Row(FormatG(0), format::FormatS(s.SubstrateStressFront(n), separator))};
  table.LamellaLines.reserve(static_cast<std::size_t>(n));
  for (int i = 1; i <= n; ++i)
    table.LamellaLines.push_back(LamellaLineBeforeCooling(s, i, separator));
  return table;
}

void WriteBeforeCoolingTable(const ModelState& state, AtomicFile& thermalFile, RunSink* watch) {
  // Line by line: a whole deposit holds up to a million lamellae.
  const StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;
  const char separator = state.Locale.DecimalSeparator;
  thermalFile.WriteLine("POSITION DE L'AXE NEUTRE : \t" + FormatG(s.NeutralAxisPosition(n)));
  thermalFile.WriteLine("CONTRAINTES AVANT REFROIDISSEMENT FINAL ");
  thermalFile.WriteLine("X\tSIGMA");
  thermalFile.WriteLine(
      Row(FormatG(-s.SubstrateThickness), format::FormatS(s.SubstrateStressBack(n), separator)));
  thermalFile.WriteLine(Row(FormatG(0), format::FormatS(s.SubstrateStressFront(n), separator)));
  LineWatch lines(watch);
  for (int i = 1; i <= n; ++i) {
    lines.Line();
    thermalFile.WriteLine(LamellaLineBeforeCooling(s, i, separator));
  }
}

std::vector<std::string> AfterCoolingRows(const ModelState& state) {
  const StressResults& s = state.Stress;
  std::vector<std::string> rows;
  for (int i = 1; i <= state.Clock.LamellaCount; ++i) {
    rows.push_back(Row(FormatG(DepositTop(s, i - 1)), FormatG(s.LamellaStressFinal(i))));
  }
  return rows;
}

const char* HistoryEventName(DepositEventKind kind) {
  switch (kind) {
    case DepositEventKind::Row:
      return "thermal";
    case DepositEventKind::Arrival:
      return "lamella";
    case DepositEventKind::Cooling:
      return "cooling";
  }
  return "";
}

void AppendHistoryLine(std::string& text, const HistoryPoint& point) {
  using format::FormatShortest;
  const DepositEvent& e = point.Event;
  text += FormatShortest(e.Time) + ',' + HistoryEventName(e.Kind) + ',' +
          FormatShortest(e.BackTemperature) + ',' + FormatShortest(e.TopSubstrateTemperature) +
          ',' + FormatShortest(point.Curvature) + ',' + FormatShortest(point.Deflection) + ',' +
          FormatShortest(e.SurfaceTemperature) + '\n';
}

void WriteHistoryFile(const ModelState& state, AtomicFile& historyFile, RunSink* watch) {
  historyFile.Write(std::string(kHistoryHeading) + "\n");
  LineWatch lines(watch);
  std::string line;
  for (const HistoryPoint& point : state.Stress.History) {
    lines.Line();
    line.clear();
    AppendHistoryLine(line, point);
    historyFile.Write(line);
  }
}

void WriteStressResultsFile(const ModelState& state, AtomicFile& file, RunSink* watch) {
  const StressResults& s = state.Stress;
  const int n = state.Clock.LamellaCount;
  file.WriteLine("CONTRAINTES FINALES");
  file.WriteLine("X\tSIGMA");
  file.WriteLine(Row(FormatG(-s.SubstrateThickness), FormatG(s.SubstrateStressBackFinal)));
  file.WriteLine(Row(FormatG(0), FormatG(s.SubstrateStressFrontFinal)));
  LineWatch lines(watch);
  for (int i = 1; i <= n; ++i) {
    lines.Line();
    file.WriteLine(Row(FormatG(LamellaMid(s, i)), FormatG(s.LamellaStressFinal(i))));
  }
  file.WriteLine("FLECHES");
  file.WriteLine("temps\tfleches");
  file.WriteLine(Row(FormatG(0), FormatG(s.Deflection(0))));
  for (int i = 1; i <= n; ++i) {
    lines.Line();
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
