// quillane.fit: figures fitted to an in-situ record, with what the batch program's fit.json
// holds and the model's curves for plots.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>
#include <set>

#include "Bindings.h"
#include "fit/CalibrationOutput.h"
#include "format/NumberFormat.h"
#include "graphics/SvgWriter.h"
#include "io/AtomicFile.h"
#include "model/Errors.h"
#include "run/Validation.h"

namespace quillane::python {

namespace {

using namespace pybind11::literals;

struct FitOutcome {
  fit::FitResult Result;
  fit::CalibrationRecord Record;
  std::string RecordName;  // the record file's name, which a fitted row's source gives
  ModelState Base;
  MaterialsCatalogue Catalogue;
};

// A record given as columns is read as its CSV file would be, so that it is checked alike.
fit::CalibrationRecord ReadRecord(const py::object& record) {
  if (!py::isinstance<py::dict>(record)) return fit::ReadRecordFile(ToPath(record));
  const py::dict columns = record.cast<py::dict>();
  for (const char* needed : {"time", "curvature"}) {
    if (!columns.contains(needed)) {
      throw py::value_error(std::string("record: the columns need \"") + needed + "\".");
    }
  }
  const auto column = [&](const char* name) { return columns[name].cast<std::vector<double>>(); };
  const std::vector<double> time = column("time");
  const std::vector<double> curvature = column("curvature");
  const bool temperatures = columns.contains("temperature");
  const std::vector<double> temperature =
      temperatures ? column("temperature") : std::vector<double>{};
  if (curvature.size() != time.size() || (temperatures && temperature.size() != time.size())) {
    throw py::value_error("record: the columns differ in length.");
  }
  std::string text = temperatures ? "time,curvature,temperature\n" : "time,curvature\n";
  for (std::size_t i = 0; i < time.size(); ++i) {
    text += format::FormatShortest(time[i]) + "," + format::FormatShortest(curvature[i]);
    if (temperatures) {
      text += "," +
              (std::isnan(temperature[i]) ? std::string() : format::FormatShortest(temperature[i]));
    }
    text += "\n";
  }
  return fit::ReadRecordText(text, "record");
}

fit::FitSettings ReadSettings(const std::vector<std::string>& params, const py::dict& bounds,
                              const py::dict& noise, bool robust, std::optional<int> jobs) {
  fit::FitSettings settings;
  std::set<std::string> named;
  for (const std::string& name : params) {
    if (!named.insert(name).second) throw fit::RecordError("params: " + name + " is named twice.");
    double low = std::nan("");
    double high = std::nan("");
    if (bounds.contains(name)) {
      const auto pair = bounds[name.c_str()].cast<std::pair<py::object, py::object>>();
      if (!pair.first.is_none()) low = pair.first.cast<double>();
      if (!pair.second.is_none()) high = pair.second.cast<double>();
    }
    settings.Parameters.push_back(fit::RequireFitParameter(name, low, high));
  }
  if (settings.Parameters.empty()) {
    throw fit::RecordError("params: name the figures to fit, e.g. [\"coating.SigmaQ\"].");
  }
  for (const auto& [key, value] : bounds) {
    const std::string name = py::str(key);
    if (named.count(name) == 0) throw fit::RecordError("bounds: " + name + " is not fitted.");
  }
  for (const auto& [key, value] : noise) {
    const std::string name = py::str(key);
    const double sd = value.cast<double>();
    if (!(sd > 0) || (name != "curvature" && name != "temperature")) {
      throw fit::RecordError(
          "noise: give curvature and temperature standard deviations above "
          "zero, not " +
          name + "=" + py::repr(value).cast<std::string>() + ".");
    }
    (name == "curvature" ? settings.CurvatureNoise : settings.TemperatureNoise) = sd;
  }
  settings.Robust = robust;
  if (jobs && *jobs < 1) throw py::value_error("jobs: give 1 or more, or None for every core.");
  settings.Jobs = jobs.value_or(0);
  return settings;
}

std::shared_ptr<FitOutcome> Fit(const py::object& fitCase, const py::object& record,
                                const std::vector<std::string>& params,
                                const std::optional<py::dict>& bounds,
                                const std::optional<py::dict>& noise, bool robust,
                                std::optional<int> jobs,
                                const std::optional<MaterialsCatalogue>& given) {
  auto outcome = std::make_shared<FitOutcome>();
  const fit::FitSettings settings =
      ReadSettings(params, bounds.value_or(py::dict()), noise.value_or(py::dict()), robust, jobs);
  outcome->Record = ReadRecord(record);
  outcome->RecordName =
      py::isinstance<py::dict>(record) ? "record" : ToPath(record).filename().string();
  const Case inputs = ToCase(fitCase);
  outcome->Catalogue = ChooseCatalogue(given, inputs);
  outcome->Base = inputs.State();
  ValidateRunInputs(outcome->Base, &outcome->Catalogue);
  RunInterruptibly([&](std::stop_token stop) {
    outcome->Result = fit::FitRecord(outcome->Base, outcome->Record, settings, {}, std::move(stop));
  });
  return outcome;
}

py::dict ByName(const FitOutcome& self, const std::vector<double>& values) {
  py::dict named;
  for (std::size_t j = 0; j < self.Result.Names.size(); ++j)
    named[self.Result.Names[j].c_str()] = values[j];
  return named;
}

void WriteFolder(const FitOutcome& self, const py::object& folder) {
  const std::filesystem::path dir = ToPath(folder);
  const py::gil_scoped_release release;
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error || !std::filesystem::is_directory(dir)) {
    throw IoError("Cannot create the output folder " + dir.string() + ".");
  }
  AtomicFile::WriteWhole(dir / "fit.json", fit::FitJson(self.Result), "fit file");
  fit::WriteFittedCase(dir, self.Base, self.Catalogue, self.Result, self.RecordName);
  AtomicFile::WriteWhole(dir / "overlay.svg",
                         graphics::RenderSvg(fit::DrawOverlay(self.Record, self.Result)), "plot");
}

}  // namespace

void BindFit(py::module_& module) {
  py::class_<FitOutcome, std::shared_ptr<FitOutcome>> type(module, "Fit", R"(A fit's outcome:
what the batch program's fit.json holds (values, standard errors, correlations, notes), and the
model's curves at the fitted figures.)");
  type.def_property_readonly(
      "names", [](const FitOutcome& self) { return self.Result.Names; },
      "The fitted figures, in the order asked.");
  type.def_property_readonly(
      "values", [](const FitOutcome& self) { return ByName(self, self.Result.Value); },
      "Fitted value of each figure, SI units.");
  type.def_property_readonly(
      "standard_errors",
      [](const FitOutcome& self) { return ByName(self, self.Result.StandardError); },
      "Standard error of each figure, SI units (NaN where the covariance is singular).");
  type.def_property_readonly(
      "correlation",
      [](const FitOutcome& self) -> py::object {
        const auto& rows = self.Result.Correlation;
        if (rows.empty()) return py::none();
        py::array_t<double> matrix({rows.size(), rows.size()});
        auto cells = matrix.mutable_unchecked<2>();
        for (std::size_t i = 0; i < rows.size(); ++i) {
          for (std::size_t j = 0; j < rows.size(); ++j) {
            cells(static_cast<py::ssize_t>(i), static_cast<py::ssize_t>(j)) = rows[i][j];
          }
        }
        return matrix;
      },
      "Correlations between the figures (a square array), or None where the covariance is "
      "singular.");
  type.def_property_readonly(
      "notes",
      [](const FitOutcome& self) {
        std::vector<std::string> notes;
        for (const fit::FitNote& note : self.Result.Notes) notes.push_back(fit::English(note));
        return notes;
      },
      "What the record cannot determine, as fit.json words it.");
  type.def_property_readonly(
      "iterations", [](const FitOutcome& self) { return self.Result.Iterations; },
      "Iterations of the solver.");
  type.def_property_readonly(
      "termination", [](const FitOutcome& self) { return self.Result.Termination; },
      "Why the solver stopped, in its own words.");
  type.def_property_readonly(
      "rms",
      [](const FitOutcome& self) {
        return py::dict("curvature"_a = self.Result.CurvatureRms,
                        "temperature"_a = self.Result.TemperatureRms);
      },
      "RMS residuals: curvature (1/m) and temperature (K; NaN without temperatures).");
  type.def_property_readonly(
      "record_time", [](const FitOutcome& self) { return Array(self.Record.Time); },
      "The record's times, s.");
  type.def_property_readonly(
      "record_curvature", [](const FitOutcome& self) { return Array(self.Record.Curvature); },
      "The record's curvatures, 1/m.");
  type.def_property_readonly(
      "model_curvature", [](const FitOutcome& self) { return Array(self.Result.ModelCurvature); },
      "The fitted model's curvature at the record's times, 1/m.");
  type.def_property_readonly(
      "curve_time", [](const FitOutcome& self) { return Array(self.Result.CurveTime); },
      "Times of the fitted model's whole curvature curve, s (for plots).");
  type.def_property_readonly(
      "curve_curvature", [](const FitOutcome& self) { return Array(self.Result.CurveCurvature); },
      "The fitted model's whole curvature curve, 1/m.");
  type.def(
      "json",
      [](const FitOutcome& self) {
        return py::module_::import("json").attr("loads")(fit::FitJson(self.Result));
      },
      "The batch program's fit.json, as a dict.");
  type.def("write", &WriteFolder, "folder"_a,
           "Writes fit.json, fitted_case.json (with fitted.db when material figures were fitted) "
           "and overlay.svg into the folder, as the batch program's --fit --out does.");

  module.def("fit", &Fit, "case"_a, "record"_a, "params"_a, "bounds"_a = py::none(),
             "noise"_a = py::none(), "robust"_a = false, "jobs"_a = py::none(),
             "catalogue"_a = py::none(), R"(Fits figures of the case to an in-situ record.

case: a Case, a dict or a case file. record: a CSV file (time s, curvature 1/m, optional
temperature K of the back face) or a dict of those columns. params: the figures to fit, named
as the quantity table names them ("coating.SigmaQ", "HeatFlux", ...). bounds: {name: (low,
high)} in SI units, None for the catalogue's bound. noise: {"curvature": SD, "temperature": SD}
(default: estimated). robust: Huber loss. jobs: threads for the model runs (default every core).
Returns a Fit. The lock is released while it runs; Ctrl-C stops it (KeyboardInterrupt).)");
}

}  // namespace quillane::python
