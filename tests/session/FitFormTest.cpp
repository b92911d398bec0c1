// The fit window's entries without a window: the bounds it proposes, the settings or the faults
// of its entries in the window's French, the same faults as the batch program's --fit-bounds for
// the same bounds, the inputs checked as for a run, and what the window shows of a fit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "TestSupport.h"
#include "cli/FitProgram.h"
#include "fit/CalibrationRecord.h"
#include "session/FitForm.h"
#include "session/FitView.h"

namespace quillane::session {
namespace {

using test::kNaN;

FitFormRow& Row(FitForm& form, const std::string& name) {
  for (FitFormRow& row : form.Rows) {
    if (row.Quantity->Name == name) return row;
  }
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
  const struct {
    const char *name, *min, *max;
  } proposals[] = {
      // Stresses and moduli in MPa, as the tables show them.
      {"coating.SigmaQ", "-1E+04", "1E+04"}, {"coating.ModuleYoung", "1E-03", "1E+07"},
      {"coating.dilat", "-1E-03", "1E-03"},  {"HeatFlux", "0", "1E+07"},
      {"contact.Lambda", "1E-06", "1E+04"},
  };
  for (const auto& p : proposals) {
    EXPECT_EQ(Row(form, p.name).Min + " " + Row(form, p.name).Max,
              p.min + std::string(" ") + p.max);
  }
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

TEST(FitFormTest, FaultsOfTheEntriesAreToldInTheWindowsFrench) {
  FitForm noise = Checked("coating.SigmaQ");
  noise.CurvatureNoise = "-1";
  noise.TemperatureNoise = "x";
  const struct {
    FitForm form;
    bool record;
    std::vector<std::string> french;  // the bounds' other faults: the next test
  } cases[] = {
      // Without a record, the form's own faults wait for one.
      {NewFitForm('.'), false, {"Ouvrez d'abord un enregistrement."}},
      {NewFitForm('.'), true, {"Cochez au moins une grandeur à ajuster."}},
      {Checked("coating.SigmaQ", "abc", "1e8x"),
       true,
       {"Contrainte de trempe du dépôt : le min « abc » n'est pas un nombre.",
        "Contrainte de trempe du dépôt : le max « 1e8x » n'est pas un nombre."}},
      {noise,
       true,
       {"Bruit de la courbure : « -1 » n'est pas un nombre positif.",
        "Bruit de la température : « x » n'est pas un nombre positif."}},
  };
  for (const auto& c : cases) {
    const FitEntries read = ReadFitEntries(c.form, RegionalSettings{}, c.record);
    ASSERT_EQ(read.Faults.size(), c.french.size()) << c.french[0];
    for (std::size_t i = 0; i < c.french.size(); ++i) {
      EXPECT_EQ(FrenchFitFault(read.Faults[i], '.'), c.french[i]);
    }
  }
}

TEST(FitFormTest, TheBatchProgramAndTheWindowGiveTheSameFaultsForTheSameBounds) {
  const struct {
    const char* name;
    const char* low;  // as the flag takes it (SI); empty keeps the allowed bound
    const char* high;
    FaultKind kind;
    const char* french;            // the window's wording, where it is checked
    const char* boxLow = nullptr;  // the same bounds in the box's unit, where it is not SI
    const char* boxHigh = nullptr;
  } cases[] = {
      {"coating.SigmaQ", "2e8", "1e8", FaultKind::BoundsReversed,
       "Contrainte de trempe du dépôt : le min doit être inférieur au max.", "200", "100"},
      {"coating.SigmaQ", "1e8", "1e8", FaultKind::BoundsReversed, nullptr, "100", "100"},
      {"contact.Lambda", "", "-5", FaultKind::BoundsReversed, nullptr},
      {"coating.ModuleYoung", "1", "1e11", FaultKind::BoundsBeyond,
       "Module d'Young du dépôt : les bornes doivent rester entre 1E-03 et 1E+07 MPa.", "1e-6",
       "1e5"},
      {"contact.Lambda", "2e4", "", FaultKind::BoundsReversed, nullptr},
      {"coating.dilat", "", "0.5", FaultKind::BoundsBeyond, nullptr},
  };
  for (const auto& c : cases) {
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
    if (c.french != nullptr) {
      EXPECT_EQ(FrenchFitFault(window.Faults[0], '.'), c.french);
    }
  }
}

class FitReadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::BuildDatabase(test::DataDir() / "p1" / "catalogue.sql", dir / "p1.db");
    catalogue.Open(dir / "p1.db");
    ApplyDefaults(inputs);
    inputs.Input.SubstrateMaterialName = "Acier 316L";
    inputs.Input.CoatingMaterialName = "NiCrAlY";
  }
  test::TempDir dir;
  MaterialsCatalogue catalogue;
  ModelState inputs;
};

TEST_F(FitReadingTest, TheInputsAreCheckedAsForARunAndValidatedWithTheirRows) {
  const FitReading ready = ReadFitForm(Checked("coating.SigmaQ"), true, inputs, catalogue);
  ASSERT_TRUE(ready.Ready()) << FrenchFaults(ready, '.')[0];
  EXPECT_EQ(ready.Base.Materials.Coating, *catalogue.FindMaterial("NiCrAlY"));
  EXPECT_EQ(ready.Settings.Parameters.size(), 1u);

  // A fault of the entries and one of the inputs, each told in the window's French.
  inputs.Input.CoatingMaterialName = "Unobtainium";
  const FitReading faulty = ReadFitForm(NewFitForm('.'), true, inputs, catalogue);
  EXPECT_FALSE(faulty.Ready());
  const std::vector<std::string> french = FrenchFaults(faulty, '.');
  ASSERT_FALSE(faulty.InputFaults.empty());
  ASSERT_EQ(french.size(), 1 + faulty.InputFaults.size());
  EXPECT_EQ(french[0], "Cochez au moins une grandeur à ajuster.");
  EXPECT_EQ(french[1], faulty.InputFaults[0].French);
  EXPECT_NE(french[1].find("Unobtainium"), std::string::npos) << french[1];
}

TEST_F(FitReadingTest, AFitIsSavedAsTheUsersRowsOrNothingIsSaved) {
  const FitReading ready = ReadFitForm(Checked("coating.SigmaQ"), true, inputs, catalogue);
  ASSERT_TRUE(ready.Ready());
  UserCatalogue user(dir / "materiaux.db");
  fit::FitResult result;
  result.Names = {"coating.SigmaQ"};
  result.Value = {1.5e8};
  FitSaving saved = PrepareFit(ready.Base, result, "essai.csv");
  ASSERT_TRUE(saved.Fitted) << saved.Refusal;
  EXPECT_FALSE(user.Exists());
  ASSERT_TRUE(WriteFit(saved, user));
  ASSERT_EQ(user.Read().size(), 1u);
  EXPECT_EQ(saved.Write.Written.size(), 1u);
  // A user's file that cannot be written is told; it names the file, in French, and none of the
  // storage's own text.
  test::WriteFile(dir / "fichier", "");
  UserCatalogue unwritable(dir / "fichier" / "materiaux.db");
  FitSaving failed = PrepareFit(ready.Base, result, "essai.csv");
  EXPECT_FALSE(WriteFit(failed, unwritable));
  EXPECT_FALSE(failed.Fitted);
  EXPECT_EQ(failed.Refusal, "Le matériau n'a pas été enregistré :\nvos matériaux (" +
                                unwritable.Path().string() +
                                ") ne peuvent pas être écrits : dossier protégé, disque plein, "
                                "fichier endommagé ou ouvert par un autre programme. Le fichier "
                                "reste tel qu'il était.");
  // A figure beyond the catalogue's bounds saves nothing.
  result.Names = {"contact.Lambda"};
  result.Value = {2e4};
  const FitSaving beyond = PrepareFit(ready.Base, result, "essai.csv");
  EXPECT_FALSE(beyond.Fitted);
  EXPECT_EQ(
      beyond.Refusal.rfind("Les valeurs ajustées ne peuvent pas être enregistrées :\n\n• ", 0), 0u)
      << beyond.Refusal;
  EXPECT_EQ(user.Read().size(), 1u);
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
    for (const UserMaterial& m : rows) {
      texts.push_back(m.Row.Name + "=" + std::to_string(m.Row.Lambda) + " " + m.Source);
    }
    std::sort(texts.begin(), texts.end());
    return texts;
  };
  const struct {
    std::vector<UserMaterial> Before;
    std::size_t Replaced;
  } cases[] = {
      {{}, 0}, {{row("Contact", 5, "mesure"), row("A", 3, "")}, 1}, {{row("A", 3, "")}, 0}};
  int n = 0;
  for (const auto& c : cases) {
    UserCatalogue user(dir / ("u" + std::to_string(n++) + ".db"));
    if (!c.Before.empty()) user.SaveAll(c.Before);
    const std::vector<UserMaterial> before = user.Read();
    const RowsWrite write = WriteRows(user, {row("contact", 7, "ajusté"), row("B", 2, "")});
    EXPECT_EQ(write.Replaced.size(), c.Replaced);
    EXPECT_EQ(user.Read().size(), before.size() + 2 - c.Replaced);
    // An undo takes back the contact row alone, and what it replaced.
    const RowsWrite undone = UndoneWithInputs(write);
    ASSERT_EQ(undone.Written.size(), 1u);
    EXPECT_EQ(undone.Written[0].Row.Name, "contact");
    EXPECT_EQ(undone.Replaced.size(), c.Replaced);
    TakeBack(user, write);
    EXPECT_EQ(told(user.Read()), told(before));
  }

  fit::FittedMaterials fitted;
  fitted.HeatFlux = 4e5;
  EXPECT_EQ(ApplyQuestion(fitted), "");
  fitted.Rows = {row("contact", 7, "")};
  fitted.Contact = true;
  EXPECT_EQ(ApplyQuestion(fitted),
            "Appliquer l'ajustement écrit dans vos matériaux :\n• la ligne « contact », que tous "
            "les calculs suivants utiliseront, quels que soient les matériaux choisis ;\n\n"
            "« Annuler la saisie » reprend ce changement. Appliquer l'ajustement ?");
}

TEST(FitViewTest, NotesAndTheSolversEndAreToldInFrenchFromTheirData) {
  const struct {
    fit::FitNote note;
    const char* french;
  } notes[] = {
      {{fit::NoteKind::NotQuadratic, "coating.dilat", 1.25e-5, 1e-8, 1.2e-5, 1.3e-5},
       "Pour la grandeur « Dilatation thermique du dépôt », l'écart n'est pas quadratique autour "
       "de 1,25E-05 1/K : son écart type tiré de la covariance (1E-08 1/K) ne tient pas. "
       "L'intervalle, 1,2E-05 1/K à 1,3E-05 1/K, est celui où l'écart, les autres grandeurs "
       "réajustées, reste à moins d'une unité de khi-deux de son minimum."},
      {{fit::NoteKind::LargeError, "HeatFlux", 5e5, kNaN, -2e5, 1.3e6},
       "La grandeur « Flux thermique incident » n'est pas déterminée par cet enregistrement : son "
       "intervalle, -2E+02 kW/m² à 1,3E+03 kW/m², contient zéro et va au-delà de sa valeur "
       "5E+02 kW/m² ; même son signe n'est pas connu."},
      {{fit::NoteKind::FlatRange, "HeatFlux", 5e5, kNaN, 1e5, 2e6},
       "La grandeur « Flux thermique incident » ne peut pas être déterminée par cet "
       "enregistrement : d'une borne à l'autre, 1E+02 kW/m² à 2E+03 kW/m², l'écart, les autres "
       "grandeurs réajustées, reste dans le bruit (une unité de khi-deux) de celui de "
       "l'ajustement. Elle est restée à 5E+02 kW/m²."},
      {{fit::NoteKind::BetterPoint, "record.TimeShift", 2.01},
       "Pour la grandeur « Décalage de l'horloge du relevé », le solveur s'est arrêté avant le "
       "meilleur ajustement : une recherche autour a trouvé un écart plus faible, et "
       "l'ajustement a repris de là (2,01E+00 s)."},
      {{fit::NoteKind::PoorFit, "curvature", 0.33, 0.002},
       "Le modèle ne suit pas l'enregistrement : pour la courbure, les résidus ont un RMS de "
       "3,3E-01 1/m, 1,65E+02 fois le bruit donné (2E-03 1/m)."},
      {{fit::NoteKind::PoorFit, "surface_temperature", 3.5, 3.5, 12, 420.4},
       "Le modèle ne suit pas l'enregistrement : pour la température de surface, les résidus ont "
       "un RMS de 3,5E+00 K, le bruit estimé sur eux, mais leurs signes se suivent en 12 séries "
       "là où le bruit en donne environ 420 : l'écart vient du modèle, non du bruit (horloge "
       "décalée, modèle inadapté, grandeur non ajustée ?)."},
      {{fit::NoteKind::UnusedColumns, "strain"},
       "Les colonnes strain de l'enregistrement ne servent pas : un ajustement lit time, "
       "curvature, temperature et surface_temperature."},
      {{fit::NoteKind::OnePassModel, "", 20},
       "L'enregistrement va au-delà de la première des 20 passes du cas, mais le modèle à une "
       "passe ne suit que la première : ajustez-le avec le modèle du dépôt entier."},
      {{fit::NoteKind::OneSided, "HeatFlux", 5e5, kNaN, kNaN, 2e6},
       "La grandeur « Flux thermique incident » n'est pas déterminée par cet enregistrement : de "
       "5E+02 kW/m² à sa borne supérieure 2E+03 kW/m², l'écart change moins que le bruit (une "
       "unité de khi-deux) ; l'enregistrement dit seulement qu'elle n'est guère en dessous de "
       "5E+02 kW/m². Aucun écart type n'est donné pour elle."},
  };
  for (const auto& n : notes) EXPECT_EQ(FrenchNote(n.note, ','), n.french);

  fit::FitResult result;
  result.CurvatureRms = 1.23456e-6;
  result.TemperatureRms = kNaN;
  result.Iterations = 7;
  result.End = fit::FitEnd::ParameterTolerance;
  result.Termination = "Parameter tolerance reached. Relative step_norm: 1e-14";
  EXPECT_EQ(FitSummary(result, ','),
            "Résidus RMS : courbure 1,235E-06 1/m.\nItérations : 7. Fin du solveur : tolérance "
            "sur la variation des grandeurs atteinte.");
  result.TemperatureRms = 0.5;
  result.End = fit::FitEnd::Other;
  result.Termination = "Residual and Jacobian evaluation failed";
  result.Notes = {notes[0].note};
  EXPECT_EQ(FitSummary(result, ','),
            "Résidus RMS : courbure 1,235E-06 1/m, température 0,5 K.\nItérations : 7. Fin du "
            "solveur : Residual and Jacobian evaluation failed.\n\nRemarques :\n• " +
                std::string(notes[0].french));
}

TEST(FitViewTest, TheChartShowsTheRecordThenTheModelAndItsResiduals) {
  using Texts = std::tuple<std::string, std::string, std::string>;
  fit::CalibrationRecord record;
  record.Time = {0.5, 1, 2};
  record.Curvature = {0.25, 0.5, 1};
  record.Temperature = {300, kNaN, 310};
  std::vector<OverlaySeries> series = FitOverlay(record, nullptr);
  ASSERT_EQ(series.size(), 2u);
  EXPECT_EQ(std::tie(series[0].Label, series[0].ValueAxis, series[0].ResidualAxis),
            Texts("Courbure", "Courbure (1/m)", "Résidu (1/m)"));
  EXPECT_EQ(std::tie(series[1].ValueAxis, series[1].ResidualAxis),
            std::tuple("Température de la face arrière (K)", "Résidu (K)"));
  EXPECT_EQ(OverlayTitle("essai.csv", false), "Mesures — essai.csv");
  EXPECT_EQ(series[0].Measured, record.Curvature);
  EXPECT_TRUE(series[0].Residual.empty() && series[0].Curve.empty());
  // A temperature the record lacks is no point.
  EXPECT_EQ(series[1].Time, (std::vector<double>{0.5, 2}));
  EXPECT_EQ(series[1].Measured, (std::vector<double>{300, 310}));

  fit::FitResult fit;
  fit.ModelCurvature = {0.5, 0.75, 1.5};
  fit.ModelTemperature = {301, 305, 308};
  fit.CurveTime = {0, 1, 1, 3};
  fit.CurveCurvature = {0, 0, 0.2, 0.2};
  fit.ThermalTime = {0, 3};
  fit.ThermalBack = {300, 311};
  series = FitOverlay(record, &fit);
  EXPECT_EQ(series[0].Residual, (std::vector<double>{-0.25, -0.25, -0.5}));
  EXPECT_EQ(series[0].CurveTime, fit.CurveTime);
  EXPECT_EQ(series[1].Residual, (std::vector<double>{-1, 2}));
  EXPECT_EQ(series[1].Curve, fit.ThermalBack);
  EXPECT_EQ(std::tie(series[1].From, series[1].To), std::tuple(0.0, 2.0));
  EXPECT_EQ(OverlayTitle("essai.csv", true), "Mesures et modèle ajusté — essai.csv");
  // A record that has no temperatures gives the curvature alone.
  record.Temperature.clear();
  EXPECT_EQ(FitOverlay(record, &fit).size(), 1u);
}

TEST(FitViewTest, TheRecordTheSolverAndTheFittedValuesAreWrittenForTheWindow) {
  fit::CalibrationRecord record;
  record.Time = {0, 59.5};
  record.Curvature = {0, 1};
  EXPECT_EQ(RecordText(record, "essai.csv", ','), "essai.csv — 2 points de 0 à 59,5 s");
  record.Temperature = {300, 310};
  EXPECT_EQ(RecordText(record, "essai.csv", ','),
            "essai.csv — 2 points de 0 à 59,5 s, avec la température de la face arrière");
  EXPECT_EQ(IterationText({12, 3.14159e-4, 30}, ','), "Itération 12 — coût 3,142E-04");

  fit::FitResult result;
  result.Iterations = 7;
  EXPECT_EQ(EndText(result), "Ajustement terminé en 7 itérations.");
  result.Notes.push_back({});
  EXPECT_EQ(EndText(result), "Ajustement terminé en 7 itérations. Voir les remarques.");
  result.Cancelled = true;
  EXPECT_EQ(EndText(result), "Ajustement annulé après 7 itération(s) : rien n'a changé.");

  result.Names = {"HeatFlux", "coating.dilat"};
  result.Start = {500000, 1e-5};
  result.Value = {412345.678, 1.23456789e-5};
  result.StandardError = {1234.5678, kNaN};
  const std::vector<FitTableRow> rows = FitTable(result, ',');
  ASSERT_EQ(rows.size(), 2u);
  // The heat flux in kW/m², as the input window's box gives it.
  EXPECT_EQ(std::tie(rows[0].Caption, rows[0].Name, rows[0].Unit),
            std::tuple("Flux thermique incident", "HeatFlux", "kW/m²"));
  EXPECT_EQ(rows[0].Texts, (std::array<std::string, 3>{"500", "412,3457", "1,23"}));
  EXPECT_DOUBLE_EQ(rows[0].Values[1], 412.345678);
  EXPECT_EQ(rows[1].Unit, "1/K");
  EXPECT_EQ(std::tie(rows[1].Texts[1], rows[1].Texts[2]), std::tuple("1,234568E-05", "—"));
  // The profile's interval, with the covariance's error beside it where it holds.
  result.IntervalLow = {411111, 1.2e-5};
  result.IntervalHigh = {413580, 1.3e-5};
  const std::vector<FitTableRow> profiled = FitTable(result, ',');
  EXPECT_EQ(profiled[0].Texts[2], "411,11 à 413,58 (± 1,23)");
  EXPECT_EQ(profiled[1].Texts[2], "1,2E-05 à 1,3E-05");
  EXPECT_TRUE(std::isnan(profiled[1].Values[2]));

  fit::FittedMaterials fitted;
  fitted.HeatFlux = 4e5;
  EXPECT_EQ(AppliedText(fitted),
            "Ajustement appliqué : flux thermique reporté dans la fenêtre de saisie.");
  fitted.CoatingName = "NiCrAlY (ajusté)";
  fitted.Contact = true;
  EXPECT_EQ(
      AppliedText(fitted),
      "Ajustement appliqué : matériau « NiCrAlY (ajusté) » enregistré et choisi comme dépôt ; "
      "ligne « contact » de vos matériaux enregistrée ; flux thermique reporté dans la "
      "fenêtre de saisie.");
}

TEST(FitViewTest, ARecordsFaultIsWordedInFrenchFromItsData) {
  test::TempDir dir;
  const struct {
    const char *Text, *French;  // Text nullptr: a folder picked as the record
  } cases[] = {
      {"", "l'enregistrement est vide ; il lui faut une ligne d'en-tête."},
      {"time,time\n", "ligne 1 : la colonne « time » est nommée deux fois."},
      {"# essai\ntemps,courbure\n",
       "ligne 2 : l'en-tête doit nommer les colonnes « time » (s) et « curvature » (1/m), et peut "
       "nommer « temperature » (K, face arrière) et « surface_temperature » (K)."},
      {"time,curvature\n0,1,2\n", "ligne 2 : 3 champs là où l'en-tête en nomme 2."},
      {"time;curvature\n0;1,5\n0,5;abc\n", "ligne 3 : curvature « abc » n'est pas un nombre fini."},
      {"time,curvature\n0,1",
       "ligne 2 : un enregistrement doit avoir au moins deux lignes de mesures."},
      {nullptr, "c'est un dossier, pas un fichier."},
  };
  for (const auto& c : cases) {
    try {
      (void)(c.Text != nullptr ? fit::ReadRecordText(c.Text, "r.csv")
                               : fit::ReadRecordFile(dir.Path()));
      ADD_FAILURE() << c.French;
    } catch (const fit::RecordError& error) {
      ASSERT_NE(error.Fault(), nullptr);
      EXPECT_EQ(RecordRefused("/m/r.csv", error.Fault(), ','),
                std::string("L'enregistrement /m/r.csv ne peut pas servir à un ajustement :\n") +
                    c.French);
      // The batch program's English is the same fault's; a folder's names it.
      EXPECT_EQ(error.what(), c.Text != nullptr ? fit::English(*error.Fault())
                                                : "Cannot read the record " + dir.Path().string() +
                                                      ": it is a folder, not a file.");
    }
  }
}

}  // namespace
}  // namespace quillane::session
