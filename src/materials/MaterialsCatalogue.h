#pragma once
// The materials catalogue: the table "matériaux" of an SQLite file, read only.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/MaterialRecord.h"

struct sqlite3;

namespace quillane {

// Raised for every catalogue fault; the message names the file or the material.
class CatalogueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class MaterialsCatalogue {
 public:
  MaterialsCatalogue() = default;
  ~MaterialsCatalogue();
  MaterialsCatalogue(const MaterialsCatalogue&) = delete;
  MaterialsCatalogue& operator=(const MaterialsCatalogue&) = delete;
  MaterialsCatalogue(MaterialsCatalogue&& other) noexcept;
  MaterialsCatalogue& operator=(MaterialsCatalogue&& other) noexcept;

  // Opens the file read only and checks the table and its columns. Throws CatalogueError
  // naming the path when the file is missing, is not a database, or lacks the table or a
  // column, and naming the material and column when a value is not a number.
  void Open(const std::filesystem::path& path);
  void Close();
  bool IsOpen() const;
  const std::filesystem::path& Path() const { return path_; }

  // Every row, sorted by name (the order of the pick lists).
  const std::vector<MaterialRecord>& Rows() const { return rows_; }

  // The row whose name matches, letter case ignored; a quote in the name is an ordinary
  // character. Throws CatalogueError naming the material and the file when nothing matches.
  const MaterialRecord& LookupMaterial(std::string_view name) const;
  // Same, but nullptr when nothing matches.
  const MaterialRecord* FindMaterial(std::string_view name) const;

 private:
  std::filesystem::path path_;
  sqlite3* db_ = nullptr;
  std::vector<MaterialRecord> rows_;
  std::vector<std::string> keys_;  // rows_ names case-folded, same order, for the look-ups
};

// The catalogue file "Brelon.db" beside the running executable, or in ../share/quillane from
// it when only that one exists (an installed program).
std::filesystem::path DefaultCataloguePath();

}  // namespace quillane
