// Fuzz target: the study-file reader on arbitrary text, and the points of what it accepts.
//
// Invariants: reading either succeeds or throws StudyError naming the file (nothing else); an
// accepted study varies at least one quantity, each grid value is one its quantity takes, and
// a design of up to 10000 points gives exactly PointCount points of one value per quantity
// (a sampled design may still refuse a sample with StudyError).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "study/StudyDesign.h"

namespace {

constexpr const char* kOrigin = "fuzz.json";

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

void CheckMessage(const quillane::study::StudyError& error) {
  const std::string message = error.what();
  if (message.rfind(kOrigin, 0) != 0 && message.find("vary[") != 0) {
    Fail("the message names neither the file nor the entry: " + message);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillane::study;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Study study;
  try {
    // A base given as a file name is looked for in a folder that does not exist.
    study = ReadStudyText(text, kOrigin, quillane::DefaultInputs(), "/nonexistent-quillane-fuzz");
  } catch (const StudyError& error) {
    CheckMessage(error);
    return 0;
  }
  if (study.Vary.empty()) Fail("a study without a varied quantity was accepted");
  for (const Quantity& quantity : study.Vary) {
    for (const double value : quantity.Values) {
      if (!ValueFault(quantity, value).empty()) Fail("a value out of range was accepted");
    }
  }
  const long long count = PointCount(study);
  if (count < 1) Fail("an accepted study has no point");
  if (count > 10000) return 0;
  try {
    const auto points = DesignPoints(study);
    if (static_cast<long long>(points.size()) != count) Fail("PointCount differs from the design");
    for (const auto& point : points) {
      if (point.size() != study.Vary.size()) Fail("a point without one value per quantity");
    }
  } catch (const StudyError& error) {
    if (study.Design != DesignKind::LatinHypercube)
      Fail("a grid design failed: " + std::string(error.what()));
    CheckMessage(error);
  }
  return 0;
}
