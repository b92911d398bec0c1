#pragma once
// What the "Étude paramétrique" window shows of its entries and of a study, as plain data and
// French text: the quantities offered, which entries of a row the plan uses, the faults that
// stop a study, the table's columns and cells, and the status line as the points finish.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "session/StudyForm.h"

namespace quillane::session {

// A choice of the quantity boxes: "HeatFlux — Flux thermique (kW/m²)".
std::string ChoiceText(const QuantityChoice& choice);

// The entries of a row the plan uses, and what its two boxes hold.
struct RowControls {
  bool Range = false;   // De and À: once the row names a quantity
  bool Steps = false;   // the intervals and the scale: a factorial plan's
  bool Law = false;     // the law: a sampled plan's
  std::string FromTip;  // "Début", or "Moyenne" under a normal law
  std::string ToTip;    // "Fin", or "Écart type"
};
RowControls RowControlsOf(const StudyForm& form, std::size_t row);

// The headings of the De and À columns: "De ou moyenne" and "À ou écart type" for a sampled plan.
struct RangeHeaders {
  std::string From;
  std::string To;
};
RangeHeaders RangeHeadersOf(StudyPlan plan);

// The faults of a reading in French, the entries' first ("Grandeur 1 (HeatFlux) : …", a fault of
// the whole study as a sentence of its own), then the inputs'.
std::vector<std::string> FrenchFaults(const StudyReading& reading, const StudyForm& form,
                                      char separator);

// The entries of a row that stop a study, to be marked as soon as they are typed: the box of a
// text that is not a number, both boxes of a range or a law that cannot be used; the faults in
// French, one a line, as their tooltip.
struct RowMarks {
  bool From = false;
  bool To = false;
  std::string Tip;
};
std::array<RowMarks, 2> MarkedEntries(const StudyReading& reading, const StudyForm& form,
                                      char separator);

// A number of the table as every table of the windows shows numbers (format::FormatTableNumber):
// "—" for a result the point did not give.
std::string CellText(double value, char separator);
// The state column: "ok", or "échec" with the fault as its tooltip.
std::string StateText(const study::PointResult& point);
std::string StateTip(const study::PointResult& point);

// The status line while the points run ("Étude en cours : 3 points sur 8…"; before any has
// finished, "Étude en cours : 8 points…") and when they have stopped: finished, with the points
// that failed, or cancelled before the end.
std::string RunningText(std::size_t finished, std::size_t total);
std::string EndText(const study::StudyRows& rows, bool stopped, double seconds, char separator);

// Writes the finished rows as the batch program's table, headings with their units, to `path`
// (whole or not at all); what the window tells of it. Nothing is written before a row is there.
struct TableExport {
  bool Written = false;
  bool Box = false;  // a write that failed is told in a box too
  std::string Text;
};
TableExport ExportTable(const std::string& path, const study::Study& study,
                        const study::StudyRows& rows);

}  // namespace quillane::session
