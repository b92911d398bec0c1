#pragma once
// Every quantity a study can vary and a fit can fit, listed once: the number inputs of the input
// table, the figures of the three picked rows (substrate, coating, contact), and for a coating
// system each coat's own spraying inputs and the figures of the later coats' rows. Study files, the
// study runner, the fit, both windows and the batch program's help all read this table, so a
// name means the same thing everywhere and an unknown name is an error everywhere.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/InputTable.h"
#include "model/MaterialRecord.h"
#include "model/ModelState.h"

namespace quillane {

// Where a quantity lives: an input of the case, a figure of one of the picked rows, an input of
// one of the case's coats, or a figure of a later coat's row (the first coat's row is the
// coating's).
enum class QuantityRole { Input, Substrate, Coating, Contact, CoatInput, CoatFigure };

struct QuantitySpec {
  std::string Name;  // as files and flags write it: "PassThickness", "coating.SigmaQ"
  QuantityRole Role = QuantityRole::Input;
  const InputSpec* Input = nullptr;        // for an input
  const MaterialColumn* Column = nullptr;  // for a figure of the row of Role
  std::string Unit;                        // SI unit ("" for counts and ratios)
  std::string DisplayUnit;                 // unit of the window's boxes
  double DisplayFactor = 1;                // SI value of one display unit
  std::string Caption;                     // what the windows call it, in French
  bool Whole = false;                      // takes whole values only (a count)
  bool Bounded = true;                     // Min and Max apply
  double Min = 0;                          // SI: the input's range or the catalogue's bounds
  double Max = 0;
  bool Fittable = false;  // a record can be fitted to it
  int Coat = 0;           // the coat (from 1) of a coat's quantity; 0 for the others

  // An input of the case or of one of its coats, within its allowed range.
  bool IsInput() const { return Role == QuantityRole::Input || Role == QuantityRole::CoatInput; }
  bool Thermal() const;  // changes the temperatures (a fit must then rerun the thermal model)
  // An SI value in the display unit, and back (as the input window's boxes convert).
  double ToDisplay(double si) const;
  double FromDisplay(double shown) const { return ScaleToSi(shown, DisplayFactor); }
  // The value in a state whose rows are picked (state.Materials), and setting it there; a coat's
  // quantity needs the coat in the case (NaN from Get otherwise; Set throws).
  double Get(const ModelState& state) const;
  void Set(ModelState& state, double value) const;
  // The catalogue row a material figure belongs to, as the inputs pick it.
  std::string RowName(const InputParameters& inputs) const;
  // A material figure that `row` gives against temperature (points that do not hold one
  // value): studies and fits move constants only.
  bool IsTable(const MaterialRecord& row) const;
  // The picked row (state.Materials) of a material figure; nullptr for an input or a coat the
  // case lacks.
  const MaterialRecord* PickedRow(const ModelState& state) const;
};

// A name no quantity has; the message names it and says what names are.
class UnknownQuantity : public std::invalid_argument {
 public:
  explicit UnknownQuantity(const std::string& name);
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

// Every quantity: the number inputs in the input table's order, then the figures of the
// substrate, the coating and the contact rows in the catalogue's column order.
const std::vector<QuantitySpec>& QuantityTable();
// The quantity of that name; nullptr when there is none.
const QuantitySpec* FindQuantity(std::string_view name);
// Same, but throws UnknownQuantity when there is none.
const QuantitySpec& Quantity(std::string_view name);
// The quantities a record can be fitted to, in the order the fit window lists them.
std::vector<const QuantitySpec*> FittableQuantities();
// "coating.SigmaQ, coating.ModuleYoung, ... and contact.Lambda", for messages and help.
std::string FittableNames();

}  // namespace quillane
