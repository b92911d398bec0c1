// The fit window's entries and texts without a window; its bounds' faults are --fit-bounds' own.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "ModelFixture.h"
#include "TestSupport.h"
#include "cli/FitProgram.h"
#include "fit/CalibrationRecord.h"
#include "session/FitForm.h"
#include "session/FitView.h"

namespace quillane::session {
namespace {

using test::kNaN;

FitFormRow& Row(FitForm& form, const std::string& name) {
  for (FitFormRow& row : form.Rows)
    if (row.Quantity->Name == name) return row;
  throw std::invalid_argument(name);
}

// The window as it opens, with one figure checked and its bounds typed (nullptr: as proposed).
FitForm Checked(const std::string& name, const char* min = nullptr, const char* max = nullptr) {
  FitForm form = NewFitForm('.');
  FitFormRow& row = Row(form, name);
  row.Checked = true;
  if (min != nullptr) row.Min = min;
  if (max != nullptr) row.Max = max;
  return form;
}

TEST(FitFormTest, TheWindowProposesEveryFittableFigureAndEntriesGiveTheSettings) {
  FitForm form = NewFitForm(',');
  // The allowed bounds in the box's unit (a stress in MPa, as the tables show them).
  EXPECT_EQ(std::tie(Row(form, "coating.SigmaQ").Min, Row(form, "HeatFlux").Max),
            std::tuple("-1E+04", "1E+07"));
  // Left as proposed or emptied, a bound is the table's own, exactly, in the table's order; the
  // heat flux's are typed in kW/m², as its box in the input window.
  ASSERT_EQ(form.Rows.size(), FittableQuantities().size());
  for (FitFormRow& row : form.Rows) {
    EXPECT_FALSE(row.Checked);
    row.Checked = true;
  }
  form.Rows[0].Min = "";
  form.Rows[1].Max = "  ";
  Row(form, "HeatFlux").Min = " 1,5E+02 ";
  Row(form, "HeatFlux").Max = "2000";
  form.CurvatureNoise = "1,5E-05";
  form.TemperatureNoise = " 0,5";
  form.Robust = true;
  const FitEntries read = ReadFitEntries(form, RegionalSettings{',', ' '}, true);
  ASSERT_TRUE(read.Faults.empty()) << French(read.Faults[0], ',');
  ASSERT_EQ(read.Settings.Parameters.size(), form.Rows.size());
  for (std::size_t i = 0; i < form.Rows.size(); ++i) {
    const auto& parameter = read.Settings.Parameters[i];
    const QuantitySpec& spec = *FittableQuantities()[i];
    const bool flux = spec.Name == "HeatFlux";
    EXPECT_EQ(std::tie(parameter.Name, parameter.Lower, parameter.Upper),
              std::tuple(spec.Name, flux ? 1.5e5 : spec.Min, flux ? 2e6 : spec.Max));
  }
  EXPECT_EQ(
      std::tie(read.Settings.CurvatureNoise, read.Settings.TemperatureNoise, read.Settings.Robust),
      std::tuple(1.5e-5, 0.5, true));
}

TEST(FitFormTest, TheRowsFollowTheCaseCoatsAndKeepWhatIsTypedForTheFiguresThatStay) {
  FitForm form = NewFitForm('.', 3);
  const auto coatRows = [&form] {
    std::string names;
    for (std::size_t i = FittableQuantities().size(); i < form.Rows.size(); ++i) {
      const FitFormRow& row = form.Rows[i];
      names += row.Quantity->Name + (row.Checked ? "* " + row.Min + " " : " ");
    }
    return names;
  };
  EXPECT_EQ(coatRows(),
            "coat2.SigmaQ coat2.ModuleYoung coat2.dilat coat3.SigmaQ coat3.ModuleYoung "
            "coat3.dilat ");
  Row(form, "coat2.SigmaQ") = {&Quantity("coat2.SigmaQ"), true, "5", "90"};
  Row(form, "coat3.dilat").Checked = true;
  Row(form, "HeatFlux").Checked = true;
  const struct {
    std::size_t coats;
    bool changed;
    const char* rows;
  } steps[] = {
      {3, false,
       "coat2.SigmaQ* 5 coat2.ModuleYoung coat2.dilat coat3.SigmaQ coat3.ModuleYoung "
       "coat3.dilat* -1E-03 "},
      {1, true, ""},
      {2, true, "coat2.SigmaQ coat2.ModuleYoung coat2.dilat "},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(FollowCoats(form, step.coats, '.'), step.changed) << step.coats;
    EXPECT_EQ(coatRows(), step.rows) << step.coats;
    // The one-coat figures keep their entries throughout.
    ASSERT_TRUE(Row(form, "HeatFlux").Checked);
  }
}

TEST(FitFormTest, FaultsOfTheEntriesAreToldInFrenchAndTheBoundsOnesAreTheBatchProgramsOwn) {
  FitForm noise = Checked("coating.SigmaQ");
  noise.CurvatureNoise = "-1";
  noise.TemperatureNoise = "x";
  const struct {
    FitForm form;
    bool record;
    std::size_t faults;
  } cases[] = {
      // Without a record, the form's own faults wait for one.
      {NewFitForm('.'), false, 1},
      {NewFitForm('.'), true, 1},
      {Checked("coating.SigmaQ", "abc", "1e8x"), true, 2},
      {noise, true, 2},
  };
  std::vector<std::string> told;
  for (const auto& c : cases) {
    const FitEntries read = ReadFitEntries(c.form, RegionalSettings{}, c.record);
    ASSERT_EQ(read.Faults.size(), c.faults);
    for (const auto& fault : read.Faults) told.push_back(FrenchFitFault(fault, '.'));
  }
  const struct {
    const char* name;
    const char* low;  // as the flag takes it (SI); empty keeps the allowed bound
    const char* high;
    FaultKind kind;
    const char* boxLow = nullptr;  // the same bounds in the box's unit, where it is not SI
    const char* boxHigh = nullptr;
  } bounds[] = {
      {"coating.SigmaQ", "2e8", "1e8", FaultKind::BoundsReversed, "200", "100"},
      {"coating.SigmaQ", "1e8", "1e8", FaultKind::BoundsReversed, "100", "100"},
      {"contact.Lambda", "", "-5", FaultKind::BoundsReversed},
      {"coating.ModuleYoung", "1", "1e11", FaultKind::BoundsBeyond, "1e-6", "1e5"},
      {"contact.Lambda", "2e4", "", FaultKind::BoundsReversed},
      {"coating.dilat", "", "0.5", FaultKind::BoundsBeyond},
  };
  for (const auto& c : bounds) {
    cli::FitCommand command;
    command.Parameters = c.name;
    command.Bounds = std::string(c.name) + "=" + c.low + ":" + c.high;
    std::optional<EntryFault> batch;
    try {
      cli::ReadFitSettings(command);
    } catch (const fit::FitSettingsError& error) {
      batch = error.Fault();
    }
    const FitEntries window = ReadFitEntries(Checked(c.name, c.boxLow != nullptr ? c.boxLow : c.low,
                                                     c.boxHigh != nullptr ? c.boxHigh : c.high),
                                             RegionalSettings{}, true);
    ASSERT_TRUE(batch) << c.name << " " << c.low << ":" << c.high;
    ASSERT_EQ(window.Faults.size(), 1u) << c.name;
    EXPECT_EQ(batch->Kind, c.kind) << c.name;
    EXPECT_EQ(*batch, window.Faults[0]) << English(*batch) << " / " << English(window.Faults[0]);
    told.push_back(FrenchFitFault(window.Faults[0], '.'));
  }
  test::ExpectMessages("fit entry faults in French", told);
}

// The default case with both materials of the test catalogue picked.
using FitReadingTest = test::ModelFixture;

TEST_F(FitReadingTest, TheInputsAreCheckedAsForARunAndValidatedWithTheirRows) {
  const FitReading ready = ReadFitForm(Checked("coating.SigmaQ"), true, state, catalogue);
  ASSERT_TRUE(ready.Ready()) << FrenchFaults(ready, '.')[0];
  EXPECT_EQ(ready.Base.Materials.Coating, *catalogue.FindMaterial("NiCrAlY"));
  EXPECT_EQ(ready.Settings.Parameters.size(), 1u);

  // A fault of the entries and one of the inputs, each told in the window's French.
  state.Input.CoatingMaterialName = "Unobtainium";
  const FitReading faulty = ReadFitForm(NewFitForm('.'), true, state, catalogue);
  EXPECT_FALSE(faulty.Ready());
  const std::vector<std::string> french = FrenchFaults(faulty, '.');
  ASSERT_FALSE(faulty.InputFaults.empty());
  ASSERT_EQ(french.size(), 1 + faulty.InputFaults.size());
  EXPECT_EQ(std::tie(french[0], french[1]),
            std::tie("Cochez au moins une grandeur à ajuster.", faulty.InputFaults[0].French));
}

TEST_F(FitReadingTest, AFitIsSavedAsTheUsersRowsOrNothingIsSaved) {
  const FitReading ready = ReadFitForm(Checked("coating.SigmaQ"), true, state, catalogue);
  ASSERT_TRUE(ready.Ready());
  UserCatalogue user(dir / "materiaux.db");
  fit::FitResult result;
  result.Names = {"coating.SigmaQ"};
  result.Value = {1.5e8};
  FitSaving saved = PrepareFit(ready.Base, result, "essai.csv");
  ASSERT_TRUE(saved.Fitted) << saved.Refusal;
  EXPECT_FALSE(user.Exists());
  ASSERT_TRUE(WriteFit(saved, user));
  EXPECT_EQ(std::tuple(user.Read().size(), saved.Write.Written.size()), std::tuple(1u, 1u));
  // A user's file that cannot be written is told; it names the file, in French, and none of the
  // storage's own text.
  test::WriteFile(dir / "fichier", "");
  UserCatalogue unwritable(dir / "fichier" / "materiaux.db");
  FitSaving failed = PrepareFit(ready.Base, result, "essai.csv");
  EXPECT_FALSE(WriteFit(failed, unwritable) || failed.Fitted.has_value());
  std::string refusal = failed.Refusal;
  refusal.replace(refusal.find(dir.Path().string()), dir.Path().string().size(), "<dir>");
  // A figure beyond the catalogue's bounds saves nothing.
  result.Names = {"contact.Lambda"};
  result.Value = {2e4};
  const FitSaving beyond = PrepareFit(ready.Base, result, "essai.csv");
  EXPECT_EQ(std::tuple(beyond.Fitted.has_value(), user.Read().size()), std::tuple(false, 1u));
  test::ExpectMessages("fit saving refusals", {refusal, beyond.Refusal});
}

TEST_F(FitReadingTest, ALaterCoatsFittedRowIsNamedForItsCoatAskedAboutAndTold) {
  state.Input.StressModel = kWholeDepositModel;
  state.Input.Coats.resize(3);
  for (CoatInput& coat : state.Input.Coats) coat.Material = "NiCrAlY";
  state.Input.Coats[1].Material = "Acier 316L";
  FitForm form = NewFitForm('.', 3);
  Row(form, "coat3.ModuleYoung").Checked = true;
  const FitReading ready = ReadFitForm(form, true, state, catalogue);
  ASSERT_TRUE(ready.Ready()) << FrenchFaults(ready, '.')[0];
  fit::FitResult result;
  const struct {
    std::vector<std::string> names;
    std::vector<std::string> coats;  // FittedCoats
  } cases[] = {
      {{"coat3.ModuleYoung"}, {"", "", "NiCrAlY (ajusté, couche 3)"}},
      {{"coating.SigmaQ", "coat2.dilat", "contact.Lambda"},
       {"NiCrAlY (ajusté)", "Acier 316L (ajusté, couche 2)", ""}},
  };
  std::vector<std::string> told;
  for (const auto& c : cases) {
    result.Names = c.names;
    result.Value.clear();
    for (const std::string& name : c.names) result.Value.push_back(Quantity(name).Get(ready.Base));
    const FitSaving saving = PrepareFit(ready.Base, result, "essai.csv");
    ASSERT_TRUE(saving.Fitted) << saving.Refusal;
    EXPECT_EQ(FittedCoats(*saving.Fitted), c.coats);
    told.push_back(ApplyQuestion(*saving.Fitted));
    told.push_back(AppliedText(*saving.Fitted));
  }
  test::ExpectMessages("fit of later coats", told);
}

TEST_F(FitReadingTest, AWriteOfTheUsersRowsIsTakenBackExactly) {
  const auto row = [this](const char* name, double lambda, const char* source) {
    UserMaterial material{*catalogue.FindMaterial("contact"), source};
    material.Row.Name = name;
    material.Row.Lambda = lambda;
    return material;
  };
  // Every row's name, figure and source, in order.
  const auto told = [](const std::vector<UserMaterial>& rows) {
    std::vector<std::string> texts;
    for (const UserMaterial& m : rows)
      texts.push_back(m.Row.Name + "=" + std::to_string(m.Row.Lambda) + " " + m.Source);
    std::sort(texts.begin(), texts.end());
    return texts;
  };
  const struct {
    std::vector<UserMaterial> Before;
    std::size_t Replaced;
  } cases[] = {{{}, 0}, {{row("Contact", 5, "mesure"), row("A", 3, "")}, 1}};
  int n = 0;
  for (const auto& c : cases) {
    UserCatalogue user(dir / ("u" + std::to_string(n++) + ".db"));
    if (!c.Before.empty()) user.SaveAll(c.Before);
    const std::vector<UserMaterial> before = user.Read();
    const RowsWrite write = WriteRows(user, {row("contact", 7, "ajusté"), row("B", 2, "")});
    EXPECT_EQ(std::tuple(write.Replaced.size(), user.Read().size()),
              std::tuple(c.Replaced, before.size() + 2 - c.Replaced));
    // An undo takes back the contact row alone, and what it replaced.
    const RowsWrite undone = UndoneWithInputs(write);
    ASSERT_EQ(std::tuple(undone.Written.size(), undone.Replaced.size()),
              std::tuple(1u, c.Replaced));
    EXPECT_EQ(undone.Written[0].Row.Name, "contact");
    TakeBack(user, write);
    EXPECT_EQ(told(user.Read()), told(before));
  }

  fit::FittedMaterials fitted;
  fitted.HeatFlux = 4e5;
  EXPECT_EQ(ApplyQuestion(fitted), "");
  fitted.Rows = {row("contact", 7, "")};
  fitted.Contact = true;
  test::ExpectMessages("fit of the contact row", {ApplyQuestion(fitted)});
}

TEST(FitViewTest, NotesAndTheSolversEndAreToldInFrenchFromTheirData) {
  const fit::FitNote notes[] = {
      {fit::NoteKind::NotQuadratic, "coating.dilat", 1.25e-5, 1e-8, 1.2e-5, 1.3e-5},
      {fit::NoteKind::LargeError, "HeatFlux", 5e5, kNaN, -2e5, 1.3e6},
      {fit::NoteKind::FlatRange, "HeatFlux", 5e5, kNaN, 1e5, 2e6},
      {fit::NoteKind::BetterPoint, "record.TimeShift", 2.01},
      {fit::NoteKind::PoorFit, "curvature", 0.33, 0.002},
      {fit::NoteKind::PoorFit, "surface_temperature", 3.5, 3.5, 12, 420.4},
      {fit::NoteKind::UnusedColumns, "strain"},
      {fit::NoteKind::OnePassModel, "", 20},
      {fit::NoteKind::OneSided, "HeatFlux", 5e5, kNaN, kNaN, 2e6},
  };
  std::vector<std::string> told;
  for (const fit::FitNote& note : notes) told.push_back(FrenchNote(note, ','));
  fit::FitResult result;
  result.CurvatureRms = 1.23456e-6;
  result.TemperatureRms = kNaN;
  result.Iterations = 7;
  result.End = fit::FitEnd::ParameterTolerance;
  result.Termination = "Parameter tolerance reached. Relative step_norm: 1e-14";
  told.push_back(FitSummary(result, ','));
  result.TemperatureRms = 0.5;
  result.End = fit::FitEnd::Other;
  result.Termination = "Residual and Jacobian evaluation failed";
  result.Notes = {notes[0]};
  told.push_back(FitSummary(result, ','));
  test::ExpectMessages("fit notes in French", told);
}

TEST(FitViewTest, TheChartShowsTheRecordThenTheModelAndItsResiduals) {
  using Values = std::vector<double>;
  fit::CalibrationRecord record;
  record.Time = {0.5, 1, 2};
  record.Curvature = {0.25, 0.5, 1};
  record.Temperature = {300, kNaN, 310};
  std::vector<OverlaySeries> series = FitOverlay(record, nullptr);
  ASSERT_EQ(series.size(), 2u);
  EXPECT_EQ(series[0].Measured, record.Curvature);
  EXPECT_TRUE(series[0].Residual.empty() && series[0].Curve.empty());
  // A temperature the record lacks is no point.
  EXPECT_EQ(std::tie(series[1].Time, series[1].Measured),
            std::tuple(Values{0.5, 2}, Values{300, 310}));

  fit::FitResult fit;
  fit.ModelCurvature = {0.5, 0.75, 1.5};
  fit.ModelTemperature = {301, 305, 308};
  fit.CurveTime = {0, 1, 1, 3};
  fit.CurveCurvature = {0, 0, 0.2, 0.2};
  fit.ThermalTime = {0, 3};
  fit.ThermalBack = {300, 311};
  series = FitOverlay(record, &fit);
  EXPECT_EQ(std::tie(series[0].Residual, series[0].CurveTime),
            std::tuple(Values{-0.25, -0.25, -0.5}, fit.CurveTime));
  EXPECT_EQ(std::tie(series[1].Residual, series[1].Curve, series[1].From, series[1].To),
            std::tuple(Values{-1, 2}, fit.ThermalBack, 0.0, 2.0));
  // A record that has no temperatures gives the curvature alone.
  record.Temperature.clear();
  EXPECT_EQ(FitOverlay(record, &fit).size(), 1u);
}

TEST(FitViewTest, TheRecordTheSolverAndTheFittedValuesAreWrittenForTheWindow) {
  fit::CalibrationRecord record;
  record.Time = {0, 59.5};
  record.Curvature = {0, 1};
  std::vector<std::string> told = {OverlayTitle("essai.csv", false),
                                   OverlayTitle("essai.csv", true),
                                   RecordText(record, "essai.csv", ',')};
  record.Temperature = {300, 310};
  told.push_back(RecordText(record, "essai.csv", ','));
  told.push_back(IterationText({12, 3.14159e-4, 30}, ','));

  fit::FitResult result;
  result.Iterations = 7;
  told.push_back(EndText(result));
  result.Notes.push_back({});
  told.push_back(EndText(result));
  result.Cancelled = true;
  told.push_back(EndText(result));

  result.Names = {"HeatFlux", "coating.dilat"};
  result.Start = {500000, 1e-5};
  result.Value = {412345.678, 1.23456789e-5};
  result.StandardError = {1234.5678, kNaN};
  const std::vector<FitTableRow> rows = FitTable(result, ',');
  ASSERT_EQ(rows.size(), 2u);
  // The heat flux in kW/m², as the input window's box gives it.
  EXPECT_EQ(rows[0].Unit, "kW/m²");
  EXPECT_EQ(rows[0].Texts, (std::array<std::string, 3>{"500", "412,3457", "1,23"}));
  EXPECT_DOUBLE_EQ(rows[0].Values[1], 412.345678);
  EXPECT_EQ(std::tie(rows[1].Unit, rows[1].Texts[1], rows[1].Texts[2]),
            std::tuple("1/K", "1,234568E-05", "—"));
  // The profile's interval, with the covariance's error beside it where it holds.
  result.IntervalLow = {411111, 1.2e-5};
  result.IntervalHigh = {413580, 1.3e-5};
  const std::vector<FitTableRow> profiled = FitTable(result, ',');
  EXPECT_EQ(std::tie(profiled[0].Texts[2], profiled[1].Texts[2]),
            std::tuple("411,11 à 413,58 (± 1,23)", "1,2E-05 à 1,3E-05"));
  EXPECT_TRUE(std::isnan(profiled[1].Values[2]));

  fit::FittedMaterials fitted;
  fitted.HeatFlux = 4e5;
  told.push_back(AppliedText(fitted));
  fitted.CoatingName = "NiCrAlY (ajusté)";
  fitted.Contact = true;
  told.push_back(AppliedText(fitted));
  test::ExpectMessages("fit window texts", told);
}

TEST(FitViewTest, ARecordsFaultIsWordedInFrenchFromItsData) {
  test::TempDir dir;
  const char* const cases[] = {
      "",
      "time,time\n",
      "# essai\ntemps,courbure\n",
      "time,curvature\n0,1,2\n",
      "time;curvature\n0;1,5\n0,5;abc\n",
      "time,curvature\n0,1",
      nullptr,  // a folder picked as the record
  };
  std::vector<std::string> told;
  for (const char* text : cases) {
    try {
      (void)(text != nullptr ? fit::ReadRecordText(text, "r.csv")
                             : fit::ReadRecordFile(dir.Path()));
      ADD_FAILURE() << (text != nullptr ? text : "a folder");
    } catch (const fit::RecordError& error) {
      ASSERT_NE(error.Fault(), nullptr);
      told.push_back(RecordRefused("/m/r.csv", error.Fault(), ','));
      // The batch program's English is the same fault's; a folder's names it.
      EXPECT_EQ(error.what(), text != nullptr ? fit::English(*error.Fault())
                                              : "Cannot read the record " + dir.Path().string() +
                                                    ": it is a folder, not a file.");
    }
  }
  test::ExpectMessages("record faults in French", told);
}

}  // namespace
}  // namespace quillane::session
