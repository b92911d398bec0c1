#include "session/StudyForm.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numeric>

#include "format/NumberFormat.h"
#include "session/FormEntry.h"
#include "session/WindowText.h"
#include "study/StudyDesign.h"
#include "study/StudyPlots.h"
#include "study/StudyRunner.h"

namespace quillane::session {

namespace {

// A fault of the entries' numbers, told in SI like every fault of a quantity.
EntryFault InSi(EntryFault fault, const QuantitySpec& quantity) {
  fault.Quantity = &quantity;
  fault.Value = quantity.FromDisplay(fault.Value);
  fault.Value2 = quantity.FromDisplay(fault.Value2);
  return fault;
}

// A sampled quantity's law from its two entries (display unit): the ends of a uniform law, or
// the mean and deviation of a normal law. The fault when the law cannot be used.
std::optional<EntryFault> ReadLaw(study::Quantity& quantity, bool normal, double a, double b) {
  const QuantitySpec& spec = *quantity.Spec;
  quantity.LawA = spec.FromDisplay(a);
  quantity.LawB = spec.FromDisplay(b);
  if (normal) {
    quantity.Law = study::Distribution::Normal;
    if (b > 0) return std::nullopt;
    EntryFault fault;
    fault.Kind = FaultKind::DeviationNotPositive;
    fault.Value = a;
    fault.Value2 = b;
    return InSi(fault, spec);
  }
  quantity.Law = study::Distribution::Uniform;
  if (const auto fault = study::CheckRange({a, b, 1, false})) return InSi(*fault, spec);
  // Every draw lies between the ends, so the ends alone need checking.
  for (const double end : {quantity.LawA, quantity.LawB}) {
    if (auto fault = CheckValue(spec, end)) return fault;
  }
  return std::nullopt;
}

// The values of a row's range (display unit) in SI, or the first fault.
std::optional<EntryFault> ReadRange(study::Quantity& quantity, const study::ValueRange& range) {
  const QuantitySpec& spec = *quantity.Spec;
  if (const auto fault = study::CheckRange(range)) return InSi(*fault, spec);
  for (const double shown : study::RangeValues(range)) {
    const double value = spec.FromDisplay(shown);
    if (auto fault = CheckValue(spec, value)) return fault;
    quantity.Values.push_back(value);
  }
  return std::nullopt;
}

}  // namespace

std::vector<QuantityChoice> StudyQuantityChoices(std::size_t coats,
                                                 const std::vector<std::string>& kept) {
  std::vector<QuantityChoice> choices;
  for (const QuantitySpec& spec : QuantityTable()) {
    const bool ofCase = static_cast<std::size_t>(spec.Coat) <= coats;
    if (!ofCase && std::find(kept.begin(), kept.end(), spec.Name) == kept.end()) continue;
    choices.push_back({spec.Name, spec.Caption, spec.DisplayUnit});
  }
  return choices;
}

const QuantitySpec* RowQuantity(const StudyRowEntry& row) {
  return row.Quantity.empty() ? nullptr : FindQuantity(row.Quantity);
}

double CurrentValue(const QuantitySpec& quantity, const StudyBase& base) {
  if (quantity.IsInput()) return quantity.ToDisplay(quantity.Get(base.State));
  const std::string name = quantity.RowName(base.State.Input);
  const MaterialRecord* row =
      base.Catalogue.IsOpen() && !name.empty() ? base.Catalogue.FindMaterial(name) : nullptr;
  return row != nullptr ? quantity.ToDisplay(row->*quantity.Column->Field) : std::nan("");
}

void ProposeRange(StudyForm& form, std::size_t index, const StudyBase& base) {
  StudyRowEntry& row = form.Rows[index];
  row.From.clear();
  row.To.clear();
  const QuantitySpec* quantity = RowQuantity(row);
  if (quantity == nullptr) return;
  const double value = CurrentValue(*quantity, base);
  if (std::isnan(value)) return;
  const char separator = base.State.Locale.DecimalSeparator;
  if (form.Sampled() && row.Normal) {
    row.From = format::FormatGeneral(value, separator);
    row.To = format::FormatGeneral(std::fabs(value) / 10, separator);
    return;
  }
  double from = std::min(value * 0.5, value * 1.5);
  double to = std::max(value * 0.5, value * 1.5);
  long long steps = kDefaultSteps;
  if (quantity->IsInput() && quantity->Bounded) {
    from = std::max(from, quantity->ToDisplay(quantity->Min));
    to = std::min(to, quantity->ToDisplay(quantity->Max));
  }
  if (quantity->Whole) {
    // Counts take whole values only: one interval per value where there are few.
    from = std::round(from);
    to = std::round(to);
    if (to > from) steps = static_cast<long long>(std::min<double>(kDefaultSteps, to - from));
  }
  row.From = format::FormatGeneral(from, separator);
  row.To = format::FormatGeneral(to, separator);
  row.Steps = steps;
  row.Log = false;
}

long long PointCount(const StudyForm& form) {
  if (form.Sampled()) return form.Samples;
  long long points = 1;
  for (const StudyRowEntry& row : form.Rows) {
    if (!row.Quantity.empty()) points *= row.Steps + 1;
  }
  return points;
}

StudyReading ReadStudyForm(const StudyForm& form, const StudyBase& base) {
  StudyReading reading;
  study::Study& study = reading.Study;
  study.Base = base.State.Input;
  const bool sampled = form.Sampled();
  study.Design = sampled ? study::DesignKind::LatinHypercube : study::DesignKind::Factorial;
  if (sampled) {
    study.Samples = form.Samples;
    study.Seed = form.Seed;
    if (study.Samples < 1) {
      EntryFault fault;
      fault.Kind = FaultKind::TooFewSamples;
      fault.Count = study.Samples;
      reading.Faults.push_back({fault, std::nullopt, false});
    }
  }
  std::vector<std::size_t> rowOf;  // the row of each varied quantity
  const RegionalSettings& locale = base.State.Locale;
  for (std::size_t i = 0; i < form.Rows.size(); ++i) {
    const StudyRowEntry& row = form.Rows[i];
    if (row.Quantity.empty()) continue;
    const auto fail = [&reading, i](EntryFault fault) {
      reading.Faults.push_back({std::move(fault), i, false});
    };
    study::Quantity quantity;
    quantity.Spec = FindQuantity(row.Quantity);
    if (quantity.Spec == nullptr) {
      EntryFault fault;
      fault.Kind = FaultKind::UnknownQuantity;
      fault.Text = row.Quantity;
      fail(fault);
      continue;
    }
    if (!study.Vary.empty() && study.Vary.front().Spec == quantity.Spec) {
      EntryFault fault;
      fault.Kind = FaultKind::SameQuantity;
      fault.Quantity = quantity.Spec;
      fail(fault);
      continue;
    }
    const auto from = ReadEntry(row.From, locale);
    const auto to = ReadEntry(row.To, locale);
    if (!from) fail(NotANumber(quantity.Spec, "début", row.From));
    if (!to) fail(NotANumber(quantity.Spec, "fin", row.To));
    if (!from || !to) continue;
    const std::optional<EntryFault> fault =
        sampled ? ReadLaw(quantity, row.Normal, *from, *to)
                : ReadRange(quantity, {*from, *to, row.Steps, row.Log});
    if (fault) {
      fail(*fault);
      continue;
    }
    study.Vary.push_back(std::move(quantity));
    reading.LogScales.push_back(!sampled && row.Log);
    rowOf.push_back(i);
  }
  // The inputs that are not varied must allow a run, as for a single run; the count and the
  // points mean something only for rows that all hold.
  study::StudySetUp setUp = study::SetUpStudy(study, base.Catalogue, false, locale);
  reading.InputFaults = std::move(setUp.BaseFaults);
  if (!reading.Faults.empty()) return reading;
  if (setUp.TooMany) reading.Faults.push_back({*setUp.TooMany, std::nullopt, false});
  if (setUp.Sample) {
    reading.Faults.push_back({*setUp.Sample->Fault(), rowOf[setUp.Sample->QuantityIndex()], true});
  }
  reading.Points = std::move(setUp.Points);
  return reading;
}

ShownResult ResultShown(std::size_t result) {
  const study::ResultColumn& column = study::kResultColumns[result];
  const study::PlotUnit unit = study::ShownUnit(column.Unit);
  return {WithUnit(column.Name, unit.Unit), unit.Unit, unit.Factor};
}

std::vector<std::string> ResultChoices() {
  std::vector<std::string> choices;
  for (std::size_t r = 0; r < study::kResultColumns.size(); ++r) {
    choices.push_back(ResultShown(r).Caption);
  }
  return choices;
}

namespace {

// Places each curve on the colour scale of the other quantity, by its value (by its logarithm
// when that quantity was varied on a logarithmic scale, where every value is positive).
void ShadeCurves(StudyChart& chart, const study::Study& study, const std::vector<bool>& logScales) {
  const std::size_t other = *chart.Other;
  const QuantitySpec& spec = *study.Vary[other].Spec;
  chart.Scale = true;
  chart.ScaleLog = other < logScales.size() && logScales[other] && chart.Curves.front().Key > 0;
  chart.ScaleLabel = WithUnit(spec.Name, spec.DisplayUnit);
  const auto place = [&](double key) { return chart.ScaleLog ? std::log(key) : key; };
  const double low = place(chart.Curves.front().Key);
  const double span = place(chart.Curves.back().Key) - low;
  for (StudyCurve& curve : chart.Curves) {
    curve.Shade = span > 0 ? (place(curve.Key) - low) / span : 0.0;
  }
}

}  // namespace

StudyChart ChartData(const study::Study& study, const study::StudyRows& rows,
                     const std::vector<bool>& logScales, std::size_t quantity, std::size_t result,
                     char separator) {
  StudyChart chart;
  chart.Cloud = study.Design == study::DesignKind::LatinHypercube;
  chart.LogX = quantity < logScales.size() && logScales[quantity];
  const QuantitySpec& shown = *study.Vary[quantity].Spec;
  const ShownResult y = ResultShown(result);
  chart.XLabel = WithUnit(shown.Name, shown.DisplayUnit);
  chart.YLabel = y.Caption;
  chart.Title = std::string(study::kResultColumns[result].Name) + " en fonction de " + shown.Name;
  // Samples share no values: they are all one cloud of points.
  const bool two = study.Vary.size() == 2 && !chart.Cloud;
  if (two) chart.Other = 1 - quantity;
  std::map<double, StudyCurve> curves;
  for (const auto& row : rows) {
    if (!row) continue;
    const double value = row->Results[result];
    if (std::isnan(value)) continue;
    const double key =
        two ? study.Vary[*chart.Other].Spec->ToDisplay(row->Values[*chart.Other]) : 0.0;
    StudyCurve& curve = curves[key];
    curve.Key = key;
    curve.X.push_back(shown.ToDisplay(row->Values[quantity]));
    curve.Y.push_back(value * y.Factor);
  }
  for (auto& entry : curves) {
    StudyCurve& curve = entry.second;
    if (chart.Other) {
      const QuantitySpec& other = *study.Vary[*chart.Other].Spec;
      curve.Name = other.Name + " = " + format::FormatGeneral(curve.Key, separator) +
                   (other.DisplayUnit.empty() ? "" : " " + other.DisplayUnit);
    }
    chart.Curves.push_back(std::move(curve));
  }
  if (chart.Other && chart.Curves.size() > kMostLegendCurves) ShadeCurves(chart, study, logScales);
  return chart;
}

std::vector<double> RankCorrelations(const study::Study& study, const study::StudyRows& rows,
                                     std::size_t result) {
  std::vector<double> correlations;
  for (std::size_t q = 0; q < study.Vary.size(); ++q) {
    std::vector<double> values;
    std::vector<double> results;
    for (const auto& row : rows) {
      if (!row || row->Status != study::kStatusOk || std::isnan(row->Results[result])) continue;
      values.push_back(row->Values[q]);
      results.push_back(row->Results[result]);
    }
    correlations.push_back(study::RankCorrelation(values, results));
  }
  return correlations;
}

std::string CorrelationText(const study::Study& study, const study::StudyRows& rows,
                            std::size_t result, char separator) {
  const std::vector<double> rho = RankCorrelations(study, rows, result);
  std::string text = "Corrélation de rang (Spearman) : ";
  for (std::size_t q = 0; q < rho.size(); ++q) {
    if (q > 0) text += " ; ";
    text += study.Vary[q].Name() + ' ' +
            (std::isnan(rho[q]) ? std::string("indéfinie")
                                : format::FormatPattern(rho[q], "0.00", separator));
  }
  return text;
}

void RunStudy(const study::Study& study, const std::vector<std::vector<double>>& points,
              const MaterialsCatalogue& catalogue, Handoff<FinishedPoint>& finished,
              std::stop_token stop) {
  std::vector<std::size_t> todo(points.size());
  std::iota(todo.begin(), todo.end(), std::size_t{0});
  study::RunPoints(
      study, points, todo, catalogue, {},
      [&finished](std::size_t index, const study::PointResult& result) {
        finished.Put({index, result});
      },
      stop);
}

}  // namespace quillane::session
