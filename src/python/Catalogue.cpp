// quillane.Catalogue: the materials a run picks from, rows as dicts, and changed copies.

#include <dlfcn.h>

#include "Bindings.h"
#include "materials/UserCatalogue.h"
#include "run/Validation.h"

namespace quillane::python {

namespace {

using namespace pybind11::literals;

py::dict RowDict(const MaterialRecord& row) {
  py::dict figures;
  figures["Name"] = row.Name;
  for (const MaterialColumn& column : kMaterialColumns) figures[column.Name] = row.*column.Field;
  return figures;
}

const MaterialColumn* FindColumn(const std::string& name) {
  for (const MaterialColumn& column : kMaterialColumns) {
    if (name == column.Name) return &column;
  }
  return nullptr;
}

// The catalogue a call reads unless given one, as the batch program chooses it: a damaged
// user catalogue is refused rather than replaced by the shipped figures.
MaterialsCatalogue Chosen(const std::filesystem::path& alone = {}) {
  try {
    return quillane::ChooseCatalogue({ShippedCataloguePath(), alone, false},
                                     UserCatalogue(UserCatalogue::DefaultPath()));
  } catch (const DamagedUserCatalogue& error) {
    throw CatalogueError(std::string(error.what()) +
                         " Use quillane.Catalogue.shipped() to run with the shipped materials "
                         "alone.");
  }
}

MaterialsCatalogue OpenFile(const std::filesystem::path& path) {
  MaterialsCatalogue catalogue;
  catalogue.Open(path);
  return catalogue;
}

// A copy with one row laid over the others: the row of that name changed, or a new one.
MaterialsCatalogue WithRow(const MaterialsCatalogue& self, const py::object& row,
                           const py::kwargs& figures) {
  py::dict given;
  if (py::isinstance<py::str>(row)) {
    given["Name"] = row;
  } else if (py::isinstance<py::dict>(row)) {
    given = py::dict(row);
  } else if (!row.is_none()) {
    throw py::type_error("with_row takes a material name or a dict of its figures");
  }
  for (const auto& [key, value] : figures) given[key] = value;
  if (!given.contains("Name")) throw py::value_error("with_row: the row needs a \"Name\".");
  MaterialRecord changed;
  changed.Name = given["Name"].cast<std::string>();
  if (const MaterialRecord* existing = self.FindMaterial(changed.Name)) {
    changed = *existing;
  }
  for (const auto& [key, value] : given) {
    const std::string name = py::str(key);
    if (name == "Name") continue;
    const MaterialColumn* column = FindColumn(name);
    if (column == nullptr) {
      throw py::value_error("with_row: \"" + name +
                            "\" is not a figure of a material (Lambda, Rho, Cp, Tfusion, "
                            "Lfusion, ModuleYoung, Poisson, dilat, SigmaQ).");
    }
    changed.*column->Field = value.cast<double>();
  }
  std::string faults;
  for (const InputFault& fault : FindMaterialFaults(changed)) faults += "\n  " + fault.English;
  if (!faults.empty()) throw py::value_error("the row cannot be used:" + faults);
  MaterialsCatalogue copy = self;
  copy.AddUserRows({changed}, self.UserPath());
  return copy;
}

}  // namespace

std::filesystem::path ShippedCataloguePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ShippedCataloguePath), &info) == 0 ||
      info.dli_fname == nullptr) {
    throw CatalogueError("Cannot locate the quillane module to find its catalogue.");
  }
  const std::filesystem::path package =
      std::filesystem::absolute(std::filesystem::path(info.dli_fname)).parent_path();
  // Built: <build>/python/quillane; installed: <prefix>/lib/python3/dist-packages/quillane.
  const std::filesystem::path built = package.parent_path().parent_path() / "Brelon.db";
  const std::filesystem::path installed =
      package.parent_path().parent_path().parent_path() / ".." / "share" / "quillane" / "Brelon.db";
  std::error_code error;
  if (!std::filesystem::exists(built, error) && std::filesystem::exists(installed, error)) {
    return installed.lexically_normal();
  }
  return built;
}

MaterialsCatalogue ChooseCatalogue(const std::optional<MaterialsCatalogue>& given,
                                   const Case& runCase) {
  return given ? *given : Chosen(runCase.CataloguePath);
}

void BindCatalogue(py::module_& module) {
  py::class_<MaterialsCatalogue> type(module, "Catalogue", R"(The materials a run picks from.

Catalogue() is the shipped catalogue with the user's own materials over it, as the batch program
reads it by default (a user catalogue that cannot all be read raises ValueError naming it);
Catalogue(path) is that SQLite file alone (--catalogue); Catalogue.shipped() the shipped rows
alone (--shipped-materials). Rows are dicts of the figures in SI units: Name,
Lambda (W/(m·K)), Rho (kg/m³), Cp (J/(kg·K)), Tfusion (K), Lfusion (J/kg), ModuleYoung (Pa),
Poisson, dilat (1/K), SigmaQ (Pa). A catalogue is a plain copy: with_row() returns a changed
copy and never writes a file.)");
  type.def(py::init([](const py::object& path) {
             return path.is_none() ? Chosen() : OpenFile(ToPath(path));
           }),
           "path"_a = py::none(),
           "The shipped catalogue with the user's materials over it, or the file given alone.");
  type.def_static(
      "shipped", [] { return OpenFile(ShippedCataloguePath()); },
      "The catalogue shipped with Quillane, without the user's materials.");
  type.def_property_readonly(
      "path", [](const MaterialsCatalogue& self) { return self.Path().string(); },
      "The catalogue file the rows were read from.");
  type.def_property_readonly(
      "names",
      [](const MaterialsCatalogue& self) {
        std::vector<std::string> names;
        for (const MaterialRecord& row : self.Rows()) names.push_back(row.Name);
        return names;
      },
      "The material names, in the order of the windows' pick lists.");
  type.def_property_readonly(
      "rows",
      [](const MaterialsCatalogue& self) {
        py::list rows;
        for (const MaterialRecord& row : self.Rows()) rows.append(RowDict(row));
        return rows;
      },
      "Every row as a dict of its figures (SI units).");
  type.def(
      "row",
      [](const MaterialsCatalogue& self, const std::string& name) {
        return RowDict(self.LookupMaterial(name));
      },
      "name"_a, "The row of that name (letter case ignored), as a dict; ValueError when none.");
  type.def("with_row", &WithRow, "row"_a = py::none(),
           R"(A copy with one row changed or added.

with_row("NiCrAlY", SigmaQ=1.5e8) changes figures of a row; with_row({"Name": "Mine", ...})
adds a row (all nine figures) or replaces the row of that name. Figures are checked against the
bounds runs use; a figure beyond them raises ValueError.)");
  type.def("__len__", [](const MaterialsCatalogue& self) { return self.Rows().size(); });
  type.def("__contains__", [](const MaterialsCatalogue& self, const std::string& name) {
    return self.FindMaterial(name) != nullptr;
  });
  type.def("__repr__", [](const MaterialsCatalogue& self) {
    return "<quillane.Catalogue " + self.Path().string() + ", " +
           std::to_string(self.Rows().size()) + " materials>";
  });
}

}  // namespace quillane::python
