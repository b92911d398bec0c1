#pragma once
// How a run of the input window ends, without widgets: the outcome its thread hands over, and
// what the window then says of it on the status line, beneath its commands and in a box.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "io/CaseFile.h"
#include "materials/MaterialsCatalogue.h"
#include "materials/UserCatalogue.h"
#include "model/ModelState.h"
#include "run/RunSimulation.h"
#include "run/Validation.h"

namespace quillane::session {

struct RunOutcome {
  enum class Kind { Completed, Cancelled, InputFaults, Failed };
  Kind What = Kind::Failed;
  std::vector<std::string> Faults;  // InputFaults: one message per fault
  std::string Message;              // Failed: why
};

// Runs `job` and tells how it ended: an InputError gives its faults, RunCancelled a cancel,
// any other exception a failure with its message.
RunOutcome OutcomeOf(const std::function<void()>& job);

// What the window says: the status line, the text beneath the commands, and a box when the
// user must read it (a critical one for a failure).
struct RunReport {
  std::string Status;
  std::string Summary;
  std::string Box;
  bool Critical = false;
};

// A run the inputs stop before it starts, each fault in French.
RunReport RefusedRun(const std::vector<InputFault>& faults);

// The end of a run. `curvature` and `deflection` are the final figures as the locale writes
// them; a completed run also tells every value no specimen can have, and the files it wrote
// (absolute paths).
RunReport EndOfRun(const RunOutcome& outcome, const ModelState& state, const ResultPaths& paths,
                   const std::string& curvature, const std::string& deflection);

// Why a case file was not opened or saved, in the window's French (numbers with `separator`).
std::string CaseFaultText(const CaseFault& fault, char separator);
// The box after a case file was not opened or saved: the fault of its content when there is
// one, otherwise the file that could not be read or written.
std::string CaseNotOpened(const std::string& path, const CaseFault* fault, char separator);
std::string CaseNotSaved(const std::string& path, const CaseFault* fault, char separator);
// A refusal told in a box (`box`: a first line, then the reason); the status line tells the
// reason on the same line as `lead`, or as the box's first line when no lead is given.
RunReport Refusal(const std::string& box, const std::string& lead = {});
// The box after a case made for another catalogue was opened: the window runs with its own.
std::string OtherCatalogue(const std::string& catalogue);

// The input window's title: the case's file name, or "sans titre" before one was opened or
// saved, then "[*]" where the toolkit marks unsaved changes. "Géometrie — essai.json[*]".
std::string CaseTitle(const std::string& path);
// The question asked before closing on unsaved changes of the case.
std::string SaveQuestion(const std::string& path);

// The file "Enregistrer sous…" proposes: the case's name with the suffix ".quillane.json", in the
// case's folder ("/d/essai.json" gives "/d/essai.quillane.json"); "cas.quillane.json" in `folder`
// for a case never opened or saved.
std::string ProposedCaseFile(const std::string& path, const std::string& folder);

// What quitting would lose: a run, a study or a fit under way, a study's rows not exported, a
// finished fit not applied.
struct WorkInHand {
  bool RunGoing = false;
  bool StudyGoing = false;
  std::size_t StudyRows = 0;    // the rows the study window holds
  std::size_t StudyPoints = 0;  // the points of its study
  bool StudyExported = false;   // those rows, as they are, written to a file
  bool FitGoing = false;
  bool FitUnapplied = false;
};
// The question asked before quitting, naming each; empty when nothing would be lost.
std::string QuitQuestion(const WorkInHand& work);

// The status line after a case was opened: its path, and each picked material the catalogue
// does not hold.
std::string CaseOpened(const std::string& path, const std::vector<std::string>& missing);

// The catalogue of the window, chosen as a run of the batch program chooses it: the shipped
// one with the user's rows over it (alone when `shippedOnly`), or nothing when a catalogue
// cannot be opened or the user's materials cannot all be read; what to tell of it. At the
// window's load (`first`) a fault is told in a box too and the status line names the file;
// later the status line tells the fault alone.
struct CatalogueOpening {
  std::optional<MaterialsCatalogue> Catalogue;
  RunReport Told;  // Status and Box only; all empty when everything was read
  // The user's materials cannot all be read: the box asks whether to go on with the shipped
  // materials alone.
  bool UserDamaged = false;
};
CatalogueOpening OpenCatalogue(const std::filesystem::path& shipped, const UserCatalogue& user,
                               bool first, bool shippedOnly = false);
// The button of that box's question.
inline constexpr const char* kShippedMaterialsAlone = "Matériaux livrés seuls";

}  // namespace quillane::session
