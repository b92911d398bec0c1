#include "cli/BatchProgram.h"

#include <pthread.h>
#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cmath>
#include <csignal>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "Version.h"
#include "cli/BatchOutput.h"
#include "cli/FitProgram.h"
#include "cli/Interrupt.h"
#include "cli/StudyProgram.h"
#include "format/NumberFormat.h"
#include "io/AtomicFile.h"
#include "io/CaseFile.h"
#include "io/MaterialsCsv.h"
#include "io/Summary.h"
#include "materials/UserCatalogue.h"
#include "model/Errors.h"
#include "model/InputTable.h"
#include "run/QuantityTable.h"
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
  for (const InputSpec& input : InputTable()) {
    if (!input.Choices.empty()) text << "  " << input.Key << ": " << ChoiceList(input) << ".\n";
  }
  return text.str();
}

void ListMaterials(const MaterialsCatalogue& catalogue, std::ostream& out) {
  out << "Materials in " << catalogue.Path().string() << ":\n";
  if (!catalogue.UserPath().empty()) {
    out << "  (rows marked * are the user's, from " << catalogue.UserPath().string() << ")\n";
  }
  // A figure given against temperature shows its constant marked; the points are told below.
  const auto shown = [](const MaterialRecord& row, double MaterialRecord::*field, double scale) {
    std::string text = format::FormatGeneral(row.*field * scale);
    for (const TableFigure& figure : kTableFigures) {
      if (figure.Constant == field && !(row.Tables.*figure.Points).empty()) text += "†";
    }
    return text;
  };
  std::string tables;
  for (std::size_t i = 0; i < catalogue.Rows().size(); ++i) {
    const MaterialRecord& row = catalogue.Rows()[i];
    const bool user = catalogue.OriginOf(i) == MaterialsCatalogue::Origin::User;
    out << (user ? "* " : "  ") << EscapedName(row.Name) << "  (λ "
        << shown(row, &MaterialRecord::Lambda, 1) << " W/m·K, E "
        << shown(row, &MaterialRecord::ModuleYoung, 1e-9) << " GPa, Tf "
        << format::FormatGeneral(row.Tfusion) << " K, σq "
        << shown(row, &MaterialRecord::SigmaQ, 1e-6) << " MPa)\n";
    std::string given;
    for (const TableFigure& figure : kTableFigures) {
      const FigureTable& points = row.Tables.*figure.Points;
      if (points.empty()) continue;
      given += (given.empty() ? "" : "; ") + std::string(figure.Name) + " " +
               std::to_string(points.size()) + " points from " +
               format::FormatGeneral(points.front().Temperature) + " to " +
               format::FormatGeneral(points.back().Temperature) + " K";
    }
    if (!given.empty()) tables += "  " + EscapedName(row.Name) + ": " + given + "\n";
  }
  if (!tables.empty()) {
    out << "† given against temperature (the constant shown is the row's own):\n" << tables;
  }
}

// Checks every row of the files before any is written: each figure within the bounds runs use,
// no name twice, points only of materials the catalogue or the rows imported hold. All the rows
// or none reach the user catalogue.
int ImportMaterials(const std::vector<std::string>& files, const std::filesystem::path& shipped,
                    UserCatalogue& user, std::ostream& out, std::ostream& err) {
  std::vector<MaterialsCsv> read;
  for (const std::string& file : files) read.push_back(ReadMaterialsCsv(file));
  std::vector<std::string> faults;
  std::map<std::string, std::string> seen;  // where each name was met
  std::vector<UserMaterial> materials;
  for (std::size_t k = 0; k < files.size(); ++k) {
    for (const CsvMaterial& row : read[k].Rows) {
      const std::string line = "line " + std::to_string(row.Line);
      const std::string where = files[k] + ", " + line + ": ";
      // A name met in another file of the import is told with that file's name.
      const auto [first, added] = seen.emplace(FoldName(row.Material.Row.Name),
                                               files.size() > 1 ? files[k] + ", " + line : line);
      if (!added) {
        faults.push_back(where + "\"" + row.Material.Row.Name + "\" is already on " +
                         first->second + ".");
      }
      for (const InputFault& fault : FindMaterialFaults(row.Material.Row)) {
        faults.push_back(where + fault.English);
      }
      materials.push_back(row.Material);
    }
  }
  if (!faults.empty()) {
    err << "quillane-batch: no material was imported:\n";
    for (const std::string& fault : faults) err << "  " << fault << "\n";
    return 1;
  }
  // Points go to the rows imported, else to the user's rows, else to the shipped rows, which
  // they turn into user rows of their own.
  std::optional<std::vector<UserMaterial>> own;
  std::optional<MaterialsCatalogue> catalogue;
  UserMaterial found;
  const auto known = [&](const std::string& name) -> const UserMaterial* {
    if (!own) own = user.Read();
    for (const UserMaterial& material : *own) {
      if (FoldName(material.Row.Name) == FoldName(name)) return &material;
    }
    if (!catalogue) catalogue.emplace().Open(shipped);
    const MaterialRecord* row = catalogue->FindMaterial(name);
    if (row == nullptr) return nullptr;
    found = {*row, ""};
    return &found;
  };
  std::size_t pointCount = 0;
  for (std::size_t k = 0; k < files.size(); ++k) {
    AddCsvPoints(files[k], read[k].Points, materials, known);
    pointCount += read[k].Points.size();
  }
  user.SaveAll(materials);
  out << materials.size() << (materials.size() == 1 ? " material" : " materials");
  if (pointCount > 0) {
    out << " (with " << pointCount << (pointCount == 1 ? " point" : " points")
        << " against temperature)";
  }
  out << " imported into " << user.Path().string() << "\n";
  return 0;
}

struct Outputs {
  std::string Summary;
  std::string Plots;
};

// Everything the command line asks for.
struct BatchOptions {
  std::string CasePath;
  ResultPaths Paths;
  std::string CataloguePath = DefaultCataloguePath().string();
  Outputs Extra;
  std::string PlotsFormat = DefaultPlotFormats().Png ? "svg,png" : "svg";
  std::map<std::string, std::string> FlagTexts;  // by flag, as typed
  std::vector<std::string> ImportCsv;
  std::string ExportCsv;
  StudyCommand Study;
  FitCommand Fit;
  bool ListMaterials = false;
  bool ShippedMaterials = false;
  bool Quiet = false;
  bool Version = false;
};

void DeclareOptions(CLI::App& app, BatchOptions& o, const InputParameters& defaults) {
  app.add_option("case", o.CasePath, "JSON case file (SI units, keys named as the model's fields)");
  for (const InputSpec& input : InputTable()) {
    std::string description = FlagCaption(input);
    if (input.DisplayUnit[0] != '\0') description += std::string(", ") + input.DisplayUnit;
    if (!input.Choices.empty()) description += ": " + ChoiceList(input);
    description += " (default " + ShownDefault(input, defaults) + "; case key " + input.Key + ")";
    app.add_option(input.Flag, o.FlagTexts[input.Flag], description);
  }
  app.add_option("--thermal", o.Paths.Thermal, "Thermal results file")->capture_default_str();
  app.add_option("--stress", o.Paths.Stress, "Stress results file")->capture_default_str();
  app.add_option("--summary", o.Extra.Summary, "Write the results as JSON to this file");
  app.add_option("--history", o.Paths.History,
                 "Write the whole-deposit model's history as CSV to this file (time, event, "
                 "back-face and top-of-substrate temperatures, curvature, deflection)");
  app.add_option("--plots", o.Extra.Plots,
                 "Write the five stress pictures into this folder, and for a whole-deposit run "
                 "its thermal field (field.svg, field.png)");
  app.add_option("--plots-format", o.PlotsFormat,
                 "Forms of the pictures of --plots and of a study: svg, png or svg,png")
      ->capture_default_str()
      ->check(CLI::Validator(
          [](const std::string& text) {
            try {
              ReadPlotFormats(text);
              return std::string();
            } catch (const std::invalid_argument& error) {
              return std::string(error.what());
            }
          },
          "FORMATS"));
  app.add_option("--catalogue", o.CataloguePath,
                 "Materials catalogue (this file alone; by default the shipped catalogue with "
                 "the user's materials over it)")
      ->capture_default_str();
  app.add_option("--import-materials", o.ImportCsv,
                 "Add the materials of CSV files to the user catalogue, all or none, and stop: "
                 "files of rows, and files of points against temperature (header "
                 "material,figure,temperature,value) for rows imported or already there");
  app.add_option("--export-materials", o.ExportCsv,
                 "Write the materials (shipped and user's) to a CSV file and stop; their points "
                 "against temperature, if any, go to a file beside it (NAME.points.csv)");
  app.add_option("--study", o.Study.StudyPath,
                 "Run the parameter study of this JSON file (its base case over the case and "
                 "flags given) and write its results table and plots into --out");
  app.add_option("--out", o.Study.OutDir, "Output folder of a study or a fit");
  app.add_option("--jobs", o.Study.Jobs, "Points computed at once (default: every core)")
      ->check(CLI::Validator(
          [](const std::string& text) {
            return text.find_first_not_of("0123456789") == std::string::npos &&
                           text.find_first_not_of('0') != std::string::npos
                       ? std::string()
                       : "\"" + text + "\" is not a whole number of at least 1";
          },
          "N>=1"));
  app.add_flag("--keep-files", o.Study.KeepFiles,
               "Keep each point's result files and summary in <out>/points/NNNN/");
  app.add_flag("--resume", o.Study.Resume,
               "Compute only the points missing from <out>/results.csv");
  app.add_flag("--retry-failed", o.Study.RetryFailed,
               "With --resume, compute again the points that failed");
  app.add_flag("--force", o.Study.Force,
               "Run a study of more than 100000 points, or over the study <out> holds (its files "
               "are removed first)");
  app.add_option("--plot-result", o.Study.PlotResult,
                 "Result shown by the colour map of a two-quantity study")
      ->capture_default_str();
  app.add_option("--fit", o.Fit.RecordPath,
                 "Fit figures to an in-situ record (CSV: time, curvature[, temperature]) and write "
                 "fit.json, fitted_case.json and the overlay plot into --out");
  app.add_option("--fit-params", o.Fit.Parameters,
                 "Figures to fit, comma-separated: " + FittableNames());
  app.add_option("--fit-bounds", o.Fit.Bounds,
                 "Narrower bounds, NAME=LOW:HIGH,... (SI units; default the catalogue bounds)");
  app.add_option("--fit-noise", o.Fit.Noise,
                 "Noise of the record, curvature=SD,temperature=SD (default: estimated)");
  app.add_flag("--fit-robust", o.Fit.Robust, "Huber loss, for records with outliers");
  app.add_flag("--list-materials", o.ListMaterials, "List the materials of the catalogue and stop");
  app.add_flag("--shipped-materials", o.ShippedMaterials,
               "Use the shipped materials alone, without the user's (a user catalogue that "
               "cannot be read stops every run otherwise)");
  app.add_flag("--quiet,-q", o.Quiet, "Print nothing but errors");
  app.add_flag("--version", o.Version, "Print the version and stop");
  app.footer(RangesText());
}

// An option of a study or a fit given without one: told rather than ignored.
std::string MisplacedOption(const CLI::App& app, const BatchOptions& o) {
  const bool noStudy = o.Study.StudyPath.empty();
  const bool noFit = o.Fit.RecordPath.empty();
  const struct {
    bool Missing;
    const char* Owner;
    std::vector<const char*> Flags;
  } owners[] = {
      {noStudy,
       "--study",
       {"--keep-files", "--resume", "--retry-failed", "--force", "--plot-result"}},
      {!o.Study.Resume, "--resume", {"--retry-failed"}},
      {noFit, "--fit", {"--fit-params", "--fit-bounds", "--fit-noise", "--fit-robust"}},
      {noStudy && noFit, "--study or --fit", {"--out", "--jobs"}},
      {noStudy && o.Extra.Plots.empty(), "--plots or --study", {"--plots-format"}},
  };
  // Each of these does one thing and stops; given together, one would be silently dropped.
  const char* alone[] = {"--study", "--fit", "--import-materials"};
  for (const char* first : alone) {
    for (const char* second : alone) {
      if (std::string_view(first) < std::string_view(second) && app.count(first) > 0 &&
          app.count(second) > 0) {
        return std::string(first) + " and " + second + " cannot be given together.";
      }
    }
  }
  for (const auto& owner : owners) {
    for (const char* flag : owner.Flags) {
      if (owner.Missing && app.count(flag) > 0) {
        return std::string(flag) + " goes with " + owner.Owner + ".";
      }
    }
  }
  return {};
}

// The catalogue the run reads: --catalogue alone, or the one a case names (a fitted copy), or
// the shipped one with the user's materials over it (alone with --shipped-materials).
MaterialsCatalogue OpenCatalogue(const CLI::App& app, const BatchOptions& o,
                                 const std::string& caseCatalogue, const UserCatalogue& user) {
  CatalogueChoice choice{o.CataloguePath, caseCatalogue, o.ShippedMaterials};
  if (app.count("--catalogue")) choice.Alone = o.CataloguePath;
  try {
    return ChooseCatalogue(choice, user);
  } catch (const DamagedUserCatalogue& error) {
    throw CatalogueError(std::string(error.what()) +
                         " Give --shipped-materials to run with the shipped materials alone.");
  }
}

// Flags override the case file. Unreadable flags keep their earlier values, so the other inputs
// are still checked and every fault is told at once.
void ApplyFlags(const CLI::App& app, BatchOptions& o, ModelState& state,
                const MaterialsCatalogue& catalogue) {
  std::vector<std::string> faults;
  for (const InputSpec& input : InputTable()) {
    if (app.count(input.Flag)) ApplyFlag(input, o.FlagTexts[input.Flag], state, faults);
  }
  if (faults.empty()) return;
  for (const InputFault& fault : FindInputFaults(state, &catalogue)) {
    faults.push_back(fault.English);
  }
  throw InputError(faults);
}

// Every output of a run, named by its flag, for the check that no two are one file.
std::vector<NamedOutput> NamedOutputs(const BatchOptions& o, const PlotFiles* plots) {
  std::vector<NamedOutput> named = NamedResultFiles(o.Paths);
  if (!o.Extra.Summary.empty()) named.push_back({"--summary", o.Extra.Summary});
  if (plots != nullptr) {
    for (const std::filesystem::path& path : plots->Paths()) named.push_back({"--plots", path});
  }
  return named;
}

// One run of the case: its result files, the summary and the pictures asked for, published
// together.
int RunSingle(const BatchOptions& o, ModelState& state, const MaterialsCatalogue& catalogue,
              std::ostream& out, std::ostream& err) {
  const auto started = std::chrono::steady_clock::now();
  ValidateRunInputs(state, &catalogue);
  std::optional<PlotFiles> plots;
  if (!o.Extra.Plots.empty()) {
    plots.emplace(o.Extra.Plots, ModelOf(state.Input) == StressModelKind::WholeDeposit,
                  ReadPlotFormats(o.PlotsFormat));
  }
  CheckDistinctOutputs(NamedOutputs(o, plots ? &*plots : nullptr));
  // Ctrl-C or SIGTERM stops the run, which then drops its temporary files; every long step
  // watches it, up to the first rename.
  std::atomic<bool> stop{false};
  BatchOutput output(err, !o.Quiet, &stop, plots.has_value());
  AtomicFile* summary = nullptr;
  RunExtras extras;
  // The history and the summary hold up to millions of values: the state keeps only what the
  // pictures draw, and the files are written as they are made.
  extras.WholeHistory = false;
  extras.Open = [&](AtomicFileSet& files) {
    if (plots) plots->Open(files);
    if (!o.Extra.Summary.empty()) summary = &files.Open(o.Extra.Summary, "summary file");
  };
  extras.Write = [&](const ModelState& ended) {
    if (plots) plots->Write(ended, output.Surfaces(), output);
    if (summary != nullptr) {
      WriteSummaryJson(ended, [&](std::string_view text) { summary->Write(text); });
    }
  };
  try {
    const StopOnInterrupt interrupt(stop);
    ExecuteRun(state, &catalogue, o.Paths, output, nullptr, extras);
  } catch (const RunCancelled&) {
    output.FinishProgress();
    err << "quillane-batch: stopped; no result file was changed.\n";
    return 130;
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
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  for (const std::string& warning : NonPhysicalWarnings(state)) {
    err << "warning: " << warning << "\n";
  }
  if (!o.Quiet) {
    PrintSummary(state, seconds, out);
    out << "Results written to " << o.Paths.Thermal << " and " << o.Paths.Stress;
    if (!o.Paths.History.empty()) out << ", history to " << o.Paths.History;
    if (!o.Extra.Summary.empty()) out << ", summary to " << o.Extra.Summary;
    if (!o.Extra.Plots.empty()) out << ", pictures to " << o.Extra.Plots << "/";
    out << "\n";
  }
  return 0;
}

// What the parsed command line asks for, once the options are known to fit together.
int Dispatch(const CLI::App& app, BatchOptions& o, ModelState& state, const BatchHost& host,
             std::ostream& out, std::ostream& err) {
  UserCatalogue user(UserCatalogue::DefaultPath());
  if (!o.ImportCsv.empty()) {
    return ImportMaterials(o.ImportCsv, o.CataloguePath, user, out, err);
  }
  std::string caseCatalogue;
  if (!o.CasePath.empty() && o.ExportCsv.empty() && !o.ListMaterials) {
    ReadCaseFile(o.CasePath, state.Input, &caseCatalogue);
  }
  const MaterialsCatalogue catalogue = OpenCatalogue(app, o, caseCatalogue, user);
  if (!o.ExportCsv.empty()) {
    const std::vector<UserMaterial> own =
        o.ShippedMaterials ? std::vector<UserMaterial>() : user.Read();
    std::string points = MaterialPointsCsvText(catalogue);
    const std::filesystem::path pointsPath = PointsCsvPath(o.ExportCsv);
    // A points file of an earlier export is emptied rather than left to be imported with rows
    // it no longer matches.
    std::error_code ignored;
    const bool earlier = std::filesystem::exists(pointsPath, ignored);
    if (points.empty() && earlier) points = MaterialPointsCsvHeader();
    AtomicFile::WriteWhole(o.ExportCsv, MaterialsCsvText(catalogue, own), "materials file");
    if (!points.empty()) AtomicFile::WriteWhole(pointsPath, points, "materials points file");
    out << catalogue.Rows().size() << " materials written to " << o.ExportCsv;
    if (!points.empty()) {
      out << (points == MaterialPointsCsvHeader() ? ", no points against temperature to "
                                                  : ", their points against temperature to ")
          << pointsPath.string();
    }
    out << "\n";
    return 0;
  }
  if (o.ListMaterials) {
    ListMaterials(catalogue, out);
    return 0;
  }
  ApplyFlags(app, o, state, catalogue);
  if (!o.Fit.RecordPath.empty()) {
    if (o.Study.OutDir.empty()) throw std::runtime_error("--fit needs --out DIR for its results.");
    o.Fit.OutDir = o.Study.OutDir;
    o.Fit.Jobs = o.Study.Jobs;
    o.Fit.Quiet = o.Quiet;
    return RunFitCommand(o.Fit, state, catalogue, out, err);
  }
  if (!o.Study.StudyPath.empty()) {
    if (o.Study.OutDir.empty())
      throw std::runtime_error("--study needs --out DIR for its results.");
    o.Study.Quiet = o.Quiet;
    StudyCommand study = o.Study;
    study.Formats = ReadPlotFormats(o.PlotsFormat);
    study.Ranks = host.Ranks;
    return RunStudyCommand(study, state, catalogue, out, err);
  }
  return RunSingle(o, state, catalogue, out, err);
}

}  // namespace

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const BatchHost& host) {
  ModelState state;
  ApplyDefaults(state);
  state.Input.SubstrateMaterialName = kDefaultSubstrate;
  state.Input.CoatingMaterialName = kDefaultCoating;
  state.Locale = EnvironmentLocale();

  CLI::App app{
      "Quillane batch runner: simulates the build-up of a thermally sprayed coating "
      "(thermal history, residual stresses, curvature and deflection) and writes the "
      "result files.",
      host.Name};
  BatchOptions options;
  DeclareOptions(app, options, state.Input);
  const std::string usage = "\nRun " + host.Name + " --help for the options.\n";
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return 0;
  } catch (const CLI::ParseError& error) {
    err << host.Name << ": " << error.what() << usage;
    return 2;
  }
  if (options.Version) {
    out << host.Name << " " << kVersion << "\n";
    return 0;
  }
  if (const std::string misplaced = MisplacedOption(app, options); !misplaced.empty()) {
    err << host.Name << ": " << misplaced << usage;
    return 2;
  }
  try {
    return Dispatch(app, options, state, host, out, err);
  } catch (const InputError& error) {
    err << host.Name << ": the inputs cannot be used:\n";
    for (const std::string& fault : error.Faults()) err << "  " << fault << "\n";
    return 1;
  } catch (const std::exception& error) {
    err << host.Name << ": " << error.what() << "\n";
    return 1;
  }
}

int BatchMain(int argc, char** argv, const BatchHost& host) {
  // Past a file-size limit (ulimit -f) a write fails with "File too large" and is reported as
  // any other write fault, its temporary file removed, rather than the signal killing the
  // program without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  // Ctrl-C and SIGTERM wait, blocked, for the watcher a long job starts, so that one sent while
  // the program starts or reads its inputs stops the job as cleanly as one sent mid-run (and one
  // sent to a background job, whose SIGINT the shell ignores, is still heard). One that comes
  // after the work ended well (its files published) stopped nothing: it is dropped, so that the
  // program does not die as if stopped beside new files. Any other that no job took is delivered
  // as the program ends.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int code = RunBatch(args, std::cout, std::cerr, host);
  std::cout.flush();
  if (code == 0) {
    const timespec now{0, 0};
    while (sigtimedwait(&stops, nullptr, &now) > 0) {
    }
  }
  pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
  return code;
}

}  // namespace quillane::cli
