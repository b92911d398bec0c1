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
  // Each coat's seven spraying inputs and its pause, and the later coats' figures.
  EXPECT_EQ(names.size(), inputs + 3 * kMaterialColumns.size() + kMaxCoats * 8 +
                              (kMaxCoats - 1) * kMaterialColumns.size());
  // Names a file may hold but no quantity has.
  for (const char* name : {"SubstrateMaterialName", "substrate.Name", "heatflux"}) {
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
  for (int k = 1; k <= kMaxCoats; ++k) {
    CoatInput coat;
    coat.Material = "Couche " + std::to_string(k);
    coat.PassCount = k;
    // Every figure given, so that setting one back restores the coat exactly.
    for (const CoatFigure& figure : kCoatFigures) coat.*figure.Field = k;
    coat.HeatFlux = 1e5 * k;
    base.Input.Coats.push_back(coat);
    if (k > 1) base.Materials.LaterCoats.push_back({});
  }
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
    EXPECT_EQ(state.Materials.LaterCoats, base.Materials.LaterCoats) << spec.Name;
  }
  // A coat's input left out is the case's own; a coat the case lacks has none.
  EXPECT_EQ(Quantity("coat2.HeatFlux").Get(base), 2e5);
  base.Input.Coats[1].PassPeriod.reset();
  EXPECT_EQ(Quantity("coat2.PassPeriod").Get(base), base.Input.PassPeriod);
  EXPECT_EQ(Quantity("coat3.Rho").RowName(base.Input), "Couche 3");
  EXPECT_EQ(Quantity("coating.Rho").RowName(base.Input), "Couche 1");
  base.Input.Coats.resize(2);
  EXPECT_TRUE(std::isnan(Quantity("coat3.HeatFlux").Get(base)));
  EXPECT_THROW(Quantity("coat3.HeatFlux").Set(base, 1), std::out_of_range);
  base.Input.Coats.clear();
  EXPECT_EQ(Quantity("substrate.Rho").RowName(base.Input), "Acier");
  EXPECT_EQ(Quantity("coating.Rho").RowName(base.Input), "NiCr");
  EXPECT_EQ(Quantity("contact.Rho").RowName(base.Input), "contact");
  EXPECT_EQ(Quantity("HeatFlux").RowName(base.Input), "");
}

// A caption names the quantity alone: its unit is told apart, once, and blanks are single.
TEST(QuantityTableTest, CaptionsLeaveTheirUnitToTheUnit) {
  EXPECT_EQ(Quantity("BackFaceTemperature").Caption, "T du support");
  for (const QuantitySpec& spec : QuantityTable()) {
    EXPECT_EQ(spec.Caption.find('('), std::string::npos) << spec.Caption;
    EXPECT_EQ(spec.Caption.find("  "), std::string::npos) << spec.Caption;
  }
}

TEST(QuantityTableTest, FittableQuantitiesAreFlaggedFittable) {
  for (const QuantitySpec* spec : FittableQuantities()) EXPECT_TRUE(spec->Fittable) << spec->Name;
  // Only the heat input and the contact change the temperatures of a fit's runs.
  EXPECT_TRUE(Quantity("HeatFlux").Thermal());
  EXPECT_TRUE(Quantity("contact.Lambda").Thermal());
  EXPECT_FALSE(Quantity("coating.SigmaQ").Thermal());
}

TEST(EntryFaultTest, ValuesAreCheckedAgainstTheTableAndToldInBothLanguages) {
  const struct {
    const char* Name;
    double Value;
    std::optional<FaultKind> Kind;
  } cases[] = {
      {"PassThickness", 2, FaultKind::OutOfRange},
      {"PassCount", 2.5, FaultKind::NotWhole},
      {"PassCount", 40000, FaultKind::NotWhole},
      {"HeatFlux", INFINITY, FaultKind::NotFinite},
      {"coating.Poisson", 1, FaultKind::NotBelowOne},
      {"coating.Poisson", 0.999, std::nullopt},
      {"substrate.ModuleYoung", 10, FaultKind::OutOfRange},
      {"InitialCurvature", 1e6, std::nullopt},  // bounded across inputs, not alone
  };
  std::vector<std::string> told;
  for (const auto& c : cases) {
    const std::optional<EntryFault> fault = CheckValue(Quantity(c.Name), c.Value);
    ASSERT_EQ(fault.has_value(), c.Kind.has_value()) << c.Name << " " << c.Value;
    if (!fault) continue;
    EXPECT_EQ(fault->Kind, *c.Kind) << c.Name;
    told.insert(told.end(), {English(*fault), French(*fault, ',')});
  }
  test::ExpectMessages("entry values", told);
}

TEST(RunWarningTest, EveryWarningIsFoundAndToldInBothLanguages) {
  ModelState state;
  ApplyDefaults(state);
  state.Statistics.ThermalRowCount = 10;
  state.Statistics.LowestTemperature = -3.5;
  state.Statistics.SingularMatrixEvents = 2;
  state.Input.SpecimenLength = 0.08;
  state.Stress.FinalCurvature = 30;  // a radius below 4 cm
  std::vector<std::string> told;
  for (const RunWarning& warning : FindRunWarnings(state)) {
    told.insert(told.end(), {English(warning), French(warning, ',')});
  }
  told.push_back(NonPhysicalWarnings(state).back());
  test::ExpectMessages("run warnings", told);
  state.Statistics.NonFiniteTemperature = true;
  state.Stress.FinalCurvature = NAN;
  const std::vector<RunWarning> worse = FindRunWarnings(state);
  ASSERT_EQ(worse.size(), 3u);
  EXPECT_EQ(worse[0].What, RunWarning::Kind::NonFiniteTemperature);
  EXPECT_EQ(worse[1].What, RunWarning::Kind::NonFiniteResults);
}

TEST(RunWarningTest, ImplausibleInputsAreToldInBothLanguages) {
  const struct {
    const char* What;
    void (*Set)(ModelState&);
  } cases[] = {
      {"a flux typed in W/m²", [](ModelState& s) { s.Statistics.HighestTemperature = 65712.79; }},
      {"a melting substrate", [](ModelState& s) { s.Statistics.PeakInterfaceTemperature = 1790; }},
      {"°C in the whole-deposit model",
       [](ModelState& s) {
         s.Model = StressModelKind::WholeDeposit;
         s.Input.RoomTemperature = 20;
       }},
      {"a room the one-pass model ignores", [](ModelState& s) { s.Input.RoomTemperature = 310; }},
  };
  std::vector<std::string> told;
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
    told.insert(told.end(), {English(warnings[0]), French(warnings[0], ',')});
  }
  test::ExpectMessages("implausible inputs", told);
}

}  // namespace
}  // namespace quillane
