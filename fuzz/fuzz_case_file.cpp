// Fuzz target: the case-file reader on arbitrary text, into a fresh input state over the real
// catalogue (built from data/Brelon.sql at start-up).
//
// Invariants: reading either succeeds or throws CaseError (nothing else); a CaseError names the
// file and leaves every input as it was; after a success the case written back reads back bit
// for bit, the run validation tells its faults (each with non-empty English and French texts),
// and a state it finds no fault in resolves its materials.

#include <sqlite3.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "io/CaseFile.h"
#include "materials/MaterialsCatalogue.h"
#include "model/InputTable.h"
#include "model/ModelState.h"
#include "run/Validation.h"

namespace {

using quillane::InputParameters;
using quillane::MaterialsCatalogue;
using quillane::ModelState;

constexpr const char* kOrigin = "fuzz.json";

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

std::filesystem::path CataloguePath() {
  return std::filesystem::temp_directory_path() /
         ("quillane-fuzz-case-" + std::to_string(getpid()) + ".db");
}

void RemoveCatalogue() {
  std::filesystem::remove(CataloguePath());
}

MaterialsCatalogue& Catalogue() {
  static MaterialsCatalogue catalogue;
  return catalogue;
}

void BuildCatalogue() {
  std::ifstream in(std::filesystem::path(QUILLANE_SOURCE_DIR) / "data" / "Brelon.sql");
  std::ostringstream script;
  script << in.rdbuf();
  if (!in) Fail("cannot read data/Brelon.sql");
  const std::filesystem::path path = CataloguePath();
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) Fail("cannot create " + path.string());
  char* message = nullptr;
  if (sqlite3_exec(db, script.str().c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    Fail(std::string("cannot build the catalogue: ") + (message ? message : ""));
  }
  sqlite3_close(db);
  Catalogue().Open(path);
  std::atexit(RemoveCatalogue);
}

// Every input the same, doubles bit for bit (operator== takes -0 for 0).
bool SameInputs(const InputParameters& a, const InputParameters& b) {
  for (const auto& input : quillane::InputTable()) {
    if (input.RealField != nullptr && std::bit_cast<std::uint64_t>(a.*input.RealField) !=
                                          std::bit_cast<std::uint64_t>(b.*input.RealField)) {
      return false;
    }
  }
  return a == b;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  BuildCatalogue();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ModelState state;
  quillane::ApplyDefaults(state);
  state.Input.SubstrateMaterialName = "Acier 316L";
  state.Input.CoatingMaterialName = "NiCrAlY";
  const InputParameters before = state.Input;
  try {
    quillane::ApplyCaseText(text, kOrigin, state.Input);
  } catch (const quillane::CaseError& error) {
    const std::string message = error.what();
    if (message.rfind(kOrigin, 0) != 0) Fail("the message does not name the file: " + message);
    if (!SameInputs(state.Input, before)) Fail("a faulty case changed the inputs: " + message);
    return 0;
  }
  // JSON holds finite numbers only, so whatever was read can be written back.
  InputParameters reread;
  quillane::ApplyCaseText(quillane::CaseText(state.Input), kOrigin, reread);
  if (!SameInputs(reread, state.Input)) Fail("a case did not read back as it was written");
  const std::vector<quillane::InputFault> faults = quillane::FindInputFaults(state, &Catalogue());
  for (const quillane::InputFault& fault : faults) {
    if (fault.English.empty() || fault.French.empty()) Fail("an empty fault message");
  }
  if (faults.empty()) {
    quillane::ValidateRunInputs(state, &Catalogue());
    if (state.Materials.Substrate.Name.empty() || state.Materials.Coating.Name.empty() ||
        state.Materials.Contact.Name.empty()) {
      Fail("a valid case did not resolve its materials");
    }
  }
  return 0;
}
