#include "study/StudyRunner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>

#include "io/AtomicFile.h"
#include "io/CaseFile.h"
#include "io/Summary.h"
#include "materials/UserCatalogue.h"
#include "model/Errors.h"
#include "model/ParallelFor.h"
#include "model/RunSink.h"
#include "run/RunSimulation.h"
#include "run/Validation.h"

namespace quillane::study {

namespace {

// Keeps the hottest top surface of the thermal rows and stops the run when asked.
class PointSink : public NullSink {
 public:
  explicit PointSink(std::stop_token stop) : stop_(std::move(stop)) {}
  void ThermalRow(const ThermalRecord& record, bool) override {
    const double top = record.Temperature[static_cast<std::size_t>(record.NodeCount - 1)];
    if (!seen_ || top > peak_) peak_ = top;
    seen_ = true;
  }
  bool Progress(double) override { return !stop_.stop_requested(); }
  double Peak() const { return seen_ ? peak_ : std::numeric_limits<double>::quiet_NaN(); }

 private:
  std::stop_token stop_;
  bool seen_ = false;
  double peak_ = 0;
};

// Sets the point's values on the inputs and on copies of the picked rows; returns those rows,
// which replace the catalogue's rows of the same name for this point only.
std::vector<MaterialRecord> ApplyPoint(const Study& study, const std::vector<double>& values,
                                       ModelState& state, const MaterialsCatalogue& catalogue,
                                       std::vector<double>& used) {
  std::vector<MaterialRecord> changed;
  used.assign(study.Vary.size(), std::numeric_limits<double>::quiet_NaN());
  for (std::size_t q = 0; q < study.Vary.size(); ++q) {
    const QuantitySpec& quantity = *study.Vary[q].Spec;
    if (quantity.IsInput()) {
      if (!std::isnan(values[q])) quantity.Set(state, values[q]);
      used[q] = quantity.Get(state);
      continue;
    }
    const std::string name = quantity.RowName(state.Input);
    MaterialRecord* row = nullptr;
    for (MaterialRecord& earlier : changed) {
      if (FoldName(earlier.Name) == FoldName(name)) row = &earlier;
    }
    if (row == nullptr) {
      const MaterialRecord* shipped = catalogue.FindMaterial(name);
      if (shipped == nullptr) continue;  // validation names the missing material
      changed.push_back(*shipped);
      row = &changed.back();
    }
    if (!std::isnan(values[q])) row->*quantity.Column->Field = values[q];
    used[q] = row->*quantity.Column->Field;
  }
  return changed;
}

void ReadResults(const ModelState& state, double peak, PointResult& result) {
  const StressResults& s = state.Stress;
  double lowest = std::numeric_limits<double>::quiet_NaN();
  double highest = lowest;
  for (int i = 1; i <= state.Clock.LamellaCount; ++i) {
    const double value = s.LamellaStressFinal(i);
    if (i == 1 || value < lowest) lowest = value;
    if (i == 1 || value > highest) highest = value;
  }
  result.Results = {s.FinalCurvature,
                    s.FinalDeflection,
                    s.SubstrateStressBackFinal,
                    s.SubstrateStressFrontFinal,
                    lowest,
                    highest,
                    peak,
                    state.Statistics.PeakSubstrateTemperature,
                    state.Statistics.PeakInterfaceTemperature,
                    static_cast<double>(state.Statistics.ThermalRowCount),
                    static_cast<double>(state.Statistics.SingularMatrixEvents)};
}

// The case that runs the point again, alone: its inputs and, where the point changed catalogue
// rows, a copy of the catalogue with them (materials.db) that the case names.
void WritePointCase(const std::filesystem::path& folder, const InputParameters& inputs,
                    const MaterialsCatalogue& catalogue,
                    const std::vector<MaterialRecord>& changed) {
  nlohmann::ordered_json text = nlohmann::ordered_json::parse(CaseText(inputs));
  if (!changed.empty()) {
    std::vector<UserMaterial> own;
    for (const MaterialRecord& row : changed) own.push_back({row, "study point"});
    AtomicFile db("point catalogue");
    db.Open(folder / "materials.db");
    UserCatalogue(db.TemporaryPath()).SaveAll(RowsWithOwn(catalogue, own));
    db.Close();
    text[kCaseCatalogueKey] = "materials.db";
  }
  AtomicFile::WriteWhole(folder / "case.json", text.dump(1) + "\n", "case file");
}

std::string FaultText(const InputError& error) {
  std::string text;
  for (const std::string& fault : error.Faults()) text += (text.empty() ? "" : " ") + fault;
  return text;
}

}  // namespace

std::filesystem::path PointFolder(const std::filesystem::path& out, std::size_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "%04zu", index + 1);
  return out / "points" / name;
}

std::vector<double> PointValues(const Study& study, const std::vector<double>& values,
                                const MaterialsCatalogue& catalogue) {
  ModelState state;
  ApplyDefaults(state);
  state.Input = study.Base;
  std::vector<double> used;
  ApplyPoint(study, values, state, catalogue, used);
  return used;
}

PointResult RunPoint(const Study& study, const std::vector<double>& values,
                     const MaterialsCatalogue& catalogue, const StudyOptions& options,
                     std::size_t index, std::stop_token stop) {
  PointResult result;
  result.Results.fill(std::numeric_limits<double>::quiet_NaN());
  ModelState state;
  ApplyDefaults(state);
  state.Input = study.Base;
  state.Locale = options.Locale;
  // The catalogue is copied only for a point that changes some of its rows.
  const std::vector<MaterialRecord> changed =
      ApplyPoint(study, values, state, catalogue, result.Values);
  std::optional<MaterialsCatalogue> own;
  if (!changed.empty()) {
    own = catalogue;
    own->AddUserRows(changed, catalogue.UserPath());
  }
  const MaterialsCatalogue* used = own ? &*own : &catalogue;
  PointSink sink(stop);
  try {
    if (options.KeepFilesIn.empty()) {
      // No file: no thermal row is ever formatted.
      ValidateRunInputs(state, used);
      RunSimulation(state, sink);
    } else {
      const std::filesystem::path folder = PointFolder(options.KeepFilesIn, index);
      std::filesystem::create_directories(folder);
      // Written first, so that a point that fails can be run again alone too.
      WritePointCase(folder, state.Input, catalogue, changed);
      ExecuteRun(state, used,
                 {(folder / "Thermique.txt").string(), (folder / "Stress.txt").string()}, sink);
      AtomicFile::WriteWhole(folder / "summary.json", SummaryJson(state), "summary file");
    }
  } catch (const RunCancelled&) {
    throw;
  } catch (const InputError& error) {
    result.Status = FaultText(error);
    return result;
  } catch (const std::exception& error) {
    result.Status = error.what();
    // One line per row of the table.
    std::replace(result.Status.begin(), result.Status.end(), '\n', ' ');
    return result;
  }
  ReadResults(state, sink.Peak(), result);
  result.Status = kStatusOk;
  return result;
}

void RunPoints(const Study& study, const std::vector<std::vector<double>>& points,
               const std::vector<std::size_t>& todo, const MaterialsCatalogue& catalogue,
               const StudyOptions& options,
               const std::function<void(std::size_t, const PointResult&)>& done,
               std::stop_token stop) {
  std::mutex reporting;
  ParallelFor(
      todo.size(), options.Jobs,
      [&](std::size_t slot) {
        const std::size_t index = todo[slot];
        PointResult result;
        try {
          result = RunPoint(study, points[index], catalogue, options, index, stop);
        } catch (const RunCancelled&) {
          return;
        }
        const std::lock_guard<std::mutex> lock(reporting);
        done(index, result);
      },
      stop);
}

}  // namespace quillane::study
