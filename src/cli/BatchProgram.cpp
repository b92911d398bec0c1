#include "cli/BatchProgram.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <clocale>
#include <cmath>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "Version.h"
#include "cli/BatchOutput.h"
#include "cli/FitProgram.h"
#include "cli/StudyProgram.h"
#include "format/NumberFormat.h"
#include "graphics/SvgWriter.h"
#include "io/AtomicFile.h"
#include "io/CaseFile.h"
#include "io/MaterialsCsv.h"
#include "io/Summary.h"
#include "materials/UserCatalogue.h"
#include "model/Errors.h"
#include "model/InputTable.h"
#include "run/RunSimulation.h"
#include "run/Validation.h"

namespace quillane::cli {

namespace {

// The default of an input as its flag shows it, in its display unit (for --help).
std::string ShownDefault(const InputSpec& input, const InputParameters& in) {
  if (input.TextField != nullptr) return in.*input.TextField;
  return format::FormatGeneral(input.ToDisplay(input.Get(in)));
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

// The window's caption without the unit it ends with ("Créneau de chauffe (s)"), which the help
// gives in its own words.
std::string FlagCaption(const InputSpec& input) {
  std::string caption = input.Caption;
  while (!caption.empty() && caption.back() == ' ') caption.pop_back();
  const std::size_t open = caption.rfind('(');
  if (!caption.empty() && caption.back() == ')' && open != std::string::npos) caption.erase(open);
  while (!caption.empty() && caption.back() == ' ') caption.pop_back();
  return caption;
}

// The allowed range of an input in the unit its flag is typed in ("0.001 to 1000000 µm").
std::string FlagRangeText(const InputSpec& input) {
  std::string text = format::FormatGeneral(input.ToDisplay(input.Min)) + " to " +
                     format::FormatGeneral(input.ToDisplay(input.Max));
  if (input.DisplayUnit[0] != '\0') text += std::string(" ") + input.DisplayUnit;
  return text;
}

void ApplyFlag(const InputSpec& input, const std::string& text, ModelState& state,
               std::vector<std::string>& faults) {
  InputParameters& in = state.Input;
  if (input.TextField != nullptr) {
    in.*input.TextField = text;
    return;
  }
  const auto value =
      format::ParseStrict(text, state.Locale.DecimalSeparator, state.Locale.GroupSeparator);
  if (!value) {
    faults.push_back(std::string(input.Flag) + ": \"" + text + "\" is not a number.");
    return;
  }
  if (input.IntegerField == nullptr) {
    input.Set(in, input.FromDisplay(*value));
  } else if (*value != std::floor(*value)) {
    faults.push_back(std::string(input.Flag) + ": \"" + text + "\" is not a whole number.");
  } else if (std::fabs(*value) > 1e9) {
    // Beyond what the field holds, so the range check could not see it: told here.
    faults.push_back(std::string(input.Flag) + ": \"" + text + "\" is out of range; " + input.Flag +
                     " takes " + FlagRangeText(input) + ".");
  } else {
    input.Set(in, *value);
  }
}

std::string RangesText() {
  std::ostringstream text;
  text << "Allowed ranges (SI units):\n";
  for (const InputSpec& input : InputTable()) {
    if (!input.Ranged) continue;
    text << "  " << input.Key << ": " << format::FormatGeneral(input.Min) << " to "
         << format::FormatGeneral(input.Max) << (input.Unit[0] ? " " : "") << input.Unit << "\n";
  }
  text << "  |InitialCurvature| at most 2 / SpecimenLength; a pass holds fewer than 32767 "
          "lamellae.\n";
  return text.str();
}

void ListMaterials(const MaterialsCatalogue& catalogue, std::ostream& out) {
  out << "Materials in " << catalogue.Path().string() << ":\n";
  if (!catalogue.UserPath().empty()) {
    out << "  (rows marked * are the user's, from " << catalogue.UserPath().string() << ")\n";
  }
  for (std::size_t i = 0; i < catalogue.Rows().size(); ++i) {
    const MaterialRecord& row = catalogue.Rows()[i];
    const bool user = catalogue.OriginOf(i) == MaterialsCatalogue::Origin::User;
    out << (user ? "* " : "  ") << row.Name << "  (λ " << format::FormatGeneral(row.Lambda)
        << " W/m·K, E " << format::FormatGeneral(row.ModuleYoung * 1e-9) << " GPa, Tf "
        << format::FormatGeneral(row.Tfusion) << " K, σq "
        << format::FormatGeneral(row.SigmaQ * 1e-6) << " MPa)\n";
  }
}

// Checks every row of a CSV before any is written: each figure within the bounds runs use, no
// name twice. All the rows or none reach the user catalogue.
int ImportMaterials(const std::string& csv, UserCatalogue& user, std::ostream& out,
                    std::ostream& err) {
  const std::vector<CsvMaterial> rows = ReadMaterialsCsv(csv);
  std::vector<std::string> faults;
  std::map<std::string, int> seen;
  for (const CsvMaterial& row : rows) {
    const std::string where = csv + ", line " + std::to_string(row.Line) + ": ";
    const auto [first, added] = seen.emplace(FoldName(row.Material.Row.Name), row.Line);
    if (!added) {
      faults.push_back(where + "\"" + row.Material.Row.Name + "\" is already on line " +
                       std::to_string(first->second) + ".");
    }
    for (const InputFault& fault : FindMaterialFaults(row.Material.Row)) {
      faults.push_back(where + fault.English);
    }
  }
  if (!faults.empty()) {
    err << "quillane-batch: no material was imported:\n";
    for (const std::string& fault : faults) err << "  " << fault << "\n";
    return 1;
  }
  std::vector<UserMaterial> materials;
  for (const CsvMaterial& row : rows) materials.push_back(row.Material);
  user.SaveAll(materials);
  out << materials.size() << (materials.size() == 1 ? " material" : " materials")
      << " imported into " << user.Path().string() << "\n";
  return 0;
}

struct Outputs {
  std::string Summary;
  std::string Plots;
};

// Checks the extra outputs before the run, so a bad path changes no file.
void CheckOutputs(const Outputs& outputs, AtomicFile& summary) {
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
  ApplyDefaults(state);
  state.Input.SubstrateMaterialName = kDefaultSubstrate;
  state.Input.CoatingMaterialName = kDefaultCoating;
  state.Locale = EnvironmentLocale();

  CLI::App app{
      "Quillane batch runner: simulates the build-up of a thermally sprayed coating "
      "(thermal history, residual stresses, curvature and deflection) and writes the "
      "result files.",
      "quillane-batch"};
  std::string casePath;
  ResultPaths paths;
  std::string cataloguePath = DefaultCataloguePath().string();
  Outputs outputs;
  bool listMaterials = false;
  bool quiet = false;
  bool version = false;
  app.add_option("case", casePath, "JSON case file (SI units, keys named as the model's fields)");
  std::map<std::string, std::string> flagTexts;
  for (const InputSpec& input : InputTable()) {
    std::string description = FlagCaption(input);
    if (input.DisplayUnit[0] != '\0') description += std::string(", ") + input.DisplayUnit;
    description +=
        " (default " + ShownDefault(input, state.Input) + "; case key " + input.Key + ")";
    app.add_option(input.Flag, flagTexts[input.Flag], description);
  }
  app.add_option("--thermal", paths.Thermal, "Thermal results file")->capture_default_str();
  app.add_option("--stress", paths.Stress, "Stress results file")->capture_default_str();
  app.add_option("--summary", outputs.Summary, "Write the results as JSON to this file");
  app.add_option("--plots", outputs.Plots,
                 "Write the five stress pictures as SVG into this folder");
  std::string importCsv;
  std::string exportCsv;
  app.add_option("--catalogue", cataloguePath,
                 "Materials catalogue (this file alone; by default the shipped catalogue with "
                 "the user's materials over it)")
      ->capture_default_str();
  app.add_option("--import-materials", importCsv,
                 "Add the materials of a CSV file to the user catalogue, all or none, and stop");
  app.add_option("--export-materials", exportCsv,
                 "Write the materials (shipped and user's) to a CSV file and stop");
  StudyCommand study;
  app.add_option("--study", study.StudyPath,
                 "Run the parameter study of this JSON file (its base case over the case and "
                 "flags given) and write its results table and plots into --out");
  app.add_option("--out", study.OutDir, "Output folder of a study or a fit");
  app.add_option("--jobs", study.Jobs, "Points computed at once (default: every core)")
      ->check(CLI::PositiveNumber);
  app.add_flag("--keep-files", study.KeepFiles,
               "Keep each point's result files and summary in <out>/points/NNNN/");
  app.add_flag("--resume", study.Resume, "Compute only the points missing from <out>/results.csv");
  app.add_flag("--force", study.Force, "Run a study of more than 100000 points");
  app.add_option("--plot-result", study.PlotResult,
                 "Result shown by the colour map of a two-quantity study")
      ->capture_default_str();
  FitCommand fit;
  app.add_option("--fit", fit.RecordPath,
                 "Fit figures to an in-situ record (CSV: time, curvature[, temperature]) and write "
                 "fit.json, fitted_case.json and the overlay plot into --out");
  app.add_option("--fit-params", fit.Parameters,
                 "Figures to fit, comma-separated: coating.SigmaQ, coating.ModuleYoung, "
                 "coating.dilat, HeatFlux, contact.Lambda");
  app.add_option("--fit-bounds", fit.Bounds,
                 "Narrower bounds, NAME=LOW:HIGH,... (SI units; default the catalogue bounds)");
  app.add_option("--fit-noise", fit.Noise,
                 "Noise of the record, curvature=SD,temperature=SD (default: estimated)");
  app.add_flag("--fit-robust", fit.Robust, "Huber loss, for records with outliers");
  app.add_flag("--list-materials", listMaterials, "List the materials of the catalogue and stop");
  app.add_flag("--quiet,-q", quiet, "Print nothing but errors");
  app.add_flag("--version", version, "Print the version and stop");
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
  if (version) {
    out << "quillane-batch " << kVersion << "\n";
    return 0;
  }
  // Options of a study or a fit mean nothing without one: told rather than ignored.
  const struct {
    bool Missing;
    const char* Owner;
    std::vector<const char*> Flags;
  } owners[] = {
      {study.StudyPath.empty(),
       "--study",
       {"--keep-files", "--resume", "--force", "--plot-result"}},
      {fit.RecordPath.empty(),
       "--fit",
       {"--fit-params", "--fit-bounds", "--fit-noise", "--fit-robust"}},
      {study.StudyPath.empty() && fit.RecordPath.empty(), "--study or --fit", {"--out", "--jobs"}},
  };
  for (const auto& owner : owners) {
    for (const char* flag : owner.Flags) {
      if (owner.Missing && app.count(flag) > 0) {
        err << "quillane-batch: " << flag << " goes with " << owner.Owner
            << ".\nRun quillane-batch --help for the options.\n";
        return 2;
      }
    }
  }

  MaterialsCatalogue catalogue;
  const auto started = std::chrono::steady_clock::now();
  try {
    UserCatalogue user(UserCatalogue::DefaultPath());
    if (!importCsv.empty()) return ImportMaterials(importCsv, user, out, err);
    // A case may name the catalogue it runs with (a fitted copy); --catalogue still wins.
    std::string caseCatalogue;
    if (!casePath.empty() && importCsv.empty() && exportCsv.empty() && !listMaterials) {
      ReadCaseFile(casePath, state.Input, &caseCatalogue);
    }
    if (app.count("--catalogue")) {
      catalogue.Open(cataloguePath);
    } else if (!caseCatalogue.empty()) {
      catalogue.Open(caseCatalogue);
    } else {
      std::string userFault;
      catalogue = OpenMergedCatalogue(cataloguePath, user, userFault);
      // A damaged user catalogue is told and left as it is; the shipped one still serves.
      if (!userFault.empty()) err << "warning: " << userFault << "; using the shipped materials.\n";
    }
    if (!exportCsv.empty()) {
      AtomicFile::WriteWhole(exportCsv, MaterialsCsvText(catalogue, user.Read()), "materials file");
      out << catalogue.Rows().size() << " materials written to " << exportCsv << "\n";
      return 0;
    }
    if (listMaterials) {
      ListMaterials(catalogue, out);
      return 0;
    }
    // Flags override the case file.
    std::vector<std::string> faults;
    for (const InputSpec& input : InputTable()) {
      if (app.count(input.Flag)) ApplyFlag(input, flagTexts[input.Flag], state, faults);
    }
    // Unreadable flags keep their earlier values, so the other inputs are still checked and
    // every fault is told at once.
    if (!faults.empty()) {
      for (const InputFault& fault : FindInputFaults(state, &catalogue)) {
        faults.push_back(fault.English);
      }
      throw InputError(faults);
    }
    if (!fit.RecordPath.empty()) {
      if (study.OutDir.empty()) throw std::runtime_error("--fit needs --out DIR for its results.");
      fit.OutDir = study.OutDir;
      fit.Jobs = study.Jobs;
      fit.Quiet = quiet;
      return RunFitCommand(fit, state, catalogue, out, err);
    }
    if (!study.StudyPath.empty()) {
      if (study.OutDir.empty())
        throw std::runtime_error("--study needs --out DIR for its results.");
      study.Quiet = quiet;
      return RunStudyCommand(study, state, catalogue, out, err);
    }
    ValidateRunInputs(state, &catalogue);

    AtomicFile summary("summary file");
    CheckOutputs(outputs, summary);
    BatchOutput output(err, !quiet);
    try {
      ExecuteRun(state, &catalogue, paths, output);
    } catch (const IoError&) {
      throw;
    } catch (const InputError&) {
      throw;
    } catch (const std::exception& error) {
      // A fault inside the model (a drawing that cannot scale a value, say) is told as such.
      throw std::runtime_error(std::string("the run failed: ") + error.what() +
                               "; no result file was changed.");
    }
    output.FinishProgress();
    // The result files are published by now: a fault of the extra outputs must not read as if
    // the run had changed nothing.
    try {
      if (!outputs.Summary.empty()) {
        summary.Write(SummaryJson(state));
        summary.Close();
      }
      if (!outputs.Plots.empty()) graphics::WritePlots(output.Surfaces(), outputs.Plots);
    } catch (const std::exception& error) {
      err << "quillane-batch: the results were written to " << paths.Thermal << " and "
          << paths.Stress << ", but " << error.what() << "\n";
      return 1;
    }

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    for (const std::string& warning : NonPhysicalWarnings(state)) {
      err << "warning: " << warning << "\n";
    }
    if (!quiet) {
      PrintSummary(state, seconds, out);
      out << "Results written to " << paths.Thermal << " and " << paths.Stress;
      if (!outputs.Summary.empty()) out << ", summary to " << outputs.Summary;
      if (!outputs.Plots.empty()) out << ", pictures to " << outputs.Plots << "/";
      out << "\n";
    }
    return 0;
  } catch (const InputError& error) {
    err << "quillane-batch: the inputs cannot be used:\n";
    for (const std::string& fault : error.Faults()) err << "  " << fault << "\n";
    return 1;
  } catch (const std::exception& error) {
    err << "quillane-batch: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace quillane::cli
