#pragma once
// The material rows a fit gives, one policy for the window (rows saved among the user's
// materials) and for the batch program (fitted.db beside the fitted case): a fitted coating row
// is renamed, so that it stands beside the row it came from; the contact layer is always the row
// named "contact", which a fitted one replaces; fitted inputs go into the case.

#include <optional>
#include <string>
#include <vector>

#include "fit/Calibration.h"
#include "materials/UserCatalogue.h"
#include "model/ModelState.h"
#include "run/Validation.h"

namespace quillane::fit {

// Added to the name of a fitted coating row (once: a fitted row fitted again keeps its name).
inline constexpr const char* kFittedSuffix = " (ajusté)";

struct FittedMaterials {
  // The fitted coating row, then the "contact" row, each when one of its figures was fitted;
  // their source names the record.
  std::vector<UserMaterial> Rows;
  std::string CoatingName;         // the fitted coating row's name; empty when none was fitted
  bool Contact = false;            // the "contact" row is among Rows
  std::optional<double> HeatFlux;  // when it was fitted
  // The inputs the fit started from with the fitted ones, picking the fitted coating row.
  InputParameters Inputs;
  // Why the rows cannot be kept (a figure beyond the catalogue's bounds); empty when they can.
  std::vector<InputFault> Faults;
};

// `base` holds the validated inputs the fit started from (rows picked); `recordName` is the
// record's file name. Throws FitSettingsError for a name the result should not hold.
FittedMaterials FitMaterials(const ModelState& base, const FitResult& result,
                             const std::string& recordName);

}  // namespace quillane::fit
