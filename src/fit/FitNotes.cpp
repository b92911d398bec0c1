#include "fit/FitNotes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "format/NumberFormat.h"

namespace quillane::fit {

namespace {

constexpr double kAgreement = 0.1;          // how far the covariance may differ from the profile
constexpr double kPoorChiSquare = 4;        // reduced χ² beyond which the model does not follow
constexpr double kRunsCriticalZ = -3.09;    // one-sided 1e-3 of the normal law
constexpr std::size_t kFewestForRuns = 20;  // residuals a runs test needs

// The unit of a series' values.
const char* UnitOf(std::string_view series) {
  return series == "curvature" ? "1/m" : "K";
}

}  // namespace

void NoteIntervals(const Scaled& scaled, const Profiles& profiles, FitResult& result) {
  const std::size_t p = scaled.X.size();
  result.IntervalLow.assign(p, kNaN);
  result.IntervalHigh.assign(p, kNaN);
  for (std::size_t j = 0; j < p; ++j) {
    const ProfileEnds& ends = profiles.Ends[j];
    const double scale = scaled.Scale[j];
    const double lower = scaled.Lower[j] * scale;
    const double upper = scaled.Upper[j] * scale;
    const double value = result.Value[j];
    double& error = result.StandardError[j];
    result.IntervalLow[j] = ends.Low * scale;
    result.IntervalHigh[j] = ends.High * scale;
    const double reach = 1e-9 * (upper - lower);
    const bool atLower = value - lower <= reach;
    const bool atUpper = upper - value <= reach;
    const bool lowOpen = ends.LowOpen && !atLower;
    const bool highOpen = ends.HighOpen && !atUpper;
    const std::string& name = result.Names[j];
    if (lowOpen && highOpen) {
      result.Value[j] = result.Start[j];
      result.Notes.push_back({NoteKind::FlatRange, name, result.Start[j], kNaN, lower, upper});
      error = kNaN;
      continue;
    }
    if (atLower || atUpper) {
      result.Notes.push_back(
          {NoteKind::AtBound, name, value, kNaN, atLower ? lower : kNaN, atLower ? kNaN : upper});
    } else if (lowOpen || highOpen) {
      result.Notes.push_back(
          {NoteKind::OneSided, name, value, kNaN, lowOpen ? lower : kNaN, lowOpen ? kNaN : upper});
    }
    const double below = value - result.IntervalLow[j];
    const double above = result.IntervalHigh[j] - value;
    const bool agrees = !atLower && !atUpper && !lowOpen && !highOpen &&
                        std::fabs(error - below) <= kAgreement * below &&
                        std::fabs(error - above) <= kAgreement * above;
    if (!agrees) {
      if (std::isfinite(error) && !atLower && !atUpper && !lowOpen && !highOpen) {
        result.Notes.push_back({NoteKind::NotQuadratic, name, value, error, result.IntervalLow[j],
                                result.IntervalHigh[j]});
      }
      error = kNaN;
    }
    if (result.IntervalLow[j] < 0 && result.IntervalHigh[j] > 0 &&
        (result.IntervalHigh[j] - result.IntervalLow[j]) / 2 > std::fabs(value)) {
      result.Notes.push_back({NoteKind::LargeError, name, value, error, result.IntervalLow[j],
                              result.IntervalHigh[j]});
    }
  }
  if (!result.Correlation.empty()) {
    for (std::size_t j = 0; j < p; ++j) {
      // A figure the record says nothing of is correlated with nothing it could tell.
      const bool flat =
          std::any_of(result.Notes.begin(), result.Notes.end(), [&](const FitNote& n) {
            return n.Kind == NoteKind::FlatRange && n.Parameter == result.Names[j];
          });
      if (!flat) continue;
      for (std::size_t k = 0; k < p; ++k)
        result.Correlation[j][k] = result.Correlation[k][j] = kNaN;
    }
  }
}

void NoteGoodness(const Evaluator& evaluator, const std::vector<double>& residual,
                  const SeriesValues& noise, const SeriesValues& given, std::size_t figures,
                  FitResult& result) {
  const double n = static_cast<double>(residual.size());
  for (std::size_t s = 0; s < kSeriesCount; ++s) {
    const auto series = static_cast<Series>(s);
    const std::size_t from = evaluator.First(series);
    const std::size_t count = evaluator.Count(series);
    if (count == 0) continue;
    const double rms = RootMeanSquare(residual, from, count);
    FitNote note{NoteKind::PoorFit, ColumnName(series), rms * noise[s], noise[s]};
    if (given[s] > 0) {
      // Each series carries its share of the figures' degrees of freedom.
      const double share = static_cast<double>(count) / n;
      const double dof =
          std::max(1.0, static_cast<double>(count) - share * static_cast<double>(figures));
      if (rms * rms * static_cast<double>(count) / dof > kPoorChiSquare)
        result.Notes.push_back(note);
      continue;
    }
    // The noise was estimated from these residuals, so their size proves nothing: their signs,
    // in time order, must change as often as noise makes them (the runs test). Residuals well
    // below the noise used are a record the model meets to its rounding, where the noise is the
    // floor's.
    if (rms < 0.5) continue;
    double positive = 0;
    double negative = 0;
    double runs = 0;
    int last = 0;
    for (std::size_t i = from; i < from + count; ++i) {
      const int sign = residual[i] > 0 ? 1 : (residual[i] < 0 ? -1 : 0);
      if (sign == 0) continue;
      (sign > 0 ? positive : negative) += 1;
      if (sign != last) runs += 1;
      last = sign;
    }
    const double total = positive + negative;
    if (total < static_cast<double>(kFewestForRuns)) continue;
    const double expected = 2 * positive * negative / total + 1;
    const double variance = (expected - 1) * (expected - 2) / (total - 1);
    const bool tooFew = variance > 0 ? (runs - expected) / std::sqrt(variance) < kRunsCriticalZ
                                     : true;  // every residual of one sign
    if (!tooFew) continue;
    note.Low = runs;
    note.High = expected;
    result.Notes.push_back(note);
  }
}

void NoteRecord(const ModelState& base, const CalibrationRecord& record, FitResult& result) {
  if (!record.UnusedColumns.empty()) {
    std::string columns;
    for (const std::string& column : record.UnusedColumns) {
      columns += (columns.empty() ? "" : ", ") + column;
    }
    result.Notes.push_back({NoteKind::UnusedColumns, columns, 0});
  }
  // The one-pass model follows the first pass: where it does not follow a record of several,
  // the model is the likelier cause.
  const InputParameters& in = base.Input;
  const bool poor = std::any_of(result.Notes.begin(), result.Notes.end(),
                                [](const FitNote& note) { return note.Kind == NoteKind::PoorFit; });
  if (poor && ModelOf(in) == StressModelKind::OnePass && in.PassCount > 1 &&
      record.Time.back() > in.PassPeriod) {
    result.Notes.push_back({NoteKind::OnePassModel, "", static_cast<double>(in.PassCount)});
  }
}

std::string English(const FitNote& note) {
  const auto shown = [](double v) { return format::FormatShortest(v); };
  const std::string interval = shown(note.Low) + " to " + shown(note.High);
  switch (note.Kind) {
    case NoteKind::LargeError:
      return note.Parameter + " is not determined by this record: its interval, " + interval +
             ", holds zero and reaches beyond its value " + shown(note.Value) +
             ", so not even its sign is known.";
    case NoteKind::NotQuadratic:
      return note.Parameter + ": the misfit is not quadratic around " + shown(note.Value) +
             ", so its standard error from the covariance (" + shown(note.StandardError) +
             ") does not hold; the interval, " + interval +
             ", is where the misfit, the other figures refitted, stays within one unit of "
             "chi-square of its least.";
    case NoteKind::BetterPoint:
      return note.Parameter +
             ": the solver stopped short of the best fit; a search around it found a lower "
             "misfit, and the fit was taken up again from there (" +
             shown(note.Value) + ").";
    case NoteKind::AtBound: {
      const bool upper = !std::isnan(note.High);
      return note.Parameter + " is at its " + (upper ? "upper" : "lower") + " bound " +
             shown(upper ? note.High : note.Low) + ": the record wants " +
             (upper ? "more" : "less") + ". No standard error is given for it.";
    }
    case NoteKind::FlatRange:
      return note.Parameter + " cannot be determined from this record: from bound to bound, " +
             interval +
             ", the misfit, the other figures refitted, stays within the noise (one unit of "
             "chi-square) of the fit's. It was left at " +
             shown(note.Value) + ".";
    case NoteKind::OneSided: {
      const bool upper = !std::isnan(note.High);
      return note.Parameter + " is not determined by this record: from " + shown(note.Value) +
             " to its " + (upper ? "upper" : "lower") + " bound " +
             shown(upper ? note.High : note.Low) +
             " the misfit changes by less than the noise (one unit of chi-square), so the record "
             "only says it is not much " +
             (upper ? "below " : "above ") + shown(note.Value) +
             ". No standard error is given for it.";
    }
    case NoteKind::PoorFit: {
      const std::string unit = UnitOf(note.Parameter);
      const std::string head = "the model does not follow the record: the " + note.Parameter +
                               " residuals' RMS is " + shown(note.Value) + " " + unit + ", ";
      if (std::isnan(note.High)) {
        return head + shown(note.Value / note.StandardError) + " times the noise given (" +
               shown(note.StandardError) + " " + unit + ").";
      }
      return head + "the noise estimated from them, but their signs run in " + shown(note.Low) +
             " blocks where noise gives about " + format::FormatPattern(note.High, "0") +
             ": the misfit is the model's, not noise (a shifted clock, a wrong model, a figure "
             "not fitted?).";
    }
    case NoteKind::UnusedColumns:
      return "the record's columns " + note.Parameter +
             " are not used: a fit reads time, curvature, temperature and surface_temperature.";
    case NoteKind::OnePassModel:
      return "the record runs past the first of the case's " + shown(note.Value) +
             " passes, but the one-pass model follows the first pass only: fit it with the "
             "whole-deposit model (StressModel \"whole-deposit\").";
  }
  return {};
}

}  // namespace quillane::fit
