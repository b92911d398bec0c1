// The compiled part of the Python module quillane (quillane/__init__.py is its front): the
// faults of the inputs, studies, records and catalogues raise ValueError with the batch
// program's own messages (TypeError for a value of the wrong kind), a file that cannot be
// written OSError.

#include "Bindings.h"
#include "Pickle.h"
#include "Version.h"
#include "fit/CalibrationRecord.h"
#include "io/CaseFile.h"
#include "model/Errors.h"
#include "run/QuantityTable.h"
#include "study/StudyFile.h"

namespace quillane::python {

namespace {

// "the inputs cannot be used:" and one fault per line, as the batch program prints them.
std::string InputFaults(const InputError& error) {
  std::string text = "the inputs cannot be used:";
  for (const std::string& fault : error.Faults()) text += "\n  " + fault;
  return text;
}

void Translate(std::exception_ptr thrown) {
  try {
    if (thrown) std::rethrow_exception(thrown);
  } catch (const InputError& error) {
    PyErr_SetString(PyExc_ValueError, InputFaults(error).c_str());
  } catch (const IoError& error) {
    PyErr_SetString(PyExc_OSError, error.what());
  } catch (const CaseError& error) {
    // A value of the wrong kind is a TypeError, as Python's own calls raise it.
    const CaseFault::Kind kind = error.Fault().What;
    const bool wrongType = kind == CaseFault::Kind::NotNumber || kind == CaseFault::Kind::NotText;
    PyErr_SetString(wrongType ? PyExc_TypeError : PyExc_ValueError, error.what());
  } catch (const pickle::PickleError& error) {
    PyErr_SetString(PyExc_ValueError, error.what());
  } catch (const study::StudyError& error) {
    PyErr_SetString(PyExc_ValueError, error.what());
  } catch (const fit::RecordError& error) {
    PyErr_SetString(PyExc_ValueError, error.what());
  } catch (const CatalogueError& error) {
    PyErr_SetString(PyExc_ValueError, error.what());
  } catch (const UnknownQuantity& error) {
    PyErr_SetString(PyExc_ValueError, error.what());
  }
}

}  // namespace

}  // namespace quillane::python

PYBIND11_MODULE(_quillane, module) {
  namespace python = quillane::python;
  module.doc() = "The compiled part of quillane; see help(quillane).";
  module.attr("__version__") = quillane::kVersion;
  pybind11::register_exception_translator(&python::Translate);
  python::BindCase(module);
  python::BindCatalogue(module);
  python::BindRun(module);
  python::BindStudy(module);
  python::BindFit(module);
}
