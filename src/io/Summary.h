#pragma once
// The results of a run for scripts (JSON, every double in its shortest round-trip form) and
// for people (a few lines in engineering units).

#include <ostream>
#include <string>
#include <vector>

#include "model/ModelState.h"

namespace quillane {

std::string SummaryJson(const ModelState& state);

void PrintSummary(const ModelState& state, double runSeconds, std::ostream& out);

// Warnings for values no physical specimen can have (the model does not stop for them).
std::vector<std::string> NonPhysicalWarnings(const ModelState& state);

}  // namespace quillane
