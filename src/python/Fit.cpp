// quillane.fit: figures fitted to an in-situ record, with what the batch program's fit.json
// holds and the model's curves for plots.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <tuple>

#include "Bindings.h"
#include "Pickle.h"
#include "fit/CalibrationOutput.h"
#include "format/NumberFormat.h"
#include "graphics/SvgWriter.h"
#include "io/AtomicFile.h"
#include "io/FolderLock.h"
#include "model/Errors.h"
#include "run/Validation.h"
#ifdef QUILLANE_HAVE_PNG
#include "raster/RasterPicture.h"
#endif

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
  if (!py::isinstance<py::dict>(record)) {
    if (!py::isinstance<py::str>(record) && !py::hasattr(record, "__fspath__")) {
      WrongType("record", "a record file (str or os.PathLike) or a dict of its columns", record);
    }
    return fit::ReadRecordFile(ExistingFile(record, "record"));
  }
  const py::dict columns = record.cast<py::dict>();
  for (const char* needed : {"time", "curvature"}) {
    if (!columns.contains(needed)) {
      throw py::value_error(std::string("record: the columns need \"") + needed + "\".");
    }
  }
  const char* const known[] = {"time", "curvature", "temperature", "surface_temperature"};
  for (const auto& [key, value] : columns) {
    const std::string name = py::str(key);
    if (std::find_if(std::begin(known), std::end(known),
                     [&](const char* k) { return name == k; }) == std::end(known)) {
      throw py::value_error("record: \"" + name +
                            "\" is not a column a fit reads (time, curvature, temperature, "
                            "surface_temperature).");
    }
  }
  const auto column = [&](const char* name) {
    std::vector<double> values;
    const py::object given = columns[name];
    if (py::isinstance<py::str>(given) || !py::hasattr(given, "__iter__")) {
      WrongType(std::string("record: ") + name, "a sequence of numbers", given);
    }
    for (const py::handle value : given) {
      values.push_back(ToNumber(value, std::string("record: ") + name));
    }
    return values;
  };
  const std::vector<double> time = column("time");
  std::vector<const char*> names = {"time", "curvature"};
  std::vector<std::vector<double>> values = {time, column("curvature")};
  for (const char* optional : {"temperature", "surface_temperature"}) {
    if (!columns.contains(optional)) continue;
    names.push_back(optional);
    values.push_back(column(optional));
  }
  std::string text;
  for (std::size_t c = 0; c < names.size(); ++c) text += (c > 0 ? "," : "") + std::string(names[c]);
  text += "\n";
  for (const std::vector<double>& v : values) {
    if (v.size() != time.size()) throw py::value_error("record: the columns differ in length.");
  }
  for (std::size_t i = 0; i < time.size(); ++i) {
    for (std::size_t c = 0; c < values.size(); ++c) {
      const double v = values[c][i];
      text +=
          (c > 0 ? "," : "") + (c > 1 && std::isnan(v) ? std::string() : format::FormatShortest(v));
    }
    text += "\n";
  }
  return fit::ReadRecordText(text, "record");
}

// The figures to fit: one name, or a sequence of names.
std::vector<std::string> ReadParams(const py::object& params) {
  if (py::isinstance<py::str>(params)) return {params.cast<std::string>()};
  const char* expected = "a figure's name or a list of names";
  if (!py::hasattr(params, "__iter__")) WrongType("params", expected, params);
  std::vector<std::string> names;
  for (const py::handle name : params) {
    if (!py::isinstance<py::str>(name)) WrongType("params", expected, name);
    names.push_back(name.cast<std::string>());
  }
  return names;
}

// A figure's (low, high) bounds, either None for the catalogue's.
std::pair<double, double> ReadBounds(const py::handle& given, const std::string& name) {
  const std::string what = "bounds: " + name;
  if (!py::isinstance<py::tuple>(given) && !py::isinstance<py::list>(given)) {
    WrongType(what, "a pair (low, high), either None", given);
  }
  const py::sequence pair = py::reinterpret_borrow<py::sequence>(given);
  if (pair.size() != 2) throw py::value_error(what + ": give a pair (low, high), either None.");
  const auto end = [&](const py::handle value) {
    return value.is_none() ? std::nan("") : ToNumber(value, what);
  };
  return {end(pair[0]), end(pair[1])};
}

fit::FitSettings ReadSettings(const std::vector<std::string>& params, const py::dict& bounds,
                              const py::dict& noise, bool robust, std::optional<int> jobs) {
  fit::FitSettings settings;
  std::set<std::string> named;
  for (const std::string& name : params) {
    if (!named.insert(name).second) throw fit::RecordError("params: " + name + " is named twice.");
    double low = std::nan("");
    double high = std::nan("");
    if (bounds.contains(name)) std::tie(low, high) = ReadBounds(bounds[name.c_str()], name);
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
    const double sd = ToNumber(value, "noise: " + name);
    double* given = fit::NoiseOf(settings, name);
    if (!(sd > 0) || given == nullptr) {
      throw fit::RecordError(
          "noise: give curvature, temperature and surface_temperature standard deviations above "
          "zero, not " +
          name + "=" + py::repr(value).cast<std::string>() + ".");
    }
    *given = sd;
  }
  settings.Robust = robust;
  settings.Jobs = jobs.value_or(0);
  return settings;
}

std::shared_ptr<FitOutcome> Fit(const py::object& fitCase, const py::object& record,
                                const py::object& params, const std::optional<py::dict>& bounds,
                                const std::optional<py::dict>& noise, bool robust,
                                const py::object& jobs, const py::object& given) {
  auto outcome = std::make_shared<FitOutcome>();
  const fit::FitSettings settings = ReadSettings(ReadParams(params), bounds.value_or(py::dict()),
                                                 noise.value_or(py::dict()), robust, ToJobs(jobs));
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
  if (outcome->Result.Failed) {
    throw std::runtime_error("the fit could not be made (" + outcome->Result.Termination +
                             "): the model gives no finite misfit of this record at its start.");
  }
  return outcome;
}

py::dict ByName(const FitOutcome& self, const std::vector<double>& values) {
  py::dict named;
  for (std::size_t j = 0; j < self.Result.Names.size(); ++j)
    named[self.Result.Names[j].c_str()] = values[j];
  return named;
}

// The folder as the batch program's --fit --out writes it: every file published together
// (the earlier fit's stay whole until the new ones are complete), the folder locked meanwhile.
void WriteFolder(const FitOutcome& self, const py::object& folder) {
  const std::filesystem::path dir = ToPath(folder, "folder");
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error || !std::filesystem::is_directory(dir)) {
    throw IoError("Cannot create the output folder " + dir.string() + ": " +
                  (error ? error.message() : std::string("it is not a folder")) + ".");
  }
  const FolderLock lock(dir, "quillane.Fit.write");
  std::function<std::string(const graphics::DrawingSurface&)> png;
#ifdef QUILLANE_HAVE_PNG
  png = [](const graphics::DrawingSurface& picture) { return raster::PngWriter().Encode(picture); };
#endif
  AtomicFileSet files;
  fit::AddFitFolder(files, dir, self.Base, self.Catalogue, self.Record, self.Result,
                    self.RecordName, png);
  files.Publish();
}

py::bytes FitBytes(const FitOutcome& self) {
  pickle::Writer out;
  out(self.Result, self.Record, self.RecordName, self.Base);
  pickle::PutCatalogue(out, self.Catalogue);
  return py::bytes(out.Bytes());
}

std::shared_ptr<FitOutcome> FitFromBytes(const py::bytes& bytes) {
  const std::string text = bytes;
  pickle::Reader in(text);
  auto outcome = std::make_shared<FitOutcome>();
  in(outcome->Result, outcome->Record, outcome->RecordName, outcome->Base);
  outcome->Catalogue = pickle::TakeCatalogue(in);
  in.End();
  return outcome;
}

}  // namespace

void BindFit(py::module_& module) {
  py::class_<FitOutcome, std::shared_ptr<FitOutcome>> type(module, "Fit", R"(A fit's outcome:
what the batch program's fit.json holds (values, standard errors, intervals, correlations,
notes), and the model's curves at the fitted figures. Fits pickle (for multiprocessing or
joblib) whole.)");
  type.def_property_readonly(
      "names", [](const FitOutcome& self) { return self.Result.Names; },
      "The fitted figures, in the order asked.");
  type.def_property_readonly(
      "values", [](const FitOutcome& self) { return ByName(self, self.Result.Value); },
      "Fitted value of each figure, SI units.");
  type.def_property_readonly(
      "standard_errors",
      [](const FitOutcome& self) { return ByName(self, self.Result.StandardError); },
      "Standard error of each figure from the covariance, SI units, where it agrees with the "
      "interval within 10 % (NaN elsewhere: see intervals and the notes).");
  type.def_property_readonly(
      "intervals",
      [](const FitOutcome& self) {
        py::dict named;
        for (std::size_t j = 0; j < self.Result.Names.size(); ++j) {
          named[self.Result.Names[j].c_str()] =
              py::make_tuple(self.Result.IntervalLow[j], self.Result.IntervalHigh[j]);
        }
        return named;
      },
      "The 68 % interval of each figure, (low, high) in SI units: where chi-square, the other "
      "figures refitted, stays within 1 of its least. An end at a bound means the record does "
      "not close it (see the notes).");
  type.def_property_readonly(
      "time_shift", [](const FitOutcome& self) { return self.Result.TimeShift; },
      "The record's clock shift the fit found (s, added to the record's times; 0 unless "
      "record.TimeShift was fitted).");
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
                        "temperature"_a = self.Result.TemperatureRms,
                        "surface_temperature"_a = self.Result.SurfaceRms);
      },
      "RMS residuals: curvature (1/m), back-face and surface temperatures (K; NaN where the "
      "record has none).");
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
           "Writes fit.json, fitted_case.json (with fitted.db when material figures were fitted), "
           "overlay.svg and overlay.png (where the module draws with Qt, as the batch program "
           "does) into the folder, as the batch program's --fit --out does: all together, the "
           "earlier fit's files kept whole until the new ones are complete.");
  type.def(py::pickle(&FitBytes, &FitFromBytes));

  module.def("fit", &Fit, "case"_a, "record"_a, "params"_a, "bounds"_a = py::none(),
             "noise"_a = py::none(), "robust"_a = false, "jobs"_a = py::none(),
             "catalogue"_a = py::none(), R"(Fits figures of the case to an in-situ record.

case: a Case, a dict or a case file. record: a CSV file (time s, curvature 1/m, optional
temperature K of the back face and surface_temperature K) or a dict of those columns. params:
the figures to fit (a name or a list of names), named as the quantity table names them
("coating.SigmaQ", "HeatFlux", ...), and "record.TimeShift" for the record's clock. bounds: {name: (low, high)} in SI units, None
for the catalogue's bound. noise: {"curvature": SD, "temperature": SD, "surface_temperature":
SD} (default: estimated). robust: Huber loss. jobs: threads for the model runs (default every core).
Returns a Fit. The lock is released while it runs; Ctrl-C stops it (KeyboardInterrupt).)");
}

}  // namespace quillane::python
