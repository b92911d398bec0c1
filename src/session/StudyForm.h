#pragma once
// The entries of the "Étude paramétrique" window as plain data, and what the window makes of
// them: the quantities it offers, the range it proposes for one, the number of points, the study
// the entries describe over the input window's inputs (or the faults that stop it), and the data
// of its chart and of its rank correlations. The window only shows and words them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"
#include "run/EntryFault.h"
#include "run/Validation.h"
#include "session/Handoff.h"
#include "study/StudyFile.h"
#include "study/StudyRunner.h"
#include "study/StudyTable.h"

namespace quillane::session {

// What a study starts from: the input window's inputs and catalogue at that moment.
struct StudyBase {
  ModelState State;
  MaterialsCatalogue Catalogue;
};

inline constexpr int kDefaultSteps = 4;
inline constexpr int kMostSteps = 1000;  // intervals a row offers
inline constexpr long long kDefaultSamples = 50;

enum class StudyPlan { Factorial, LatinHypercube };

// One row of the window: a quantity varied over a range, or drawn from a law by a sampled plan.
// The texts are as typed, in the unit of the quantity's box and the locale's separator.
struct StudyRowEntry {
  std::string Quantity;  // a name of the quantity table; empty for none
  std::string From;      // start of the range or of a uniform law; mean of a normal law
  std::string To;        // end of the range or of a uniform law; deviation of a normal law
  long long Steps = kDefaultSteps;
  bool Log = false;
  bool Normal = false;  // the sampled plan draws it from a normal law, not a uniform one
};

struct StudyForm {
  StudyPlan Plan = StudyPlan::Factorial;
  long long Samples = kDefaultSamples;
  std::uint64_t Seed = 0;
  std::array<StudyRowEntry, 2> Rows;

  bool Sampled() const { return Plan == StudyPlan::LatinHypercube; }
};

// A quantity the window offers: its name, its French caption and the unit of its entries.
struct QuantityChoice {
  std::string Name;
  std::string Caption;
  std::string DisplayUnit;
};
// The quantities of the quantity table, in its order, that a case of `coats` coats has (none of
// a coat's without coats), and those named in `kept` even when the case lacks their coat, so that
// a row's choice never changes behind its entries.
std::vector<QuantityChoice> StudyQuantityChoices(std::size_t coats,
                                                 const std::vector<std::string>& kept = {});

// The quantity a row names; nullptr for none or an unknown name.
const QuantitySpec* RowQuantity(const StudyRowEntry& row);

// The value the inputs give the quantity now, in the unit of its entries (the input window's
// box for an input, SI for a figure); NaN when no catalogue row is picked for a figure.
double CurrentValue(const QuantitySpec& quantity, const StudyBase& base);

// Fills a row's entries around the quantity's current value: from half to one and a half times
// it in four intervals, kept within an input's range, whole for a count (one interval per value
// where there are few); under the normal law of a sampled plan, the value and a tenth of it.
// Entries without a value to start from are left empty.
void ProposeRange(StudyForm& form, std::size_t row, const StudyBase& base);

// The points the entries ask for: the samples, or the product of the rows' values.
long long PointCount(const StudyForm& form);

// An entry that stops the study: the fault, the row it belongs to (none for the plan's), and
// whether it is a value the sampled plan drew rather than one typed.
struct StudyFormFault {
  EntryFault Fault;
  std::optional<std::size_t> Row;
  bool Drawn = false;
};

// The study the entries describe, with its points, or why it cannot start.
struct StudyReading {
  study::Study Study;
  std::vector<bool> LogScales;  // per varied quantity
  std::vector<std::vector<double>> Points;
  std::vector<StudyFormFault> Faults;
  std::vector<InputFault> InputFaults;  // of the inputs that are not varied

  bool Ready() const { return Faults.empty() && InputFaults.empty(); }
};

// Reads the entries over `base` (texts with its locale): the rows in order, then the number of
// points, then the base's inputs as a single run checks them, and, when all hold, the points
// of the design (a sampled value the quantity cannot take is a fault of its row).
StudyReading ReadStudyForm(const StudyForm& form, const StudyBase& base);

// How the chart shows a result column: its caption with the unit the batch program's plots use
// (stresses in MPa), and the factor from SI. "SubstrateStressBackFinal (MPa)".
struct ShownResult {
  std::string Caption;
  std::string Unit;
  double Factor = 1;
};
ShownResult ResultShown(std::size_t result);
// Every result column as the chart's choice lists it, in the table's order.
std::vector<std::string> ResultChoices();

// One curve of the chart: the finished points that gave the result, against the quantity. The
// quantity is in the unit of its box, the result as ResultShown gives it.
struct StudyCurve {
  std::vector<double> X;
  std::vector<double> Y;
  double Key = 0;    // the value of the other quantity that the curve keeps (its box's unit)
  std::string Name;  // the legend's "HeatFlux = 300 kW/m²"; empty without another quantity
  double Shade = 0;  // where Key lies on the colour scale, from 0 to 1
};

// The most curves a legend tells apart; more are told apart by a colour scale.
inline constexpr std::size_t kMostLegendCurves = 12;

struct StudyChart {
  std::vector<StudyCurve> Curves;    // in rising order of Key
  std::optional<std::size_t> Other;  // the quantity whose values tell the curves apart
  bool Cloud = false;                // samples: points without lines
  bool LogX = false;                 // the quantity varied on a logarithmic scale
  std::string XLabel;                // "HeatFlux (kW/m²)"
  std::string YLabel;                // "FinalCurvature (1/m)"
  std::string Title;                 // "FinalCurvature en fonction de HeatFlux"
  // More than kMostLegendCurves curves: no legend, but a colour scale of the other quantity
  // (logarithmic when it was varied so) from the lowest Key to the highest.
  bool Scale = false;
  bool ScaleLog = false;
  std::string ScaleLabel;  // "SubstrateWidth (mm)"
};

// The chart of `result` (an index of the result columns) against the varied quantity
// `quantity`: one curve per value of the other quantity of a two-quantity grid, one curve
// otherwise, the samples of a sampled study as one cloud; numbers in the legend written with
// `separator`. The values are shown, not kept: the table and the exported files stay in SI.
StudyChart ChartData(const study::Study& study, const study::StudyRows& rows,
                     const std::vector<bool>& logScales, std::size_t quantity, std::size_t result,
                     char separator);

// Spearman's rank correlation of `result` with each varied quantity over the points that gave
// it, as the batch study's influence plots take them; NaN where it is not defined.
std::vector<double> RankCorrelations(const study::Study& study, const study::StudyRows& rows,
                                     std::size_t result);
// The line beneath the chart of a sampled study: "Corrélation de rang (Spearman) : HeatFlux
// 0,97 ; coating.SigmaQ -0,12", "indéfinie" where the correlation is not defined.
std::string CorrelationText(const study::Study& study, const study::StudyRows& rows,
                            std::size_t result, char separator);

// A finished point as a study hands it over: its index and its row.
using FinishedPoint = std::pair<std::size_t, study::PointResult>;
// What runs a study's points off the interface thread (RunStudy, or what stands for it when the
// window's own share of the work is measured).
using StudyWork =
    std::function<void(const study::Study&, const std::vector<std::vector<double>>&,
                       const MaterialsCatalogue&, Handoff<FinishedPoint>&, std::stop_token)>;
// Runs every point of a reading, each on its own copies of the inputs and of `catalogue`,
// handing each to `finished` as it ends; `stop` ends the points under way and starts no other.
void RunStudy(const study::Study& study, const std::vector<std::vector<double>>& points,
              const MaterialsCatalogue& catalogue, Handoff<FinishedPoint>& finished,
              std::stop_token stop);

}  // namespace quillane::session
