// The whole-deposit plate against a free disc of axisymmetric 8-node elements (CalculiX) sharing
// only its thermal field: being linear, the plate is the disc's summed responses within 1e-4.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ModelFixture.h"
#include "model/Deposit.h"
#include "stress/WholeDeposit.h"
#include "thermal/DepositRun.h"
#include "thermal/FieldSchedule.h"
#include "thermal/FieldSolver.h"

namespace quillane {
namespace {

// The field as the plate takes it (substrate at its profile's break points, each lamella at its
// cell's temperature), with the lamellae the plate holds from this moment on.
struct FieldShot {
  std::vector<double> Substrate;
  std::vector<double> Lamellae;
  double Surface = 0;
  int Laid = 0;
  bool Arrival = false;
  bool CoatEnd = false;
};

FieldShot ShotOf(const DepositField& field, bool arrival, bool coatEnd) {
  FieldShot shot{{field.BackFace}, LamellaTemperatures(field), field.Surface, 0, arrival, coatEnd};
  shot.Laid = static_cast<int>(shot.Lamellae.size()) + (arrival ? 1 : 0);
  for (int i = 0; i < field.SubstrateCells; ++i) {
    shot.Substrate.push_back(field.Cells[static_cast<std::size_t>(i)].Temperature);
  }
  shot.Substrate.push_back(field.SubstrateTop);
  return shot;
}

// The back face first.
std::vector<double> BreakHeights(const DepositField& field) {
  std::vector<double> heights{field.Cells.front().Bottom};
  for (int i = 0; i < field.SubstrateCells; ++i) {
    const FieldCell& cell = field.Cells[static_cast<std::size_t>(i)];
    heights.push_back(cell.Bottom + cell.Thickness / 2);
  }
  heights.push_back(0);
  return heights;
}

// The field and the plate stepped through the run as a run steps them: the field at the start,
// just before each arrival and at each coat's end, and the curvature change at each coat's end.
std::vector<FieldShot> DriveRun(ModelState& state, std::vector<double>& coatEnds) {
  const InputParameters& in = state.Input;
  PrepareDepositRun(state);
  const std::vector<SprayedCoat>& coats = state.Stress.Coats;
  DepositField& field = state.Field;
  const RunMaterials& materials = state.Materials;
  StartDepositPlate(state, in.SubstrateTemperature);
  std::vector<FieldShot> shots{ShotOf(field, false, false)};
  std::vector<int> lastPasses;
  for (const SprayedCoat& coat : coats) {
    lastPasses.push_back((lastPasses.empty() ? 0 : lastPasses.back()) + coat.PassCount);
  }
  double time = 0;
  ScheduleVisitor visit;
  visit.Land = [&](int, double, std::size_t k) {
    shots.push_back(ShotOf(field, true, false));
    LayLamella(field, materials, static_cast<int>(k), coats[k].ParticleTemperature);
    ApplyArrival(state, shots.back().Surface);
  };
  visit.Step = [&](const GridStep& step) {
    const FaceExchange exchange{step.Spraying ? in.GasTemperature : in.RoomTemperature,
                                in.RoomTemperature, step.Torch ? coats[step.Coat].HeatFlux : 0,
                                in.BackFaceCoefficient, HolderTemperature(in)};
    StepField(field, materials, exchange, step.End - time, step.AfterLanding);
    time = step.End;
    ApplyTemperatures(state, PlateTemperaturesOf(field, materials));
  };
  visit.EndPass = [&](int pass) {
    if (std::find(lastPasses.begin(), lastPasses.end(), pass) == lastPasses.end()) return;
    shots.push_back(ShotOf(field, false, true));
    coatEnds.push_back(state.Stress.Plate.Curvature - state.Stress.Curvature(0));
  };
  WalkSchedule(in, coats, visit);
  CoolToRoom(state);
  return shots;
}

// One load of a disc of `Laid` lamellae, as eigenstrains: the substrate's at the profile's break
// points (linear between them) and each laid lamella's, uniform through it.
struct DiscLoad {
  int Laid = 0;
  std::vector<double> Substrate;
  std::vector<double> Lamellae;
};

// The loads of the run, one a shot; a lamella's thermal strain counts from the surface it
// landed on.
std::vector<DiscLoad> LoadsOf(const ModelState& state, const std::vector<FieldShot>& shots) {
  const MaterialRecord& substrate = state.Materials.Substrate;
  const std::vector<SprayedCoat>& coats = state.Stress.Coats;
  const double room = state.Input.RoomTemperature;
  const int n = state.Clock.LamellaCount;
  const FieldShot cooled{.Substrate = std::vector<double>(shots.front().Substrate.size(), room),
                         .Lamellae = std::vector<double>(static_cast<std::size_t>(n), room),
                         .Surface = room,
                         .Laid = n};
  std::vector<DiscLoad> loads;
  for (std::size_t k = 0; k < shots.size(); ++k) {
    const FieldShot& from = shots[k];
    const FieldShot& to = k + 1 < shots.size() ? shots[k + 1] : cooled;
    DiscLoad load{from.Laid, {}, {}};
    for (std::size_t p = 0; p < from.Substrate.size(); ++p) {
      load.Substrate.push_back(substrate.dilat * (to.Substrate[p] - from.Substrate[p]));
    }
    for (int j = 1; j <= from.Laid; ++j) {
      const std::size_t i = static_cast<std::size_t>(j - 1);
      const MaterialRecord& row = CoatRow(state.Materials, CoatOf(coats, j));
      const bool landing = from.Arrival && j == from.Laid;
      const double start = landing ? from.Surface : from.Lamellae[i];
      const double quench = landing ? -row.SigmaQ / (row.ModuleYoung / (1 - row.Poisson)) : 0;
      load.Lamellae.push_back(row.dilat * (to.Lamellae[i] - start) + quench);
    }
    loads.push_back(load);
  }
  return loads;
}

// A substrate whose profile breaks at `Breaks` (-H to 0) under lamellae whose tops lie at `Tops`
// (0 first, for the substrate's top face), meshed in `Columns` element columns.
struct Disc {
  double H;
  std::vector<double> Tops;
  std::vector<double> Breaks;
  MaterialRecord Substrate;
  std::vector<MaterialRecord> Rows;  // lamella i's at i - 1
  int Columns;
  int Lamellae() const { return static_cast<int>(Tops.size()) - 1; }
  double Radius() const { return 30 * (H + Tops.back()); }
};

// Element rows between the substrate's break points, then one per lamella; each layer has node
// rows of its own, tied by equations, as the eigenstrain jumps at its faces.
struct DiscMesh {
  DiscMesh(const Disc& d, int laid) : disc(d), heights(d.Breaks) {
    for (int i = 1; i <= laid; ++i) heights.push_back(d.Tops[static_cast<std::size_t>(i)]);
    for (int row = 0; row < Rows(); ++row) {
      const std::size_t k = static_cast<std::size_t>(row);
      if (row == 0 || FirstOfLayer(row)) ys.push_back(heights[k]);
      ys.push_back((heights[k] + heights[k + 1]) / 2);
      ys.push_back(heights[k + 1]);
    }
  }
  int Rows() const { return static_cast<int>(heights.size()) - 1; }
  int SubstrateRows() const { return static_cast<int>(disc.Breaks.size()) - 1; }
  int Layer(int row) const { return row < SubstrateRows() ? 0 : row - SubstrateRows() + 1; }
  bool FirstOfLayer(int row) const { return row >= SubstrateRows(); }
  // Node row `level` (0 bottom, 1 middle, 2 top) of element row `row`.
  int NodeRow(int row, int level) const { return 2 * row + Layer(row) + level; }
  int Node(int i, int j) const { return j * (2 * disc.Columns + 1) + i + 1; }
  double R(int i) const { return disc.Radius() * i / (2 * disc.Columns); }
  double Y(int j) const { return ys[static_cast<std::size_t>(j)]; }
  int Element(int column, int row) const { return row * disc.Columns + column + 1; }
  template <class Visit>
  void ForEachNode(Visit visit) const {
    for (int row = 0; row < Rows(); ++row) {
      for (int level = row == 0 || FirstOfLayer(row) ? 0 : 1; level <= 2; ++level) {
        for (int i = 0; i <= 2 * disc.Columns; ++i) {
          if (i % 2 == 0 || level != 1) visit(i, NodeRow(row, level), Layer(row));
        }
      }
    }
  }

  const Disc& disc;
  std::vector<double> heights;
  std::vector<double> ys;  // of the node rows
};

// The substrate's eigenstrain at y, linear between the break points.
double SubstrateStrain(const Disc& disc, const DiscLoad& load, double y) {
  std::size_t k = 1;
  while (k + 1 < disc.Breaks.size() && disc.Breaks[k] < y) ++k;
  const double y0 = disc.Breaks[k - 1], y1 = disc.Breaks[k];
  return load.Substrate[k - 1] + (load.Substrate[k] - load.Substrate[k - 1]) * (y - y0) / (y1 - y0);
}

// The input file of one load: the eigenstrain as the thermal strain of a unit expansion; the
// back face's displacements and the mid-radius column's stresses printed.
std::string DiscInput(const Disc& disc, const DiscLoad& load) {
  const DiscMesh mesh(disc, load.Laid);
  std::ostringstream in;
  in.precision(14);  // CalculiX reads at most 20 characters a field
  in << "*NODE, NSET=NALL\n";
  mesh.ForEachNode([&](int i, int j, int) {
    in << mesh.Node(i, j) << ", " << mesh.R(i) << ", " << mesh.Y(j) << "\n";
  });
  std::map<int, std::vector<int>> layers;
  in << "*ELEMENT, TYPE=CAX8\n";
  for (int row = 0; row < mesh.Rows(); ++row) {
    const int b = mesh.NodeRow(row, 0), m = b + 1, t = b + 2;
    for (int column = 0; column < disc.Columns; ++column) {
      const int a = 2 * column;
      in << mesh.Element(column, row) << ", " << mesh.Node(a, b) << ", " << mesh.Node(a + 2, b)
         << ", " << mesh.Node(a + 2, t) << ", " << mesh.Node(a, t) << ", " << mesh.Node(a + 1, b)
         << ", " << mesh.Node(a + 2, m) << ", " << mesh.Node(a + 1, t) << ", " << mesh.Node(a, m)
         << "\n";
      layers[mesh.Layer(row)].push_back(mesh.Element(column, row));
    }
  }
  for (const auto& [layer, elements] : layers) {
    in << "*ELSET, ELSET=L" << layer << "\n";
    for (int element : elements) in << element << "\n";
    const MaterialRecord& m =
        layer == 0 ? disc.Substrate : disc.Rows[static_cast<std::size_t>(layer - 1)];
    in << "*MATERIAL, NAME=M" << layer << "\n*ELASTIC\n"
       << m.ModuleYoung << ", " << m.Poisson << "\n*EXPANSION\n1\n*SOLID SECTION, ELSET=L" << layer
       << ", MATERIAL=M" << layer << "\n";
  }
  // Each layer's bottom nodes follow the top nodes of the one below (the axis's stay on it).
  in << "*EQUATION\n";
  for (int row = mesh.SubstrateRows(); row < mesh.Rows(); ++row) {
    for (int i = 0; i <= 2 * disc.Columns; ++i) {
      for (int dof = i == 0 ? 2 : 1; dof <= 2; ++dof) {
        in << "2\n"
           << mesh.Node(i, mesh.NodeRow(row, 0)) << ", " << dof << ", 1, "
           << mesh.Node(i, mesh.NodeRow(row - 1, 2)) << ", " << dof << ", -1\n";
      }
    }
  }
  in << "*NSET, NSET=AXIS\n";
  mesh.ForEachNode([&](int i, int j, int) {
    if (i == 0) in << mesh.Node(i, j) << "\n";
  });
  in << "*NSET, NSET=BACK\n";
  for (int i = 0; i <= 2 * disc.Columns; ++i) in << mesh.Node(i, 0) << "\n";
  in << "*ELSET, ELSET=MIDRADIUS\n";
  for (int row = 0; row < mesh.Rows(); ++row) in << mesh.Element(disc.Columns / 2, row) << "\n";
  in << "*BOUNDARY\nAXIS, 1, 1\n" << mesh.Node(0, 0) << ", 2, 2\n";
  in << "*INITIAL CONDITIONS, TYPE=TEMPERATURE\nNALL, 0\n*STEP\n*STATIC\n*TEMPERATURE\n";
  mesh.ForEachNode([&](int i, int j, int layer) {
    const double strain = layer == 0 ? SubstrateStrain(disc, load, mesh.Y(j))
                                     : load.Lamellae[static_cast<std::size_t>(layer - 1)];
    in << mesh.Node(i, j) << ", " << strain << "\n";
  });
  in << "*NODE PRINT, NSET=BACK\nU\n*EL PRINT, ELSET=MIDRADIUS\nS, COORD\n*END STEP\n";
  return in.str();
}

double LineAt(const std::vector<std::pair<double, double>>& points, double x) {
  const double n = static_cast<double>(points.size());
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const auto& [px, py] : points) {
    sx += px, sy += py, sxx += px * px, sxy += px * py;
  }
  const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  return (sy - slope * sx) / n + slope * x;
}

// A disc's response to one load: the curvature change, then the stress changes at mid-radius at
// the substrate's faces and each lamella's mid-plane (an element's stress is linear in y).
std::vector<double> Solve(const Disc& disc, const DiscLoad& load,
                          const std::filesystem::path& dir) {
  const std::string dat = test::RunCalculix(dir, "disc", DiscInput(disc, load));
  const DiscMesh mesh(disc, load.Laid);
  std::map<int, double> lift;  // back-face node: axial displacement
  // Element, point: (σrr + σθθ) / 2 (invariant about the axis) and the point's height.
  std::map<std::pair<int, int>, std::pair<double, double>> points;
  char mode = ' ';
  for (const std::string& line : test::Lines(dat)) {
    if (line.find("displacements") != std::string::npos) mode = 'U';
    if (line.find("stresses") != std::string::npos) mode = 'S';
    if (line.find("coordinates") != std::string::npos) mode = 'C';
    std::istringstream fields(line);
    std::vector<double> v;
    for (double x; fields >> x;) v.push_back(x);
    if (mode == 'U' && v.size() == 4) lift[static_cast<int>(v[0])] = v[2];
    const std::pair<int, int> point{static_cast<int>(v.empty() ? 0 : v[0]),
                                    static_cast<int>(v.size() < 2 ? 0 : v[1])};
    if (mode == 'S' && v.size() == 8) points[point].first = (v[2] + v[4]) / 2;
    if (mode == 'C' && v.size() == 5) points[point].second = v[3];
  }
  std::vector<std::pair<double, double>> centre;
  for (int i = 0; mesh.R(i) <= disc.Radius() / 3; ++i) {
    centre.push_back({mesh.R(i) * mesh.R(i), lift.at(mesh.Node(i, 0))});
  }
  // A line through the points of the mid-radius element of `row`, at y.
  const auto stressAt = [&](int row, double y) {
    const int element = mesh.Element(disc.Columns / 2, row);
    std::vector<std::pair<double, double>> line;
    for (auto p = points.lower_bound({element, 0}); p != points.end() && p->first.first == element;
         ++p) {
      line.push_back({p->second.second, p->second.first});
    }
    return LineAt(line, y);
  };
  // w = w0 + κ r² / 2: the slope against r² is κ / 2.
  std::vector<double> response{2 * (LineAt(centre, 1) - LineAt(centre, 0)), stressAt(0, -disc.H),
                               stressAt(mesh.SubstrateRows() - 1, 0)};
  for (int row = mesh.SubstrateRows(); row < mesh.Rows(); ++row) {
    response.push_back(stressAt(row, mesh.Y(mesh.NodeRow(row, 1))));
  }
  return response;
}

class FiniteElementTest : public test::ModelFixture {};

// A coat of a case's system and the figures of its row that load the plate.
struct CoatCase {
  int passes;
  double pass, lamella, pause;
  double modulus, expansion, quench;
};

TEST_F(FiniteElementTest, AFreeDiscOfAxisymmetricElementsAgreesWithinOnePartInTenThousand) {
  if (std::system("command -v ccx > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "CalculiX (ccx, Debian package calculix-ccx) is not installed: the "
                    "finite-element check of the whole-deposit model is skipped.";
  }
  const std::vector<CoatCase> bondAndTop = {{2, 100e-6, 50e-6, 0, 200e9, 14e-6, 1e8},
                                            {2, 200e-6, 100e-6, 5, 50e9, 10e-6, 2e7}};
  // A titanium alloy's: a slow conductor, whose skin is steep under a strong flux.
  const MaterialRecord titanium{"Ti-6Al-4V", 6.7,  4430,   526, 1933, 2.86e5,
                                114e9,       0.34, 8.6e-6, 0,   {}};
  // Thin and thick deposits, a hard-heated slow plate, a bond coat under a top coat. Poisson's
  // ratios are equal: a mismatch bends the finite disc by about t / R more, which the plate
  // ignores.
  const struct {
    const char* name;
    double h, pass, lamella;
    int passes;
    double flux;
    const MaterialRecord* substrate;  // the catalogue's when null
    int columns;
    std::vector<CoatCase> coats;  // none: one coat of the case's own figures
  } cases[] = {{"thin", 0.002, 100e-6, 50e-6, 2, 500e3, nullptr, 300, {}},
               {"thick", 0.001, 500e-6, 250e-6, 2, 500e3, nullptr, 150, {}},
               {"steep skin", 0.006, 150e-6, 50e-6, 1, 2e6, &titanium, 60, {}},
               {"bond and top coats", 0.0015, 100e-6, 50e-6, 2, 500e3, nullptr, 200, bondAndTop}};
  const ModelState base = state;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    state = base;
    state.Input.StressModel = kWholeDepositModel;
    state.Input.PassCount = c.passes;
    state.Input.SubstrateThicknessInput = c.h;
    state.Input.PassThickness = c.pass;
    state.Input.LamellaThickness = c.lamella;
    state.Input.HeatFlux = c.flux;
    for (const CoatCase& coat : c.coats) {
      CoatInput input;
      input.Material = state.Input.CoatingMaterialName, input.PassCount = coat.passes;
      input.PassThickness = coat.pass, input.LamellaThickness = coat.lamella;
      input.PauseBefore = coat.pause;
      state.Input.Coats.push_back(input);
    }
    ResolveMaterials();
    if (c.substrate != nullptr) state.Materials.Substrate = *c.substrate;
    state.Materials.Coating.ModuleYoung = state.Materials.Substrate.ModuleYoung / 2;
    state.Materials.Coating.Poisson = state.Materials.Substrate.Poisson;
    for (std::size_t k = 0; k < c.coats.size(); ++k) {
      MaterialRecord& row = k == 0 ? state.Materials.Coating : state.Materials.LaterCoats.at(k - 1);
      row.ModuleYoung = c.coats[k].modulus;
      row.dilat = c.coats[k].expansion;
      row.SigmaQ = c.coats[k].quench;
      row.Poisson = state.Materials.Substrate.Poisson;
    }
    std::vector<double> coatEnds;
    const std::vector<FieldShot> shots = DriveRun(state, coatEnds);
    ASSERT_EQ(coatEnds.size(), std::max<std::size_t>(c.coats.size(), 1));

    const StressResults& s = state.Stress;
    Disc disc{c.h, {0}, BreakHeights(state.Field), state.Materials.Substrate, {}, c.columns};
    for (int i = 1; i <= state.Clock.LamellaCount; ++i) {
      disc.Tops.push_back(DepositTop(s, i));
      disc.Rows.push_back(CoatRow(state.Materials, CoatOf(s.Coats, i)));
    }
    // The curvature changes at each coat's end and at room temperature, then the stresses.
    const std::size_t ends = coatEnds.size();
    std::vector<double> fe(ends + 3 + static_cast<std::size_t>(disc.Lamellae()), 0.0);
    const std::vector<DiscLoad> loads = LoadsOf(state, shots);
    std::size_t coat = 0;
    for (std::size_t k = 0; k < loads.size(); ++k) {
      const std::vector<double> r = Solve(disc, loads[k], dir.Path());
      for (std::size_t i = 0; i < r.size(); ++i) fe[ends + i] += r[i];
      if (k + 1 < shots.size() && shots[k + 1].CoatEnd) fe[coat++] = fe[ends];
    }
    std::vector<double> model = coatEnds;
    model.insert(model.end(), {s.FinalCurvature - s.Curvature(0), s.SubstrateStressBackFinal,
                               s.SubstrateStressFrontFinal});
    for (int i = 1; i <= disc.Lamellae(); ++i) model.push_back(s.LamellaStressFinal(i));
    for (std::size_t i = 0; i < model.size(); ++i) {
      EXPECT_NEAR(fe[i], model[i], 1e-4 * std::fabs(model[i])) << "value " << i;
    }
  }
}

}  // namespace
}  // namespace quillane
