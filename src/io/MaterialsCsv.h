#pragma once
// Materials as CSV, for importing rows into the user catalogue and exporting the merged one:
// a header naming the catalogue's columns ("Matériaux", "Lambda" ... "SigmaQ", and optionally
// "Source"), a comma or a semicolon between fields, a point or (with semicolons) a decimal
// comma, fields in double quotes when they hold the separator.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "materials/UserCatalogue.h"

namespace quillane {

// A CSV that cannot be read; the message names the file and the line.
class MaterialsCsvError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CsvMaterial {
  UserMaterial Material;
  int Line = 0;  // line of the file, from 1
};

// Every row of the file, in order. Throws MaterialsCsvError at the first line that is not
// a row of numbers under the header; range checks are left to the caller.
std::vector<CsvMaterial> ReadMaterialsCsv(const std::filesystem::path& path);

// The catalogue as CSV (comma-separated, every number in its shortest exact form), with the
// origin of each row ("livré" or "utilisateur") and its source.
std::string MaterialsCsvText(const MaterialsCatalogue& catalogue,
                             const std::vector<UserMaterial>& userRows);

}  // namespace quillane
