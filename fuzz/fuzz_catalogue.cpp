// Fuzz target: the catalogue opener on corrupted database files.
//
// At start-up the real catalogue (data/Brelon.sql) is built in memory and its file image kept.
// Byte 0 of an input chooses how the file is made:
// - even: the valid image with edits applied; every following 4 bytes are one edit, a 24-bit
//   offset (modulo the image size) and the byte written there; when bit 1 is set, the image is
//   first cut to a length given by bytes 1-2 (little endian, modulo the image size);
// - odd: the rest of the input is the whole file.
// The file is written to a private temporary folder and opened.
//
// Invariants: Open either succeeds or throws CatalogueError naming the file, and a failed Open
// leaves the catalogue closed and empty; after a success every row is found by its own name
// (and by that name in capitals), its figures are finite, look-ups of other names either find
// a row or throw CatalogueError, and moving and closing the catalogue work.

#include <sqlite3.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "materials/MaterialsCatalogue.h"

namespace {

using quillane::CatalogueError;
using quillane::MaterialRecord;
using quillane::MaterialsCatalogue;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

std::vector<unsigned char>& BaseImage() {
  static std::vector<unsigned char> image;
  return image;
}

std::filesystem::path& WorkDir() {
  static std::filesystem::path dir;
  return dir;
}

void RemoveWorkDir() {
  std::error_code ignored;
  std::filesystem::remove_all(WorkDir(), ignored);
}

void BuildBaseImage() {
  std::ifstream in(std::filesystem::path(QUILLANE_SOURCE_DIR) / "data" / "Brelon.sql");
  std::ostringstream script;
  script << in.rdbuf();
  if (!in) Fail("cannot read data/Brelon.sql");
  sqlite3* db = nullptr;
  if (sqlite3_open(":memory:", &db) != SQLITE_OK) Fail("cannot open an in-memory database");
  char* message = nullptr;
  if (sqlite3_exec(db, script.str().c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    Fail(std::string("cannot build the catalogue: ") + (message ? message : ""));
  }
  sqlite3_int64 size = 0;
  unsigned char* bytes = sqlite3_serialize(db, "main", &size, 0);
  if (bytes == nullptr || size <= 0) Fail("cannot serialize the catalogue");
  BaseImage().assign(bytes, bytes + size);
  sqlite3_free(bytes);
  sqlite3_close(db);

  std::string pattern =
      (std::filesystem::temp_directory_path() / "quillane-fuzz-catalogue-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) Fail("cannot create a temporary folder");
  WorkDir() = pattern;
  std::atexit(RemoveWorkDir);
}

std::vector<unsigned char> MakeFile(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return BaseImage();
  if ((data[0] & 1) != 0) return std::vector<unsigned char>(data + 1, data + size);
  std::vector<unsigned char> image = BaseImage();
  std::size_t i = 1;
  if ((data[0] & 2) != 0 && size >= 3) {
    image.resize((data[1] | (data[2] << 8)) % image.size());
    i = 3;
  }
  if (image.empty()) return image;
  for (; i + 4 <= size; i += 4) {
    const std::size_t offset = (data[i] | (data[i + 1] << 8) | (data[i + 2] << 16)) % image.size();
    image[offset] = data[i + 3];
  }
  return image;
}

void CheckOpened(const MaterialsCatalogue& catalogue) {
  const std::vector<MaterialRecord>& rows = catalogue.Rows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const MaterialRecord& row = rows[i];
    for (double value : {row.Lambda, row.Rho, row.Cp, row.Tfusion, row.Lfusion, row.ModuleYoung,
                         row.Poisson, row.dilat, row.SigmaQ}) {
      if (!std::isfinite(value)) Fail("a non-finite figure for " + row.Name);
    }
    const MaterialRecord* found = catalogue.FindMaterial(row.Name);
    if (found == nullptr || found->Name != row.Name) Fail("a row is not found by its name");
    if (&catalogue.LookupMaterial(row.Name) != found) Fail("look-up and find disagree");
    // ASCII letter case never matters, whatever the other bytes of the name are.
    std::string upper = row.Name;
    for (char& c : upper) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (catalogue.FindMaterial(upper) == nullptr) Fail("upper-case name not found: " + upper);
  }
  for (const char* name : {"contact", "Acier 316L", "NICRALY", "", "x' OR '1'='1", "\xC3",
                           "Zircone yttri\xC3\x89"
                           "e"}) {
    const MaterialRecord* found = catalogue.FindMaterial(name);
    try {
      if (&catalogue.LookupMaterial(name) != found) Fail("look-up and find disagree");
    } catch (const CatalogueError&) {
      if (found != nullptr) Fail("look-up failed on a name that is found");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  BuildBaseImage();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<unsigned char> image = MakeFile(data, size);
  const std::filesystem::path path = WorkDir() / "catalogue.db";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    if (!out) Fail("cannot write " + path.string());
  }
  MaterialsCatalogue catalogue;
  try {
    catalogue.Open(path);
  } catch (const CatalogueError& error) {
    if (std::string(error.what()).find(path.string()) == std::string::npos) {
      Fail(std::string("the message does not name the file: ") + error.what());
    }
    if (catalogue.IsOpen() || !catalogue.Rows().empty()) Fail("a failed open left rows behind");
    return 0;
  }
  if (!catalogue.IsOpen()) Fail("an opened catalogue is not open");
  CheckOpened(catalogue);
  MaterialsCatalogue moved(std::move(catalogue));
  CheckOpened(moved);
  catalogue = std::move(moved);
  CheckOpened(catalogue);
  catalogue.Close();
  if (catalogue.IsOpen() || !catalogue.Rows().empty()) Fail("a closed catalogue keeps rows");
  return 0;
}
