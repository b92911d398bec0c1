#pragma once
// Stress results set up by hand need their per-lamella arrays sized as a run sizes them.

#include "model/ModelState.h"

namespace quillane::test {

// Sizes every per-lamella array of the stress results for lamellae 0 to `upper`.
inline void SizeStressArrays(StressResults& s, int upper) {
  for (BasedArray<double>* array : {&s.LamellaForce, &s.NeutralAxisPosition, &s.FlexuralRigidity,
                                    &s.Curvature, &s.SubstrateStressBack, &s.SubstrateStressFront,
                                    &s.LamellaStress, &s.LamellaStressFinal, &s.Deflection}) {
    array->Redim(0, upper);
  }
}

}  // namespace quillane::test
