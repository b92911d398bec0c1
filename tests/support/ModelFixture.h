#pragma once
// A model state ready to run, over the small reference catalogue (316L steel, NiCrAlY, contact).

#include <gtest/gtest.h>

#include "RecordingHost.h"
#include "TestSupport.h"
#include "core/ModelState.h"
#include "core/Validation.h"
#include "materials/MaterialsCatalogue.h"

namespace quillane::test {

class ModelFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildDatabase(DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
    catalogue.Open(dir / "p1.db");
    LoadInputFormState(state);
    state.Input.SubstrateMaterialName = "Acier 316L";
    state.Input.CoatingMaterialName = "NiCrAlY";
    state.Materials.Catalogue = &catalogue;
    state.Files.ThermalPath = (dir / "thermique.txt").string();
    state.Files.StressPath = (dir / "stress.txt").string();
  }

  // Copies the picked rows into the state, as the start of a run does.
  void ResolveMaterials() { ValidateRunInputs(state); }

  TempDir dir;
  MaterialsCatalogue catalogue;
  ModelState state;
  RecordingHost host;
};

}  // namespace quillane::test
