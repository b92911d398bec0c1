#pragma once
// The materials catalogue: the table "matériaux" of an SQLite file, read only.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace quillane {

// One row of the table, in SI units. The row named "contact" describes the thermal contact
// layer between the first coat and the substrate.
struct MaterialRecord {
  std::string Name;        // "Matériaux"
  double Lambda = 0;       // thermal conductivity, W/(m·K)
  double Rho = 0;          // density, kg/m³
  double Cp = 0;           // specific heat, J/(kg·K)
  double Tfusion = 0;      // melting temperature, K
  double Lfusion = 0;      // latent heat of fusion, J/kg
  double ModuleYoung = 0;  // Young's modulus, Pa
  double Poisson = 0;      // Poisson's ratio
  double dilat = 0;        // linear expansion coefficient, 1/K
  double SigmaQ = 0;       // quenching stress of a deposited lamella, Pa
};

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

// The catalogue file beside the running executable ("Brelon.db").
std::filesystem::path DefaultCataloguePath();

}  // namespace quillane
