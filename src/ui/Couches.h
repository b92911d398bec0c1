#pragma once
// The input window's table of coats: one row per coat of a coating system, its material picked
// from the catalogue and its figures typed, with the buttons that add and remove a coat. It shows
// what the state holds and hands back what the user did; the rules are CoatEntry's.

#include <QString>
#include <QWidget>
#include <vector>

#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"
#include "session/InputForm.h"

class QPushButton;
class QTableWidget;

namespace quillane::ui {

class Couches : public QWidget {
  Q_OBJECT
 public:
  explicit Couches(QWidget* parent = nullptr);

  // Shows the state's coats, each material list holding the catalogue's rows, and marks each cell
  // by its note (a red cell holds what a run refuses; the tooltip says why).
  void Show(const ModelState& state, const MaterialsCatalogue& catalogue,
            const std::vector<std::vector<session::FieldNote>>& notes);
  QTableWidget* Table() const { return table_; }
  // The coat a removal takes: the current row, the last one when none is current.
  int ChosenCoat() const;
  // Whether a cell is marked as holding what a run refuses.
  bool Marked(int coat, int column) const;

 signals:
  // A cell's text typed, or a material picked (column 0).
  void CellEdited(int coat, int column, const QString& text);
  void AddClicked();
  void RemoveClicked(int coat);

 private:
  void ShowMaterials(int coat, const std::string& picked, const MaterialsCatalogue& catalogue);

  QTableWidget* table_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
  bool showing_ = false;  // while the table is set from the state
};

}  // namespace quillane::ui
