// The input window as a user drives it: what it shows after loading, the field rules through
// typing and leaving boxes, the spin buttons, the material lists, the file choices, undo and
// redo, the defaults, "RAZ" and a missing catalogue.

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QToolButton>
#include <QUndoStack>

#include "GeometrieTestSupport.h"
#include "materials/MaterialsCatalogue.h"
#include "ui/ResultWindows.h"

namespace quillane::test {
namespace {

using ui::FieldId;
using ui::GridId;

class GeometrieTest : public GeometrieWindowFixture {};

QAction* MenuAction(QMainWindow& window, const char* name) {
  return window.findChild<QAction*>(QString::fromUtf8(name));
}

TEST_F(GeometrieTest, FramesCaptionsAndControlsAreInPlace) {
  Open();
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Géometrie"));
  EXPECT_EQ(window->objectName(), "Geometrie");

  auto* titre = Child<QGroupBox>("Titre");
  ASSERT_NE(titre, nullptr);
  QStringList legend;
  for (QLabel* label : titre->findChildren<QLabel*>()) legend << label->text();
  const QStringList expected = {
      QString::fromUtf8("Modèle thermique de déposition  en  7 feuillets"),
      QString::fromUtf8("1er feuillet = substrat"),
      QString::fromUtf8("2eme feuillet = Résistance de contact pour la 1ere couche sinon  "
                        "épaisseur  des couches précédentes. "),
      QString::fromUtf8("3eme feuillet 1ere lamelle de la couche de dépôt en cours. "),
      QString::fromUtf8("4eme feuillet épaisseur croissante = couche de dépôt en cours."),
      QString::fromUtf8("5, 6eme feuillets épaisseur fixée =  lamelles pénultiémes"),
      QString::fromUtf8("7eme feuillet épaisseur fixée (initialement fondue) =  lamelle ultime"),
  };
  EXPECT_EQ(legend, expected);

  // Each box in its frame, with its caption in that frame.
  const auto frameOf = [this](const char* name) {
    QWidget* widget = Child<QWidget>(name);
    EXPECT_NE(widget, nullptr) << name;
    for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
      if (auto* box = qobject_cast<QGroupBox*>(w)) return box->title();
    }
    return QString();
  };
  const QString substrat = "Substrat", depot = QString::fromUtf8("Dépôt"), options = "options";
  for (const char* name :
       {"Datalist1", "Text6", "Text12", "text9", "Text16", "Text3", "ud1", "ud2", "ud3"}) {
    EXPECT_EQ(frameOf(name), substrat) << name;
  }
  for (const char* name :
       {"Datalist2", "Text5", "Text4", "Text2", "Text7", "Text8", "Text10", "Text14", "Text15"}) {
    EXPECT_EQ(frameOf(name), depot) << name;
  }
  for (const char* name : {"Text13", "Text1"}) EXPECT_EQ(frameOf(name), options) << name;

  const auto captionsIn = [this](const char* frame) {
    QStringList captions;
    for (QLabel* label : Child<QGroupBox>(frame)->findChildren<QLabel*>())
      captions << label->text();
    return captions;
  };
  for (const char* caption : {"épaisseur (mm)", "largeur (m)", "Temperature", "1/Rcourbure",
                              "Temperature des gaz convectifs"}) {
    EXPECT_TRUE(captionsIn("Substrat").contains(QString::fromUtf8(caption))) << caption;
  }
  for (const char* caption :
       {"épaisseur par passe (µm)", "Nombre de passes", "Période entre 2 passes (s)",
        "Créneau de chauffe (s)", "Flux thermique incident (kW/m2)", "T particules incidentes (K)",
        "N° particule témoin ", "N° couche témoin "}) {
    EXPECT_TRUE(captionsIn("Depot").contains(QString::fromUtf8(caption))) << caption;
  }
  EXPECT_TRUE(captionsIn("options").contains(QString::fromUtf8("Longueur du témoin (m)")));
  EXPECT_TRUE(captionsIn("options").contains(QString::fromUtf8("Epaisseur d'une  lamelle(µm)")));

  // The spin buttons stand right of their boxes.
  const std::pair<const char*, const char*> spins[] = {
      {"ud1", "text9"}, {"ud2", "Text3"}, {"ud3", "Text6"}};
  for (const auto& [spin, box] : spins) {
    QWidget* s = Child<QWidget>(spin);
    QWidget* b = Child<QWidget>(box);
    const QPoint spinAt = s->mapTo(window.get(), QPoint(0, 0));
    const QPoint boxAt = b->mapTo(window.get(), QPoint(0, 0));
    EXPECT_GE(spinAt.x(), boxAt.x() + b->width()) << spin;
    EXPECT_LT(std::abs(spinAt.y() - boxAt.y()), b->height()) << spin;
  }

  EXPECT_EQ(Child<QPushButton>("Execution")->text(), "Execution calculs");
  EXPECT_EQ(Child<QPushButton>("Command3")->text(), "Choix fichier resultats (thermique)");
  EXPECT_EQ(Child<QPushButton>("Command2")->text(), "Choix fichier resultats(stress)");
  EXPECT_EQ(MenuAction(*window, "Fin")->text(), "Fin");
  EXPECT_EQ(MenuAction(*window, "RAZ")->text(), "RAZ");
  QStringList bar;
  for (QAction* action : window->menuBar()->actions()) bar << action->text();
  EXPECT_TRUE(bar.contains("Fin"));
  EXPECT_TRUE(bar.contains("RAZ"));
}

TEST_F(GeometrieTest, BoxesAndStateAfterLoad) {
  Open();
  const std::pair<FieldId, const char*> expected[] = {
      {FieldId::Text1, "1"},     {FieldId::Text2, "4.50"},   {FieldId::Text3, "973"},
      {FieldId::Text4, "1"},     {FieldId::Text5, "1."},     {FieldId::Text6, "02.0"},
      {FieldId::Text7, "1.50"},  {FieldId::Text8, "5.0E+2"}, {FieldId::text9, "573"},
      {FieldId::Text10, "3000"}, {FieldId::Text12, "0.02"},  {FieldId::Text13, "0.08"},
      {FieldId::Text14, "1"},    {FieldId::Text15, "1"},     {FieldId::Text16, "0"},
  };
  for (const auto& [id, text] : expected) {
    EXPECT_EQ(Shown(id), text) << ui::Field(id).Name();
    EXPECT_EQ(Box(id)->objectName(), ui::Field(id).Name());
  }
  EXPECT_EQ(state.Input.PassThickness, 1e-6);
  EXPECT_EQ(state.Input.HeatFlux, 500000);
  EXPECT_EQ(state.Clock.LamellaCount, 1);
  EXPECT_TRUE(state.Input.SubstrateMaterialName.empty());
  EXPECT_TRUE(state.Input.CoatingMaterialName.empty());
  EXPECT_EQ(state.Input.InitialCurvature, 0);
  EXPECT_EQ(state.Input.SpecimenLength, 0.08);
  EXPECT_FALSE(Execution()->isEnabled());
  EXPECT_FALSE(window->UndoStack().canUndo());

  // Enlarged, the lists and boxes take the room; nothing overlaps.
  window->resize(1200, 950);
  QTest::qWait(50);
  const QRect substrat = Child<QWidget>("Substrat")->geometry();
  const QRect depot = Child<QWidget>("Depot")->geometry();
  EXPECT_FALSE(substrat.intersects(depot));
  EXPECT_GT(Child<QListWidget>("Datalist1")->height(), 100);
}

TEST_F(GeometrieTest, LeavingABoxCommitsItsRule) {
  Open();
  TypeAndLeave(FieldId::Text8, "250");
  EXPECT_EQ(state.Input.HeatFlux, 250000);
  EXPECT_EQ(Shown(FieldId::Text8), "2.50E+02");

  TypeAndLeave(FieldId::Text5, "-12");
  EXPECT_DOUBLE_EQ(state.Input.PassThickness, 1.2e-5);
  EXPECT_EQ(Shown(FieldId::Text5), "12");

  TypeAndLeave(FieldId::Text4, "3.9 passes");
  EXPECT_EQ(state.Input.PassCount, 3);
  EXPECT_EQ(Shown(FieldId::Text4), "3");

  TypeAndLeave(FieldId::Text14, "2.5");
  EXPECT_EQ(state.Input.WitnessParticle, 2);
  EXPECT_EQ(Shown(FieldId::Text14), "2.5");

  TypeAndLeave(FieldId::Text12, "0.05");
  EXPECT_EQ(state.Input.SubstrateWidth, 0.05);
  EXPECT_EQ(Shown(FieldId::Text12), "0.050");

  // Enter commits as well, without leaving.
  Type(FieldId::Text2, "6");
  QTest::keyClick(Box(FieldId::Text2), Qt::Key_Return);
  EXPECT_EQ(state.Input.PassPeriod, 6);
  EXPECT_EQ(Shown(FieldId::Text2), "6.00E+00");
}

TEST_F(GeometrieTest, NothingIsCommittedBeforeTheBoxIsLeft) {
  Open();
  Type(FieldId::Text8, "250");
  EXPECT_EQ(state.Input.HeatFlux, 500000);
  // Passing through a box without editing it keeps its value and its text.
  Leave(FieldId::Text8);
  Box(FieldId::Text6)->setFocus(Qt::TabFocusReason);
  Leave(FieldId::Text6);
  EXPECT_EQ(Shown(FieldId::Text6), "02.0");
  EXPECT_EQ(state.Input.SubstrateThicknessInput, 0.002);
}

TEST_F(GeometrieTest, InvalidTextKeepsTheValueAndSaysWhy) {
  Open();
  TypeAndLeave(FieldId::Text2, "abc");
  EXPECT_EQ(state.Input.PassPeriod, 4.5);
  EXPECT_EQ(Shown(FieldId::Text2), "4.50");
  EXPECT_TRUE(Status().contains("abc")) << Status().toStdString();
  EXPECT_TRUE(Status().contains(QString::fromUtf8("Période entre 2 passes (s)")));

  TypeAndLeave(FieldId::Text8, "");
  EXPECT_EQ(state.Input.HeatFlux, 500000);
  EXPECT_EQ(Shown(FieldId::Text8), "5.0E+2");
  EXPECT_TRUE(Status().contains("vide"));
  EXPECT_FALSE(window->UndoStack().canUndo());

  // A number too large for a double is a number, told as too large.
  TypeAndLeave(FieldId::Text8, "1e400");
  EXPECT_TRUE(Status().contains("trop grande")) << Status().toStdString();
  // A good entry afterwards leaves no old refusal on the status line.
  TypeAndLeave(FieldId::Text8, "600");
  EXPECT_TRUE(Status().isEmpty()) << Status().toStdString();
}

TEST_F(GeometrieTest, AValueOutsideItsRangeIsMarkedAsSoonAsItIsCommitted) {
  Open();
  EXPECT_EQ(Box(FieldId::Text12)->toolTip(), QString::fromUtf8("Plage : 1E-09 à 1 m"));
  TypeAndLeave(FieldId::Text12, "5");
  EXPECT_EQ(state.Input.SubstrateWidth, 5);
  EXPECT_TRUE(Box(FieldId::Text12)->property("outOfRange").toBool());
  const QString expected = QString::fromUtf8(
      "largeur (m) : 5 m est hors limites ; la valeur doit être comprise entre "
      "1E-09 et 1 m.");
  EXPECT_EQ(Box(FieldId::Text12)->toolTip(), expected);
  EXPECT_EQ(Status(), expected);
  // In the box's own unit.
  TypeAndLeave(FieldId::Text6, "2000");
  EXPECT_TRUE(
      Box(FieldId::Text6)->toolTip().contains(QString::fromUtf8("2000 mm est hors limites")))
      << Box(FieldId::Text6)->toolTip().toStdString();
  TypeAndLeave(FieldId::Text12, "0.05");
  EXPECT_FALSE(Box(FieldId::Text12)->property("outOfRange").toBool());
  EXPECT_TRUE(Status().isEmpty());
  window->UndoStack().undo();
  EXPECT_TRUE(Box(FieldId::Text12)->property("outOfRange").toBool());
}

TEST_F(GeometrieTest, TheWindowFitsAScreen768PixelsHigh) {
  Open();
  EXPECT_LE(window->sizeHint().height(), 700);
  EXPECT_LE(window->minimumSizeHint().height(), 700);
}

TEST_F(GeometrieTest, TemperaturesCommitAndSpinButtonsStep) {
  Open();
  TypeAndLeave(FieldId::text9, "600");
  EXPECT_EQ(state.Input.SubstrateTemperature, 600);
  TypeAndLeave(FieldId::Text3, "-1000");
  EXPECT_EQ(state.Input.GasTemperature, 1000);
  EXPECT_EQ(Shown(FieldId::Text3), "1000");

  QTest::mouseClick(Child<QToolButton>("ud1Up"), Qt::LeftButton);
  EXPECT_EQ(state.Input.SubstrateTemperature, 610);
  EXPECT_EQ(Shown(FieldId::text9), "610");
  QTest::mouseClick(Child<QToolButton>("ud2Down"), Qt::LeftButton);
  EXPECT_EQ(state.Input.GasTemperature, 990);
  EXPECT_EQ(Shown(FieldId::Text3), "990");
  QTest::mouseClick(Child<QToolButton>("ud3Up"), Qt::LeftButton);
  EXPECT_DOUBLE_EQ(state.Input.SubstrateThicknessInput, 0.0021);
  EXPECT_EQ(Shown(FieldId::Text6), "2.10");

  // The arrow keys of the box step it too, from the number being typed.
  Type(FieldId::text9, "700");
  QTest::keyClick(Box(FieldId::text9), Qt::Key_Up);
  EXPECT_EQ(state.Input.SubstrateTemperature, 710);
  EXPECT_EQ(Shown(FieldId::text9), "710");
}

TEST_F(GeometrieTest, CurvatureAndLengthTextsReachTheModelWhileTyping) {
  Open();
  Type(FieldId::Text16, "0.25");
  EXPECT_EQ(state.Input.InitialCurvature, 0.25);
  Type(FieldId::Text13, "0.1234");
  EXPECT_EQ(state.Input.SpecimenLength, 0.1234);
  Leave(FieldId::Text13);
  EXPECT_EQ(Shown(FieldId::Text13), "0.123");
  EXPECT_EQ(state.Input.SpecimenLength, 0.123);
}

TEST_F(GeometrieTest, ListsShowTheWholeCatalogueSortedByName) {
  Open();
  // Sorted as the catalogue compares names: letter case aside.
  const QStringList expected = {"Acier 316L", "contact", "NiCrAlY"};
  for (const char* name : {"Datalist1", "Datalist2"}) {
    auto* list = Child<QListWidget>(name);
    QStringList shown;
    for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
    EXPECT_EQ(shown, expected) << name;
    EXPECT_TRUE(list->selectedItems().isEmpty());
  }
}

TEST_F(GeometrieTest, ExecutionIsEnabledOnceBothMaterialsArePicked) {
  Open();
  Pick("Datalist1", "Acier 316L");
  EXPECT_EQ(state.Input.SubstrateMaterialName, "Acier 316L");
  EXPECT_FALSE(Execution()->isEnabled());
  Pick("Datalist2", "NiCrAlY");
  EXPECT_EQ(state.Input.CoatingMaterialName, "NiCrAlY");
  EXPECT_TRUE(Execution()->isEnabled());
  // Later picks keep it enabled.
  Pick("Datalist1", "contact");
  EXPECT_EQ(state.Input.SubstrateMaterialName, "contact");
  EXPECT_TRUE(Execution()->isEnabled());
}

TEST_F(GeometrieTest, ExecutionIsEnabledWhenTheCoatingIsPickedFirst) {
  Open();
  Pick("Datalist2", "NiCrAlY");
  EXPECT_FALSE(Execution()->isEnabled());
  EXPECT_TRUE(state.Input.SubstrateMaterialName.empty());
  Pick("Datalist1", "Acier 316L");
  EXPECT_TRUE(Execution()->isEnabled());
}

TEST_F(GeometrieTest, UndoAndRedoCommittedEdits) {
  Open();
  TypeAndLeave(FieldId::Text8, "250");
  TypeAndLeave(FieldId::Text2, "3");
  Pick("Datalist1", "NiCrAlY");
  ASSERT_EQ(window->UndoStack().count(), 3);

  // With no edit pending in the focused box, Ctrl+Z undoes the last committed change.
  Box(FieldId::Text1)->setFocus();
  QTest::keyClick(Box(FieldId::Text1), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(state.Input.SubstrateMaterialName.empty());
  EXPECT_TRUE(Status().contains(QString::fromUtf8("Annulé : Substrat"))) << Status().toStdString();
  EXPECT_TRUE(Child<QListWidget>("Datalist1")->selectedItems().isEmpty());
  QTest::keyClick(Box(FieldId::Text1), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(state.Input.PassPeriod, 4.5);
  EXPECT_EQ(Shown(FieldId::Text2), "4.50");
  QTest::keyClick(Box(FieldId::Text1), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(state.Input.HeatFlux, 500000);
  EXPECT_EQ(Shown(FieldId::Text8), "5.0E+2");

  QTest::keyClick(Box(FieldId::Text1), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(state.Input.HeatFlux, 250000);
  EXPECT_EQ(Shown(FieldId::Text8), "2.50E+02");

  // While a box holds an edit, Ctrl+Z belongs to the box and the model is left alone.
  Type(FieldId::Text4, "7");
  QTest::keyClick(Box(FieldId::Text4), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(state.Input.HeatFlux, 250000);
  EXPECT_EQ(state.Input.PassCount, 1);
  EXPECT_NE(Shown(FieldId::Text4), "7");
}

TEST_F(GeometrieTest, DefaultsComeBackAndCanBeUndone) {
  Open();
  Pick("Datalist1", "Acier 316L");
  Pick("Datalist2", "NiCrAlY");
  TypeAndLeave(FieldId::Text8, "250");
  TypeAndLeave(FieldId::Text12, "0.05");
  Type(FieldId::Text16, "0.5");
  MenuAction(*window, "Defaults")->trigger();
  EXPECT_EQ(state.Input.HeatFlux, 500000);
  EXPECT_EQ(state.Input.SubstrateWidth, 0.02);
  EXPECT_EQ(state.Input.InitialCurvature, 0);
  EXPECT_EQ(Shown(FieldId::Text8), "5.0E+2");
  EXPECT_EQ(Shown(FieldId::Text16), "0");
  // The picked materials stay.
  EXPECT_EQ(state.Input.SubstrateMaterialName, "Acier 316L");
  EXPECT_TRUE(Execution()->isEnabled());

  MenuAction(*window, "Undo")->trigger();
  EXPECT_EQ(state.Input.HeatFlux, 250000);
  EXPECT_EQ(state.Input.InitialCurvature, 0.5);
  EXPECT_EQ(Shown(FieldId::Text16), "0.5");
}

TEST_F(GeometrieTest, ChoosingTheThermalFileShowsThePathAndUsesIt) {
  Open();
  const QString target = QString::fromStdString((dir / "mes resultats.txt").string());
  QStringList filters;
  QString selectedFilter;
  QString proposed;
  bool native = true;
  ModalWatcher watcher([&](QWidget* modal) {
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      filters = dialog->nameFilters();
      selectedFilter = dialog->selectedNameFilter();
      native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      proposed = name->text();
      EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
      name->setText(target);
      QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
      return;
    }
    ModalWatcher::Dismiss(modal);
  });
  QTest::mouseClick(Child<QPushButton>("Command3"), Qt::LeftButton);
  EXPECT_EQ(filters, QStringList({"Tous les fichiers (*.*)", "Fichiers texte(*.txt)",
                                  "Fichiers batch (*.bat)"}));
  EXPECT_EQ(selectedFilter, "Fichiers texte(*.txt)");
  EXPECT_EQ(proposed, "thermique.txt");
  EXPECT_FALSE(native);
  EXPECT_EQ(watcher.MessageTexts, QStringList({target}));
  EXPECT_EQ(window->Paths().Thermal, target.toStdString());
  EXPECT_EQ(window->Paths().Stress, "Stress.txt");
}

TEST_F(GeometrieTest, CancellingAFileChoiceLeavesTheProposedName) {
  Open();
  QString proposed;
  ModalWatcher watcher([&](QWidget* modal) {
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      proposed = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
    }
    ModalWatcher::Dismiss(modal);
  });
  QTest::mouseClick(Child<QPushButton>("Command2"), Qt::LeftButton);
  EXPECT_EQ(proposed, "stress.txt");
  EXPECT_TRUE(watcher.MessageTexts.isEmpty());
  EXPECT_EQ(window->Paths().Stress, "stress.txt");
  EXPECT_EQ(window->Paths().Thermal, "Thermique.txt");
}

TEST_F(GeometrieTest, InputFaultsAreListedTogetherAndNothingIsWritten) {
  Open();
  Pick("Datalist1", "Acier 316L");
  Pick("Datalist2", "NiCrAlY");
  window->Paths() = {(dir / "t.txt").string(), (dir / "s.txt").string()};
  TypeAndLeave(FieldId::Text1, "0");
  Type(FieldId::Text16, "1000");
  ModalWatcher watcher;
  QTest::mouseClick(Execution(), Qt::LeftButton);
  ASSERT_EQ(watcher.MessageTexts.size(), 1);
  // In French, with the captions and the units of the boxes.
  EXPECT_TRUE(watcher.MessageTexts[0].contains(
      QString::fromUtf8("Epaisseur d'une  lamelle(µm) : 0 µm est hors limites")))
      << watcher.MessageTexts[0].toStdString();
  EXPECT_TRUE(watcher.MessageTexts[0].contains(QString::fromUtf8("1/Rcourbure : 1000 1/m")));
  EXPECT_FALSE(window->Worker().IsRunning());
  // The summary tells of this refusal, not of an earlier run.
  EXPECT_TRUE(
      Child<QLabel>("RunSummary")->text().startsWith(QString::fromUtf8("Calcul non lancé")));
  EXPECT_FALSE(std::filesystem::exists(dir / "t.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "s.txt"));
}

TEST_F(GeometrieTest, RazUnloadsTheResultWindowsAndKeepsTheState) {
  Open();
  Pick("Datalist1", "Acier 316L");
  TypeAndLeave(FieldId::Text8, "250");
  windows->Grid(GridId::MSFlexGrid3).AddRow("1\t2");
  ASSERT_EQ(windows->Grid(GridId::MSFlexGrid3).RowCount(), 3);
  const InputParameters before = state.Input;
  MenuAction(*window, "RAZ")->trigger();
  EXPECT_EQ(windows->Grid(GridId::MSFlexGrid3).RowCount(), 2);
  EXPECT_EQ(state.Input.HeatFlux, before.HeatFlux);
  EXPECT_EQ(state.Input.SubstrateMaterialName, before.SubstrateMaterialName);
  EXPECT_EQ(Shown(FieldId::Text8), "2.50E+02");
}

TEST_F(GeometrieTest, AMissingCatalogueIsReportedWithItsPath) {
  const auto missing = dir / "absent" / "Brelon.db";
  ModalWatcher watcher;
  Open(missing, QLocale::c(), false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.MessageTexts.isEmpty(); }, 5000));
  EXPECT_TRUE(watcher.MessageTexts[0].contains(QString::fromStdString(missing.string())));
  EXPECT_TRUE(Status().contains(QString::fromStdString(missing.string())));
  EXPECT_EQ(Child<QListWidget>("Datalist1")->count(), 0);
  EXPECT_EQ(Child<QListWidget>("Datalist2")->count(), 0);
  EXPECT_FALSE(Execution()->isEnabled());
  // The boxes still load.
  EXPECT_EQ(Shown(FieldId::Text2), "4.50");
}

TEST_F(GeometrieTest, AFileThatIsNotACatalogueIsReported) {
  const auto bad = dir / "bad.db";
  WriteFile(bad, "not a database at all\n");
  ModalWatcher watcher;
  Open(bad, QLocale::c(), false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.MessageTexts.isEmpty(); }, 5000));
  EXPECT_TRUE(watcher.MessageTexts[0].contains(QString::fromStdString(bad.string())));
  EXPECT_EQ(Child<QListWidget>("Datalist1")->count(), 0);
  EXPECT_FALSE(Execution()->isEnabled());
}

TEST_F(GeometrieTest, ACommaLocaleShowsCommasAndReadsBothSeparators) {
  Open(dir / "p1.db", QLocale(QLocale::French, QLocale::France));
  EXPECT_EQ(Shown(FieldId::Text2), "4,50");
  EXPECT_EQ(Shown(FieldId::Text12), "0,02");
  EXPECT_EQ(state.Input.SpecimenLength, 0.08);
  TypeAndLeave(FieldId::Text2, "1.5");
  EXPECT_EQ(state.Input.PassPeriod, 1.5);
  EXPECT_EQ(Shown(FieldId::Text2), "1,50E+00");
  TypeAndLeave(FieldId::Text13, "0,06");
  EXPECT_EQ(state.Input.SpecimenLength, 0.06);
  EXPECT_EQ(Shown(FieldId::Text13), "0,060");
}

}  // namespace
}  // namespace quillane::test
