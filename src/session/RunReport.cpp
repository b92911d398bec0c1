#include "session/RunReport.h"

#include <exception>
#include <system_error>

#include "io/Summary.h"
#include "model/Errors.h"
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

std::string CaseOpened(const std::string& path, const std::vector<std::string>& missing) {
  std::string text = "Cas ouvert : " + path;
  for (const std::string& name : missing) {
    text +=
        " ; le matériau « " + name + " » n'est ni dans le catalogue livré ni dans vos matériaux";
  }
  return text;
}

CatalogueOpening OpenCatalogue(const std::filesystem::path& shipped, const UserCatalogue& user,
                               bool first) {
  CatalogueOpening opening;
  std::string userFault;
  try {
    opening.Catalogue = OpenMergedCatalogue(shipped, user, userFault);
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
    return opening;
  }
  if (userFault.empty()) return opening;
  if (!first) {
    opening.Told.Status = "Vos matériaux n'ont pas pu être lus : " + userFault;
    return opening;
  }
  // The user's file is left as it is; the shipped materials still serve.
  opening.Told.Status = "Vos matériaux n'ont pas pu être lus : " + user.Path().string();
  opening.Told.Box = "Vos matériaux (" + user.Path().string() + ") n'ont pas pu être lus :\n" +
                     userFault +
                     "\n\nLes matériaux du catalogue livré restent disponibles ; votre fichier "
                     "n'est pas modifié.";
  return opening;
}

}  // namespace quillane::session
