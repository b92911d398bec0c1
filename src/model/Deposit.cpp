#include "model/Deposit.h"

#include <algorithm>
#include <cmath>

#include "model/FigureTable.h"

namespace quillane {

namespace {

int WholeDepositLamellae(double passThickness, double lamellaThickness) {
  // std::round takes halves away from zero.
  return std::max(1, static_cast<int>(std::round(passThickness / lamellaThickness)));
}

// Whether `next` only goes on spraying `coat`.
bool GoesOn(const SprayedCoat& coat, const SprayedCoat& next, const RunMaterials& materials) {
  return next.PauseBefore == 0 && next.Material == coat.Material &&
         CoatRow(materials, next.Given) == CoatRow(materials, coat.Given) &&
         next.PassThickness == coat.PassThickness &&
         next.LamellaThickness == coat.LamellaThickness && next.PassPeriod == coat.PassPeriod &&
         next.HeatingWindow == coat.HeatingWindow && next.HeatFlux == coat.HeatFlux &&
         next.ParticleTemperature == coat.ParticleTemperature;
}

}  // namespace

int LamellaePerPass(const InputParameters& in) {
  if (ModelOf(in) != StressModelKind::WholeDeposit) {
    return static_cast<int>(std::floor(in.PassThickness / in.LamellaThickness)) + 1;
  }
  return WholeDepositLamellae(in.PassThickness, in.LamellaThickness);
}

double LaidLamellaThickness(const InputParameters& in) {
  if (ModelOf(in) != StressModelKind::WholeDeposit) return in.LamellaThickness;
  return in.PassThickness / LamellaePerPass(in);
}

std::vector<SprayedCoat> SprayedCoats(const InputParameters& in, const RunMaterials& materials) {
  std::vector<CoatInput> given = in.Coats;
  if (given.empty()) {
    CoatInput only;
    only.Material = in.CoatingMaterialName;
    only.PassCount = in.PassCount;
    given.push_back(only);
  }
  std::vector<SprayedCoat> coats;
  for (std::size_t k = 0; k < given.size(); ++k) {
    const CoatInput& g = given[k];
    SprayedCoat coat;
    coat.Given = k;
    coat.Material = g.Material;
    coat.PassCount = g.PassCount;
    coat.PassThickness = g.PassThickness.value_or(in.PassThickness);
    coat.LamellaThickness = g.LamellaThickness.value_or(in.LamellaThickness);
    coat.PassPeriod = g.PassPeriod.value_or(in.PassPeriod);
    coat.HeatingWindow = g.HeatingWindow.value_or(in.HeatingWindow);
    coat.HeatFlux = g.HeatFlux.value_or(in.HeatFlux);
    coat.ParticleTemperature = g.ParticleTemperature.value_or(in.ParticleTemperature);
    coat.PauseBefore = g.PauseBefore;
    if (!coats.empty() && GoesOn(coats.back(), coat, materials)) {
      coats.back().PassCount += coat.PassCount;
    } else {
      coats.push_back(coat);
    }
  }
  int first = 1;
  double base = 0;
  double start = 0;
  for (SprayedCoat& coat : coats) {
    coat.LamellaePerPass = WholeDepositLamellae(coat.PassThickness, coat.LamellaThickness);
    coat.LaidThickness = coat.PassThickness / coat.LamellaePerPass;
    coat.Lamellae = coat.PassCount * coat.LamellaePerPass;
    coat.FirstLamella = first;
    coat.Base = base;
    start += coat.PauseBefore;
    coat.Start = start;
    first += coat.Lamellae;
    base += coat.Lamellae * coat.LaidThickness;
    start += coat.PassCount * coat.PassPeriod;
  }
  return coats;
}

int SprayedPasses(const std::vector<SprayedCoat>& coats) {
  int passes = 0;
  for (const SprayedCoat& coat : coats) passes += coat.PassCount;
  return passes;
}

std::size_t CoatOf(const std::vector<SprayedCoat>& coats, int i) {
  std::size_t coat = 0;
  while (coat + 1 < coats.size() && coats[coat + 1].FirstLamella <= i) ++coat;
  return coat;
}

double LamellaMid(const StressResults& stress, int i) {
  if (stress.Coats.empty()) return (i - 0.5) * stress.LamellaThicknessCopy;
  const SprayedCoat& coat = stress.Coats[CoatOf(stress.Coats, i)];
  return coat.Base + (i - coat.FirstLamella + 0.5) * coat.LaidThickness;
}

double DepositTop(const StressResults& stress, int i) {
  if (stress.Coats.empty() || i == 0) return i * stress.LamellaThicknessCopy;
  const SprayedCoat& coat = stress.Coats[CoatOf(stress.Coats, i)];
  return coat.Base + (i - coat.FirstLamella + 1) * coat.LaidThickness;
}

const MaterialRecord& CoatRow(const RunMaterials& materials, std::size_t coat) {
  return coat == 0 ? materials.Coating : materials.LaterCoats.at(coat - 1);
}

bool ModuliVary(const RunMaterials& materials) {
  if (!materials.Substrate.Tables.ModuleYoung.empty()) return true;
  if (!materials.Coating.Tables.ModuleYoung.empty()) return true;
  for (const MaterialRecord& row : materials.LaterCoats) {
    if (!row.Tables.ModuleYoung.empty()) return true;
  }
  return false;
}

double BiaxialModulus(const MaterialRecord& row, double temperature) {
  return FigureAt(row.Tables.ModuleYoung, row.ModuleYoung, temperature) / (1 - row.Poisson);
}

}  // namespace quillane
