// What the study window shows of its entries and of a study, without a window: the entries a
// plan uses, the faults in French, the table's columns and cells and the status line.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "session/StudyView.h"

namespace quillane::session {
namespace {

TEST(StudyViewTest, ARowOffersTheEntriesItsPlanUses) {
  const struct {
    StudyPlan plan;
    const char* quantity;
    bool normal;
    RowControls want;
  } cases[] = {
      {StudyPlan::Factorial, "HeatFlux", true, {true, true, false, "Début", "Fin"}},
      {StudyPlan::LatinHypercube, "HeatFlux", false, {true, false, true, "Début", "Fin"}},
      {StudyPlan::LatinHypercube, "HeatFlux", true, {true, false, true, "Moyenne", "Écart type"}},
      {StudyPlan::Factorial, "", false, {false, false, false, "Début", "Fin"}},
      {StudyPlan::LatinHypercube, "Nope", false, {false, false, false, "Début", "Fin"}},
  };
  for (const auto& c : cases) {
    StudyForm form;
    form.Plan = c.plan;
    form.Rows[1].Quantity = c.quantity;
    form.Rows[1].Normal = c.normal;
    const RowControls use = RowControlsOf(form, 1);
    EXPECT_EQ(use.Range, c.want.Range) << c.quantity;
    EXPECT_EQ(use.Steps, c.want.Steps) << c.quantity;
    EXPECT_EQ(use.Law, c.want.Law) << c.quantity;
    EXPECT_EQ(use.FromTip, c.want.FromTip) << c.quantity;
    EXPECT_EQ(use.ToTip, c.want.ToTip) << c.quantity;
  }
  EXPECT_EQ(RangeHeadersOf(StudyPlan::Factorial).To, "À");
  EXPECT_EQ(RangeHeadersOf(StudyPlan::LatinHypercube).From, "De ou moyenne");
  EXPECT_EQ(ChoiceText({"HeatFlux", "Flux thermique", "kW/m²"}),
            "HeatFlux — Flux thermique (kW/m²)");
}

TEST(StudyViewTest, FaultsNameTheirRowOrStandAsASentence) {
  test::TempDir dir;
  test::BuildDatabase(test::DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
  StudyBase base;
  base.Catalogue.Open(dir / "p1.db");
  ApplyDefaults(base.State);
  base.State.Input.SubstrateMaterialName = "Acier 316L";
  base.State.Input.CoatingMaterialName = "NiCrAlY";
  StudyForm form;
  form.Rows[0] = {"HeatFlux", "abc", "600", 4, false, false};
  std::vector<std::string> faults = FrenchFaults(ReadStudyForm(form, base), form, ',');
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0].rfind("Grandeur 1 (HeatFlux) : ", 0), 0u) << faults[0];
  EXPECT_NE(faults[0].find("abc"), std::string::npos) << faults[0];
  form.Plan = StudyPlan::LatinHypercube;
  form.Samples = 0;
  form.Rows[0] = {"HeatFlux", "200", "600", 4, false, false};
  faults = FrenchFaults(ReadStudyForm(form, base), form, ',');
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0], "Il faut au moins 1 échantillon.");
  // The inputs' faults follow the entries'.
  base.State.Input.CoatingMaterialName.clear();
  faults = FrenchFaults(ReadStudyForm(form, base), form, ',');
  ASSERT_GE(faults.size(), 2u);
  EXPECT_EQ(faults[0], "Il faut au moins 1 échantillon.");
}

TEST(StudyViewTest, TheTableNamesEachColumnWithItsUnitAndWritesItsCells) {
  study::Study study;
  study::Quantity heatFlux;
  heatFlux.Spec = &Quantity("HeatFlux");
  study.Vary.push_back(heatFlux);
  const std::vector<std::string> headers = TableHeaders(study);
  ASSERT_EQ(headers.size(), 2 + study::kResultColumns.size() + 1);
  EXPECT_EQ(headers[0], "point");
  EXPECT_EQ(headers[1], "HeatFlux (W/m²)");
  EXPECT_EQ(headers[2], "FinalCurvature (1/m)");
  EXPECT_EQ(headers[4], "SubstrateStressBackFinal (Pa)");
  EXPECT_EQ(headers[9], "PeakSubstrateTemperature (K)");
  EXPECT_EQ(headers[11], "ThermalRowCount");
  EXPECT_EQ(headers.back(), "état");
  EXPECT_EQ(CellText(std::nan(""), ','), "");
  EXPECT_EQ(CellText(1.5, ','), "1,5");
  study::PointResult point;
  point.Status = study::kStatusOk;
  EXPECT_EQ(StateText(point), "ok");
  EXPECT_EQ(StateTip(point), "");
  point.Status = "diverged";
  EXPECT_EQ(StateText(point), "échec");
  EXPECT_EQ(StateTip(point), "diverged");
}

TEST(StudyViewTest, TheStatusLineFollowsThePoints) {
  EXPECT_EQ(RunningText(0, 8), "Étude en cours : 8 points…");
  EXPECT_EQ(RunningText(3, 8), "Étude en cours : 3 points sur 8…");
  const struct {
    std::size_t finished, failed;
    bool stopped;
    const char* want;
  } cases[] = {
      {8, 0, false, "Étude terminée : 8 points en 1,25 s."},
      {8, 2, false, "Étude terminée : 8 points en 1,25 s, dont 2 en échec."},
      // Stopped once every point had finished: the study ended all the same.
      {8, 0, true, "Étude terminée : 8 points en 1,25 s."},
      {3, 1, true,
       "Étude annulée : 3 point(s) terminé(s) sur 8 ; le tableau ne montre que "
       "ceux-là."},
  };
  for (const auto& c : cases) {
    // The points finish out of order: the rows left empty are the unfinished ones.
    study::StudyRows rows(8);
    for (std::size_t i = 0; i < c.finished; ++i) {
      study::PointResult point;
      point.Status = i < c.failed ? "diverged" : study::kStatusOk;
      rows[7 - i] = point;
    }
    EXPECT_EQ(EndText(rows, c.stopped, 1.25, ','), c.want);
  }
}

}  // namespace
}  // namespace quillane::session
