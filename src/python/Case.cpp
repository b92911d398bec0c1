// quillane.Case: the inputs of a run as attributes named as the case keys, in SI units, read
// and checked by the batch program's own reader and validation.

#include <cerrno>
#include <cmath>
#include <functional>
#include <limits>
#include <set>
#include <string_view>

#include "Bindings.h"
#include "format/NumberFormat.h"
#include "io/CaseFile.h"
#include "model/Errors.h"
#include "model/InputTable.h"
#include "run/Validation.h"

namespace quillane::python {

namespace {

using namespace pybind11::literals;

Case DefaultCase() {
  Case defaults;
  defaults.Inputs = DefaultInputs();
  defaults.Inputs.SubstrateMaterialName = kDefaultSubstrate;
  defaults.Inputs.CoatingMaterialName = kDefaultCoating;
  return defaults;
}

py::object ValueOf(const InputSpec& input, const InputParameters& in) {
  switch (input.Type) {
    case InputType::Real:
      return py::float_(in.*input.RealField);
    case InputType::Integer:
      return py::int_(in.*input.IntegerField);
    case InputType::Text:
      break;
  }
  return py::str(in.*input.TextField);
}

bool NonFiniteFloat(const py::handle& value) {
  return py::isinstance<py::float_>(value) && !std::isfinite(value.cast<double>());
}

// JSON has no infinity, and a case file cannot give a coat one: a coat's figure that is not
// finite is refused before the reader sees it.
void CheckCoatsFinite(const py::handle& coats) {
  if (!py::isinstance<py::list>(coats) && !py::isinstance<py::tuple>(coats)) return;
  int number = 0;
  for (const py::handle& coat : coats) {
    ++number;
    if (!py::isinstance<py::dict>(coat)) continue;
    for (const auto& [key, value] : coat.cast<py::dict>()) {
      if (NonFiniteFloat(value)) {
        throw py::value_error(std::string(kCoatsKey) + ": \"" + py::str(key).cast<std::string>() +
                              "\" of coat " + std::to_string(number) + " is not a finite number.");
      }
    }
  }
}

// Applies the keys through the case-file reader, so that an unknown key or a value of the wrong
// type is told as the batch program tells it. JSON has no infinity: a number input given one
// is set after the reader, and the validation tells it.
void ApplyKeys(const py::dict& keys, Case& target) {
  py::dict finite;
  std::vector<std::pair<const InputSpec*, double>> nonFinite;
  for (const auto& [key, value] : keys) {
    if (py::str(key).cast<std::string>() == kCoatsKey) CheckCoatsFinite(value);
    const InputSpec* input = FindInput(py::str(key));
    if (input != nullptr && input->Type == InputType::Real && NonFiniteFloat(value)) {
      nonFinite.emplace_back(input, value.cast<double>());
      finite[key] = 0.0;
    } else {
      finite[key] = value;
    }
  }
  const std::string text = JsonText(finite);
  std::string catalogue = target.CataloguePath;
  ApplyCaseText(text, "case", target.Inputs, &catalogue);
  for (const auto& [input, value] : nonFinite) target.Inputs.*input->RealField = value;
  target.CataloguePath = catalogue;
}

// A fault of the coats ("Coat 2: ..." or "Coats: ..."), some of which name no single input.
bool OfCoats(const InputFault& fault) {
  const std::string_view text = fault.English;
  return text.starts_with("Coat ") || text.starts_with("Coats: ");
}

// Throws InputError with the faults of the inputs that `keep` keeps; the materials are checked
// when a run has its catalogue.
void CheckInputs(const Case& checked, const std::function<bool(const InputFault&)>& keep) {
  std::vector<std::string> faults;
  for (const InputFault& fault : FindInputFaults(checked.State(), nullptr)) {
    if (keep(fault)) faults.push_back(fault.English);
  }
  if (!faults.empty()) throw InputError(faults);
}

// Every fault of the inputs and coats, those of one input, or those of the coats.
void CheckInputs(const Case& checked) {
  CheckInputs(checked,
              [](const InputFault& fault) { return fault.Input != nullptr || OfCoats(fault); });
}

void CheckInputs(const Case& checked, const InputSpec* only) {
  CheckInputs(checked, [only](const InputFault& fault) { return fault.Input == only; });
}

void CheckCoats(const Case& checked) {
  CheckInputs(checked, OfCoats);
}

// The coats as the case file holds them: a list of objects, a figure only when the coat gives
// it (the file's own writer words them).
py::list CoatsList(const InputParameters& in) {
  if (in.Coats.empty()) return py::list();
  InputParameters coats = DefaultInputs();
  coats.Coats = in.Coats;
  const py::object read = py::module_::import("json").attr("loads")(CaseText(coats));
  return read[kCoatsKey].cast<py::list>();
}

std::string InputDoc(const InputSpec& input) {
  std::string doc = input.Key;
  if (input.Unit[0] != '\0') doc += std::string(", ") + input.Unit;
  doc += ": " + std::string(input.Caption) + " (batch flag " + input.Flag + ").";
  if (input.Ranged) {
    doc += " From " + format::FormatGeneral(input.Min) + " to " + format::FormatGeneral(input.Max) +
           (input.Unit[0] != '\0' ? std::string(" ") + input.Unit : std::string()) + ".";
  }
  if (!input.Choices.empty()) doc += " One of " + ChoiceList(input) + ".";
  return doc;
}

py::dict CaseDict(const Case& source) {
  py::dict keys;
  for (const InputSpec& input : InputTable()) keys[input.Key] = ValueOf(input, source.Inputs);
  if (!source.Inputs.Coats.empty()) keys[kCoatsKey] = CoatsList(source.Inputs);
  if (!source.CataloguePath.empty()) keys[kCaseCatalogueKey] = source.CataloguePath;
  return keys;
}

Case NewCase(const py::object& source, const py::kwargs& keys) {
  Case made = ToCase(source);
  if (keys.size() > 0) ApplyKeys(keys, made);
  CheckInputs(made);
  return made;
}

}  // namespace

ModelState Case::State() const {
  ModelState state;
  ApplyDefaults(state);
  state.Input = Inputs;
  return state;
}

std::string JsonText(const py::handle& object) {
  const py::cpp_function plain([](const py::handle& value) -> py::object {
    if (py::hasattr(value, "item")) return value.attr("item")();
    throw py::type_error("a value must be a number or a text, not " +
                         py::repr(value).cast<std::string>());
  });
  return py::module_::import("json").attr("dumps")(object, "default"_a = plain).cast<std::string>();
}

void WrongType(const std::string& what, const std::string& expected, const py::handle& value) {
  throw py::type_error(what + ": give " + expected + ", not " + Py_TYPE(value.ptr())->tp_name +
                       ".");
}

double ToNumber(const py::handle& value, const std::string& what) {
  if (py::isinstance<py::str>(value) || PyNumber_Check(value.ptr()) == 0) {
    WrongType(what, "a number", value);
  }
  const double number = PyFloat_AsDouble(value.ptr());
  if (PyErr_Occurred() != nullptr) throw py::error_already_set();
  return number;
}

std::optional<int> ToJobs(const py::object& jobs) {
  if (jobs.is_none()) return std::nullopt;
  if (!py::isinstance<py::int_>(jobs) || py::isinstance<py::bool_>(jobs)) {
    WrongType("jobs", "a whole number from 1, or None for every core", jobs);
  }
  const long long count = jobs.cast<long long>();
  if (count < 1 || count > std::numeric_limits<int>::max()) {
    throw py::value_error("jobs: give 1 or more, or None for every core.");
  }
  return static_cast<int>(count);
}

std::filesystem::path ToPath(const py::handle& path, const std::string& what) {
  if (!py::isinstance<py::str>(path) && !py::isinstance<py::bytes>(path) &&
      !py::hasattr(path, "__fspath__")) {
    WrongType(what, "a path (str or os.PathLike)", path);
  }
  const py::object text = py::module_::import("os").attr("fsdecode")(path);
  return std::filesystem::path(text.cast<std::string>());
}

std::filesystem::path ExistingFile(const py::handle& path, const std::string& what) {
  std::filesystem::path file = ToPath(path, what);
  std::error_code error;
  // A file that cannot be looked at is left to its reader, which tells why.
  if (!std::filesystem::exists(file, error) && !error) {
    const py::object raised = py::reinterpret_borrow<py::object>(PyExc_FileNotFoundError)(
        ENOENT, "No such " + what, file.string());
    PyErr_SetObject(PyExc_FileNotFoundError, raised.ptr());
    throw py::error_already_set();
  }
  return file;
}

Case ToCase(const py::object& source) {
  if (source.is_none()) return DefaultCase();
  if (py::isinstance<Case>(source)) return source.cast<Case>();
  Case made = DefaultCase();
  if (py::isinstance<py::dict>(source)) {
    ApplyKeys(source.cast<py::dict>(), made);
  } else if (py::isinstance<py::str>(source) || py::hasattr(source, "__fspath__")) {
    ReadCaseFile(ExistingFile(source, "case file"), made.Inputs, &made.CataloguePath);
  } else {
    WrongType("case", "a Case, a dict of case keys or a case file (str or os.PathLike)", source);
  }
  CheckInputs(made);
  return made;
}

void BindCase(py::module_& module) {
  py::class_<Case> type(module, "Case", R"(The inputs of a run.

Case() holds the batch program's defaults (NiCrAlY on 316L steel); Case(dict) and
Case(path_to_case_file) apply the keys given over them, as a case file does; keyword arguments
apply after that. Attributes are named as the case keys, in SI units; Coats is the coating
system, a list of dicts as the case file holds it. Values are checked as the
batch program checks them: a bad one raises ValueError with the batch program's message, which
names the key, its flag and its allowed range. The materials are looked up when a run has its
catalogue.)");
  type.def(py::init(&NewCase), "source"_a = py::none(),
           "Defaults, a dict of case keys, a case file (str or path) or another Case, then the "
           "keyword arguments.");
  for (const InputSpec& input : InputTable()) {
    const InputSpec* spec = &input;
    type.def_property(
        input.Key, [spec](const Case& self) { return ValueOf(*spec, self.Inputs); },
        [spec](Case& self, const py::object& value) {
          Case changed = self;
          py::dict keys;
          keys[spec->Key] = value;
          ApplyKeys(keys, changed);
          CheckInputs(changed, spec);
          self = changed;
        },
        InputDoc(input).c_str());
  }
  type.def_property(
      kCoatsKey, [](const Case& self) { return CoatsList(self.Inputs); },
      [](Case& self, const py::object& value) {
        Case changed = self;
        py::dict keys;
        keys[kCoatsKey] = value;
        ApplyKeys(keys, changed);
        CheckCoats(changed);
        self = changed;
      },
      ("Coats: the coating system, a list of dicts, one per coat in spraying order (whole-deposit "
       "model; at most " +
       std::to_string(kMaxCoats) +
       "). Each names its Material and PassCount and may give PassThickness, "
       "LamellaThickness, PassPeriod, HeatingWindow, HeatFlux and ParticleTemperature (the "
       "case's own where left out) and PauseBefore (s, before it starts). Empty: one coat of "
       "CoatingMaterialName.")
          .c_str());
  type.def_property_readonly(
      "catalogue_path",
      [](const Case& self) -> py::object {
        if (self.CataloguePath.empty()) return py::none();
        return py::str(self.CataloguePath);
      },
      "The catalogue file the case file names (a fitted copy), or None.");
  type.def("to_dict", &CaseDict, "Every key of the case with its value, SI units.");
  type.def(
      "replace",
      [](const Case& self, const py::kwargs& keys) {
        Case changed = self;
        ApplyKeys(keys, changed);
        CheckInputs(changed);
        return changed;
      },
      "A copy with the keys given changed: case.replace(HeatFlux=8e5).");
  type.def(
      "save",
      [](const Case& self, const py::object& path) { SaveCaseFile(ToPath(path), self.Inputs); },
      "path"_a, "Writes the case file (every key, numbers in their shortest exact form).");
  type.def(
      "__eq__",
      [](const Case& self, const py::object& other) {
        return py::isinstance<Case>(other) && self.Inputs == other.cast<Case>().Inputs &&
               self.CataloguePath == other.cast<Case>().CataloguePath;
      },
      py::is_operator());
  type.def("__repr__", [](const Case& self) {
    return "quillane.Case(" + py::repr(CaseDict(self)).cast<std::string>() + ")";
  });
  // Pickled as its keys, which any later version reads.
  type.def(py::pickle([](const Case& self) { return CaseDict(self); },
                      [](const py::dict& keys) {
                        Case made = DefaultCase();
                        ApplyKeys(keys, made);
                        return made;
                      }));
  type.def("__copy__", [](const Case& self) { return self; });
  type.def("__deepcopy__", [](const Case& self, const py::dict&) { return self; });
}

}  // namespace quillane::python
