#include "cli/BatchProgram.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <clocale>
#include <cmath>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "cli/BatchHost.h"
#include "cli/CaseFile.h"
#include "cli/Summary.h"
#include "core/Errors.h"
#include "core/RunSimulation.h"
#include "core/Validation.h"
#include "format/NumberFormat.h"
#include "graphics/SvgWriter.h"

namespace quillane::cli {

namespace {

// One input of the input window as a flag, in the unit the window shows it.
struct InputFlag {
  const char* Name;
  const char* Field;  // the model field, as named by the case files and the input ranges
  const char* Unit;
  const char* Caption;
  double ToSi;  // factor from the shown unit to the state's SI unit
  enum Kind { Real, Integer, Length, Curvature, Width } Type;
  double InputParameters::*RealField;
  int InputParameters::*IntegerField;
};

const std::vector<InputFlag>& InputFlags() {
  using P = InputParameters;
  static const std::vector<InputFlag> kFlags = {
      {"--pass-thickness", "PassThickness", "µm", "épaisseur par passe", 1e-6, InputFlag::Real,
       &P::PassThickness, nullptr},
      {"--passes", "PassCount", "", "Nombre de passes", 1, InputFlag::Integer, nullptr,
       &P::PassCount},
      {"--pass-period", "PassPeriod", "s", "Période entre 2 passes", 1, InputFlag::Real,
       &P::PassPeriod, nullptr},
      {"--heating-window", "HeatingWindow", "s", "Créneau de chauffe", 1, InputFlag::Real,
       &P::HeatingWindow, nullptr},
      {"--heat-flux", "HeatFlux", "kW/m²", "Flux thermique incident", 1000, InputFlag::Real,
       &P::HeatFlux, nullptr},
      {"--particle-temperature", "ParticleTemperature", "K", "T particules incidentes", 1,
       InputFlag::Real, &P::ParticleTemperature, nullptr},
      {"--witness-particle", "WitnessParticle", "", "N° particule témoin", 1, InputFlag::Integer,
       nullptr, &P::WitnessParticle},
      {"--witness-coat", "WitnessCoat", "", "N° couche témoin", 1, InputFlag::Integer, nullptr,
       &P::WitnessCoat},
      {"--substrate-thickness", "SubstrateThicknessInput", "mm", "épaisseur du substrat", 0.001,
       InputFlag::Real, &P::SubstrateThicknessInput, nullptr},
      {"--width", "SubstrateWidth", "m", "largeur", 1, InputFlag::Width, &P::SubstrateWidth,
       nullptr},
      {"--substrate-temperature", "SubstrateTemperature", "K", "Temperature du substrat", 1,
       InputFlag::Real, &P::SubstrateTemperature, nullptr},
      {"--gas-temperature", "GasTemperature", "K", "Temperature des gaz convectifs", 1,
       InputFlag::Real, &P::GasTemperature, nullptr},
      {"--curvature", "InitialCurvature", "1/m", "1/Rcourbure, initial curvature of the substrate",
       1, InputFlag::Curvature, nullptr, nullptr},
      {"--specimen-length", "SpecimenLength", "m", "Longueur du témoin", 1, InputFlag::Length,
       &P::SpecimenLength, nullptr},
      {"--lamella-thickness", "LamellaThickness", "µm", "Epaisseur d'une lamelle", 1e-6,
       InputFlag::Real, &P::LamellaThickness, nullptr},
  };
  return kFlags;
}

// The value a flag shows for the state, in its unit (for --help).
std::string ShownDefault(const InputFlag& flag, const ModelState& state) {
  if (flag.Type == InputFlag::Integer) return std::to_string(state.Input.*flag.IntegerField);
  if (flag.Type == InputFlag::Curvature) return state.Input.InitialCurvatureText;
  return format::FormatGeneral(state.Input.*flag.RealField / flag.ToSi);
}

// The decimal separator of the user's environment (LC_ALL, LC_NUMERIC, LANG); the C library is
// left in the "C" locale so that nothing else changes behaviour.
RegionalSettings EnvironmentLocale() {
  RegionalSettings settings;
  if (std::setlocale(LC_NUMERIC, "") != nullptr) {
    const std::lconv* conventions = std::localeconv();
    if (conventions->decimal_point && conventions->decimal_point[0]) {
      settings.DecimalSeparator = conventions->decimal_point[0];
    }
    settings.GroupSeparator = conventions->thousands_sep && conventions->thousands_sep[0]
                                  ? conventions->thousands_sep[0]
                                  : (settings.DecimalSeparator == ',' ? '.' : ',');
  }
  std::setlocale(LC_NUMERIC, "C");
  return settings;
}

const InputRange* RangeOf(const InputFlag& flag) {
  for (const InputRange& range : InputRanges()) {
    if (std::string_view(range.Field) == flag.Field) return &range;
  }
  return nullptr;
}

// The allowed range of an input in the unit its flag is typed in ("0.001 to 1000000 µm").
std::string FlagRangeText(const InputFlag& flag, const InputRange& range) {
  std::string text = format::FormatGeneral(range.Min / flag.ToSi) + " to " +
                     format::FormatGeneral(range.Max / flag.ToSi);
  if (flag.Unit[0] != '\0') text += std::string(" ") + flag.Unit;
  return text;
}

// A range fault of an input given as a flag also tells the range in the unit of the flag, since
// the validation speaks in SI units.
std::string WithFlagRange(const std::string& fault, const CLI::App& app) {
  for (const InputFlag& flag : InputFlags()) {
    const InputRange* range = RangeOf(flag);
    if (range == nullptr || app.count(flag.Name) == 0) continue;
    if (fault.rfind(std::string(flag.Field) + " (", 0) != 0 || fault.back() != '.') continue;
    return fault.substr(0, fault.size() - 1) + " (" + flag.Name + ": " +
           FlagRangeText(flag, *range) + ").";
  }
  return fault;
}

void ApplyFlag(const InputFlag& flag, const std::string& text, ModelState& state,
               std::vector<std::string>& faults) {
  const auto value =
      format::ParseStrict(text, state.Locale.DecimalSeparator, state.Locale.GroupSeparator);
  if (!value) {
    faults.push_back(std::string(flag.Name) + ": \"" + text + "\" is not a number.");
    return;
  }
  InputParameters& in = state.Input;
  switch (flag.Type) {
    case InputFlag::Integer:
      if (*value != std::floor(*value)) {
        faults.push_back(std::string(flag.Name) + ": \"" + text + "\" is not a whole number.");
      } else if (std::fabs(*value) > 1e9) {
        // Beyond what the field holds, so the range check could not see it: told here.
        faults.push_back(std::string(flag.Name) + ": \"" + text + "\" is out of range; " +
                         flag.Name + " takes " + FlagRangeText(flag, *RangeOf(flag)) + ".");
      } else {
        in.*flag.IntegerField = static_cast<int>(*value);
      }
      break;
    case InputFlag::Curvature:
      in.InitialCurvatureText = RoundTripText(*value);
      break;
    case InputFlag::Length:
      in.SpecimenLength = *value;
      in.SpecimenLengthText = RoundTripText(*value);
      break;
    case InputFlag::Width:
      in.SubstrateWidth = *value;
      state.Stress.StressWidth = *value;
      break;
    case InputFlag::Real:
      in.*flag.RealField = *value * flag.ToSi;
      break;
  }
}

std::string RangesText() {
  std::ostringstream text;
  text << "Allowed ranges (SI units):\n";
  for (const InputRange& range : InputRanges()) {
    text << "  " << range.Field << ": " << format::FormatGeneral(range.Min) << " to "
         << format::FormatGeneral(range.Max) << (range.Unit[0] ? " " : "") << range.Unit << "\n";
  }
  text << "  |InitialCurvature| at most 2 / SpecimenLength; a pass holds fewer than 32767 "
          "lamellae.\n";
  return text.str();
}

void ListMaterials(const MaterialsCatalogue& catalogue, std::ostream& out) {
  out << "Materials in " << catalogue.Path().string() << ":\n";
  for (const MaterialRecord& row : catalogue.Rows()) {
    out << "  " << row.Name << "  (λ " << format::FormatGeneral(row.Lambda) << " W/m·K, E "
        << format::FormatGeneral(row.ModuleYoung * 1e-9) << " GPa, Tf "
        << format::FormatGeneral(row.Tfusion) << " K, σq "
        << format::FormatGeneral(row.SigmaQ * 1e-6) << " MPa)\n";
  }
}

struct Outputs {
  std::string Summary;
  std::string Plots;
};

// Checks the extra outputs before the run, so a bad path changes no file.
void CheckOutputs(const Outputs& outputs, ResultFile& summary) {
  if (!outputs.Summary.empty()) summary.Open(outputs.Summary);
  if (!outputs.Plots.empty()) {
    std::error_code error;
    std::filesystem::create_directories(outputs.Plots, error);
    if (error || !std::filesystem::is_directory(outputs.Plots)) {
      throw IoError("Cannot create the plot directory " + outputs.Plots + ".");
    }
  }
}

}  // namespace

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ModelState state;
  LoadInputFormState(state);
  state.Locale = EnvironmentLocale();

  CLI::App app{
      "Quillane batch runner: simulates the build-up of a thermally sprayed coating "
      "(thermal history, residual stresses, curvature and deflection) and writes the "
      "result files.",
      "quillane-batch"};
  std::string casePath;
  std::string substrate = kDefaultSubstrate;
  std::string coating = kDefaultCoating;
  std::string cataloguePath = DefaultCataloguePath().string();
  Outputs outputs;
  bool listMaterials = false;
  bool quiet = false;
  app.add_option("case", casePath, "JSON case file (SI units, keys named as the model's fields)");
  app.add_option("--substrate", substrate, "Substrate material")->capture_default_str();
  app.add_option("--coating", coating, "Coating material")->capture_default_str();
  std::map<std::string, std::string> flagTexts;
  for (const InputFlag& flag : InputFlags()) {
    std::string description = std::string(flag.Caption) +
                              (flag.Unit[0] ? std::string(", ") + flag.Unit : std::string()) +
                              " (default " + ShownDefault(flag, state) + ")";
    app.add_option(flag.Name, flagTexts[flag.Name], description);
  }
  app.add_option("--thermal", state.Files.ThermalPath, "Thermal results file")
      ->default_str(kDefaultThermalPath);
  app.add_option("--stress", state.Files.StressPath, "Stress results file")
      ->default_str(kDefaultStressPath);
  app.add_option("--summary", outputs.Summary, "Write the results as JSON to this file");
  app.add_option("--plots", outputs.Plots,
                 "Write the five stress pictures as SVG into this folder");
  app.add_option("--catalogue", cataloguePath, "Materials catalogue")->capture_default_str();
  app.add_flag("--list-materials", listMaterials, "List the materials of the catalogue and stop");
  app.add_flag("--quiet,-q", quiet, "Print nothing but errors");
  app.footer(RangesText());
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return 0;
  } catch (const CLI::ParseError& error) {
    err << "quillane-batch: " << error.what() << "\nRun quillane-batch --help for the options.\n";
    return 2;
  }

  MaterialsCatalogue catalogue;
  const auto started = std::chrono::steady_clock::now();
  try {
    catalogue.Open(cataloguePath);
    if (listMaterials) {
      ListMaterials(catalogue, out);
      return 0;
    }
    state.Input.SubstrateMaterialName = substrate;
    state.Input.CoatingMaterialName = coating;
    if (!casePath.empty()) ReadCaseFile(casePath, state);
    // Flags override the case file, materials included when given.
    if (app.count("--substrate")) state.Input.SubstrateMaterialName = substrate;
    if (app.count("--coating")) state.Input.CoatingMaterialName = coating;
    std::vector<std::string> faults;
    for (const InputFlag& flag : InputFlags()) {
      if (app.count(flag.Name)) ApplyFlag(flag, flagTexts[flag.Name], state, faults);
    }
    state.Materials.Catalogue = &catalogue;
    // Unreadable flags keep their earlier values, so the other inputs are still checked and
    // every fault is told at once.
    if (!faults.empty()) {
      for (std::string& fault : FindInputFaults(state)) faults.push_back(std::move(fault));
      throw InputError(faults);
    }
    ValidateRunInputs(state);

    ResultFile summary;
    CheckOutputs(outputs, summary);
    BatchHost host(err, !quiet);
    try {
      ExecuteRun(state, host);
    } catch (const IoError&) {
      throw;
    } catch (const InputError&) {
      throw;
    } catch (const std::exception& error) {
      // A fault inside the model (a drawing that cannot scale a value, say) is told as such.
      throw std::runtime_error(std::string("the run failed: ") + error.what() +
                               "; no result file was changed.");
    }
    host.FinishProgress();
    // The result files are published by now: a fault of the extra outputs must not read as if
    // the run had changed nothing.
    try {
      if (!outputs.Summary.empty()) {
        summary.Write(SummaryJson(state));
        summary.Close();
      }
      if (!outputs.Plots.empty()) graphics::WritePlots(host.Surfaces(), outputs.Plots);
    } catch (const std::exception& error) {
      err << "quillane-batch: the results were written to " << state.Files.ThermalPath << " and "
          << state.Files.StressPath << ", but " << error.what() << "\n";
      return 1;
    }

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    for (const std::string& warning : NonPhysicalWarnings(state)) {
      err << "warning: " << warning << "\n";
    }
    if (!quiet) {
      PrintSummary(state, seconds, out);
      out << "Results written to " << state.Files.ThermalPath << " and " << state.Files.StressPath;
      if (!outputs.Summary.empty()) out << ", summary to " << outputs.Summary;
      if (!outputs.Plots.empty()) out << ", pictures to " << outputs.Plots << "/";
      out << "\n";
    }
    return 0;
  } catch (const InputError& error) {
    err << "quillane-batch: the inputs cannot be used:\n";
    for (const std::string& fault : error.Faults()) {
      err << "  " << WithFlagRange(fault, app) << "\n";
    }
    return 1;
  } catch (const std::exception& error) {
    err << "quillane-batch: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace quillane::cli
