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

// The default case with both materials of the reference catalogue picked.
inline void DefaultCase(ModelState& state) {
  ApplyDefaults(state);
  state.Input.SubstrateMaterialName = "Acier 316L";
  state.Input.CoatingMaterialName = "NiCrAlY";
}

class ModelFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildDatabase(DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
    catalogue.Open(dir / "p1.db");
    DefaultCase(state);
    paths.Thermal = (dir / "thermique.txt").string();
    paths.Stress = (dir / "stress.txt").string();
  }

  // Copies the picked rows into the state, as the start of a run does.
  void ResolveMaterials() { ValidateRunInputs(state, &catalogue); }

  // `run` after its run into the sink.
  ModelState Ran(ModelState run) {
    RunSimulation(run, sink);
    return run;
  }

  TempDir dir;
  MaterialsCatalogue catalogue;
  ModelState state;
  ResultPaths paths;
  RecordingSink sink;
};

}  // namespace quillane::test
