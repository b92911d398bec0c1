#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <set>

#include "io/Summary.h"
#include "run/EntryFault.h"
#include "run/QuantityTable.h"

namespace quillane {
namespace {

TEST(QuantityTableTest, ListsEveryNumberInputAndEveryFigureOfTheThreeRowsOnce) {
  std::set<std::string> names;
  for (const QuantitySpec& spec : QuantityTable()) {
    EXPECT_TRUE(names.insert(spec.Name).second) << spec.Name;
    EXPECT_EQ(FindQuantity(spec.Name), &spec);
  }
  std::size_t inputs = 0;
  for (const InputSpec& input : InputTable()) inputs += input.Type != InputType::Text ? 1 : 0;
  EXPECT_EQ(names.size(), inputs + 3 * kMaterialColumns.size());
  // Names a file may hold but no quantity has.
  for (const char* name : {"", "SubstrateMaterialName", "coating.", "Coating.SigmaQ",
                           "substrate.Name", "heatflux", "coating.SigmaQ "}) {
    EXPECT_EQ(FindQuantity(name), nullptr) << name;
    EXPECT_THROW(Quantity(name), UnknownQuantity) << name;
  }
  try {
    Quantity("coating.Sigma");
    FAIL();
  } catch (const UnknownQuantity& error) {
    EXPECT_EQ(error.Name(), "coating.Sigma");
    EXPECT_NE(std::string(error.what()).find("\"coating.Sigma\""), std::string::npos);
  }
}

TEST(QuantityTableTest, EachQuantityReadsAndWritesItsOwnPlaceOnly) {
  ModelState base;
  ApplyDefaults(base);
  base.Input.SubstrateMaterialName = "Acier";
  base.Input.CoatingMaterialName = "NiCr";
  for (const QuantitySpec& spec : QuantityTable()) {
    ModelState state = base;
    const double value = spec.Whole ? 7 : 0.375;
    spec.Set(state, value);
    EXPECT_EQ(spec.Get(state), value) << spec.Name;
    // Setting it back gives the state it started from: nothing else was touched.
    spec.Set(state, spec.Get(base));
    EXPECT_EQ(state.Input, base.Input) << spec.Name;
    EXPECT_EQ(state.Materials.Substrate, base.Materials.Substrate) << spec.Name;
    EXPECT_EQ(state.Materials.Coating, base.Materials.Coating) << spec.Name;
    EXPECT_EQ(state.Materials.Contact, base.Materials.Contact) << spec.Name;
  }
  EXPECT_EQ(Quantity("substrate.Rho").RowName(base.Input), "Acier");
  EXPECT_EQ(Quantity("coating.Rho").RowName(base.Input), "NiCr");
  EXPECT_EQ(Quantity("contact.Rho").RowName(base.Input), "contact");
  EXPECT_EQ(Quantity("HeatFlux").RowName(base.Input), "");
}

// A caption names the quantity alone: its unit is told apart, once, and blanks are single.
TEST(QuantityTableTest, CaptionsLeaveTheirUnitToTheUnit) {
  for (const auto& [name, caption] : {std::pair{"LamellaThickness", "Epaisseur d'une lamelle"},
                                      {"HeatFlux", "Flux thermique incident"},
                                      {"BackFaceTemperature", "T du support"}}) {
    EXPECT_EQ(Quantity(name).Caption, caption);
  }
  for (const QuantitySpec& spec : QuantityTable()) {
    EXPECT_EQ(spec.Caption.find('('), std::string::npos) << spec.Caption;
    EXPECT_EQ(spec.Caption.find("  "), std::string::npos) << spec.Caption;
  }
}

TEST(QuantityTableTest, FittableQuantitiesAreTheFiguresARecordShows) {
  // The names in their order, each flagged fittable.
  std::string names;
  for (const QuantitySpec* spec : FittableQuantities())
    names += spec->Name + (spec->Fittable ? " " : "? ");
  EXPECT_EQ(names, "coating.SigmaQ coating.ModuleYoung coating.dilat HeatFlux contact.Lambda ");
  EXPECT_EQ(FittableNames(),
            "coating.SigmaQ, coating.ModuleYoung, coating.dilat, HeatFlux and contact.Lambda");
  // Only the heat input and the contact change the temperatures of a fit's runs.
  EXPECT_TRUE(Quantity("HeatFlux").Thermal());
  EXPECT_TRUE(Quantity("contact.Lambda").Thermal());
  EXPECT_FALSE(Quantity("coating.SigmaQ").Thermal());
  EXPECT_FALSE(Quantity("coating.dilat").Thermal());
}

struct ValueCase {
  const char* Name;
  double Value;
  std::optional<FaultKind> Kind;
  const char* English;  // "" when no fault
  const char* French;
};

TEST(EntryFaultTest, ValuesAreCheckedAgainstTheTableAndToldInBothLanguages) {
  const double inf = INFINITY;
  const ValueCase cases[] = {
      {"PassThickness", 2e-6, std::nullopt, "", ""},
      {"PassThickness", 2, FaultKind::OutOfRange,
       "the value 2 m lies outside the allowed range 1e-09 to 1 m.",
       "la valeur 2000000 µm est hors limites ; elle doit être comprise entre 0,001 et 1000000 "
       "µm."},
      {"PassCount", 2.5, FaultKind::NotWhole,
       "the value 2.5 is not a whole number the input can hold.",
       "la valeur 2,5 n'est pas un nombre entier admis."},
      {"PassCount", 40000, FaultKind::NotWhole,
       "the value 40000 is not a whole number the input can hold.",
       "la valeur 40000 n'est pas un nombre entier admis."},
      {"HeatFlux", inf, FaultKind::NotFinite, "the value inf W/m² is not finite.",
       "la valeur Inf kW/m² n'est pas un nombre fini."},
      {"coating.Poisson", 1, FaultKind::NotBelowOne, "the value 1 must be less than 1.",
       "la valeur 1 doit être inférieure à 1."},
      {"coating.Poisson", 0.999, std::nullopt, "", ""},
      {"substrate.ModuleYoung", 10, FaultKind::OutOfRange,
       "the value 10 Pa lies outside the catalogue bounds 1000 to 1e+13 Pa.",
       "la valeur 1E-05 MPa est hors des limites du catalogue ; elle doit être comprise entre "
       "0,001 et 10000000 MPa."},
      {"InitialCurvature", 1e6, std::nullopt, "", ""},  // bounded across inputs, not alone
  };
  for (const ValueCase& c : cases) {
    const std::optional<EntryFault> fault = CheckValue(Quantity(c.Name), c.Value);
    ASSERT_EQ(fault.has_value(), c.Kind.has_value()) << c.Name << " " << c.Value;
    if (!fault) continue;
    EXPECT_EQ(fault->Kind, *c.Kind) << c.Name;
    EXPECT_EQ(English(*fault), c.English) << c.Name;
    EXPECT_EQ(French(*fault, ','), c.French) << c.Name;
  }
}

TEST(RunWarningTest, EveryWarningIsFoundAndToldInBothLanguages) {
  ModelState state;
  ApplyDefaults(state);
  state.Statistics.ThermalRowCount = 10;
  state.Statistics.LowestTemperature = -3.5;
  state.Statistics.SingularMatrixEvents = 2;
  state.Input.SpecimenLength = 0.08;
  state.Stress.FinalCurvature = 30;  // a radius below 4 cm
  const std::vector<RunWarning> warnings = FindRunWarnings(state);
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_EQ(English(warnings[0]),
            "node temperatures fall to -3.500000 K, below absolute zero: the time steps are too "
            "coarse for these inputs");
  EXPECT_EQ(French(warnings[0], ','),
            "Attention : des températures descendent à -3,5 K, sous le zéro absolu : les pas de "
            "temps sont trop grossiers pour ces données.");
  EXPECT_EQ(warnings[1].What, RunWarning::Kind::CurvatureTooLarge);
  EXPECT_EQ(warnings[1].Value, 30);
  EXPECT_EQ(French(warnings[2], ','), "Systèmes singuliers : 2.");
  EXPECT_EQ(NonPhysicalWarnings(state).back(), "Matrix singular  reported 2 times");
  state.Statistics.NonFiniteTemperature = true;
  state.Stress.FinalCurvature = NAN;
  const std::vector<RunWarning> worse = FindRunWarnings(state);
  ASSERT_EQ(worse.size(), 3u);
  EXPECT_EQ(worse[0].What, RunWarning::Kind::NonFiniteTemperature);
  EXPECT_EQ(worse[1].What, RunWarning::Kind::NonFiniteResults);
}

TEST(RunWarningTest, ImplausibleInputsAreToldInBothLanguages) {
  using Kind = RunWarning::Kind;
  const struct {
    const char* What;
    void (*Set)(ModelState&);
    Kind Told;
    const char* English;
    const char* French;
  } cases[] = {
      {"a flux typed in W/m²", [](ModelState& s) { s.Statistics.HighestTemperature = 65712.79; },
       Kind::AboveParticles,
       "temperatures reach 65712.8 K, above the particle temperature (3000 K): no spray process "
       "heats this way; check the heat flux (HeatFlux in W/m², --heat-flux in kW/m²)",
       "Attention : des températures atteignent 65712,8 K, au-dessus de celle des particules "
       "(3000 K) : aucune projection ne chauffe ainsi ; vérifiez le flux thermique (en kW/m²)."},
      {"a melting substrate", [](ModelState& s) { s.Statistics.PeakInterfaceTemperature = 1790; },
       Kind::SubstrateMelts,
       "the substrate reaches 1790 K, above its melting point (1673 K), which the model does not "
       "follow; check the heat flux and the substrate",
       "Attention : le substrat atteint 1790 K, au-dessus de sa température de fusion (1673 K), "
       "que le modèle ne suit pas ; vérifiez le flux thermique et le substrat."},
      {"°C in the whole-deposit model",
       [](ModelState& s) {
         s.Model = StressModelKind::WholeDeposit;
         s.Input.RoomTemperature = 20;
       },
       Kind::RoomInCelsius,
       "RoomTemperature is 20 K, below 200 K: it is in kelvin (20 °C is 293.15 K)",
       "Attention : la température ambiante vaut 20 K, moins de 200 K : elle est en kelvins "
       "(20 °C font 293,15 K)."},
      {"a room the one-pass model ignores", [](ModelState& s) { s.Input.RoomTemperature = 310; },
       Kind::RoomTemperatureUnused,
       "the one-pass model does not use RoomTemperature (310 K): its final state is the coating "
       "cooled from its melting point to the surface temperature at the end of the last pass "
       "(612.3 K), not to room temperature; the whole-deposit model cools to RoomTemperature",
       "Le modèle une passe n'utilise pas la température ambiante (310 K) : son état final est "
       "le dépôt refroidi de sa température de fusion à celle de la surface en fin de dernière "
       "passe (612,3 K), non à l'ambiante ; le modèle dépôt complet refroidit jusqu'à "
       "l'ambiante."},
  };
  for (const auto& c : cases) {
    // A plausible one-pass run of steel, to which each case adds its fault.
    ModelState state;
    ApplyDefaults(state);
    state.Statistics.ThermalRowCount = 10;
    state.Statistics.LowestTemperature = 300;
    state.Statistics.HighestTemperature = 3000.002;
    state.Statistics.PeakInterfaceTemperature = 900;
    state.Materials.Substrate.Tfusion = 1673;
    state.Clock.PassEndSurfaceTemperature = 612.34;
    EXPECT_TRUE(FindRunWarnings(state).empty()) << c.What;
    c.Set(state);
    const std::vector<RunWarning> warnings = FindRunWarnings(state);
    ASSERT_EQ(warnings.size(), 1u) << c.What;
    EXPECT_EQ(warnings[0].What, c.Told) << c.What;
    EXPECT_EQ(English(warnings[0]), c.English) << c.What;
    EXPECT_EQ(French(warnings[0], ','), c.French) << c.What;
  }
}

}  // namespace
}  // namespace quillane
