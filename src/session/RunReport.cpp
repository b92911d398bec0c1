#include "session/RunReport.h"

#include <exception>
#include <string_view>
#include <system_error>

#include "format/NumberFormat.h"
#include "io/JsonDepth.h"
#include "io/Summary.h"
#include "model/Errors.h"
#include "model/InputTable.h"
#include "session/WindowText.h"

namespace quillane::session {

RunOutcome OutcomeOf(const std::function<void()>& job) {
  RunOutcome outcome;
  try {
    job();
    outcome.What = RunOutcome::Kind::Completed;
  } catch (const InputError& error) {
    outcome.What = RunOutcome::Kind::InputFaults;
    outcome.Faults = error.Faults();
  } catch (const RunCancelled&) {
    outcome.What = RunOutcome::Kind::Cancelled;
  } catch (const std::exception& error) {
    outcome.What = RunOutcome::Kind::Failed;
    outcome.Message = error.what();
  } catch (...) {
    outcome.What = RunOutcome::Kind::Failed;
    outcome.Message = "unknown error";
  }
  return outcome;
}

namespace {

constexpr const char* kCannotStart = "Le calcul ne peut pas démarrer :\n";

std::string Absolute(const std::string& path) {
  std::error_code error;
  const auto full = std::filesystem::absolute(path, error);
  return error ? path : full.lexically_normal().string();
}

}  // namespace

RunReport RefusedRun(const std::vector<InputFault>& faults) {
  RunReport report;
  report.Status = "Calcul non lancé : " + std::to_string(faults.size()) + " donnée(s) à corriger.";
  report.Summary = report.Status;
  std::vector<std::string> french;
  for (const InputFault& fault : faults) french.push_back(fault.French);
  report.Box = kCannotStart + Bullets(french);
  return report;
}

RunReport EndOfRun(const RunOutcome& outcome, const ModelState& state, const ResultPaths& paths,
                   const std::string& curvature, const std::string& deflection) {
  RunReport report;
  switch (outcome.What) {
    case RunOutcome::Kind::Completed:
      report.Status = "Calcul terminé : courbure finale " + curvature + " 1/m, flèche finale " +
                      deflection + " m.";
      // Every value no specimen can have, as the batch program warns of it.
      for (const RunWarning& warning : FindRunWarnings(state)) {
        report.Status += ' ' + French(warning, state.Locale.DecimalSeparator);
      }
      // The paths can be long: they go below the commands, where they can wrap and be copied.
      report.Summary = report.Status + "\nFichiers écrits : " + Absolute(paths.Thermal) + " ; " +
                       Absolute(paths.Stress);
      break;
    case RunOutcome::Kind::Cancelled:
      report.Status = "Calcul annulé : aucun fichier de résultats n'a été modifié.";
      report.Summary = report.Status;
      break;
    case RunOutcome::Kind::InputFaults:
      report.Status = "Calcul non lancé : données à corriger.";
      report.Summary = report.Status;
      report.Box = kCannotStart + Bullets(outcome.Faults);
      break;
    case RunOutcome::Kind::Failed:
      report.Status = "Calcul échoué : " + outcome.Message;
      report.Summary = "Le calcul a échoué : " + outcome.Message +
                       "\nAucun fichier de résultats n'a été modifié.";
      report.Box = report.Summary;
      report.Critical = true;
      break;
  }
  return report;
}

namespace {

// A key of the case file as the window names it: its caption, with the key for the file.
std::string KeyText(const std::string& key) {
  const InputSpec* input = FindInput(key);
  if (input == nullptr || input->Caption == nullptr || input->Caption[0] == '\0') {
    return "« " + key + " »";
  }
  return "« " + std::string(input->Caption) + " » (" + key + ")";
}

std::string ValueText(const CaseFault& fault, char separator) {
  switch (fault.ValueShape) {
    case CaseFault::Shape::Array:
      return "un tableau";
    case CaseFault::Shape::Object:
      return "un objet";
    case CaseFault::Shape::Text: {
      std::string text = fault.Value;
      if (!text.empty() && text.front() == '"') text.erase(0, 1);
      if (!text.empty() && text.back() == '"') text.pop_back();
      return "« " + text + " »";
    }
    case CaseFault::Shape::Scalar:
      break;
  }
  // A number as the window writes numbers, with the user's decimal separator; true, false and
  // null as the file has them.
  const auto number = format::ParseStrict(fault.Value);
  return number ? format::FormatGeneral(*number, separator) : fault.Value;
}

}  // namespace

std::string CaseFaultText(const CaseFault& fault, char separator) {
  using Kind = CaseFault::Kind;
  const std::string at = fault.Origin.empty() ? std::string() : fault.Origin + " : ";
  const std::string key =
      KeyText(fault.Key) + (fault.Coat > 0 ? " de la couche " + std::to_string(fault.Coat) : "");
  switch (fault.What) {
    case Kind::Unreadable:
      return "Le fichier de cas " + fault.Origin + " ne peut pas être lu.";
    case Kind::TooLarge:
      return "Le fichier de cas " + fault.Origin + " dépasse " +
             format::FormatGeneral(fault.High / 1048576, separator) + " Mio : ce n'est pas un cas.";
    case Kind::TooDeep:
      return at + "ce n'est pas un fichier de cas : tableaux et objets imbriqués sur plus de " +
             std::to_string(kMaxJsonDepth) + " niveaux.";
    case Kind::NotJson:
      return at + "ce n'est pas un fichier de cas JSON valide (erreur de syntaxe ligne " +
             std::to_string(fault.Line) + ", colonne " + std::to_string(fault.Column) + ").";
    case Kind::NumberTooLarge:
      return at + "un nombre dépasse l'étendue des nombres que le programme représente.";
    case Kind::NotObject:
      return at + "un fichier de cas doit contenir un seul objet JSON.";
    case Kind::KeyTwice:
      return at + "la clé " + key + " est donnée deux fois.";
    case Kind::NotCatalogue:
      return at + key + " doit nommer un fichier de catalogue.";
    case Kind::UnknownKey:
      return at + "clé inconnue " + key + ".";
    case Kind::NotNumber:
      return at + key + " doit être un nombre, pas " + ValueText(fault, separator) + ".";
    case Kind::NotWhole:
      return at + key + " doit être un nombre entier, pas " + ValueText(fault, separator) + ".";
    case Kind::OutOfRange:
      return at + key + " vaut " + ValueText(fault, separator) +
             " ; la valeur doit être comprise entre " +
             format::FormatGeneral(fault.Low, separator) + " et " +
             format::FormatGeneral(fault.High, separator) + ".";
    case Kind::NotText:
      return at + key + " doit être un texte, pas " + ValueText(fault, separator) + ".";
    case Kind::NotFinite:
      return key + " n'est pas un nombre fini : le cas ne peut pas être enregistré.";
    case Kind::NotCoats:
      return at + "« Coats » doit être une liste de couches, chacune un objet de clés.";
  }
  return at + "ce n'est pas un fichier de cas.";
}

std::string CaseNotOpened(const std::string& path, const CaseFault* fault, char separator) {
  return "Le cas n'a pas pu être ouvert :\n" +
         (fault != nullptr ? CaseFaultText(*fault, separator)
                           : "le fichier " + path + " ne peut pas être lu.");
}

std::string CaseNotSaved(const std::string& path, const CaseFault* fault, char separator) {
  return "Le cas n'a pas pu être enregistré :\n" +
         (fault != nullptr ? CaseFaultText(*fault, separator)
                           : "le fichier " + path +
                                 " ne peut pas être écrit (dossier absent ou protégé, disque "
                                 "plein) ; un fichier du même nom reste tel qu'il était.");
}

RunReport Refusal(const std::string& box, const std::string& lead) {
  const std::size_t end = box.find('\n');
  const std::string reason = end == std::string::npos ? std::string() : box.substr(end + 1);
  RunReport told;
  told.Status = lead.empty() ? box.substr(0, end) + " " + reason : lead + reason;
  told.Box = box;
  return told;
}

std::string OtherCatalogue(const std::string& catalogue) {
  return "Ce cas a été préparé pour le catalogue " + catalogue +
         ", que la fenêtre n'utilise pas : les calculs prendront les matériaux du catalogue "
         "habituel et les vôtres. Pour des figures ajustées, appliquez l'ajustement comme "
         "matériau utilisateur, ou lancez ce cas avec quillane-batch.";
}

namespace {

std::string CaseName(const std::string& path) {
  return path.empty() ? std::string("sans titre") : std::filesystem::path(path).filename().string();
}

}  // namespace

std::string CaseTitle(const std::string& path) {
  return "Géometrie — " + CaseName(path) + "[*]";
}

std::string SaveQuestion(const std::string& path) {
  return "Le cas « " + CaseName(path) +
         " » a des modifications qui ne sont pas enregistrées. Les enregistrer avant de "
         "fermer ?";
}

std::string ProposedCaseFile(const std::string& path, const std::string& folder) {
  constexpr std::string_view kSuffix = ".quillane.json";
  if (path.empty()) return (std::filesystem::path(folder) / "cas.quillane.json").string();
  std::string name = std::filesystem::path(path).filename().string();
  if (name.ends_with(kSuffix)) return path;
  if (name.ends_with(".json")) name.erase(name.size() - 5);
  return (std::filesystem::path(path).parent_path() / (name + std::string(kSuffix))).string();
}

std::string QuitQuestion(const WorkInHand& work) {
  std::vector<std::string> lost;
  if (work.RunGoing) lost.emplace_back("le calcul en cours, qui n'écrira aucun fichier ;");
  const std::string rows = std::to_string(work.StudyRows);
  if (work.StudyGoing) {
    lost.push_back("l'étude paramétrique en cours (" + rows + " points terminés sur " +
                   std::to_string(work.StudyPoints) + ") ;");
  } else if (work.StudyRows > 0 && !work.StudyExported) {
    lost.push_back(work.StudyRows == 1
                       ? "la ligne de l'étude paramétrique, qui n'est pas exportée ;"
                       : "les " + rows +
                             " lignes de l'étude paramétrique, qui ne sont pas "
                             "exportées ;");
  }
  if (work.FitGoing) lost.emplace_back("l'ajustement en cours ;");
  if (work.FitUnapplied) lost.emplace_back("l'ajustement terminé, qui n'est pas appliqué ;");
  if (lost.empty()) return {};
  // The last item ends the list: " ;" becomes ".".
  lost.back().replace(lost.back().size() - 2, 2, ".");
  return "Quitter Quillane maintenant perdrait :" + Bullets(lost) + "\n\nQuitter quand même ?";
}

std::string CaseOpened(const std::string& path, const std::vector<std::string>& missing) {
  std::string text = "Cas ouvert : " + path;
  for (const std::string& name : missing) {
    text +=
        " ; le matériau « " + name + " » n'est ni dans le catalogue livré ni dans vos matériaux";
  }
  return text;
}

namespace {

CatalogueOpening UserMaterialsRefused(const DamagedUserCatalogue& error, const UserCatalogue& user,
                                      bool first) {
  CatalogueOpening opening;
  opening.UserDamaged = true;
  opening.Told.Status = "Vos matériaux n'ont pas tous pu être lus : " +
                        (first ? user.Path().string() : error.Fault());
  if (!first) return opening;
  // The user's file is left as it is, and never silently replaced by the shipped figures.
  opening.Told.Box = "Vos matériaux (" + user.Path().string() + ") n'ont pas tous pu être lus :\n" +
                     error.Fault() +
                     "\n\nVotre fichier n'est pas modifié. Aucun calcul ne prend les matériaux "
                     "livrés à la place des vôtres : réparez ce fichier, ou calculez avec les "
                     "matériaux livrés seuls.";
  return opening;
}

}  // namespace

CatalogueOpening OpenCatalogue(const std::filesystem::path& shipped, const UserCatalogue& user,
                               bool first, bool shippedOnly) {
  CatalogueOpening opening;
  try {
    opening.Catalogue = ChooseCatalogue({shipped, {}, shippedOnly}, user);
  } catch (const DamagedUserCatalogue& error) {
    return UserMaterialsRefused(error, user, first);
  } catch (const CatalogueError& error) {
    if (!first) {
      opening.Told.Status = std::string("Catalogue des matériaux illisible : ") + error.what();
      return opening;
    }
    opening.Told.Status = "Catalogue des matériaux introuvable ou illisible : " + shipped.string();
    opening.Told.Box = "Le catalogue des matériaux " + shipped.string() +
                       " n'a pas pu être ouvert :\n" + error.what() +
                       "\n\nLes listes de matériaux restent vides et aucun calcul n'est possible.";
    opening.Told.Critical = true;
  }
  return opening;
}

}  // namespace quillane::session
