#pragma once
// The results of a run for scripts (JSON, every double in its shortest round-trip form) and
// for people (a few lines in engineering units).

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/ModelState.h"

namespace quillane {

// A value of the summary: a count, a number, a text, numbers (a per-lamella array gives its
// elements 0 to LamellaCount; a per-coat one an element per sprayed coat) or texts (one per
// coat).
using SummaryValue =
    std::variant<long long, double, std::string, std::vector<double>, std::vector<std::string>>;

// One value of a run's summary, listed once for the JSON file, the printed summary and the
// Python module's Result.
struct SummaryField {
  const char* Key;
  const char* Doc;  // what it holds, with its SI unit
  SummaryValue (*Read)(const ModelState&);
  bool WholeDepositOnly;  // in the JSON file of a whole-deposit run alone
  // Its lines in the printed summary, when it has any.
  std::string (*Printed)(const ModelState&);
};

// Every value of the summary, in the order of the JSON file.
const std::vector<SummaryField>& SummaryFields();

std::string SummaryJson(const ModelState& state);
// The same text handed to `write` piece by piece, so that a run of a million lamellae (ten
// arrays of a million values) is never held whole.
void WriteSummaryJson(const ModelState& state, const std::function<void(std::string_view)>& write);

// The temperatures a run ends with, K: the nodes of the layer stack (node 1 the back face), or
// the back face, the substrate's top face and the surface of the whole-deposit field.
std::vector<double> FinalTemperatures(const ModelState& state);

void PrintSummary(const ModelState& state, double runSeconds, std::ostream& out);

// A value no physical specimen can have (the model does not stop for it), as data: the batch
// program tells it in English, the window in French.
struct RunWarning {
  enum class Kind {
    NonFiniteTemperature,  // some node temperatures are not finite
    BelowAbsoluteZero,     // Value: the lowest node temperature, K
    NonFiniteResults,      // the final stresses or curvature
    CurvatureTooLarge,     // Value: the largest curvature, 1/m
    SingularMatrix,        // Count: the singular-matrix reports
    // Inputs no spray process has (a flux in W/m² where kW/m² is meant, a room temperature in
    // °C): the run goes on and says so.
    AboveParticles,         // Value: the hottest temperature, K; Bound: the particles'
    SubstrateMelts,         // Value: the hottest substrate face, K; Bound: its melting point
    RoomInCelsius,          // Value: RoomTemperature, K, below kColdestRoom
    RoomTemperatureUnused,  // one-pass model. Value: RoomTemperature; Bound: the surface
                            // temperature at the end of the last pass, where its cooling ends
  };
  Kind What = Kind::NonFiniteTemperature;
  double Value = 0;
  long long Count = 0;
  double Bound = 0;
};

// Below this a room temperature was most likely given in °C, K.
inline constexpr double kColdestRoom = 200;

std::vector<RunWarning> FindRunWarnings(const ModelState& state);
std::string English(const RunWarning& warning);
std::string French(const RunWarning& warning, char separator);
// Every warning of the run, in English.
std::vector<std::string> NonPhysicalWarnings(const ModelState& state);

}  // namespace quillane
