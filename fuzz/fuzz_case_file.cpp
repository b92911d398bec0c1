// Fuzz target: the case-file reader on arbitrary text, into a fresh input state over the real
// catalogue (built from data/Brelon.sql at start-up).
//
// Invariants: reading either succeeds or throws CaseError (nothing else); a CaseError names the
// file and leaves every input as it was; after a success the run validation tells its faults
// (each a non-empty message), and a state it finds no fault in resolves its materials.

#include <sqlite3.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/CaseFile.h"
#include "core/ModelState.h"
#include "core/Validation.h"
#include "materials/MaterialsCatalogue.h"

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

bool SameInputs(const InputParameters& a, const InputParameters& b) {
  const auto same = [](double x, double y) { return x == y || (x != x && y != y); };
  return same(a.PassThickness, b.PassThickness) && same(a.LamellaThickness, b.LamellaThickness) &&
         a.PassCount == b.PassCount && same(a.PassPeriod, b.PassPeriod) &&
         same(a.HeatingWindow, b.HeatingWindow) && same(a.HeatFlux, b.HeatFlux) &&
         same(a.ParticleTemperature, b.ParticleTemperature) &&
         same(a.SubstrateThicknessInput, b.SubstrateThicknessInput) &&
         same(a.SubstrateWidth, b.SubstrateWidth) &&
         same(a.SubstrateTemperature, b.SubstrateTemperature) &&
         same(a.GasTemperature, b.GasTemperature) && same(a.SpecimenLength, b.SpecimenLength) &&
         a.WitnessParticle == b.WitnessParticle && a.WitnessCoat == b.WitnessCoat &&
         a.SubstrateMaterialName == b.SubstrateMaterialName &&
         a.CoatingMaterialName == b.CoatingMaterialName &&
         a.SpecimenLengthText == b.SpecimenLengthText &&
         a.InitialCurvatureText == b.InitialCurvatureText;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  BuildCatalogue();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ModelState state;
  quillane::LoadInputFormState(state);
  state.Input.SubstrateMaterialName = "Acier 316L";
  state.Input.CoatingMaterialName = "NiCrAlY";
  state.Materials.Catalogue = &Catalogue();
  const InputParameters before = state.Input;
  const double widthBefore = state.Stress.StressWidth;
  try {
    quillane::cli::ApplyCaseText(text, kOrigin, state);
  } catch (const quillane::cli::CaseError& error) {
    const std::string message = error.what();
    if (message.rfind(kOrigin, 0) != 0) Fail("the message does not name the file: " + message);
    if (!SameInputs(state.Input, before) || state.Stress.StressWidth != widthBefore) {
      Fail("a faulty case changed the inputs: " + message);
    }
    return 0;
  }
  const std::vector<std::string> faults = quillane::FindInputFaults(state);
  for (const std::string& fault : faults) {
    if (fault.empty()) Fail("an empty fault message");
  }
  if (faults.empty()) {
    quillane::ValidateRunInputs(state);
    if (state.Materials.Substrate.Name.empty() || state.Materials.Coating.Name.empty()) {
      Fail("a valid case did not resolve its materials");
    }
  }
  return 0;
}
