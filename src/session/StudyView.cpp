#include "session/StudyView.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "format/NumberFormat.h"
#include "io/AtomicFile.h"
#include "session/WindowText.h"
#include "study/StudyRunner.h"
#include "study/StudyTable.h"

namespace quillane::session {

std::string ChoiceText(const QuantityChoice& choice) {
  return choice.Name + " — " + WithUnit(choice.Caption, choice.DisplayUnit);
}

RowControls RowControlsOf(const StudyForm& form, std::size_t row) {
  const StudyRowEntry& entry = form.Rows.at(row);
  const bool chosen = RowQuantity(entry) != nullptr;
  const bool normal = form.Sampled() && entry.Normal;
  return {chosen, chosen && !form.Sampled(), chosen && form.Sampled(), normal ? "Moyenne" : "Début",
          normal ? "Écart type" : "Fin"};
}

RangeHeaders RangeHeadersOf(StudyPlan plan) {
  if (plan == StudyPlan::LatinHypercube) return {"De ou moyenne", "À ou écart type"};
  return {"De", "À"};
}

namespace {

std::string FrenchFault(const StudyFormFault& fault, const StudyForm& form, char separator) {
  std::string text = French(fault.Fault, separator);
  if (!fault.Row) {
    // A fault of the whole study stands alone: a sentence of its own.
    if (!text.empty())
      text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
  }
  if (fault.Drawn) {
    text = "un échantillon tiré n'est pas utilisable : " + text +
           " Réduisez l'écart type ou rapprochez la moyenne du milieu des limites.";
  }
  return "Grandeur " + std::to_string(*fault.Row + 1) + " (" + form.Rows[*fault.Row].Quantity +
         ") : " + text;
}

}  // namespace

std::vector<std::string> FrenchFaults(const StudyReading& reading, const StudyForm& form,
                                      char separator) {
  std::vector<std::string> faults;
  for (const StudyFormFault& fault : reading.Faults) {
    faults.push_back(FrenchFault(fault, form, separator));
  }
  for (const InputFault& fault : reading.InputFaults) faults.push_back(fault.French);
  return faults;
}

std::array<RowMarks, 2> MarkedEntries(const StudyReading& reading, const StudyForm& form,
                                      char separator) {
  std::array<RowMarks, 2> marks;
  for (const StudyFormFault& fault : reading.Faults) {
    const FaultKind kind = fault.Fault.Kind;
    // A drawn value, or the quantity itself, is no fault of what was typed in De or À.
    if (!fault.Row || fault.Drawn || *fault.Row >= marks.size() ||
        kind == FaultKind::UnknownQuantity || kind == FaultKind::SameQuantity) {
      continue;
    }
    RowMarks& mark = marks[*fault.Row];
    const bool typed = kind == FaultKind::NotANumber;
    mark.From = mark.From || !typed || fault.Fault.Field == "début";
    mark.To = mark.To || !typed || fault.Fault.Field == "fin";
    mark.Tip += (mark.Tip.empty() ? "" : "\n") + FrenchFault(fault, form, separator);
  }
  return marks;
}

std::string CellText(double value, char separator) {
  return format::FormatTableNumber(value, separator);
}

std::string StateText(const study::PointResult& point) {
  return point.Status == study::kStatusOk ? "ok" : "échec";
}

std::string StateTip(const study::PointResult& point) {
  return point.Status == study::kStatusOk ? std::string() : point.Status;
}

std::string RunningText(std::size_t finished, std::size_t total) {
  if (finished == 0) return "Étude en cours : " + std::to_string(total) + " points…";
  return "Étude en cours : " + std::to_string(finished) + " points sur " + std::to_string(total) +
         "…";
}

std::string EndText(const study::StudyRows& rows, bool stopped, double seconds, char separator) {
  const std::size_t total = rows.size();
  std::size_t finished = 0;
  std::size_t failed = 0;
  for (const auto& row : rows) {
    finished += row ? 1 : 0;
    failed += row && row->Status != study::kStatusOk ? 1 : 0;
  }
  if (stopped && finished < total) {
    return "Étude annulée : " + std::to_string(finished) + " point(s) terminé(s) sur " +
           std::to_string(total) + " ; le tableau ne montre que ceux-là.";
  }
  std::string text = "Étude terminée : " + std::to_string(finished) + " points en " +
                     format::FormatPattern(seconds, "0.00", separator) + " s";
  if (failed > 0) text += ", dont " + std::to_string(failed) + " en échec";
  return text + '.';
}

TableExport ExportTable(const std::string& path, const study::Study& study,
                        const study::StudyRows& rows) {
  if (std::none_of(rows.begin(), rows.end(), [](const auto& row) { return row.has_value(); })) {
    return {false, false, "Aucun résultat à exporter."};
  }
  try {
    AtomicFile::WriteWhole(path, study::TableCsv(study, rows, study::TableHeadings::NamesWithUnits),
                           "results table");
  } catch (const std::exception&) {
    return {false, true, "Le tableau n'a pas pu être enregistré dans " + path + "."};
  }
  return {true, false, "Tableau enregistré dans " + path + "."};
}

}  // namespace quillane::session
