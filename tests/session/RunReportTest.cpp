// A run of the input window without a window: its thread's channel, its end and what is told.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "model/Errors.h"
#include "session/Handoff.h"
#include "session/RunChannel.h"
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
    EXPECT_EQ(std::tie(outcome.What, outcome.Faults, outcome.Message),
              std::tie(c.kind, c.faults, c.message))
        << c.message;
  }
}

// Each report's status line, summary and box, on one line of the reference file.
TEST(RunReportTest, EachEndIsToldOnTheStatusLineBeneathTheCommandsAndInABox) {
  ModelState state;
  state.Stress.FinalCurvature = 0.5;
  state.Stress.FinalDeflection = 0.001;
  const struct {
    RunReport report;
    bool critical;
  } cases[] = {
      {EndOfRun({Kind::Completed, {}, ""}, state, ResultPaths("/tmp/t.txt", "/tmp/./s.txt"), "0,5",
                "0,001"),
       false},
      {EndOfRun({Kind::Cancelled, {}, ""}, state, {}, "", ""), false},
      {EndOfRun({Kind::InputFaults, {"x", "y"}, ""}, state, {}, "", ""), false},
      {EndOfRun({Kind::Failed, {}, "disque plein"}, state, {}, "", ""), true},
      {RefusedRun({{nullptr, "x, in English", "x"}}), false},
  };
  std::vector<std::string> told;
  for (const auto& c : cases) {
    EXPECT_EQ(c.report.Critical, c.critical) << c.report.Status;
    told.push_back(c.report.Status + " | " + c.report.Summary + " | " + c.report.Box + " |");
  }
  test::ExpectMessages("ends of a run", told);
  // A value no specimen can have is told after the figures.
  const std::string done = cases[0].report.Status;
  state.Stress.FinalDeflection = std::nan("");
  const RunReport odd = EndOfRun({Kind::Completed, {}, ""}, state, {}, "0,5", "0,001");
  EXPECT_GT(odd.Status.size(), done.size() + 1);
  EXPECT_EQ(odd.Status.substr(0, done.size() + 1), done + ' ');
}

TEST(RunReportTest, ACatalogueThatCannotBeReadIsToldInABoxAtLoadOnly) {
  test::TempDir dir;
  test::BuildDatabase(test::DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
  const UserCatalogue user(dir / "materiaux.db");
  for (const bool first : {true, false}) {
    const CatalogueOpening good = OpenCatalogue(dir / "p1.db", user, first);
    ASSERT_TRUE(good.Catalogue);
    EXPECT_EQ(std::tuple(good.Catalogue->Rows().empty(), good.Told.Status), std::tuple(false, ""));
    const CatalogueOpening missing = OpenCatalogue(dir / "absent.db", user, first);
    EXPECT_EQ(std::tuple(bool(missing.Catalogue), missing.Told.Critical, missing.Told.Box.empty()),
              std::tuple(false, first, !first));
    const std::string start = first ? "Catalogue des matériaux introuvable ou illisible : "
                                    : "Catalogue des matériaux illisible : ";
    EXPECT_EQ(missing.Told.Status.substr(0, start.size()), start);
  }
  UserCatalogue(user).SaveAll(
      {{{"Bon", 15, 7800, 480, 1650, 290000, 100e9, 0.3, 13e-6, 150e6, {}}, ""},
       {{"Texte", 2, 7800, 480, 1650, 290000, 100e9, 0.3, 13e-6, 150e6, {}}, ""}});
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(user.Path().c_str(), &db), SQLITE_OK);
  const char* spoil = R"(UPDATE "matériaux" SET Lambda = 'beaucoup' WHERE "Matériaux" = 'Texte')";
  ASSERT_EQ(sqlite3_exec(db, spoil, nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  // An unreadable user row is named; no catalogue serves until the shipped ones alone are asked.
  const CatalogueOpening partial = OpenCatalogue(dir / "p1.db", user, true);
  EXPECT_EQ(std::tuple(bool(partial.Catalogue), partial.UserDamaged, partial.Told.Status),
            std::tuple(false, true,
                       "Vos matériaux n'ont pas tous pu être lus : " + user.Path().string()));
  EXPECT_NE(partial.Told.Box.find("\"Lambda\" for material \"Texte\""), std::string::npos)
      << partial.Told.Box;
  const CatalogueOpening shipped = OpenCatalogue(dir / "p1.db", user, true, true);
  ASSERT_TRUE(shipped.Catalogue);
  EXPECT_EQ(shipped.Catalogue->FindMaterial("Bon"), nullptr);
  EXPECT_EQ(shipped.Told.Status, "");
}

TEST(RunReportTest, ACaseFileFaultIsWordedInFrenchFromItsData) {
  const char* const cases[] = {
      R"({"HeatFlux": "abc"})",
      "{\n  \"PassCount\": 2,\n  \"HeatFlux\": ]\n}",
      R"({"PassCount": 2.5})",
      R"({"PassCount": 1e10})",
      R"({"CoatingMaterialName": [1]})",
      R"({"Passes": 2})",
      R"({"PassCount": 2, "PassCount": 3})",
      "[1]",
      R"({"HeatFlux": 1e400})",
      R"({"Coats": 3})",
      R"({"Coats": [{"Material": "NiCrAlY", "HeatFlux": "fort"}]})",
  };
  std::vector<std::string> told;
  for (const char* text : cases) {
    InputParameters in = DefaultInputs();
    try {
      ApplyCaseText(text, "cas.json", in);
      ADD_FAILURE() << text;
    } catch (const CaseError& error) {
      told.push_back(CaseFaultText(error.Fault(), ','));
      // The batch program's English is the same fault's, and no reader's text reaches either.
      EXPECT_EQ(English(error.Fault()), error.what());
      EXPECT_EQ(std::string(error.what()).find("json.exception"), std::string::npos);
    }
  }
  told.push_back(CaseNotOpened("/x/cas.json", nullptr, ','));
  told.push_back(CaseOpened("cas.json", {"A", "B"}));  // its materials missing
  test::ExpectMessages("case file faults in French", told);
}

// The status line keeps a refusal's first line (or the lead given) and its reason on one line.
TEST(RunReportTest, ARefusalTellsItsReasonOnTheStatusLine) {
  const struct {
    std::string Box, Lead, Status;
  } cases[] = {
      {"Le cas n'a pas pu être ouvert :\nle fichier x ne peut pas être lu.", "",
       "Le cas n'a pas pu être ouvert : le fichier x ne peut pas être lu."},
      {"Enregistrement illisible :\nligne 3 : « a »",
       "Enregistrement refusé : ", "Enregistrement refusé : ligne 3 : « a »"},
      {"sans raison", "", "sans raison "},
  };
  for (const auto& c : cases) {
    const RunReport told = Refusal(c.Box, c.Lead);
    EXPECT_EQ(std::tie(told.Status, told.Box), std::tie(c.Status, c.Box));
  }
}

// "Enregistrer sous…" proposes the case's name as a Quillane case, in its folder.
TEST(RunReportTest, SaveAsProposesTheCasesNameAsAQuillaneCaseInItsFolder) {
  for (const auto& [path, proposed] : {std::pair{"", "/r/cas.quillane.json"},
                                       {"/d/essai.json", "/d/essai.quillane.json"},
                                       {"/d/essai.quillane.json", "/d/essai.quillane.json"},
                                       {"/d/notes", "/d/notes.quillane.json"}}) {
    EXPECT_EQ(ProposedCaseFile(path, "/r"), proposed) << path;
  }
}

// Quitting asks only where work would be lost, naming each piece; closing names the case.
TEST(RunReportTest, TheQuestionsBeforeQuittingOrClosingNameWhatWouldBeLost) {
  const WorkInHand cases[] = {
      {.StudyRows = 3, .StudyPoints = 3, .StudyExported = true},
      {.RunGoing = true, .StudyGoing = true, .StudyRows = 12, .StudyPoints = 90601},
      {.StudyRows = 9919, .StudyPoints = 9919, .FitUnapplied = true},
  };
  std::vector<std::string> told;
  for (const WorkInHand& work : cases) told.push_back(QuitQuestion(work));
  EXPECT_EQ(told[0], "");  // nothing to lose, no question
  test::ExpectMessages("questions before quitting",
                       {told[1], told[2], SaveQuestion(""), SaveQuestion("/tmp/a b/essai.json")});
}

using Task = std::function<void()>;

// The interface thread's queue: what the run posted, once it has posted it.
std::vector<Task> Posted(Handoff<Task>& queue) {
  std::vector<Task> tasks;
  while ((tasks = queue.Take()).empty()) std::this_thread::yield();
  return tasks;
}

TEST(RunChannelTest, ACallWaitsForTheInterfaceAndACancelWakesIt) {
  auto channel = std::make_shared<RunChannel>();
  Handoff<Task> queue;
  const RunChannel::Post post = [&queue](Task task) { queue.Put(std::move(task)); };
  bool ran = false;
  std::thread run([&] { channel->CallOnInterface(post, [&ran] { ran = true; }); });
  Posted(queue)[0]();
  run.join();
  EXPECT_TRUE(ran);

  // Cancelled before the interface ran it: the run stops, and the task is skipped afterwards.
  ran = false;
  bool stopped = false;
  std::thread waiting([&] {
    try {
      channel->CallOnInterface(post, [&ran] { ran = true; });
    } catch (const RunCancelled&) {
      stopped = true;
    }
  });
  const std::vector<Task> late = Posted(queue);
  channel->Cancel();
  waiting.join();
  late[0]();
  EXPECT_TRUE(stopped);
  EXPECT_FALSE(ran);
  // Once cancelled, a call does not wait for the interface at all.
  EXPECT_THROW(channel->CallOnInterface(post, [] {}), RunCancelled);
}

TEST(RunChannelTest, TheSinkTellsTheProgressAndStopsACancelledRun) {
  auto channel = std::make_shared<RunChannel>();
  graphics::StressSurfaces surfaces;
  ChannelSink sink(
      channel, [](Task task) { task(); }, surfaces, [] {});
  EXPECT_TRUE(sink.Progress(0.25));
  EXPECT_EQ(channel->Progress(), 0.25);
  channel->Cancel();
  EXPECT_FALSE(sink.Progress(0.5));
  EXPECT_EQ(channel->Progress(), 0.5);
  ModelState state;
  EXPECT_THROW(sink.Frame(state, StressFrame::Cooling), RunCancelled);
}

}  // namespace
}  // namespace quillane::session
