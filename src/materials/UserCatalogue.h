#pragma once
// The user's own materials: an SQLite file in the user's data folder with the same table
// "matériaux" as the shipped catalogue (same columns), a side table "sources" holding a
// source or remark per row, and a side table "points" holding the figures a row gives against
// temperature ("Matériaux", "Figure", "Température" in K, "Valeur" in SI units), written and
// deleted with their row. Created on first write; the shipped catalogue is never written.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "materials/MaterialTable.h"
#include "materials/MaterialsCatalogue.h"

namespace quillane {

// A row with its source or remark.
struct UserMaterial {
  MaterialRecord Row;
  std::string Source;
};

class UserCatalogue {
 public:
  // $XDG_DATA_HOME/quillane/materiaux.db, by default ~/.local/share/quillane/materiaux.db.
  static std::filesystem::path DefaultPath();

  explicit UserCatalogue(std::filesystem::path path) : path_(std::move(path)) {}
  const std::filesystem::path& Path() const { return path_; }
  // Whether anything is at the path: a symbolic link too, whatever it leads to.
  bool Exists() const;

  // Every row with its source; none when the file does not exist yet or holds no table (an
  // empty file). Throws CatalogueError naming the file when it is damaged (the file is left as
  // it is), a folder, or a symbolic link to nothing; with `badRows`, a row that cannot be read
  // is left out and its fault added there instead.
  std::vector<UserMaterial> Read(std::vector<std::string>* badRows = nullptr) const;

  // Writes one row (replacing the row named `replacing`, letter case ignored, or a row of the
  // same name) or several at once; all of them or none reach the file. Creates the folder and
  // the file when needed, the file whole with its rows. Throws CatalogueError naming the file,
  // and leaves a file holding rows that cannot be read as it is, so that the user can mend them.
  void Save(const UserMaterial& material, const std::string& replacing = {});
  void SaveAll(const std::vector<UserMaterial>& materials);
  // Removes the row of that name, letter case ignored.
  void Remove(const std::string& name);

 private:
  // Makes the change in one transaction: in the file, or in a new database placed there whole
  // where there is no file yet.
  void Write(const std::function<void(sqlite3*)>& change);

  std::filesystem::path path_;
};

// Every row of `catalogue` with `own` in place of the rows of their names (letter case
// ignored), `own` last: a copy of the catalogue that serves a case alone.
std::vector<UserMaterial> RowsWithOwn(const MaterialsCatalogue& catalogue,
                                      const std::vector<UserMaterial>& own);

// The shipped catalogue with the user's rows over it. A user catalogue that cannot be read
// leaves the shipped rows alone and its fault in `userFault` (the file is never deleted); rows
// that cannot be read are left out, each named in `userFault`, and the others kept.
MaterialsCatalogue OpenMergedCatalogue(const std::filesystem::path& shipped,
                                       const UserCatalogue& user, std::string& userFault);

// A user catalogue that cannot be read, or whose rows cannot all be: refused by name rather
// than replaced, without a word, by the shipped figures. Fault() names the file or each row.
class DamagedUserCatalogue : public CatalogueError {
 public:
  explicit DamagedUserCatalogue(const std::string& fault)
      : CatalogueError(fault + ".\nYour materials cannot all be read, and nothing was run."),
        fault_(fault) {}
  const std::string& Fault() const { return fault_; }

 private:
  std::string fault_;
};

// Which catalogue a run reads, one policy for the batch program, the windows and the Python
// module: a file given alone (--catalogue, or the fitted copy a case names), else the shipped
// catalogue alone when the shipped materials are asked for, else the shipped catalogue with
// the user's materials over it.
struct CatalogueChoice {
  std::filesystem::path Shipped;
  std::filesystem::path Alone;  // empty when none is given
  bool ShippedOnly = false;
};

// The catalogue chosen. Throws CatalogueError when a file cannot be opened, and
// DamagedUserCatalogue when the user's materials cannot all be read.
MaterialsCatalogue ChooseCatalogue(const CatalogueChoice& choice, const UserCatalogue& user);

}  // namespace quillane
