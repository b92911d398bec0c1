#include "session/FitForm.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <variant>

#include "model/Errors.h"
#include "session/FormEntry.h"
#include "session/MaterialEntry.h"
#include "session/WindowText.h"

namespace quillane::session {

namespace {

// A bound as typed: NaN keeps the allowed one; nothing when the text is not a number.
std::optional<double> ReadBound(const std::string& text, const std::string& proposed,
                                const RegionalSettings& locale) {
  const std::string typed = Trimmed(text);
  if (typed.empty() || typed == proposed) return std::nan("");
  return ReadEntry(typed, locale);
}

EntryFault Fault(FaultKind kind, std::string field = {}, std::string text = {}) {
  EntryFault fault;
  fault.Kind = kind;
  fault.Field = std::move(field);
  fault.Text = std::move(text);
  return fault;
}

}  // namespace

ProposedBounds ProposeBounds(const QuantitySpec& quantity, char separator) {
  return {ExponentFigure(quantity.ToDisplay(quantity.Min), separator),
          ExponentFigure(quantity.ToDisplay(quantity.Max), separator)};
}

std::vector<const QuantitySpec*> FitQuantities(std::size_t coats) {
  const std::vector<const QuantitySpec*> oneCoat = FittableQuantities();
  std::vector<const QuantitySpec*> list = oneCoat;
  // A later coat's figures in the order of the coating's.
  for (std::size_t coat = 2; coat <= coats; ++coat) {
    for (const QuantitySpec* figure : oneCoat) {
      if (figure->Role != QuantityRole::Coating) continue;
      const QuantitySpec* own =
          FindQuantity("coat" + std::to_string(coat) + "." + figure->Column->Name);
      if (own != nullptr && own->Fittable) list.push_back(own);
    }
  }
  return list;
}

FitForm NewFitForm(char separator, std::size_t coats) {
  FitForm form;
  FollowCoats(form, coats, separator);
  return form;
}

bool FollowCoats(FitForm& form, std::size_t coats, char separator) {
  std::vector<FitFormRow> rows;
  for (const QuantitySpec* quantity : FitQuantities(coats)) {
    const auto kept =
        std::find_if(form.Rows.begin(), form.Rows.end(),
                     [quantity](const FitFormRow& row) { return row.Quantity == quantity; });
    if (kept != form.Rows.end()) {
      rows.push_back(std::move(*kept));
      continue;
    }
    const ProposedBounds bounds = ProposeBounds(*quantity, separator);
    rows.push_back({quantity, false, bounds.Min, bounds.Max});
  }
  const bool same =
      rows.size() == form.Rows.size() &&
      std::equal(rows.begin(), rows.end(), form.Rows.begin(),
                 [](const FitFormRow& a, const FitFormRow& b) { return a.Quantity == b.Quantity; });
  form.Rows = std::move(rows);
  return !same;
}

FitEntries ReadFitEntries(const FitForm& form, const RegionalSettings& locale, bool haveRecord) {
  FitEntries entries;
  std::vector<EntryFault>& faults = entries.Faults;
  if (!haveRecord) faults.push_back(Fault(FaultKind::NoRecord));
  for (const FitFormRow& row : form.Rows) {
    if (!row.Checked) continue;
    const ProposedBounds proposed = ProposeBounds(*row.Quantity, locale.DecimalSeparator);
    std::optional<double> low = ReadBound(row.Min, proposed.Min, locale);
    std::optional<double> high = ReadBound(row.Max, proposed.Max, locale);
    // Typed in the unit of the figure's box; the fit works in SI.
    for (std::optional<double>* bound : {&low, &high}) {
      if (*bound && !std::isnan(**bound)) *bound = row.Quantity->FromDisplay(**bound);
    }
    if (!low) faults.push_back(NotANumber(row.Quantity, "min", Trimmed(row.Min)));
    if (!high) faults.push_back(NotANumber(row.Quantity, "max", Trimmed(row.Max)));
    if (!low || !high) continue;
    auto parameter = fit::MakeFitParameter(row.Quantity->Name, *low, *high);
    if (auto* fault = std::get_if<EntryFault>(&parameter)) {
      faults.push_back(std::move(*fault));
    } else {
      entries.Settings.Parameters.push_back(std::get<fit::FitParameter>(std::move(parameter)));
    }
  }
  if (entries.Settings.Parameters.empty() && faults.empty()) {
    faults.push_back(Fault(FaultKind::NothingChosen));
  }
  const std::pair<const std::string*, double*> noises[] = {
      {&form.CurvatureNoise, &entries.Settings.CurvatureNoise},
      {&form.TemperatureNoise, &entries.Settings.TemperatureNoise}};
  for (const auto& [text, target] : noises) {
    const std::string typed = Trimmed(*text);
    if (typed.empty()) continue;
    const std::optional<double> value = ReadEntry(typed, locale);
    if (!value || !(*value > 0)) {
      faults.push_back(Fault(FaultKind::NotPositive,
                             text == &form.CurvatureNoise ? kCurvatureNoise : kTemperatureNoise,
                             typed));
      continue;
    }
    *target = *value;
  }
  entries.Settings.Robust = form.Robust;
  return entries;
}

FitReading ReadFitForm(const FitForm& form, bool haveRecord, ModelState inputs,
                       const MaterialsCatalogue& catalogue) {
  FitReading reading;
  FitEntries entries = ReadFitEntries(form, inputs.Locale, haveRecord);
  reading.Settings = std::move(entries.Settings);
  reading.Faults = std::move(entries.Faults);
  // The inputs must allow a run, as for a single run.
  reading.InputFaults = FindInputFaults(inputs, &catalogue);
  if (reading.Ready()) {
    try {
      ValidateRunInputs(inputs, &catalogue);
    } catch (const InputError& error) {
      // What only the run's own checks find is told as they tell it.
      for (const std::string& fault : error.Faults()) {
        reading.InputFaults.push_back({nullptr, fault, fault});
      }
    }
  }
  reading.Base = std::move(inputs);
  return reading;
}

std::string FrenchFitFault(const EntryFault& fault, char separator) {
  std::string text = French(fault, separator);
  if (fault.Field == kCurvatureNoise) return "Bruit de la courbure : " + text;
  if (fault.Field == kTemperatureNoise) return "Bruit de la température : " + text;
  if (fault.Quantity != nullptr) return fault.Quantity->Caption + " : " + text;
  // A sentence of its own.
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 32);
  return text;
}

std::vector<std::string> FrenchFaults(const FitReading& reading, char separator) {
  std::vector<std::string> texts;
  for (const EntryFault& fault : reading.Faults) texts.push_back(FrenchFitFault(fault, separator));
  for (const InputFault& fault : reading.InputFaults) texts.push_back(fault.French);
  return texts;
}

FitOutcome RunFit(const ModelState& base, const fit::CalibrationRecord& record,
                  const fit::FitSettings& settings, Handoff<fit::FitProgress>& steps,
                  std::stop_token stop) {
  FitOutcome outcome;
  try {
    outcome.Result = fit::FitRecord(
        base, record, settings,
        [&steps](const fit::FitProgress& progress) {
          steps.Put(progress);
          return true;
        },
        stop);
  } catch (const std::exception& error) {
    outcome.Fault = error.what();
  }
  return outcome;
}

RowsWrite WriteRows(UserCatalogue& user, std::vector<UserMaterial> rows) {
  RowsWrite write;
  for (UserMaterial& existing : user.Read()) {
    for (const UserMaterial& row : rows) {
      if (FoldName(row.Row.Name) == FoldName(existing.Row.Name)) {
        write.Replaced.push_back(existing);
        break;
      }
    }
  }
  user.SaveAll(rows);
  write.Written = std::move(rows);
  return write;
}

void TakeBack(UserCatalogue& user, const RowsWrite& write) {
  for (const UserMaterial& row : write.Written) user.Remove(row.Row.Name);
  if (!write.Replaced.empty()) user.SaveAll(write.Replaced);
}

RowsWrite UndoneWithInputs(const RowsWrite& write) {
  RowsWrite contact;
  const auto isContact = [](const UserMaterial& row) {
    return FoldName(row.Row.Name) == FoldName(kContactName);
  };
  std::copy_if(write.Written.begin(), write.Written.end(), std::back_inserter(contact.Written),
               isContact);
  std::copy_if(write.Replaced.begin(), write.Replaced.end(), std::back_inserter(contact.Replaced),
               isContact);
  return contact;
}

FitSaving PrepareFit(const ModelState& base, const fit::FitResult& result,
                     const std::string& recordName) {
  FitSaving saving;
  fit::FittedMaterials fitted = fit::FitMaterials(base, result, recordName);
  if (!fitted.Faults.empty()) {
    std::vector<std::string> faults;
    for (const InputFault& fault : fitted.Faults) faults.push_back(fault.French);
    saving.Refusal = "Les valeurs ajustées ne peuvent pas être enregistrées :\n" + Bullets(faults);
    return saving;
  }
  saving.Fitted = std::move(fitted);
  return saving;
}

std::string ApplyQuestion(const fit::FittedMaterials& fitted) {
  if (fitted.Rows.empty()) return {};
  std::string text = "Appliquer l'ajustement écrit dans vos matériaux :";
  std::vector<std::string> kept;  // the rows an undo leaves among the user's materials
  if (!fitted.CoatingName.empty()) {
    text += "\n• « " + fitted.CoatingName +
            " », choisi comme dépôt ; tous les calculs suivants qui le choisissent prendront "
            "ces valeurs ;";
    kept.push_back(fitted.CoatingName);
  }
  const std::vector<std::string> coats = FittedCoats(fitted);
  for (std::size_t k = 1; k < coats.size(); ++k) {
    if (coats[k].empty()) continue;
    text += "\n• « " + coats[k] + " », choisi pour la couche " + std::to_string(k + 1) +
            " ; tous les calculs suivants qui le choisissent prendront ces valeurs ;";
    // A row two coats pick is named once.
    if (std::find(kept.begin(), kept.end(), coats[k]) == kept.end()) kept.push_back(coats[k]);
  }
  if (fitted.Contact) {
    text +=
        "\n• la ligne « contact », que tous les calculs suivants utiliseront, quels que soient "
        "les matériaux choisis ;";
  }
  text += "\n\n« Annuler la saisie » reprend ce changement";
  if (kept.size() == 1) {
    text += " ; la ligne « " + kept.front() + " » reste toutefois dans vos matériaux";
  } else if (!kept.empty()) {
    text += " ; les lignes";
    for (std::size_t i = 0; i < kept.size(); ++i) {
      text += (i == 0 ? " « " : i + 1 == kept.size() ? " et « " : ", « ") + kept[i] + " »";
    }
    text += " restent toutefois dans vos matériaux";
  }
  return text + ". Appliquer l'ajustement ?";
}

std::vector<std::string> FittedCoats(const fit::FittedMaterials& fitted) {
  std::vector<std::string> coats;
  for (const CoatInput& coat : fitted.Inputs.Coats) {
    const bool written =
        std::any_of(fitted.Rows.begin(), fitted.Rows.end(), [&coat](const UserMaterial& row) {
          return row.Row.Name == coat.Material && FoldName(row.Row.Name) != FoldName(kContactName);
        });
    coats.push_back(written ? coat.Material : std::string());
  }
  return coats;
}

bool WriteFit(FitSaving& saving, UserCatalogue& user) {
  if (!saving.Fitted || saving.Fitted->Rows.empty()) return saving.Fitted.has_value();
  try {
    saving.Write = WriteRows(user, saving.Fitted->Rows);
  } catch (const CatalogueError&) {
    saving.Refusal = NotWritten("Le matériau n'a pas été enregistré", user.Path());
    saving.Fitted.reset();
    return false;
  }
  return true;
}

}  // namespace quillane::session
