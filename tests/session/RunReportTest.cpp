// How a run of the input window ends and what the window says of it, without a window.

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "TestSupport.h"
#include "model/Errors.h"
#include "session/RunReport.h"

namespace quillane::session {
namespace {

using Kind = RunOutcome::Kind;

TEST(RunReportTest, AJobEndsAsItsExceptionSays) {
  const struct {
    void (*job)();
    Kind kind;
    std::vector<std::string> faults;
    std::string message;
  } cases[] = {
      {[] {}, Kind::Completed, {}, ""},
      {[] {
         throw InputError({"a", "b"});
       },
       Kind::InputFaults,
       {"a", "b"},
       ""},
      {[] { throw RunCancelled(); }, Kind::Cancelled, {}, ""},
      {[] { throw std::runtime_error("disque plein"); }, Kind::Failed, {}, "disque plein"},
      {[] { throw 3; }, Kind::Failed, {}, "unknown error"},
  };
  for (const auto& c : cases) {
    const RunOutcome outcome = OutcomeOf(c.job);
    EXPECT_EQ(outcome.What, c.kind) << c.message;
    EXPECT_EQ(outcome.Faults, c.faults);
    EXPECT_EQ(outcome.Message, c.message);
  }
}

TEST(RunReportTest, EachEndIsToldOnTheStatusLineBeneathTheCommandsAndInABox) {
  ModelState state;
  state.Stress.FinalCurvature = 0.5;
  state.Stress.FinalDeflection = 0.001;
  const ResultPaths paths("/tmp/t.txt", "/tmp/./s.txt");
  const auto report = [&](RunOutcome outcome) {
    return EndOfRun(outcome, state, paths, "0,5", "0,001");
  };
  const std::string done = "Calcul terminé : courbure finale 0,5 1/m, flèche finale 0,001 m.";
  RunReport r = report({Kind::Completed, {}, ""});
  EXPECT_EQ(r.Status, done);
  EXPECT_EQ(r.Summary, done + "\nFichiers écrits : /tmp/t.txt ; /tmp/s.txt");
  EXPECT_EQ(r.Box, "");
  // A value no specimen can have is told after the figures.
  state.Stress.FinalDeflection = std::nan("");
  r = report({Kind::Completed, {}, ""});
  EXPECT_GT(r.Status.size(), done.size() + 1);
  EXPECT_EQ(r.Status.substr(0, done.size() + 1), done + ' ');
  r = report({Kind::Cancelled, {}, ""});
  EXPECT_EQ(r.Status, "Calcul annulé : aucun fichier de résultats n'a été modifié.");
  EXPECT_EQ(r.Summary, r.Status);
  EXPECT_EQ(r.Box, "");
  r = report({Kind::InputFaults, {"x", "y"}, ""});
  EXPECT_EQ(r.Status, "Calcul non lancé : données à corriger.");
  EXPECT_EQ(r.Box, "Le calcul ne peut pas démarrer :\n\n• x\n• y");
  EXPECT_FALSE(r.Critical);
  r = report({Kind::Failed, {}, "disque plein"});
  EXPECT_EQ(r.Status, "Calcul échoué : disque plein");
  EXPECT_EQ(r.Box,
            "Le calcul a échoué : disque plein\nAucun fichier de résultats n'a été modifié.");
  EXPECT_EQ(r.Summary, r.Box);
  EXPECT_TRUE(r.Critical);
  r = RefusedRun({{nullptr, "x, in English", "x"}});
  EXPECT_EQ(r.Status, "Calcul non lancé : 1 donnée(s) à corriger.");
  EXPECT_EQ(r.Summary, r.Status);
  EXPECT_EQ(r.Box, "Le calcul ne peut pas démarrer :\n\n• x");
  EXPECT_EQ(CaseOpened("cas.json", {"A", "B"}),
            "Cas ouvert : cas.json ; le matériau « A » n'est ni dans le catalogue livré ni dans "
            "vos matériaux ; le matériau « B » n'est ni dans le catalogue livré ni dans vos "
            "matériaux");
}

TEST(RunReportTest, ACatalogueThatCannotBeReadIsToldInABoxAtLoadOnly) {
  test::TempDir dir;
  test::BuildDatabase(test::DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
  const UserCatalogue user(dir / "materiaux.db");
  for (const bool first : {true, false}) {
    const CatalogueOpening good = OpenCatalogue(dir / "p1.db", user, first);
    ASSERT_TRUE(good.Catalogue);
    EXPECT_FALSE(good.Catalogue->Rows().empty());
    EXPECT_EQ(good.Told.Status, "");
    const CatalogueOpening missing = OpenCatalogue(dir / "absent.db", user, first);
    EXPECT_FALSE(missing.Catalogue);
    EXPECT_EQ(missing.Told.Critical, first);
    EXPECT_EQ(missing.Told.Box.empty(), !first);
    const std::string start = first ? "Catalogue des matériaux introuvable ou illisible : "
                                    : "Catalogue des matériaux illisible : ";
    EXPECT_EQ(missing.Told.Status.substr(0, start.size()), start);
  }
}

}  // namespace
}  // namespace quillane::session
