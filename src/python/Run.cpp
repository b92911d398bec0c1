// quillane.run and its Result: the summary values, the thermal rows and the histories as NumPy
// arrays, and the result files written as the batch program writes them.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <limits>
#include <memory>
#include <type_traits>
#include <variant>

#include "Bindings.h"
#include "Pickle.h"
#include "fit/FitModel.h"
#include "io/AtomicFile.h"
#include "io/Summary.h"
#include "model/Deposit.h"
#include "model/Errors.h"
#include "model/InputTable.h"
#include "run/ResultWriter.h"
#include "run/RunSimulation.h"
#include "run/Validation.h"

namespace quillane::python {

py::array_t<double> Array(const std::vector<double>& values) {
  return py::array_t<double>(static_cast<py::ssize_t>(values.size()), values.data());
}

namespace {

using namespace pybind11::literals;

// Time, the eight node temperatures and the stack thickness.
constexpr std::size_t kThermalFields = ThermalRecord::kMaxNodes + 2;
// The unit of the stress pictures' axis, which the state and the summary file keep, Pa.
constexpr double kGigapascal = 1e9;
// Rows written again between two looks at a stop.
constexpr std::size_t kRowsPerProgress = 4096;

// Every thermal row of a run as numbers, with what the result file needs to write it again:
// the node count and whether the run gave it as a repeat of the row before.
class KeptRows : public RunSink {
 public:
  explicit KeptRows(std::stop_token stop) : stop_(std::move(stop)) {}

  void ThermalRow(const ThermalRecord& record, bool repeat) override {
    Values.push_back(record.Time);
    for (int i = 0; i < ThermalRecord::kMaxNodes; ++i) {
      Values.push_back(i < record.NodeCount ? record.Temperature[static_cast<std::size_t>(i)]
                                            : std::numeric_limits<double>::quiet_NaN());
    }
    Values.push_back(record.Thickness);
    Nodes.push_back(static_cast<std::uint8_t>(record.NodeCount));
    Repeats.push_back(repeat ? 1 : 0);
  }
  void SingularMatrix() override {}
  void Frame(ModelState&, StressFrame) override {}
  bool Progress(double) override { return !stop_.stop_requested(); }

  // Hands every row to the sink again, as the run gave them, asking `watch` now and then
  // whether to go on.
  void Replay(RunSink& sink, RunSink& watch) const {
    for (std::size_t row = 0; row < Nodes.size(); ++row) {
      if (row % kRowsPerProgress == kRowsPerProgress - 1 && !watch.Progress(1.0)) {
        throw RunCancelled();
      }
      const double* values = &Values[row * kThermalFields];
      ThermalRecord record;
      record.Time = values[0];
      record.NodeCount = Nodes[row];
      for (int i = 0; i < record.NodeCount; ++i) {
        record.Temperature[static_cast<std::size_t>(i)] = values[1 + i];
      }
      record.Thickness = values[kThermalFields - 1];
      sink.ThermalRow(record, Repeats[row] != 0);
    }
  }

  std::vector<double> Values;  // kThermalFields per row
  std::vector<std::uint8_t> Nodes;
  std::vector<char> Repeats;

 private:
  std::stop_token stop_;
};

struct RunResult {
  Case Inputs;
  ModelState State;
  std::unique_ptr<KeptRows> Rows;
};

// A record array of float columns from values stored row after row: a copy, or a read-only
// view of them when `owner` (the object that keeps them) is given.
py::object Records(const std::vector<std::string>& names, const std::vector<double>& values,
                   const py::object& owner = py::none()) {
  const py::module_ numpy = py::module_::import("numpy");
  py::list formats;
  for (std::size_t i = 0; i < names.size(); ++i) formats.append("f8");
  const py::dtype type = py::dtype::from_args(py::dict("names"_a = names, "formats"_a = formats));
  const py::ssize_t rows = static_cast<py::ssize_t>(values.size() / names.size());
  if (owner.is_none() || values.empty()) {
    return py::array(type, {rows}, {}, values.data()).attr("view")(numpy.attr("recarray"));
  }
  py::array view(type, {rows}, {}, values.data(), owner);
  view.attr("setflags")("write"_a = false);
  return view.attr("view")(numpy.attr("recarray"));
}

std::vector<std::string> ThermalNames() {
  std::vector<std::string> names{"time"};
  for (int i = 1; i <= ThermalRecord::kMaxNodes; ++i) names.push_back("T" + std::to_string(i));
  names.emplace_back("thickness");
  return names;
}

// The curvature after each lamella then the final one (one-pass model), or every point of the
// whole-deposit history (the last one the plate at room temperature).
py::object CurvatureHistory(const ModelState& state) {
  const StressResults& s = state.Stress;
  std::vector<double> values;
  if (state.Model == StressModelKind::WholeDeposit) {
    for (const HistoryPoint& point : s.History)
      values.insert(values.end(), {point.Event.Time, point.Curvature});
  } else {
    for (int k = 0; k <= state.Clock.LamellaCount; ++k) {
      values.insert(values.end(), {s.LamellaTime(k), s.Curvature(k)});
    }
    values.insert(values.end(), {state.Clock.ElapsedTime, s.FinalCurvature});
  }
  return Records({"time", "curvature"}, values);
}

py::object History(const ModelState& state) {
  std::vector<double> time, back, top, curvature, deflection, surface;
  py::list events;
  for (const HistoryPoint& point : state.Stress.History) {
    time.push_back(point.Event.Time);
    events.append(HistoryEventName(point.Event.Kind));
    back.push_back(point.Event.BackTemperature);
    top.push_back(point.Event.TopSubstrateTemperature);
    curvature.push_back(point.Curvature);
    deflection.push_back(point.Deflection);
    surface.push_back(point.Event.SurfaceTemperature);
  }
  const py::module_ numpy = py::module_::import("numpy");
  py::list columns;
  columns.append(Array(time));
  columns.append(numpy.attr("array")(events, "dtype"_a = "U7"));
  for (const auto* column : {&back, &top, &curvature, &deflection, &surface}) {
    columns.append(Array(*column));
  }
  return numpy.attr("rec").attr("fromarrays")(
      columns, "names"_a =
                   "time,event,back_temperature,top_substrate_temperature,curvature,"
                   "deflection,surface_temperature");
}

// The whole-deposit model's field as sampled for its picture: times (s), heights (m above the
// substrate's top face) and temperatures (K, one row per time; NaN where nothing is laid yet).
py::tuple Field(const ModelState& state) {
  const FieldPicture& picture = state.Field.Picture;
  py::array temperatures = Array(picture.Temperatures);
  if (!picture.Times.empty()) {
    temperatures =
        temperatures.attr("reshape")(py::make_tuple(picture.Times.size(), picture.Heights.size()));
  }
  return py::make_tuple(Array(picture.Times), Array(picture.Heights), temperatures);
}

ResultPaths ReadFiles(const py::dict& files) {
  ResultPaths paths;
  for (const auto& [key, value] : files) {
    const std::string name = py::str(key);
    const std::string path = ToPath(value, "files: " + name).string();
    if (name == "thermal") {
      paths.Thermal = path;
    } else if (name == "stress") {
      paths.Stress = path;
    } else if (name == "history") {
      paths.History = path;
    } else {
      throw py::value_error("files: \"" + name + "\" is not thermal, stress or history.");
    }
  }
  return paths;
}

std::shared_ptr<RunResult> Run(const py::object& runCase, const py::object& given,
                               const std::optional<py::dict>& files) {
  auto result = std::make_shared<RunResult>();
  result->Inputs = ToCase(runCase);
  const MaterialsCatalogue catalogue = ChooseCatalogue(given, result->Inputs);
  const std::optional<ResultPaths> paths =
      files ? std::optional<ResultPaths>(ReadFiles(*files)) : std::nullopt;
  result->State = result->Inputs.State();
  RunInterruptibly([&](std::stop_token stop) {
    result->Rows = std::make_unique<KeptRows>(std::move(stop));
    if (paths) {
      ExecuteRun(result->State, &catalogue, *paths, *result->Rows);
    } else {
      ValidateRunInputs(result->State, &catalogue);
      RunSimulation(result->State, *result->Rows);
    }
  });
  for (const std::string& warning : NonPhysicalWarnings(result->State)) {
    if (PyErr_WarnEx(PyExc_RuntimeWarning, warning.c_str(), 1) != 0) {
      throw py::error_already_set();
    }
  }
  return result;
}

// Asks the token whether to go on; told nothing else.
class StopWatch : public NullSink {
 public:
  explicit StopWatch(std::stop_token stop) : stop_(std::move(stop)) {}
  bool Progress(double) override { return !stop_.stop_requested(); }

 private:
  std::stop_token stop_;
};

void Write(const RunResult& self, const py::object& thermal, const py::object& stress,
           const py::object& history, const py::object& summary) {
  ResultPaths paths(ToPath(thermal).string(), ToPath(stress).string(),
                    history.is_none() ? std::string() : ToPath(history).string());
  const std::string summaryPath = summary.is_none() ? std::string() : ToPath(summary).string();
  std::vector<NamedOutput> named = NamedResultFiles(paths);
  if (!summaryPath.empty()) named.push_back({"--summary", summaryPath});
  CheckDistinctOutputs(named);
  // The summary is one of the set: a bad path changes no file, and it is renamed with the rest.
  AtomicFile* summaryFile = nullptr;
  RunExtras extras;
  extras.Open = [&](AtomicFileSet& files) {
    if (!summaryPath.empty()) summaryFile = &files.Open(summaryPath, "summary file");
  };
  extras.Write = [&](const ModelState& state) {
    if (summaryFile != nullptr) {
      WriteSummaryJson(state, [&](std::string_view text) { summaryFile->Write(text); });
    }
  };
  RunInterruptibly([&](std::stop_token stop) {
    StopWatch watch(std::move(stop));
    WriteResultFiles(
        self.State, paths, [&](RunSink& sink) { self.Rows->Replay(sink, watch); }, &watch, extras);
  });
}

// A result's bytes: its case, its state and its thermal rows, whole.
py::bytes ResultBytes(const RunResult& self) {
  pickle::Writer out;
  out(self.Inputs.Inputs, self.Inputs.CataloguePath, self.State, self.Rows->Values,
      self.Rows->Nodes, self.Rows->Repeats);
  return py::bytes(out.Bytes());
}

std::shared_ptr<RunResult> ResultFromBytes(const py::bytes& bytes) {
  const std::string text = bytes;
  pickle::Reader in(text);
  auto result = std::make_shared<RunResult>();
  result->Rows = std::make_unique<KeptRows>(std::stop_token());
  in(result->Inputs.Inputs, result->Inputs.CataloguePath, result->State, result->Rows->Values,
     result->Rows->Nodes, result->Rows->Repeats);
  in.End();
  return result;
}

// Where the elements of the per-lamella arrays stand, m above the substrate's top face: the
// deposit's top after each lamella (`middle` false; element 0 the bare substrate, 0), or each
// lamella's mid-plane (`middle` true; element 0, which holds no lamella, NaN).
py::array_t<double> LamellaHeights(const ModelState& state, bool middle) {
  std::vector<double> heights;
  for (int k = 0; k <= state.Clock.LamellaCount; ++k) {
    heights.push_back(!middle  ? DepositTop(state.Stress, k)
                      : k == 0 ? std::numeric_limits<double>::quiet_NaN()
                               : LamellaMid(state.Stress, k));
  }
  return Array(heights);
}

using ResultClass = py::class_<RunResult, std::shared_ptr<RunResult>>;

// A summary value as Python holds it: an int, a float, a str, a NumPy array or a list of str.
py::object ToPython(const SummaryValue& value) {
  return std::visit(
      [](const auto& held) -> py::object {
        using Held = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<Held, std::vector<double>>) {
          return Array(held);
        } else {
          return py::cast(held);
        }
      },
      value);
}

// Every value of the batch program's summary, as an attribute of the same name.
void BindSummary(ResultClass& type) {
  for (const SummaryField& field : SummaryFields()) {
    const std::string key = field.Key;
    // The stress pictures' axis is in GPa in the summary file, as the pictures draw it; Python
    // gives every value in SI units.
    if (key == "StressAxisMin" || key == "StressAxisMax") {
      type.def_property_readonly(
          field.Key,
          [read = field.Read](const RunResult& self) {
            return ScaleToSi(std::get<double>(read(self.State)), kGigapascal);
          },
          (key == "StressAxisMin" ? "Lower end of the stress pictures' axis, Pa (GPa in the "
                                    "summary file, as the pictures draw it)."
                                  : "Upper end of the stress pictures' axis, Pa (GPa in the "
                                    "summary file)."));
      continue;
    }
    type.def_property_readonly(
        field.Key,
        [read = field.Read](const RunResult& self) { return ToPython(read(self.State)); },
        field.Doc);
  }
}

}  // namespace

void BindRun(py::module_& module) {
  ResultClass type(module, "Result", R"(What a run gives: the values of the batch program's
summary as attributes (SI units, the same numbers bit for bit; StressAxisMin and StressAxisMax
in Pa where the summary file has GPa), the thermal rows and the histories as NumPy record
arrays, and write() for the result files.

The per-lamella arrays (LamellaForce to LamellaTime) have LamellaCount + 1 elements: element k
is the plate just after lamella k is laid, and element 0 the bare substrate before the first
(its initial curvature and deflection; no lamella, so no force or lamella stress: 0).
deposit_thickness and lamella_height give where each element stands through the thickness.
CoatMaterial to CoatHighestStress (whole-deposit model) hold an element per coat as sprayed,
neighbouring coats alike in everything and sprayed at once counting as one.
Results pickle (for multiprocessing or joblib) whole.)");
  BindSummary(type);
  type.def_property_readonly(
      "deposit_thickness", [](const RunResult& self) { return LamellaHeights(self.State, false); },
      "Thickness of the deposit at each element of the per-lamella arrays, m: 0 for element 0 "
      "(the bare substrate), k lamellae thick for element k. The x of Curvature, Deflection, "
      "NeutralAxisPosition, FlexuralRigidity and the substrate stresses.");
  type.def_property_readonly(
      "lamella_height", [](const RunResult& self) { return LamellaHeights(self.State, true); },
      "Height of each lamella's mid-plane above the substrate's top face, m (the stress "
      "file's X); NaN for element 0, which holds no lamella. The y of LamellaStress and "
      "LamellaStressFinal: plot(r.LamellaStressFinal[1:], r.lamella_height[1:]).");
  type.def(py::pickle(&ResultBytes, &ResultFromBytes));
  type.def_property_readonly(
      "thermal",
      [](const py::object& self) {
        return Records(ThermalNames(), self.cast<const RunResult&>().Rows->Values, self);
      },
      "Every thermal row: time (s), T1..T8 (K, node 1 the back face; NaN beyond the nodes of "
      "the row) and thickness (m), as the thermal results file holds them.");
  type.def_property_readonly(
      "curvature_history", [](const RunResult& self) { return CurvatureHistory(self.State); },
      "The curvature against time: time (s) and curvature (1/m). One-pass model: from the "
      "time each lamella of the first pass is laid, then the final cooling at the end time; "
      "whole-deposit model: every point of its history, linear between them.");
  type.def_property_readonly(
      "history", [](const RunResult& self) { return History(self.State); },
      "The whole-deposit model's history: time (s), event, back_temperature and "
      "top_substrate_temperature (K), curvature (1/m), deflection (m), surface_temperature (K). "
      "Empty for the one-pass model.");
  type.def_property_readonly(
      "field", [](const RunResult& self) { return Field(self.State); },
      "The whole-deposit model's thermal field as (times, heights, temperatures): times (s), "
      "heights (m above the substrate's top face, negative in the substrate) and temperatures "
      "(K, one row per time, NaN above the surface laid by then). Empty for the one-pass "
      "model.");
  type.def(
      "curvature_at",
      [](const RunResult& self, const std::vector<double>& times) {
        std::vector<double> values;
        for (const double t : times) values.push_back(fit::CurvatureAt(self.State, t));
        return Array(values);
      },
      "times"_a, "The model's curvature (1/m) at the times given (s), as a fit reads it.");
  type.def_property_readonly(
      "warnings", [](const RunResult& self) { return NonPhysicalWarnings(self.State); },
      "Values no physical specimen can have, as the batch program warns of them.");
  type.def_property_readonly(
      "case", [](const RunResult& self) { return self.Inputs; }, "The case that was run.");
  type.def(
      "summary",
      [](const RunResult& self) {
        return py::module_::import("json").attr("loads")(SummaryJson(self.State));
      },
      "The summary as the batch program's --summary file holds it, as a dict.");
  type.def("write", &Write, "thermal"_a = kDefaultThermalPath, "stress"_a = kDefaultStressPath,
           "history"_a = py::none(), "summary"_a = py::none(),
           R"(Writes the result files with the bytes the batch program writes (decimal point).

thermal, stress: the thermal and stress results files; history: the whole-deposit history CSV
(--history); summary: the JSON summary (--summary). Each file is written beside its target and
renamed over it at the end, so a failure leaves earlier files as they were.)");

  module.def("run", &Run, "case"_a = py::none(), "catalogue"_a = py::none(), "files"_a = py::none(),
             R"(Runs one case and returns its Result.

case: a Case, a dict of case keys or a case file (default: Case()). catalogue: a Catalogue
(default: the one the case file names, else the shipped one with the user's materials).
files: {"thermal": path, "stress": path, "history": path} to write the result files during the
run, as the batch program does. Inputs are in SI units (m, s, K, W/m², Pa); a bad one raises
ValueError with the batch program's message. The interpreter's lock is released while the model
runs; Ctrl-C stops the run (KeyboardInterrupt) and no result file is changed.)");
}

}  // namespace quillane::python
