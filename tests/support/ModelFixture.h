#pragma once
// A model state ready to run, over the small reference catalogue (316L steel, NiCrAlY, contact).

#include <gtest/gtest.h>

#include "RecordingSink.h"
#include "TestSupport.h"
#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"
#include "run/RunSimulation.h"
#include "run/Validation.h"

namespace quillane::test {

class ModelFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildDatabase(DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
    catalogue.Open(dir / "p1.db");
    ApplyDefaults(state);
    state.Input.SubstrateMaterialName = "Acier 316L";
    state.Input.CoatingMaterialName = "NiCrAlY";
    paths.Thermal = (dir / "thermique.txt").string();
    paths.Stress = (dir / "stress.txt").string();
  }

  // Copies the picked rows into the state, as the start of a run does.
  void ResolveMaterials() { ValidateRunInputs(state, &catalogue); }

  TempDir dir;
  MaterialsCatalogue catalogue;
  ModelState state;
  ResultPaths paths;
  RecordingSink sink;
};

}  // namespace quillane::test
