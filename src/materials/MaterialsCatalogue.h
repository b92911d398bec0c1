#pragma once
// The materials catalogue: the table "matériaux" of an SQLite file, read only.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/MaterialRecord.h"

namespace quillane {

// Raised for every catalogue fault; the message names the file or the material.
class CatalogueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The materials a run can pick: the rows of the shipped catalogue, read once at open, with the
// user's own rows over them (a user row replaces the shipped row of the same name, letter case
// ignored, or adds to them). Plain values once read, so a run can take a copy.
class MaterialsCatalogue {
 public:
  enum class Origin { Shipped, User };

  // Opens the file read only and checks the table and its columns. Throws CatalogueError
  // naming the path when the file is missing, is not a database, or lacks the table or a
  // column, and naming the material and column when a value is not a number.
  void Open(const std::filesystem::path& path);
  void Close();
  bool IsOpen() const { return open_; }
  const std::filesystem::path& Path() const { return path_; }

  // A catalogue of rows read before, as Open and AddUserRows left it (a copy sent to another
  // process): `shipped` from the file `path`, then `user` from `userPath` over them.
  static MaterialsCatalogue FromRows(const std::filesystem::path& path,
                                     std::vector<MaterialRecord> shipped,
                                     const std::filesystem::path& userPath,
                                     const std::vector<MaterialRecord>& user);

  // Lays the user's rows over the shipped ones (read from `userPath`, named in messages).
  void AddUserRows(const std::vector<MaterialRecord>& rows, const std::filesystem::path& userPath);
  const std::filesystem::path& UserPath() const { return userPath_; }

  // Every row, sorted by name (the order of the pick lists), and where each comes from.
  const std::vector<MaterialRecord>& Rows() const { return rows_; }
  Origin OriginOf(std::size_t row) const { return origins_[row]; }

  // The row whose name matches, letter case ignored; a quote in the name is an ordinary
  // character. Throws CatalogueError naming the material and the file when nothing matches.
  const MaterialRecord& LookupMaterial(std::string_view name) const;
  // Same, but nullptr when nothing matches.
  const MaterialRecord* FindMaterial(std::string_view name) const;

 private:
  void Sort();

  bool open_ = false;
  std::filesystem::path path_;
  std::filesystem::path userPath_;
  std::vector<MaterialRecord> rows_;
  std::vector<Origin> origins_;
  std::vector<std::string> keys_;  // rows_ names case-folded, same order, for the look-ups
};

// Names compared as the catalogue compares them: letter case ignored, accented capitals too.
std::string FoldName(std::string_view name);

// A name, or any text read from a file, as a terminal or a message may show it: control
// characters (a NUL, the escape that starts a terminal sequence, a line break, the C1 controls)
// and bytes that are not UTF-8 text written as \xHH, each byte of them.
std::string EscapedName(std::string_view name);
// Whether a name holds a control character, which no material name may.
bool HasControlCharacter(std::string_view name);

// The catalogue file "Brelon.db" beside the running executable, or in ../share/quillane from
// it when only that one exists (an installed program).
std::filesystem::path DefaultCataloguePath();

}  // namespace quillane
