#pragma once
// The table "matériaux" of an SQLite file, shared by the shipped and the user catalogue.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/MaterialRecord.h"

struct sqlite3;
struct sqlite3_stmt;

namespace quillane {

// Owners of an open file and of a prepared statement.
struct DbCloser {
  void operator()(sqlite3* db) const;
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const;
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// A prepared statement; throws CatalogueError naming the file.
Statement PrepareStatement(sqlite3* db, const char* sql, const std::filesystem::path& path);

// Every row of the table, checked as the catalogue checks them, with its points from the side
// table "points" where the file has one; throws CatalogueError. With `badRows`, a row that
// cannot be read (no name, a cell that is not a number, points of an unknown figure or that
// make no table) is left out and its fault added there; without, it throws CatalogueError.
std::vector<MaterialRecord> ReadMaterialTable(sqlite3* db, const std::filesystem::path& path,
                                              std::vector<std::string>* badRows = nullptr);

// Turns SQLite's last error on the file into a CatalogueError naming it, as a fault of reading
// or of `writing` (a locked, full or read-only file, a journal that cannot be rolled back).
[[noreturn]] void ThrowSqliteFault(sqlite3* db, const std::filesystem::path& path,
                                   bool writing = false);

// Why no catalogue can be read or written at `path`, whatever it holds: "is a folder, not a
// file", or a symbolic link to nothing or that loops (which SQLite would take for a missing
// file). Empty when nothing is there or a file is.
std::string UnusablePlace(const std::filesystem::path& path);

}  // namespace quillane
