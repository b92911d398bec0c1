// quillane.study: the points of a study on every core, as the batch program runs them, and its
// results table as NumPy columns.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "Bindings.h"
#include "study/StudyDesign.h"
#include "study/StudyRunner.h"
#include "study/StudyTable.h"

namespace quillane::python {

namespace {

using namespace pybind11::literals;

// The study's text, the name its faults give and the folder a base case file is relative to.
struct StudySource {
  std::string Text;
  std::string Origin;
  std::filesystem::path Folder;
};

StudySource ReadSource(const py::object& source) {
  if (py::isinstance<py::dict>(source)) {
    return {JsonText(source), "study", "."};
  }
  if (!py::isinstance<py::str>(source) && !py::hasattr(source, "__fspath__")) {
    WrongType("study", "a study file (str or os.PathLike) or a dict in its form", source);
  }
  const std::filesystem::path path = ExistingFile(source, "study file");
  return {study::ReadStudyFileText(path), path.string(), path.parent_path()};
}

// One column per name of the table: the point (from 1), the quantities as the runs used them,
// the results (NaN where a point failed), the status.
py::dict Columns(const study::Study& study, const study::StudyRows& rows) {
  const std::vector<std::string> names = study::TableColumns(study);
  std::vector<long long> points;
  std::vector<std::vector<double>> numbers(names.size() - 2);
  std::vector<std::string> status;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    points.push_back(static_cast<long long>(i + 1));
    std::size_t column = 0;
    for (const double value : rows[i]->Values) numbers[column++].push_back(value);
    for (const double value : rows[i]->Results) numbers[column++].push_back(value);
    status.push_back(rows[i]->Status);
  }
  py::dict table;
  table[names.front().c_str()] =
      py::array_t<long long>(static_cast<py::ssize_t>(points.size()), points.data());
  for (std::size_t column = 0; column < numbers.size(); ++column) {
    table[names[column + 1].c_str()] = py::array_t<double>(
        static_cast<py::ssize_t>(numbers[column].size()), numbers[column].data());
  }
  table[names.back().c_str()] = py::module_::import("numpy").attr("array")(status, "dtype"_a = "U");
  return table;
}

py::dict RunStudy(const py::object& source, const py::object& jobs, const py::object& baseCase,
                  const py::object& given, bool force) {
  const std::optional<int> threads = ToJobs(jobs);
  const Case base = ToCase(baseCase);
  const MaterialsCatalogue catalogue = ChooseCatalogue(given, base);
  const StudySource read = ReadSource(source);
  const study::Study study = study::ReadStudyText(read.Text, read.Origin, base.Inputs, read.Folder);
  const std::vector<std::vector<double>> points =
      study::PointsOrThrow(study::SetUpStudy(study, catalogue, force), read.Origin, "force=True");
  std::vector<std::size_t> todo(points.size());
  for (std::size_t i = 0; i < todo.size(); ++i) todo[i] = i;
  study::StudyOptions options;
  options.Jobs = threads.value_or(0);
  study::StudyRows rows(points.size());
  RunInterruptibly([&](std::stop_token stop) {
    study::RunPoints(
        study, points, todo, catalogue, options,
        [&](std::size_t index, const study::PointResult& result) { rows[index] = result; },
        std::move(stop));
  });
  return Columns(study, rows);
}

}  // namespace

void BindStudy(py::module_& module) {
  module.def("_study", &RunStudy, "study"_a, "jobs"_a = py::none(), "case"_a = py::none(),
             "catalogue"_a = py::none(), "force"_a = false,
             "The columns of the study's results table; quillane.study wraps it.");
}

}  // namespace quillane::python
