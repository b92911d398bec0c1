#include "session/FitView.h"

#include <algorithm>
#include <cmath>

#include "format/NumberFormat.h"
#include "run/EntryFault.h"
#include "run/QuantityTable.h"

namespace quillane::session {

std::string FrenchNote(const fit::FitNote& note, char separator) {
  const QuantitySpec& figure = Quantity(note.Parameter);
  // In the unit of the figure's box, as the table beside the note gives it.
  const auto shown = [&](double value) {
    return ExponentFigure(figure.ToDisplay(value), separator) + " " + figure.DisplayUnit;
  };
  // How the notes of a scanned figure end.
  const std::string interval = " garde l'écart au plus à une unité de khi-deux de son minimum de " +
                               shown(note.Low) + " à " + shown(note.High) + ", l'intervalle donné.";
  switch (note.Kind) {
    case fit::NoteKind::Undetermined:
      return "La grandeur « " + figure.Caption +
             " » ne peut pas être déterminée par cet enregistrement : la courbure et la "
             "température du modèle n'en dépendent pas, ou seulement avec une autre grandeur. "
             "Elle est restée à " +
             shown(note.Value) + ".";
    case fit::NoteKind::LargeError:
      return "La grandeur « " + figure.Caption +
             " » n'est pas déterminée par cet enregistrement : son écart type (" +
             shown(note.StandardError) + ") dépasse sa valeur (" + shown(note.Value) + ").";
    case fit::NoteKind::Rough:
      return "Le modèle ne varie pas régulièrement avec la grandeur « " + figure.Caption +
             " » près de " + shown(note.Value) +
             " (ses pentes sur un petit et sur un plus grand pas diffèrent) : " +
             (std::isnan(note.StandardError) ? std::string("la covariance n'en dit rien")
                                             : "son écart type tiré de la covariance (" +
                                                   shown(note.StandardError) + ") ne tient pas") +
             ". Un balayage autour d'elle" + interval;
    case fit::NoteKind::BetterStart:
      return "Pour la grandeur « " + figure.Caption +
             " », le solveur, relancé de part et d'autre de son premier arrêt, a trouvé un écart "
             "plus faible à " +
             shown(note.Value) + ", valeur retenue. Un balayage autour d'elle" + interval;
    case fit::NoteKind::BetterPoint:
      return "Pour la grandeur « " + figure.Caption +
             " », le solveur s'est arrêté avant le meilleur ajustement : un balayage à moins de 5 "
             "écarts types a trouvé un écart plus faible à " +
             shown(note.Value) + ", valeur retenue. Le balayage" + interval;
    case fit::NoteKind::AtBound: {
      const bool upper = !std::isnan(note.High);
      return "La grandeur « " + figure.Caption + " » est à sa borne " +
             (upper ? "supérieure " : "inférieure ") + shown(upper ? note.High : note.Low) +
             " : l'enregistrement en demande " + (upper ? "plus" : "moins") +
             ". Aucun écart type n'est donné pour elle.";
    }
    case fit::NoteKind::NearBound: {
      const bool upper = !std::isnan(note.High);
      return "La grandeur « " + figure.Caption +
             " » n'est pas déterminée par cet enregistrement : son écart type (" +
             shown(note.StandardError) + ") est du même ordre que sa distance à sa borne " +
             (upper ? "supérieure " : "inférieure ") + shown(upper ? note.High : note.Low) +
             " ; ce sont les bornes, non l'enregistrement, qui fixent sa valeur " +
             shown(note.Value) + ".";
    }
    case fit::NoteKind::FlatRange:
      return "La grandeur « " + figure.Caption +
             " » ne peut pas être déterminée par cet enregistrement : à ses deux bornes, " +
             shown(note.Low) + " et " + shown(note.High) +
             ", l'écart reste dans le bruit (une unité de khi-deux) de celui de l'ajustement. "
             "Elle est restée à " +
             shown(note.Value) + ".";
    case fit::NoteKind::OneSided: {
      const bool upper = !std::isnan(note.High);
      return "La grandeur « " + figure.Caption +
             " » n'est pas déterminée par cet "
             "enregistrement : de " +
             shown(note.Value) + " à sa borne " + (upper ? "supérieure " : "inférieure ") +
             shown(upper ? note.High : note.Low) +
             ", l'écart change moins que le bruit (une unité de khi-deux) ; l'enregistrement dit "
             "seulement qu'elle n'est guère " +
             (upper ? "en dessous de " : "au-dessus de ") + shown(note.Value) +
             ". Aucun écart type n'est donné pour elle.";
    }
  }
  return {};
}

std::string FrenchEnd(const fit::FitResult& result) {
  switch (result.End) {
    case fit::FitEnd::FunctionTolerance:
      return "tolérance sur la variation du coût atteinte";
    case fit::FitEnd::GradientTolerance:
      return "tolérance sur le gradient atteinte";
    case fit::FitEnd::ParameterTolerance:
      return "tolérance sur la variation des grandeurs atteinte";
    case fit::FitEnd::IterationLimit:
      return "nombre maximal d'itérations atteint";
    case fit::FitEnd::Other:
      break;
  }
  return result.Termination;
}

std::string FitSummary(const fit::FitResult& result, char separator) {
  std::string text =
      "Résidus RMS : courbure " + ExponentFigure(result.CurvatureRms, separator, 4) + " 1/m";
  if (std::isfinite(result.TemperatureRms)) {
    text += ", température " + ExponentFigure(result.TemperatureRms, separator, 4) + " K";
  }
  text += ".\nItérations : " + std::to_string(result.Iterations) +
          ". Fin du solveur : " + FrenchEnd(result) + ".";
  if (!result.Notes.empty()) {
    text += "\n\nRemarques :";
    for (const fit::FitNote& note : result.Notes) text += "\n• " + FrenchNote(note, separator);
  }
  return text;
}

std::vector<OverlaySeries> FitOverlay(const fit::CalibrationRecord& record,
                                      const fit::FitResult* fit) {
  struct Source {
    const char* Label;
    const char* Unit;
    const std::vector<double>* Measured;
    const std::vector<double>* AtTimes;  // the model at the record's times
    const std::vector<double>* CurveTime;
    const std::vector<double>* Curve;
  };
  std::vector<Source> sources = {
      {"Courbure", "1/m", &record.Curvature, fit ? &fit->ModelCurvature : nullptr,
       fit ? &fit->CurveTime : nullptr, fit ? &fit->CurveCurvature : nullptr}};
  if (record.HasTemperature()) {
    sources.push_back({"Température de la face arrière", "K", &record.Temperature,
                       fit ? &fit->ModelTemperature : nullptr, fit ? &fit->ThermalTime : nullptr,
                       fit ? &fit->ThermalBack : nullptr});
  }
  std::vector<OverlaySeries> series;
  for (const Source& source : sources) {
    OverlaySeries s;
    s.Label = source.Label;
    s.Unit = source.Unit;
    s.ValueAxis = std::string(source.Label) + " (" + source.Unit + ")";
    s.ResidualAxis = std::string("Résidu (") + source.Unit + ")";
    s.From = std::min(0.0, record.Time.front());
    s.To = record.Time.back();
    for (std::size_t i = 0; i < record.Time.size(); ++i) {
      const double value = (*source.Measured)[i];
      if (std::isnan(value)) continue;
      s.Time.push_back(record.Time[i]);
      s.Measured.push_back(value);
      if (fit) s.Residual.push_back(value - (*source.AtTimes)[i]);
    }
    if (fit) {
      s.CurveTime = *source.CurveTime;
      s.Curve = *source.Curve;
    }
    series.push_back(std::move(s));
  }
  return series;
}

std::string OverlayTitle(const std::string& recordName, bool fitted) {
  return (fitted ? "Mesures et modèle ajusté — " : "Mesures — ") + recordName;
}

std::string RecordText(const fit::CalibrationRecord& record, const std::string& fileName,
                       char separator) {
  return fileName + " — " + std::to_string(record.Time.size()) + " points de " +
         format::FormatGeneral(record.Time.front(), separator) + " à " +
         format::FormatGeneral(record.Time.back(), separator) + " s" +
         (record.HasTemperature() ? ", avec la température de la face arrière" : "");
}

std::string IterationText(const fit::FitProgress& progress, char separator) {
  return "Itération " + std::to_string(progress.Iteration) + " — coût " +
         format::FormatPattern(progress.Cost, "0.000E+00", separator);
}

std::string EndText(const fit::FitResult& result) {
  const std::string iterations = std::to_string(result.Iterations);
  if (result.Cancelled) {
    return "Ajustement annulé après " + iterations + " itération(s) : rien n'a changé.";
  }
  return "Ajustement terminé en " + iterations + " itérations." +
         (result.Notes.empty() ? "" : " Voir les remarques.");
}

std::vector<FitTableRow> FitTable(const fit::FitResult& result, char separator) {
  std::vector<FitTableRow> rows;
  for (std::size_t j = 0; j < result.Names.size(); ++j) {
    const QuantitySpec& figure = Quantity(result.Names[j]);
    FitTableRow row{figure.Caption,
                    figure.Name,
                    {figure.ToDisplay(result.Start[j]), figure.ToDisplay(result.Value[j]),
                     figure.ToDisplay(result.StandardError[j])},
                    {},
                    figure.DisplayUnit};
    // Three digits tell a standard error.
    for (std::size_t c = 0; c < 3; ++c) {
      row.Texts[c] = ExponentFigure(row.Values[c], separator, c == 2 ? 3 : 7);
    }
    // Where the response is not smooth the covariance's error does not hold: the interval a
    // scan found stands in its place, as the notes and the batch program give it.
    if (j < result.IntervalFromScan.size() && result.IntervalFromScan[j]) {
      row.Values[2] = std::nan("");
      row.Texts[2] = ExponentFigure(figure.ToDisplay(result.IntervalLow[j]), separator, 3) + " à " +
                     ExponentFigure(figure.ToDisplay(result.IntervalHigh[j]), separator, 3) +
                     " (balayage)";
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

namespace {

std::string Shortest(double value, char separator) {
  std::string text = format::FormatShortest(value);
  std::replace(text.begin(), text.end(), '.', separator);
  return text;
}

}  // namespace

std::string RecordRefused(const std::string& path, const fit::RecordFault* fault, char separator) {
  using Kind = fit::RecordFault::Kind;
  const std::string head = "L'enregistrement " + path + " ne peut pas servir à un ajustement :\n";
  if (fault == nullptr) return head + "il ne peut pas être lu.";
  const std::string line = "ligne " + std::to_string(fault->Line) + " : ";
  switch (fault->What) {
    case Kind::Unreadable:
      return head + "le fichier ne peut pas être lu.";
    case Kind::Folder:
      return head + "c'est un dossier, pas un fichier.";
    case Kind::Empty:
      return head + "l'enregistrement est vide ; il lui faut une ligne d'en-tête.";
    case Kind::NamedTwice:
      return head + line + "la colonne « " + fault->Column + " » est nommée deux fois.";
    case Kind::NoHeader:
      return head + line +
             "l'en-tête doit nommer les colonnes « time » (s) et « curvature » (1/m), et peut "
             "nommer « temperature » (K).";
    case Kind::FieldCount:
      return head + line + std::to_string(fault->Count) + " champs là où l'en-tête en nomme " +
             std::to_string(fault->Expected) + ".";
    case Kind::NotNumber:
      return head + line + fault->Column + " « " + fault->Cell + " » n'est pas un nombre fini.";
    case Kind::NotAfter:
      return head + line + "le temps " + Shortest(fault->Time, separator) +
             " s ne vient pas après le précédent, " + Shortest(fault->Previous, separator) + " s.";
    case Kind::TooFewRows:
      return head + line + "un enregistrement doit avoir au moins deux lignes de mesures.";
  }
  return head + "ce n'est pas un enregistrement.";
}

std::string AppliedText(const fit::FittedMaterials& fitted) {
  std::vector<std::string> done;
  if (!fitted.CoatingName.empty()) {
    done.push_back("matériau « " + fitted.CoatingName + " » enregistré et choisi comme dépôt");
  }
  if (fitted.Contact) done.emplace_back("ligne « contact » de vos matériaux enregistrée");
  if (fitted.HeatFlux) done.emplace_back("flux thermique reporté dans la fenêtre de saisie");
  std::string text = "Ajustement appliqué : ";
  for (std::size_t i = 0; i < done.size(); ++i) text += (i > 0 ? " ; " : "") + done[i];
  return text + '.';
}

}  // namespace quillane::session
