#pragma once
// The table "matériaux" of an SQLite file, shared by the shipped and the user catalogue.

#include <filesystem>
#include <vector>

#include "model/MaterialRecord.h"

struct sqlite3;

namespace quillane {

// Every row of the table, checked as the catalogue checks them; throws CatalogueError.
std::vector<MaterialRecord> ReadMaterialTable(sqlite3* db, const std::filesystem::path& path);

// Turns SQLite's last error on the file into a CatalogueError naming it.
[[noreturn]] void ThrowSqliteFault(sqlite3* db, const std::filesystem::path& path);

}  // namespace quillane
