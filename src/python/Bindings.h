#pragma once
// The pieces of the Python module quillane, each bound by its own file, and what they share:
// the case and catalogue a call starts from, and how a long call runs beside the interpreter.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"

namespace quillane::python {

namespace py = pybind11;

// A case: the inputs of a run, and the catalogue its file names (a fitted copy), if any.
struct Case {
  InputParameters Inputs;
  std::string CataloguePath;

  // The state a run starts from: defaults, then these inputs.
  ModelState State() const;
};

void BindCase(py::module_& module);
void BindCatalogue(py::module_& module);
void BindRun(py::module_& module);
void BindStudy(py::module_& module);
void BindFit(py::module_& module);

// A catalogue as scripts hold it: its rows, and the names of those with_row changed in memory,
// which no file holds.
struct Catalogue {
  MaterialsCatalogue Rows;
  std::vector<std::string> Changed;
};

// A case given as a Case, a dict of case keys or a case file; None for the defaults. TypeError
// for anything else.
Case ToCase(const py::object& source);

// The catalogue a call runs with: the Catalogue given, else the one the case names, else the
// shipped catalogue with the user's materials over it, as the batch program chooses (a damaged
// user catalogue raises ValueError naming it). TypeError when `given` is neither None nor a
// Catalogue.
MaterialsCatalogue ChooseCatalogue(const py::object& given, const Case& runCase);

// The catalogue shipped with the module: Brelon.db at the top of the build tree, or in
// share/quillane of the installation.
std::filesystem::path ShippedCataloguePath();

// A dict as JSON text, NumPy scalars as plain numbers, for the readers of case and study files.
std::string JsonText(const py::handle& object);

// Numbers as a NumPy array of their own.
py::array_t<double> Array(const std::vector<double>& values);

// A path given as str or os.PathLike; TypeError naming `what` for anything else.
std::filesystem::path ToPath(const py::handle& path, const std::string& what = "path");
// The path of a file a call reads: FileNotFoundError (errno ENOENT, the file named), as open()
// raises it, when there is none; `what` names its kind ("case file").
std::filesystem::path ExistingFile(const py::handle& path, const std::string& what);

// TypeError in the module's words: "what: give `expected`, not int".
[[noreturn]] void WrongType(const std::string& what, const std::string& expected,
                            const py::handle& value);
// A number given for `what` (a Python or NumPy number); TypeError for anything else.
double ToNumber(const py::handle& value, const std::string& what);
// The jobs of a call: None for every core, or a whole number from 1.
std::optional<int> ToJobs(const py::object& jobs);

// Runs `work` on a thread of its own with the interpreter's lock released, and watches for
// Ctrl-C meanwhile: a signal asks the work to stop through its token, the thread is waited for,
// and the interpreter's exception (KeyboardInterrupt) is raised. A fault of the work is
// rethrown here.
void RunInterruptibly(const std::function<void(std::stop_token)>& work);

}  // namespace quillane::python
