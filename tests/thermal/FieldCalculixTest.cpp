// The thermal field against CalculiX (DC3D8 bricks, their own graded mesh and time increments) on
// a column of ceramic on steel: three passes and a cooling agree within 1 K at three depths.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "thermal/FieldSolver.h"

namespace quillane {
namespace {

constexpr double kColumnSubstrate = 2e-3;  // m
constexpr double kColumnLamella = 25e-6;   // m, also the contact layer's thickness
constexpr int kColumnLamellae = 8;         // a 200 µm deposit
constexpr double kColumnStart = 573;       // K, the plate before the first pass
constexpr double kColumnGas = 973;         // K
constexpr double kColumnRoom = 293.15;     // K
constexpr double kColumnFilm = 147;        // W/(m²·K), both faces
// With CalculiX's σ = 5.669e-8, εσ is the field's 4.5352e-8 W/(m²·K⁴).
constexpr double kColumnEmissivity = 0.8;

// A stretch of the schedule under one exchange; the models are compared at its end.
struct ColumnPhase {
  double Duration;   // s
  double Flux;       // W/m², the torch
  double Gas;        // K
  double Step;       // s, the field's time step
  double Increment;  // s, CalculiX's
};

std::vector<ColumnPhase> ColumnSchedule() {
  std::vector<ColumnPhase> phases;
  for (int pass = 0; pass < 3; ++pass) {
    phases.push_back({1.5, 5e5, kColumnGas, 5e-3, 2e-2});  // heating window of a 4.5 s pass
    phases.push_back({3.0, 0, kColumnGas, 5e-3, 2e-2});
  }
  phases.push_back({15, 0, kColumnRoom, 2e-2, 0.1});
  phases.push_back({15, 0, kColumnRoom, 2e-2, 0.1});
  return phases;
}

RunMaterials ColumnMaterials() {
  // Tfusion stays 0: no latent heat, so that CalculiX sees linear materials.
  RunMaterials m;
  m.Substrate.Lambda = 16.3, m.Substrate.Rho = 8000, m.Substrate.Cp = 500;
  m.Contact.Lambda = 1.0;
  m.Coating.Lambda = 1.5, m.Coating.Rho = 5000, m.Coating.Cp = 600;
  return m;
}

// Levels of the brick faces, bottom to top: the substrate graded towards its top (4 µm there,
// 150 µm at the back), the contact layer, five elements a lamella. Level k holds the nodes
// 4k + 1 … 4k + 4; element k + 1 lies between levels k and k + 1.
struct ColumnMesh {
  static constexpr int kSubstrateElements = 48;
  std::vector<double> Levels;
  ColumnMesh() {
    const double ratio = 1.08;
    const double top = kColumnSubstrate * (ratio - 1) / (std::pow(ratio, kSubstrateElements) - 1);
    Levels.push_back(-kColumnSubstrate);
    for (int i = kSubstrateElements - 1; i >= 0; --i) {
      Levels.push_back(i == 0 ? 0 : Levels.back() + top * std::pow(ratio, i));
    }
    Levels.push_back(kColumnLamella);
    for (int i = 1; i <= 5 * kColumnLamellae; ++i) Levels.push_back((1 + i / 5.0) * kColumnLamella);
  }
  int Elements() const { return static_cast<int>(Levels.size()) - 1; }
  // The probes: back face, top of the substrate (under the contact), surface.
  std::array<int, 3> Probes() const { return {1, 4 * kSubstrateElements + 1, 4 * Elements() + 1}; }
};

std::string ColumnInput(const ColumnMesh& mesh, const RunMaterials& m,
                        const std::vector<ColumnPhase>& phases) {
  std::ostringstream in;
  in.precision(14);
  const double side = 1e-4;  // the sides are insulated: the width plays no part
  in << "*NODE, NSET=NALL\n";
  for (std::size_t k = 0; k < mesh.Levels.size(); ++k) {
    const double z = mesh.Levels[k];
    in << 4 * k + 1 << ", 0, 0, " << z << "\n"
       << 4 * k + 2 << ", " << side << ", 0, " << z << "\n"
       << 4 * k + 3 << ", " << side << ", " << side << ", " << z << "\n"
       << 4 * k + 4 << ", 0, " << side << ", " << z << "\n";
  }
  const int substrate = ColumnMesh::kSubstrateElements;
  const auto layer = [&](const char* name, int first, int last, double lambda, double rhoCp) {
    in << "*ELEMENT, TYPE=DC3D8, ELSET=" << name << "\n";
    for (int e = first; e <= last; ++e) {
      const int b = 4 * (e - 1);
      in << e << ", " << b + 1 << ", " << b + 2 << ", " << b + 3 << ", " << b + 4 << ", " << b + 5
         << ", " << b + 6 << ", " << b + 7 << ", " << b + 8 << "\n";
    }
    in << "*MATERIAL, NAME=" << name << "\n*CONDUCTIVITY\n"
       << lambda << "\n*DENSITY\n"
       << rhoCp << "\n*SPECIFIC HEAT\n1\n*SOLID SECTION, ELSET=" << name << ", MATERIAL=" << name
       << "\n";
  };
  layer("SUBSTRATE", 1, substrate, m.Substrate.Lambda, m.Substrate.Rho * m.Substrate.Cp);
  // ρc of 1 J/(m³·K) against the deposit's 3e6: the contact is a resistance alone.
  layer("CONTACT", substrate + 1, substrate + 1, m.Contact.Lambda, 1);
  layer("COATING", substrate + 2, mesh.Elements(), m.Coating.Lambda, m.Coating.Rho * m.Coating.Cp);
  in << "*ELSET, ELSET=BACK\n1\n*ELSET, ELSET=TOP\n" << mesh.Elements() << "\n*NSET, NSET=PROBES\n";
  for (const int probe : mesh.Probes()) in << probe << "\n";
  in << "*PHYSICAL CONSTANTS, ABSOLUTE ZERO=0, STEFAN BOLTZMANN=5.669E-8\n"
     << "*INITIAL CONDITIONS, TYPE=TEMPERATURE\nNALL, " << kColumnStart << "\n";
  for (const ColumnPhase& p : phases) {
    // Loads are modified step by step and take their value at once, the torch included.
    in << "*STEP, INC=100000\n*HEAT TRANSFER, DIRECT\n"
       << p.Increment << ", " << p.Duration << "\n*DFLUX\nTOP, S2, " << p.Flux
       << "\n*FILM\nBACK, F1, " << p.Gas << ", " << kColumnFilm << "\nTOP, F2, " << p.Gas << ", "
       << kColumnFilm << "\n*RADIATE\nBACK, R1, " << kColumnRoom << ", " << kColumnEmissivity
       << "\nTOP, R2, " << kColumnRoom << ", " << kColumnEmissivity
       << "\n*NODE PRINT, NSET=PROBES, FREQUENCY=100000\nNT\n*END STEP\n";
  }
  return in.str();
}

// The probes' temperatures CalculiX prints at the end of each step.
struct ColumnPrint {
  double Time = 0;
  std::map<int, double> Temperatures;
};

std::vector<ColumnPrint> ReadColumnPrints(const std::string& dat) {
  std::vector<ColumnPrint> prints;
  for (const std::string& line : test::Lines(dat)) {
    if (line.find("temperatures for set") != std::string::npos) {
      prints.push_back({std::stod(line.substr(line.rfind(' '))), {}});
      continue;
    }
    std::istringstream fields(line);
    int node = 0;
    double t = 0;
    if (!prints.empty() && fields >> node >> t) prints.back().Temperatures[node] = t;
  }
  return prints;
}

TEST(FieldCalculixTest, FacesAgreeWithFiniteElementsWithinAKelvinThroughPassesAndCooling) {
  if (std::system("command -v ccx > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "CalculiX (ccx, Debian package calculix-ccx) is not installed: the "
                    "finite-element check of the deposit's thermal field is skipped.";
  }
  const RunMaterials materials = ColumnMaterials();
  const std::vector<ColumnPhase> phases = ColumnSchedule();
  const ColumnMesh mesh;
  const test::TempDir dir;
  const std::vector<ColumnPrint> prints = ReadColumnPrints(
      test::RunCalculix(dir.Path(), "column", ColumnInput(mesh, materials, phases)));
  ASSERT_EQ(prints.size(), phases.size());

  const char* probes[] = {"back_face", "substrate_top", "surface"};
  for (const int refinement : {1, 2}) {
    SCOPED_TRACE("refinement " + std::to_string(refinement));
    // The whole deposit laid at the plate's temperature before the first step.
    DepositField field;
    LayOutField(field, kColumnSubstrate, {{kColumnLamella, 0, 0}}, refinement, kColumnStart);
    for (int i = 0; i < kColumnLamellae; ++i) LayLamella(field, materials, 0, kColumnStart);
    double time = 0;
    for (std::size_t p = 0; p < phases.size(); ++p) {
      const FaceExchange exchange{phases[p].Gas, kColumnRoom, phases[p].Flux, 0, 0};
      const long steps = std::lround(phases[p].Duration / phases[p].Step);
      for (long s = 0; s < steps; ++s) {
        StepField(field, materials, exchange, phases[p].Duration / static_cast<double>(steps));
      }
      time += phases[p].Duration;
      ASSERT_NEAR(prints[p].Time, time, 1e-6);
      const std::array<double, 3> ours{field.BackFace, field.SubstrateTop, field.Surface};
      for (std::size_t q = 0; q < 3; ++q) {
        const double theirs = prints[p].Temperatures.at(mesh.Probes()[q]);
        EXPECT_NEAR(ours[q], theirs, 1.0) << probes[q] << " at " << time << " s";
      }
    }
  }
}

}  // namespace
}  // namespace quillane
