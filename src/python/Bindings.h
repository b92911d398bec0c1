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

// A case given as a Case, a dict of case keys or a case file; None for the defaults.
Case ToCase(const py::object& source);

// The catalogue a call runs with: the one given, else the one the case names, else the shipped
// catalogue with the user's materials over it, as the batch program chooses (a damaged user
// catalogue raises ValueError naming it).
MaterialsCatalogue ChooseCatalogue(const std::optional<MaterialsCatalogue>& given,
                                   const Case& runCase);

// The catalogue shipped with the module: Brelon.db at the top of the build tree, or in
// share/quillane of the installation.
std::filesystem::path ShippedCataloguePath();

// A dict as JSON text, NumPy scalars as plain numbers, for the readers of case and study files.
std::string JsonText(const py::handle& object);

// Numbers as a NumPy array of their own.
py::array_t<double> Array(const std::vector<double>& values);

// A path given as str or os.PathLike.
std::filesystem::path ToPath(const py::handle& path);

// Runs `work` on a thread of its own with the interpreter's lock released, and watches for
// Ctrl-C meanwhile: a signal asks the work to stop through its token, the thread is waited for,
// and the interpreter's exception (KeyboardInterrupt) is raised. A fault of the work is
// rethrown here.
void RunInterruptibly(const std::function<void(std::stop_token)>& work);

}  // namespace quillane::python
