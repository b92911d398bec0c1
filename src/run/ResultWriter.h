#pragma once
// The result files and the grids' text: thermal rows formatted as the thermal results file and
// the results grid show them, the stress tables, and the sink that writes them during a run.

#include <string>
#include <vector>

#include "io/AtomicFile.h"
#include "model/ModelState.h"
#include "model/RunSink.h"
#include "run/ResultRowStore.h"

namespace quillane {

// The two title rows of the results grid and its column count.
inline constexpr int kThermalColumns = 10;
inline constexpr const char* kThermalTitles =
    "Temps\tTsubstratI\tTsubstratE\tTResistE\tT1LamE\tT2lame\tT3lamE\tT4lamE\tT5lamE\tEpaisseur";
// The last column holds metres.
inline constexpr const char* kThermalUnits = "s\tK\tK\tK\tK\tK\tK\tK\tK\tm";

// A thermal row: time, eight temperature cells (empty beyond the node count) and the stack
// thickness, every field followed by a tab, numbers with the given decimal separator.
class ThermalRowFormatter {
 public:
  explicit ThermalRowFormatter(char separator) : separator_(separator) {}
  // A repeated row is the text formatted last time.
  const std::string& Format(const ThermalRecord& record, bool repeat);

 private:
  char separator_;
  std::string text_;
};

// The table written after the last lamella: the neutral axis and the stresses before final
// cooling.
struct BeforeCoolingTable {
  std::string AxisLine;                     // "POSITION DE L'AXE NEUTRE : " and the position
  std::string TitleLine;                    // "CONTRAINTES AVANT REFROIDISSEMENT FINAL "
  std::vector<std::string> SubstrateLines;  // the back face and the interface
  std::vector<std::string> LamellaLines;    // one per lamella, at mid-thickness
};
BeforeCoolingTable MakeBeforeCoolingTable(const ModelState& state);

// The long tables below ask `watch`'s progress every few thousand lines, when given, and throw
// RunCancelled when it says to stop.
void WriteBeforeCoolingTable(const ModelState& state, AtomicFile& thermalFile,
                             RunSink* watch = nullptr);

// The after-cooling rows of the second grid: the bottom of each lamella and its final stress.
std::vector<std::string> AfterCoolingRows(const ModelState& state);

// The stress results file, once per run: the final stresses through the thickness, then the
// deflection history.
void WriteStressResultsFile(const ModelState& state, AtomicFile& stressFile,
                            RunSink* watch = nullptr);

// The whole-deposit model's history as CSV: a heading, then one line per point (time, event,
// back-face and top-of-substrate temperatures, curvature, deflection, surface temperature), SI
// units, every number in its shortest round-trip form. The surface came last, so that readers
// of the earlier columns by position keep working.
inline constexpr const char* kHistoryHeading =
    "time,event,back_temperature,top_substrate_temperature,curvature,deflection,"
    "surface_temperature";
// One line of it, appended to `text`, for a file written as the run goes.
void AppendHistoryLine(std::string& text, const HistoryPoint& point);
// The whole file from the history the state kept.
void WriteHistoryFile(const ModelState& state, AtomicFile& historyFile, RunSink* watch = nullptr);
// "thermal", "lamella" or "cooling".
const char* HistoryEventName(DepositEventKind kind);

// Passes every event on to the observer, and writes each thermal row to the thermal file and
// to the row store (either may be null). Rows are formatted only when one of them wants them.
class ResultWriter : public RunSink {
 public:
  ResultWriter(char separator, RunSink& observer, AtomicFile* thermalFile, ResultRowStore* rows)
      : formatter_(separator), observer_(observer), file_(thermalFile), rows_(rows) {}

  void ThermalRow(const ThermalRecord& record, bool repeat) override;
  void SingularMatrix() override { observer_.SingularMatrix(); }
  void Frame(ModelState& state, StressFrame frame) override { observer_.Frame(state, frame); }
  bool Progress(double fraction) override { return observer_.Progress(fraction); }

 private:
  ThermalRowFormatter formatter_;
  RunSink& observer_;
  AtomicFile* file_;
  ResultRowStore* rows_;
  bool formatted_ = false;  // whether the formatter holds the previous row
};

}  // namespace quillane
