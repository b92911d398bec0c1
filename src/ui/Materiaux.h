#pragma once
// The "Matériaux" window: every material a run can pick, whether it comes from the shipped
// catalogue or the user's, and the commands that add, duplicate, edit or delete the user's rows.
// Each figure is checked against the bounds runs use before anything is written.

#include <QDialog>
#include <QMainWindow>
#include <array>
#include <optional>

#include "materials/UserCatalogue.h"
#include "session/MaterialEntry.h"

class QCustomPlot;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace quillane::ui {

class ChartFrame;

// The points of one figure against temperature: a small table of temperature and value (SI
// units) with lines to add and remove, and the figure's curve beside it, linear between the
// points and flat beyond. Accepting checks the points and tells what is wrong instead of
// closing; no point at all makes the figure the row's constant again.
class PointsDialog : public QDialog {
  Q_OBJECT
 public:
  PointsDialog(const TableFigure& figure, const FigureTable& points, char separator,
               QWidget* parent = nullptr);
  // The points as the table gives them, in rising temperature, once accepted.
  const std::optional<FigureTable>& Result() const { return result_; }
  QTableWidget& Table() const { return *table_; }

  // A blank line after the selected one (or at the end), and the selected line removed.
  void AddPoint();
  void RemovePoint();
  void accept() override;

 private:
  // The curve of the points as they read now; the chart says so when they make no table.
  void Redraw();

  const TableFigure& figure_;
  QTableWidget* table_;
  QCustomPlot* chart_;
  ChartFrame* frame_;
  QLabel* faults_;
  std::optional<FigureTable> result_;
};

// The form of one material: its name, the nine figures (SI units, the catalogue's columns) and
// its source. Accepting checks the figures and shows what is wrong instead of closing.
class MaterialForm : public QDialog {
  Q_OBJECT
 public:
  // Numbers are shown and told with the locale's `separator`.
  MaterialForm(const QString& title, const UserMaterial& material, char separator,
               QWidget* parent = nullptr);
  // The material as the boxes give it, when every figure is a number within its bounds.
  const std::optional<UserMaterial>& Result() const { return result_; }

  void accept() override;
  // Opens the points of the figure kTableFigures[index]; what is accepted is saved with the row.
  void EditPoints(std::size_t index);

 private:
  QLineEdit* name_;
  std::array<QLineEdit*, 9> figures_{};
  std::array<QPushButton*, kTableFigures.size()> pointButtons_{};
  FigureTables tables_;
  QLineEdit* source_;
  QLabel* faults_;
  char separator_;
  std::optional<UserMaterial> result_;
};

class Materiaux : public QMainWindow {
  Q_OBJECT
 public:
  // Figures are shown with the locale's decimal `separator`.
  Materiaux(UserCatalogue& user, char separator, QWidget* parent = nullptr);

  // Shows the catalogue (shipped rows and the user's over them).
  void Show(const MaterialsCatalogue& catalogue);
  QTableWidget& Table() const { return *table_; }

  // The commands of the buttons, on the selected row where they need one.
  void Ajouter();
  void Dupliquer();
  void Modifier();
  void Supprimer();

 signals:
  // A user row was written or deleted: the catalogue is to be read again, and a pick of a row
  // among `changes` follows it.
  void CatalogueChanged(const std::vector<session::RowChange>& changes);

 private:
  // The row chosen in the table, or -1 after telling that one is needed for the action.
  int SelectedRow(const QString& action);
  // `replacing` is the user row the save writes over, `edited` the row the form started from.
  void Edit(const QString& title, const UserMaterial& start, const std::string& replacing,
            const std::string& edited);
  void Tell(const QString& text);

  UserCatalogue& user_;
  char separator_;
  MaterialsCatalogue shown_;
  QTableWidget* table_;
};

}  // namespace quillane::ui
