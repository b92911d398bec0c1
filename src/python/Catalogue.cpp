// quillane.Catalogue: the materials a run picks from, rows as dicts, and changed copies.

#include <dlfcn.h>

#include <algorithm>

#include "Bindings.h"
#include "Pickle.h"
#include "materials/UserCatalogue.h"
#include "model/FigureTable.h"
#include "run/Validation.h"

namespace quillane::python {

namespace {

using namespace pybind11::literals;

py::dict RowDict(const MaterialRecord& row) {
  py::dict figures;
  figures["Name"] = row.Name;
  for (const MaterialColumn& column : kMaterialColumns) figures[column.Name] = row.*column.Field;
  // The figures given against temperature, each as its (temperature, value) pairs.
  py::dict tables;
  for (const TableFigure& figure : kTableFigures) {
    const FigureTable& points = row.Tables.*figure.Points;
    if (points.empty()) continue;
    py::list pairs;
    for (const FigurePoint& point : points)
      pairs.append(py::make_tuple(point.Temperature, point.Value));
    tables[figure.Name] = pairs;
  }
  figures["tables"] = tables;
  return figures;
}

// Lays the tables given over the row's: each figure named takes its points, None or an empty
// list makes it the row's constant again.
void SetTables(MaterialRecord& row, const py::handle& given) {
  if (!py::isinstance<py::dict>(given)) {
    WrongType("with_row: tables", "a dict of figure: [(temperature, value), ...]", given);
  }
  const auto isPairs = [](const py::handle& value) {
    return py::isinstance<py::sequence>(value) && !py::isinstance<py::str>(value) &&
           !py::isinstance<py::bytes>(value);
  };
  for (const auto& [key, value] : given.cast<py::dict>()) {
    const std::string name = py::str(key);
    const TableFigure* figure = nullptr;
    for (const TableFigure& each : kTableFigures) {
      if (name == each.Name) figure = &each;
    }
    if (figure == nullptr) {
      throw py::value_error("with_row: tables: \"" + name +
                            "\" is not a figure given against temperature (Lambda, Cp, "
                            "ModuleYoung, dilat, SigmaQ).");
    }
    const std::string what = "with_row: tables: " + name;
    FigureTable points;
    if (!value.is_none()) {
      if (!isPairs(value)) WrongType(what, "a list of (temperature, value) pairs", value);
      for (const py::handle item : value.cast<py::sequence>()) {
        if (!isPairs(item) || py::len(item) != 2) {
          WrongType(what, "(temperature, value) pairs", item);
        }
        const auto pair = py::reinterpret_borrow<py::sequence>(item);
        points.push_back({ToNumber(pair[0], what + ": temperature"), ToNumber(pair[1], what)});
      }
    }
    if (!points.empty()) {
      if (const TableFault fault = FindTableFault(points); !fault.English.empty()) {
        throw py::value_error(what + ": the points are not a table: " + fault.English + ".");
      }
    }
    row.Tables.*figure->Points = std::move(points);
  }
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
Catalogue WithRow(const Catalogue& self, const py::object& row, const py::kwargs& figures) {
  py::dict given;
  if (py::isinstance<py::str>(row)) {
    given["Name"] = row;
  } else if (py::isinstance<py::dict>(row)) {
    given = py::dict(row);
  } else if (!row.is_none()) {
    WrongType("with_row", "a material name or a dict of its figures", row);
  }
  for (const auto& [key, value] : figures) given[key] = value;
  if (!given.contains("Name")) throw py::value_error("with_row: the row needs a \"Name\".");
  if (!py::isinstance<py::str>(given["Name"])) WrongType("with_row: Name", "a text", given["Name"]);
  MaterialRecord changed;
  changed.Name = given["Name"].cast<std::string>();
  if (const MaterialRecord* existing = self.Rows.FindMaterial(changed.Name)) {
    changed = *existing;
  }
  for (const auto& [key, value] : given) {
    const std::string name = py::str(key);
    if (name == "Name") continue;
    if (name == "tables") {
      SetTables(changed, value);
      continue;
    }
    const MaterialColumn* column = FindColumn(name);
    if (column == nullptr) {
      throw py::value_error("with_row: \"" + name +
                            "\" is not a figure of a material (Lambda, Rho, Cp, Tfusion, "
                            "Lfusion, ModuleYoung, Poisson, dilat, SigmaQ).");
    }
    changed.*column->Field = ToNumber(value, "with_row: " + name);
  }
  std::string faults;
  for (const InputFault& fault : FindMaterialFaults(changed)) faults += "\n  " + fault.English;
  if (!faults.empty()) throw py::value_error("the row cannot be used:" + faults);
  Catalogue copy = self;
  copy.Rows.AddUserRows({changed}, self.Rows.UserPath());
  const std::string key = FoldName(changed.Name);
  if (std::none_of(copy.Changed.begin(), copy.Changed.end(),
                   [&](const std::string& name) { return FoldName(name) == key; })) {
    copy.Changed.push_back(changed.Name);
  }
  return copy;
}

// Whether rows of the user's catalogue lie over the shipped ones (not counting those changed in
// memory since).
bool HoldsUserRows(const Catalogue& self) {
  for (std::size_t i = 0; i < self.Rows.Rows().size(); ++i) {
    const std::string key = FoldName(self.Rows.Rows()[i].Name);
    const bool changed =
        std::any_of(self.Changed.begin(), self.Changed.end(),
                    [&](const std::string& name) { return FoldName(name) == key; });
    if (self.Rows.OriginOf(i) == MaterialsCatalogue::Origin::User && !changed) return true;
  }
  return false;
}

std::string Repr(const Catalogue& self) {
  std::string text = "<quillane.Catalogue " + self.Rows.Path().string();
  const bool user = HoldsUserRows(self);
  if (user) text += " with the user's rows of " + self.Rows.UserPath().string();
  if (!self.Changed.empty()) {
    text += user ? " and " : " with ";
    for (std::size_t i = 0; i < self.Changed.size(); ++i) {
      text += (i > 0 ? ", " : "") + self.Changed[i];
    }
    text += " changed in memory";
  }
  return text + ", " + std::to_string(self.Rows.Rows().size()) + " materials>";
}

py::bytes CatalogueBytes(const Catalogue& self) {
  pickle::Writer out;
  pickle::PutCatalogue(out, self.Rows);
  out(self.Changed);
  return py::bytes(out.Bytes());
}

Catalogue CatalogueFromBytes(const py::bytes& bytes) {
  const std::string text = bytes;
  pickle::Reader in(text);
  Catalogue made;
  made.Rows = pickle::TakeCatalogue(in);
  in(made.Changed);
  in.End();
  return made;
}

}  // namespace

MaterialsCatalogue ChooseCatalogue(const py::object& given, const Case& runCase) {
  if (py::isinstance<Catalogue>(given)) return given.cast<const Catalogue&>().Rows;
  if (!given.is_none()) WrongType("catalogue", "a quillane.Catalogue or None", given);
  return Chosen(runCase.CataloguePath);
}

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

void BindCatalogue(py::module_& module) {
  py::class_<Catalogue> type(module, "Catalogue", R"(The materials a run picks from.

Catalogue() is the shipped catalogue with the user's own materials over it, as the batch program
reads it by default (a user catalogue that cannot all be read raises ValueError naming it);
Catalogue(path) is that SQLite file alone (--catalogue); Catalogue.shipped() the shipped rows
alone (--shipped-materials). Rows are dicts of the figures in SI units: Name,
Lambda (W/(m·K)), Rho (kg/m³), Cp (J/(kg·K)), Tfusion (K), Lfusion (J/kg), ModuleYoung (Pa),
Poisson, dilat (1/K), SigmaQ (Pa), and tables: the figures given against temperature, each a
list of (temperature in K, value) pairs in rising temperature, linear between them and constant
beyond ({} where none is; the figure's own key keeps the row's constant). A catalogue is a plain copy: with_row() returns a changed
copy and never writes a file. Catalogues pickle (for multiprocessing or joblib) with their rows.)");
  type.def(py::init([](const py::object& path) {
             return Catalogue{
                 path.is_none() ? Chosen() : OpenFile(ExistingFile(path, "materials catalogue")),
                 {}};
           }),
           "path"_a = py::none(),
           "The shipped catalogue with the user's materials over it, or the file given alone.");
  type.def_static(
      "shipped",
      [] {
        return Catalogue{OpenFile(ShippedCataloguePath()), {}};
      },
      "The catalogue shipped with Quillane, without the user's materials.");
  type.def_property_readonly(
      "path",
      [](const Catalogue& self) -> py::object {
        if (!self.Changed.empty()) return py::none();
        return py::str(self.Rows.Path().string());
      },
      "The catalogue file the rows were read from (the user's rows, if any, lie over them from "
      "user_path); None for a copy with rows changed in memory, which no file holds: changed "
      "names them.");
  type.def_property_readonly(
      "user_path",
      [](const Catalogue& self) -> py::object {
        if (!HoldsUserRows(self)) return py::none();
        return py::str(self.Rows.UserPath().string());
      },
      "The user's catalogue whose rows lie over the shipped ones, or None where none do.");
  type.def_property_readonly(
      "changed", [](const Catalogue& self) { return self.Changed; },
      "The names of the rows with_row changed or added in memory, in the order given.");
  type.def_property_readonly(
      "names",
      [](const Catalogue& self) {
        std::vector<std::string> names;
        for (const MaterialRecord& row : self.Rows.Rows()) names.push_back(row.Name);
        return names;
      },
      "The material names, in the order of the windows' pick lists.");
  type.def_property_readonly(
      "rows",
      [](const Catalogue& self) {
        py::list rows;
        for (const MaterialRecord& row : self.Rows.Rows()) rows.append(RowDict(row));
        return rows;
      },
      "Every row as a dict of its figures (SI units).");
  type.def(
      "row",
      [](const Catalogue& self, const std::string& name) {
        return RowDict(self.Rows.LookupMaterial(name));
      },
      "name"_a, "The row of that name (letter case ignored), as a dict; ValueError when none.");
  type.def("with_row", &WithRow, "row"_a = py::none(),
           R"(A copy with one row changed or added.

with_row("NiCrAlY", SigmaQ=1.5e8) changes figures of a row; with_row({"Name": "Mine", ...})
adds a row (all nine figures) or replaces the row of that name. with_row("NiCrAlY",
tables={"Lambda": [(300, 9), (1200, 14)]}) gives figures against temperature (None or [] makes
a figure the row's constant again); points that make no table raise ValueError. Figures are
checked against the bounds runs use; a figure beyond them raises ValueError, an unknown figure ValueError naming it,
a figure that is not a number TypeError. The copy's path is None and its changed names the row.)");
  type.def("__len__", [](const Catalogue& self) { return self.Rows.Rows().size(); });
  type.def("__contains__", [](const Catalogue& self, const std::string& name) {
    return self.Rows.FindMaterial(name) != nullptr;
  });
  type.def("__repr__", &Repr);
  type.def(py::pickle(&CatalogueBytes, &CatalogueFromBytes));
}

}  // namespace quillane::python
