#include "session/FitView.h"

#include <algorithm>
#include <cmath>

#include "format/NumberFormat.h"
#include "run/EntryFault.h"
#include "run/QuantityTable.h"
#include "session/FitForm.h"

namespace quillane::session {

namespace {

// The figure's caption and display unit: the quantity table's, or the record's time shift.
struct FigureShown {
  std::string Caption;
  std::string Unit;
  double Factor = 1;  // SI value of one display unit
};

FigureShown ShownFigure(const std::string& name) {
  if (name == fit::kTimeShift) return {"Décalage de l'horloge du relevé", "s", 1};
  const QuantitySpec& figure = Quantity(name);
  return {figure.Caption, figure.DisplayUnit, figure.DisplayFactor};
}

std::string SeriesCaption(const std::string& column) {
  if (column == "curvature") return "la courbure";
  if (column == "temperature") return "la température de la face arrière";
  return "la température de surface";
}

// The note on the whole fit.
std::string FrenchFitNote(const fit::FitNote& note, char separator) {
  const auto figure = [&](double v) { return ExponentFigure(v, separator); };
  switch (note.Kind) {
    case fit::NoteKind::PoorFit: {
      const std::string unit = note.Parameter == "curvature" ? " 1/m" : " K";
      const std::string head = "Le modèle ne suit pas l'enregistrement : pour " +
                               SeriesCaption(note.Parameter) + ", les résidus ont un RMS de " +
                               figure(note.Value) + unit + ", ";
      if (std::isnan(note.High)) {
        return head + ExponentFigure(note.Value / note.StandardError, separator, 3) +
               " fois le bruit donné (" + figure(note.StandardError) + unit + ").";
      }
      return head + "le bruit estimé sur eux, mais leurs signes se suivent en " +
             format::FormatPattern(note.Low, "0") + " séries là où le bruit en donne environ " +
             format::FormatPattern(note.High, "0") +
             " : l'écart vient du modèle, non du bruit (horloge décalée, modèle inadapté, "
             "grandeur non ajustée ?).";
    }
    case fit::NoteKind::UnusedColumns:
      return "Les colonnes " + note.Parameter +
             " de l'enregistrement ne servent pas : un ajustement lit time, curvature, "
             "temperature et surface_temperature.";
    case fit::NoteKind::OnePassModel:
      return "L'enregistrement va au-delà de la première des " +
             format::FormatPattern(note.Value, "0") +
             " passes du cas, mais le modèle à une passe ne suit que la première : ajustez-le avec "
             "le modèle du dépôt entier.";
    default:
      return {};
  }
}

}  // namespace

std::string FrenchNote(const fit::FitNote& note, char separator) {
  if (note.OnFit()) return FrenchFitNote(note, separator);
  const FigureShown figure = ShownFigure(note.Parameter);
  // In the unit of the figure's box, as the table beside the note gives it.
  const auto shown = [&](double value) {
    return ExponentFigure(ScaleFromSi(value, figure.Factor), separator) + " " + figure.Unit;
  };
  const std::string interval = shown(note.Low) + " à " + shown(note.High);
  const std::string named = "la grandeur « " + figure.Caption + " »";
  switch (note.Kind) {
    case fit::NoteKind::LargeError:
      return "La grandeur « " + figure.Caption +
             " » n'est pas déterminée par cet enregistrement : son intervalle, " + interval +
             ", contient zéro et va au-delà de sa valeur " + shown(note.Value) +
             " ; même son signe n'est pas connu.";
    case fit::NoteKind::NotQuadratic:
      return "Pour " + named + ", l'écart n'est pas quadratique autour de " + shown(note.Value) +
             " : son écart type tiré de la covariance (" + shown(note.StandardError) +
             ") ne tient pas. L'intervalle, " + interval +
             ", est celui où l'écart, les autres grandeurs réajustées, reste à moins d'une unité "
             "de khi-deux de son minimum.";
    case fit::NoteKind::BetterPoint:
      return "Pour " + named +
             ", le solveur s'est arrêté avant le meilleur ajustement : une recherche autour a "
             "trouvé un écart plus faible, et l'ajustement a repris de là (" +
             shown(note.Value) + ").";
    case fit::NoteKind::AtBound: {
      const bool upper = !std::isnan(note.High);
      return "La grandeur « " + figure.Caption + " » est à sa borne " +
             (upper ? "supérieure " : "inférieure ") + shown(upper ? note.High : note.Low) +
             " : l'enregistrement en demande " + (upper ? "plus" : "moins") +
             ". Aucun écart type n'est donné pour elle.";
    }
    case fit::NoteKind::FlatRange:
      return "La grandeur « " + figure.Caption +
             " » ne peut pas être déterminée par cet enregistrement : d'une borne à l'autre, " +
             interval +
             ", l'écart, les autres grandeurs réajustées, reste dans le bruit (une unité de "
             "khi-deux) de celui de l'ajustement. Elle est restée à " +
             shown(note.Value) + ".";
    case fit::NoteKind::OneSided: {
      const bool upper = !std::isnan(note.High);
      return "La grandeur « " + figure.Caption +
             " » n'est pas déterminée par cet enregistrement : de " + shown(note.Value) +
             " à sa borne " + (upper ? "supérieure " : "inférieure ") +
             shown(upper ? note.High : note.Low) +
             ", l'écart change moins que le bruit (une unité de khi-deux) ; l'enregistrement dit "
             "seulement qu'elle n'est guère " +
             (upper ? "en dessous de " : "au-dessus de ") + shown(note.Value) +
             ". Aucun écart type n'est donné pour elle.";
    }
    default:
      return {};
  }
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
  // Four digits, as the table above writes numbers.
  const auto rms = [separator](double value) {
    return format::FormatTableNumber(value, separator, 4);
  };
  std::string text = "Résidus RMS : courbure " + rms(result.CurvatureRms) + " 1/m";
  if (std::isfinite(result.TemperatureRms)) {
    text += ", température " + rms(result.TemperatureRms) + " K";
  }
  if (std::isfinite(result.SurfaceRms)) {
    text += ", température de surface " + rms(result.SurfaceRms) + " K";
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
  // French takes the singular for 0 and 1.
  const std::string iterations =
      std::to_string(result.Iterations) + (result.Iterations > 1 ? " itérations" : " itération");
  if (result.Cancelled) {
    return "Ajustement annulé après " + iterations + " : rien n'a changé.";
  }
  if (result.Failed) {
    return "L'ajustement n'a pas pu être fait : le modèle ne donne pas d'écart fini avec cet "
           "enregistrement à son départ. Rien n'a changé.";
  }
  if (!FollowsRecord(result)) {
    return "Ajustement terminé en " + iterations +
           ", mais le modèle ne suit pas l'enregistrement : voir les remarques.";
  }
  return "Ajustement terminé en " + iterations + "." +
         (result.Notes.empty() ? "" : " Voir les remarques.");
}

std::vector<FitTableRow> FitTable(const fit::FitResult& result, char separator) {
  std::vector<FitTableRow> rows;
  for (std::size_t j = 0; j < result.Names.size(); ++j) {
    const FigureShown figure = ShownFigure(result.Names[j]);
    const auto display = [&](double si) { return ScaleFromSi(si, figure.Factor); };
    FitTableRow row{
        figure.Caption,
        result.Names[j],
        {display(result.Start[j]), display(result.Value[j]), display(result.StandardError[j])},
        {},
        figure.Unit};
    // As every table shows numbers; three digits tell a standard error.
    for (std::size_t c = 0; c < 3; ++c) {
      row.Texts[c] = format::FormatTableNumber(row.Values[c], separator, c == 2 ? 3 : 7);
    }
    // The interval always, with digits enough to tell its ends apart; the covariance's error
    // beside it where it holds.
    if (j < result.IntervalLow.size() && std::isfinite(result.IntervalLow[j]) &&
        std::isfinite(result.IntervalHigh[j])) {
      const double low = display(result.IntervalLow[j]);
      const double high = display(result.IntervalHigh[j]);
      const int digits = fit::IntervalDigits(low, high);
      const std::string interval = format::FormatTableNumber(low, separator, digits) + " à " +
                                   format::FormatTableNumber(high, separator, digits);
      row.Texts[2] = std::isfinite(result.StandardError[j]) ? interval + " (± " + row.Texts[2] + ")"
                                                            : interval;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

bool FollowsRecord(const fit::FitResult& result) {
  return std::none_of(result.Notes.begin(), result.Notes.end(), [](const fit::FitNote& note) {
    return note.Kind == fit::NoteKind::PoorFit || note.Kind == fit::NoteKind::OnePassModel;
  });
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
    case Kind::TooLarge:
      return head + "il dépasse " + Shortest(fault->Limit / 1048576, separator) +
             " Mio, ce qu'aucun enregistrement n'atteint.";
    case Kind::Empty:
      return head + "l'enregistrement est vide ; il lui faut une ligne d'en-tête.";
    case Kind::NamedTwice:
      return head + line + "la colonne « " + fault->Column + " » est nommée deux fois.";
    case Kind::NoHeader:
      return head + line +
             "l'en-tête doit nommer les colonnes « time » (s) et « curvature » (1/m), et peut "
             "nommer « temperature » (K, face arrière) et « surface_temperature » (K).";
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
    case Kind::OutOfRange:
      return head + line + fault->Column + " « " + fault->Cell + " » dépasse " +
             Shortest(fault->Limit, separator) + (fault->Column == "curvature" ? " 1/m" : " K") +
             " en grandeur : aucune mesure n'en donne autant (faute de frappe ou d'unité ?).";
  }
  return head + "ce n'est pas un enregistrement.";
}

std::string AppliedText(const fit::FittedMaterials& fitted) {
  std::vector<std::string> done;
  if (!fitted.CoatingName.empty()) {
    done.push_back("matériau « " + fitted.CoatingName + " » enregistré et choisi comme dépôt");
  }
  const std::vector<std::string> coats = FittedCoats(fitted);
  for (std::size_t k = 1; k < coats.size(); ++k) {
    if (coats[k].empty()) continue;
    done.push_back("matériau « " + coats[k] + " » enregistré et choisi pour la couche " +
                   std::to_string(k + 1));
  }
  if (fitted.Contact) done.emplace_back("ligne « contact » de vos matériaux enregistrée");
  if (fitted.HeatFlux) done.emplace_back("flux thermique reporté dans la fenêtre de saisie");
  std::string text = "Ajustement appliqué : ";
  for (std::size_t i = 0; i < done.size(); ++i) text += (i > 0 ? " ; " : "") + done[i];
  return text + '.';
}

}  // namespace quillane::session
