#include "run/EntryFault.h"

#include <cmath>

#include "format/NumberFormat.h"

namespace quillane {

namespace {

std::string Number(double value) {
  return format::FormatShortest(value);
}

// A limit on a count, in whole digits ("100000", where the shortest form is "1e+05").
std::string Count(double value) {
  return std::to_string(static_cast<long long>(value));
}

// SI numbers with the SI unit, for the English.
std::string English(const EntryFault& fault, double value) {
  const std::string unit = fault.Quantity != nullptr ? fault.Quantity->Unit : "";
  return Number(value) + (unit.empty() ? "" : " " + unit);
}

// "la " before the boxes whose name is feminine ("la fin"), "le " before the others.
std::string BoxArticle(const std::string& box) {
  return box == "fin" || box == "moyenne" ? "la " : "le ";
}

// Numbers in the unit of the quantity's box, for the French.
class FrenchNumbers {
 public:
  FrenchNumbers(const EntryFault& fault, char separator)
      : quantity_(fault.Quantity), separator_(separator) {}
  std::string Bare(double si) const {
    return format::FormatGeneral(quantity_ != nullptr ? quantity_->ToDisplay(si) : si, separator_);
  }
  std::string WithUnit(double si) const {
    const std::string unit = quantity_ != nullptr ? quantity_->DisplayUnit : "";
    return Bare(si) + (unit.empty() ? "" : " " + unit);
  }

 private:
  const QuantitySpec* quantity_;
  char separator_;
};

}  // namespace

std::optional<EntryFault> CheckValue(const QuantitySpec& quantity, double value) {
  EntryFault fault;
  fault.Quantity = &quantity;
  fault.Value = value;
  fault.Min = quantity.Min;
  fault.Max = quantity.Max;
  if (!std::isfinite(value)) {
    fault.Kind = FaultKind::NotFinite;
    return fault;
  }
  if (quantity.Whole && (value != std::floor(value) || std::fabs(value) > kMaxInteger)) {
    fault.Kind = FaultKind::NotWhole;
    return fault;
  }
  if (quantity.Column != nullptr && quantity.Column->Field == &MaterialRecord::Poisson &&
      !(value < 1)) {
    fault.Kind = FaultKind::NotBelowOne;
    return fault;
  }
  if (quantity.Bounded && (value < quantity.Min || value > quantity.Max)) {
    fault.Kind = FaultKind::OutOfRange;
    return fault;
  }
  return std::nullopt;
}

std::string ExponentFigure(double value, char separator, int digits) {
  if (std::isnan(value)) return "—";
  if (value == 0) return "0";
  const std::string pattern =
      "0." + std::string(static_cast<std::size_t>(digits - 1), '#') + "E+00";
  std::string text = format::FormatPattern(value, pattern, separator);
  // A figure with no digit after the separator drops the separator too ("1E+08").
  const std::size_t e = text.find('E');
  if (e != std::string::npos && e > 0 && text[e - 1] == separator) text.erase(e - 1, 1);
  return text;
}

std::string English(const EntryFault& f) {
  const auto value = [&f](double v) { return English(f, v); };
  const std::string field = f.Field.empty() ? "the value" : "\"" + f.Field + "\"";
  switch (f.Kind) {
    case FaultKind::NotFinite:
      return "the value " + value(f.Value) + " is not finite.";
    case FaultKind::NotWhole:
      return "the value " + value(f.Value) + " is not a whole number the input can hold.";
    case FaultKind::OutOfRange:
      return "the value " + value(f.Value) + " lies outside the " +
             (f.Quantity != nullptr && !f.Quantity->IsInput() ? "catalogue bounds "
                                                              : "allowed range ") +
             Number(f.Min) + " to " + value(f.Max) + ".";
    case FaultKind::NotBelowOne:
      return "the value " + value(f.Value) + " must be less than 1.";
    case FaultKind::TooFewSteps:
      return "\"steps\" must be at least 1.";
    case FaultKind::TooManySteps:
      return "\"steps\" " + std::to_string(f.Count) + " is above " + Count(f.Max) + ".";
    case FaultKind::EndsNotFinite:
      return "the ends of the range must be finite.";
    case FaultKind::EmptyRange:
      return "the range from " + Number(f.Value) + " to " + Number(f.Value2) + " is empty.";
    case FaultKind::ReversedRange:
      return "the range is reversed: \"from\" " + Number(f.Value) + " is above \"to\" " +
             Number(f.Value2) + ".";
    case FaultKind::LogNotPositive:
      return "a logarithmic range must lie above zero, not from " + Number(f.Value) + ".";
    case FaultKind::LawNotFinite:
      return "the mean and the standard deviation must be finite numbers.";
    case FaultKind::DeviationNotPositive:
      return "the standard deviation must be above zero, not " + Number(f.Value2) + ".";
    case FaultKind::NotANumber:
      if (f.Text.empty()) return field + " is empty.";
      return field + " \"" + f.Text + "\" is not a number.";
    case FaultKind::NotPositive:
      return field + " \"" + f.Text + "\" is not a positive number.";
    case FaultKind::SameQuantity:
      return "the quantity is already varied.";
    case FaultKind::TooManyPoints:
      return "the study has " + std::to_string(f.Count) + " points, more than " + Count(f.Max) +
             ".";
    case FaultKind::TooFewSamples:
      return "\"samples\" must be at least 1.";
    case FaultKind::NothingChosen:
      return "choose at least one figure to fit.";
    case FaultKind::BoundsReversed:
      return "the bounds " + Number(f.Value) + " to " + Number(f.Value2) +
             " are reversed or empty.";
    case FaultKind::BoundsBeyond:
      return "the bounds " + Number(f.Value) + " to " + Number(f.Value2) +
             " go beyond the allowed " + Number(f.Min) + " to " + Number(f.Max) + ".";
    case FaultKind::NoRecord:
      return "a fit needs a record.";
    case FaultKind::UnknownQuantity:
      return "unknown quantity; give a numeric case key such as \"PassThickness\" or a material "
             "figure such as \"coating.SigmaQ\".";
    case FaultKind::NotFittable:
      return "\"" + f.Text + "\" cannot be fitted; choose among " + FittableNames() + ".";
    case FaultKind::NoSuchCoat:
      return "\"" + f.Text + "\": the case lists " + std::to_string(f.Count) + " coats (Coats).";
    case FaultKind::TableFigure:
      return "\"" + f.Text + "\": \"" + f.Field +
             "\" gives it against temperature; a fit moves a constant figure.";
  }
  return {};
}

std::string French(const EntryFault& f, char separator) {
  const FrenchNumbers shown(f, separator);
  const auto plain = [separator](double v) { return format::FormatGeneral(v, separator); };
  switch (f.Kind) {
    case FaultKind::NotFinite:
      return "la valeur " + shown.WithUnit(f.Value) + " n'est pas un nombre fini.";
    case FaultKind::NotWhole:
      return "la valeur " + shown.WithUnit(f.Value) + " n'est pas un nombre entier admis.";
    case FaultKind::OutOfRange:
      return "la valeur " + shown.WithUnit(f.Value) + " est hors " +
             (f.Quantity != nullptr && !f.Quantity->IsInput() ? "des limites du catalogue"
                                                              : "limites") +
             " ; elle doit être comprise entre " + shown.Bare(f.Min) + " et " +
             shown.WithUnit(f.Max) + ".";
    case FaultKind::NotBelowOne:
      return "la valeur " + shown.WithUnit(f.Value) + " doit être inférieure à 1.";
    case FaultKind::TooFewSteps:
      return "il faut au moins 1 intervalle.";
    case FaultKind::TooManySteps:
      return std::to_string(f.Count) + " intervalles, c'est plus que " + plain(f.Max) + ".";
    case FaultKind::EndsNotFinite:
      return "les bornes doivent être des nombres finis.";
    case FaultKind::EmptyRange:
      return "l'intervalle de " + shown.Bare(f.Value) + " à " + shown.Bare(f.Value2) + " est vide.";
    case FaultKind::ReversedRange:
      return "l'intervalle est inversé : le début " + shown.Bare(f.Value) +
             " est au-dessus de la fin " + shown.Bare(f.Value2) + ".";
    case FaultKind::LogNotPositive:
      return "une échelle logarithmique demande des valeurs au-dessus de zéro, pas à partir de " +
             shown.Bare(f.Value) + ".";
    case FaultKind::LawNotFinite:
      return "la moyenne et l'écart type doivent être des nombres finis.";
    case FaultKind::DeviationNotPositive:
      return "l'écart type doit être au-dessus de zéro, pas " + shown.Bare(f.Value2) + ".";
    case FaultKind::NotANumber:
      if (f.Text.empty()) return BoxArticle(f.Field) + f.Field + " est vide.";
      return BoxArticle(f.Field) + f.Field + " « " + f.Text + " » n'est pas un nombre.";
    case FaultKind::NotPositive:
      return "« " + f.Text + " » n'est pas un nombre positif.";
    case FaultKind::SameQuantity:
      return "la grandeur 1 est déjà celle-là.";
    case FaultKind::TooManyPoints:
      return "l'étude compterait " + std::to_string(f.Count) + " points, plus que " + plain(f.Max) +
             " ; réduisez le nombre d'intervalles.";
    case FaultKind::TooFewSamples:
      return "il faut au moins 1 échantillon.";
    case FaultKind::NothingChosen:
      return "cochez au moins une grandeur à ajuster.";
    case FaultKind::BoundsReversed:
      return "le min doit être inférieur au max.";
    case FaultKind::BoundsBeyond: {
      // As the fit window proposes them, in the unit of the figure's boxes.
      const auto bound = [&](double si) {
        return ExponentFigure(f.Quantity != nullptr ? f.Quantity->ToDisplay(si) : si, separator);
      };
      const std::string unit = f.Quantity != nullptr ? f.Quantity->DisplayUnit : "";
      return "les bornes doivent rester entre " + bound(f.Min) + " et " + bound(f.Max) +
             (unit.empty() ? "" : " " + unit) + ".";
    }
    case FaultKind::NoRecord:
      return "ouvrez d'abord un enregistrement.";
    case FaultKind::UnknownQuantity:
      return "grandeur inconnue.";
    case FaultKind::NotFittable:
      return "« " + f.Text + " » ne peut pas être ajustée.";
    case FaultKind::NoSuchCoat:
      return "« " + f.Text + " » : le cas compte " + std::to_string(f.Count) + " couches (Coats).";
    case FaultKind::TableFigure:
      return "« " + f.Text + " » : « " + f.Field +
             " » le donne en fonction de la température ; un ajustement fait varier une valeur "
             "constante.";
  }
  return {};
}

}  // namespace quillane
