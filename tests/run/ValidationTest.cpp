#include "run/Validation.h"

#include <gtest/gtest.h>

#include <limits>

#include "ModelFixture.h"
#include "model/Errors.h"
#include "model/InputTable.h"

namespace quillane {
namespace {

class ValidationTest : public test::ModelFixture {};

// Each case sets an input (and the pass count when not 0) and the stress model: no fault, or one
// told in both languages.
TEST_F(ValidationTest, MessagesNameTheInputItsFlagAndItsRange) {
  const struct {
    const char* key;
    double value;
    int passes;
    const char* model;
    char separator;
    const char* english;
    const char* french;
    const char* input = nullptr;  // at fault when not the key
  } cases[] = {
      {"SubstrateWidth", 1.5, 0, "one-pass", ',',
       "SubstrateWidth (--width) is 1.5 m; it must lie between 1E-09 m and 1 m.",
       "largeur (m) : 1,5 m est hors limites ; la valeur doit être comprise entre 1E-09 et 1 m."},
      // The flag is typed in another unit: its range is told in that unit too.
      {"SubstrateThicknessInput", 2.5, 0, "one-pass", '.',
       "SubstrateThicknessInput (--substrate-thickness) is 2.5 m; it must lie between 1E-09 m "
       "and 1 m (--substrate-thickness takes 1E-06 to 1000 mm).",
       "épaisseur (mm) : 2500 mm est hors limites ; la valeur doit être comprise entre 1E-06 et "
       "1000 mm."},
      // A count has no unit; a caption's trailing blank is not shown.
      {"PassCount", 40000, 0, "one-pass", '.',
       "PassCount (--passes) is 40000; it must lie between 0 and 32767.",
       "Nombre de passes : 40000 est hors limites ; la valeur doit être comprise entre 0 et "
       "32767."},
      {"HeatFlux", std::numeric_limits<double>::infinity(), 0, "one-pass", '.',
       "HeatFlux (--heat-flux) is not a finite number; it must lie between 0 W/m² and 10000000000 "
       "W/m² (--heat-flux takes 0 to 10000000 kW/m²).",
       "Flux thermique incident (kW/m2) : la valeur n'est pas un nombre fini ; la valeur doit "
       "être comprise entre 0 et 10000000 kW/m²."},
      {"InitialCurvature", 26, 0, "one-pass", ',',
       "InitialCurvature (--curvature) is 26 1/m; a specimen of 0.08 m cannot bend more than 2 / "
       "length = 25 1/m.",
       "1/Rcourbure : 26 1/m ; un témoin de 0,08 m ne peut pas être courbé au-delà de 2 / "
       "longueur = 25 1/m."},
      {"PassThickness", 0.04, 0, "one-pass", '.',
       "PassThickness / LamellaThickness is 40000; a pass must hold fewer than 32767 lamellae.",
       "épaisseur par passe (µm) / Epaisseur d'une  lamelle(µm) vaut 40000 ; une passe doit "
       "compter moins de 32767 lamelles."},
      // A stress model is one of two, named exactly; only the whole deposit bounds its lamellae.
      {"PassThickness", 30e-6, 32767, "whole-deposit", '.', "", ""},
      {"PassThickness", 50e-6, 32767, "one-pass", '.', "", ""},
      {"PassCount", 1, 0, "Whole-Deposit", '.',
       "StressModel (--stress-model) is \"Whole-Deposit\"; it must be one-pass or whole-deposit.",
       "Modèle des contraintes : « Whole-Deposit » n'est pas un choix possible ; choisir une passe "
       "ou dépôt complet.",
       "StressModel"},
      // 32767 passes of 31 lamellae: over a million lamellae to keep.
      {"PassThickness", 31e-6, 32767, "whole-deposit", '.',
       "PassCount (--passes) × lamellae per pass is 1015777; the whole-deposit model keeps at most "
       "1000000 lamellae.",
       "Nombre de passes × lamelles par passe vaut 1015777 ; le modèle du dépôt complet garde au "
       "plus 1000000 lamelles.",
       "PassCount"},
  };
  const ModelState saved = state;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + c.model);
    state = saved;
    state.Locale.DecimalSeparator = c.separator;
    state.Input.StressModel = c.model;
    Input(c.key).Set(state.Input, c.value);
    if (c.passes != 0) state.Input.PassCount = c.passes;
    const std::vector<InputFault> faults = FindInputFaults(state, &catalogue);
    if (std::string(c.english).empty()) {
      EXPECT_TRUE(faults.empty()) << faults.front().English;
      continue;
    }
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].Input, &Input(c.input != nullptr ? c.input : c.key));
    EXPECT_EQ(faults[0].English, c.english);
    EXPECT_EQ(faults[0].French, c.french);
    EXPECT_THROW(ValidateRunInputs(state, &catalogue), InputError);
  }

  // The defaults pick no material: a run cannot start before the user picks both.
  ModelState fresh;
  ApplyDefaults(fresh);
  std::vector<std::string> english;
  for (const InputFault& fault : FindInputFaults(fresh, &catalogue)) {
    english.push_back(fault.English);
  }
  EXPECT_EQ(english, (std::vector<std::string>{"No substrate material is chosen.",
                                               "No coating material is chosen."}));
}

}  // namespace
}  // namespace quillane
