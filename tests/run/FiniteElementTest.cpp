// The whole-deposit model against a free disc of axisymmetric 8-node elements (CalculiX), of
// radius 30 times its final thickness. The model is linear in its eigenstrains, so the thermal
// events between two arrivals are one temperature change on the disc of that moment and each
// arrival one more load; the summed responses (centre curvature fitted over the inner third of the
// back face, stresses at mid-radius) must agree with the model within 0.5 %.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ModelFixture.h"
#include "stress/WholeDeposit.h"

namespace quillane {
namespace {

// One load of a disc: the arrival of lamella `Laid`, or temperature changes of the substrate's
// back face and top (which every laid lamella follows) on the disc of `Laid` lamellae.
struct DiscLoad {
  int Laid = 0;
  bool Arrival = false;
  double BackChange = 0;
  double TopChange = 0;
};

// The model's timeline, the final cooling included, as loads on successive discs.
std::vector<DiscLoad> LoadsOf(const ModelState& state) {
  std::vector<DepositEvent> events = state.Timeline.Events;
  events.push_back(RoomCoolingEvent(state));
  std::vector<DiscLoad> loads;
  DiscLoad thermal;
  double back = state.Input.SubstrateTemperature;
  double top = back;
  for (const DepositEvent& event : events) {
    if (event.Kind == DepositEventKind::Arrival) {
      loads.push_back(thermal);
      thermal = DiscLoad{thermal.Laid + 1, false, 0, 0};
      loads.push_back(DiscLoad{thermal.Laid, true, 0, 0});
      continue;
    }
    thermal.BackChange += event.BackTemperature - back;
    thermal.TopChange += event.TopSubstrateTemperature - top;
    back = event.BackTemperature;
    top = event.TopSubstrateTemperature;
  }
  loads.push_back(thermal);
  return loads;
}

// Substrate thickness H under `Lamellae` lamellae of W, meshed in `Columns` element columns.
struct Disc {
  double H, W;
  int Lamellae;
  MaterialRecord Substrate, Coating;
  int Columns;
  double Radius() const { return 30 * (H + Lamellae * W); }
};

// The mesh of a disc with `laid` lamellae: element rows (four in the substrate, then one per
// lamella) and columns; node numbers on the grid of corner and mid-side points.
struct DiscMesh {
  DiscMesh(const Disc& d, int laid) : disc(d) {
    for (int k = 0; k <= 4; ++k) heights.push_back(-d.H + d.H * k / 4);
    for (int i = 1; i <= laid; ++i) heights.push_back(i * d.W);
  }
  int Rows() const { return static_cast<int>(heights.size()) - 1; }
  int Node(int i, int j) const { return j * (2 * disc.Columns + 1) + i + 1; }
  double R(int i) const { return disc.Radius() * i / (2 * disc.Columns); }
  double Y(int j) const {
    const std::size_t k = static_cast<std::size_t>(j / 2);
    return j % 2 == 0 ? heights[k] : (heights[k] + heights[k + 1]) / 2;
  }
  int Element(int column, int row) const { return row * disc.Columns + column + 1; }
  // The substrate's element rows are layer 0, lamella i's is layer i.
  int Layer(int row) const { return row < 4 ? 0 : row - 3; }
  template <class Visit>
  void ForEachNode(Visit visit) const {
    for (int j = 0; j <= 2 * Rows(); ++j) {
      for (int i = 0; i <= 2 * disc.Columns; ++i) {
        if (i % 2 == 0 || j % 2 == 0) visit(i, j);
      }
    }
  }

  const Disc& disc;
  std::vector<double> heights;
};

// The input file of one load: a material per layer, the load as thermal expansion of a
// temperature field, the back face's displacements and the stresses of the mid-radius column.
std::string DiscInput(const Disc& disc, const DiscLoad& load) {
  const DiscMesh mesh(disc, load.Laid);
  std::ostringstream in;
  in.precision(14);  // CalculiX reads at most 20 characters a field
  in << "*NODE, NSET=NALL\n";
  mesh.ForEachNode([&](int i, int j) {
    in << mesh.Node(i, j) << ", " << mesh.R(i) << ", " << mesh.Y(j) << "\n";
  });
  std::map<int, std::vector<int>> layers;
  in << "*ELEMENT, TYPE=CAX8\n";
  for (int row = 0; row < mesh.Rows(); ++row) {
    for (int column = 0; column < disc.Columns; ++column) {
      const int a = 2 * column, b = 2 * row;
      in << mesh.Element(column, row) << ", " << mesh.Node(a, b) << ", " << mesh.Node(a + 2, b)
         << ", " << mesh.Node(a + 2, b + 2) << ", " << mesh.Node(a, b + 2) << ", "
         << mesh.Node(a + 1, b) << ", " << mesh.Node(a + 2, b + 1) << ", "
         << mesh.Node(a + 1, b + 2) << ", " << mesh.Node(a, b + 1) << "\n";
      layers[mesh.Layer(row)].push_back(mesh.Element(column, row));
    }
  }
  // The eigenstrain is the expansion coefficient times the field's value.
  for (const auto& [layer, elements] : layers) {
    in << "*ELSET, ELSET=L" << layer << "\n";
    for (int element : elements) in << element << "\n";
    const MaterialRecord& m = layer == 0 ? disc.Substrate : disc.Coating;
    double expansion = m.dilat;
    if (load.Arrival) expansion = layer == load.Laid ? 1 : 0;
    in << "*MATERIAL, NAME=M" << layer << "\n*ELASTIC\n"
       << m.ModuleYoung << ", " << m.Poisson << "\n*EXPANSION\n"
       << expansion << "\n*SOLID SECTION, ELSET=L" << layer << ", MATERIAL=M" << layer << "\n";
  }
  in << "*NSET, NSET=AXIS\n";
  for (int j = 0; j <= 2 * mesh.Rows(); ++j) in << mesh.Node(0, j) << "\n";
  in << "*NSET, NSET=BACK\n";
  for (int i = 0; i <= 2 * disc.Columns; ++i) in << mesh.Node(i, 0) << "\n";
  in << "*ELSET, ELSET=MIDRADIUS\n";
  for (int row = 0; row < mesh.Rows(); ++row) in << mesh.Element(disc.Columns / 2, row) << "\n";
  in << "*BOUNDARY\nAXIS, 1, 1\n" << mesh.Node(0, 0) << ", 2, 2\n";
  in << "*INITIAL CONDITIONS, TYPE=TEMPERATURE\nNALL, 0\n*STEP\n*STATIC\n*TEMPERATURE\n";
  const double coatingModulus = disc.Coating.ModuleYoung / (1 - disc.Coating.Poisson);
  mesh.ForEachNode([&](int i, int j) {
    const double y = mesh.Y(j);
    double field = -disc.Coating.SigmaQ / coatingModulus;
    if (!load.Arrival) {
      field = y >= 0 ? load.TopChange
                     : load.BackChange + (load.TopChange - load.BackChange) * (y + disc.H) / disc.H;
    }
    in << mesh.Node(i, j) << ", " << field << "\n";
  });
  in << "*NODE PRINT, NSET=BACK\nU\n*EL PRINT, ELSET=MIDRADIUS\nS\n*END STEP\n";
  return in.str();
}

// Least-squares line through points, evaluated at x.
double LineAt(const std::vector<std::pair<double, double>>& points, double x) {
  const double n = static_cast<double>(points.size());
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const auto& [px, py] : points) {
    sx += px, sy += py, sxx += px * px, sxy += px * py;
  }
  const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  return (sy - slope * sx) / n + slope * x;
}

// A disc's response to one load: the curvature change, then the in-plane stress changes at
// mid-radius at the substrate's back face and top and at each lamella's mid-plane.
std::vector<double> Solve(const Disc& disc, const DiscLoad& load,
                          const std::filesystem::path& dir) {
  std::ofstream(dir / "disc.inp") << DiscInput(disc, load);
  const std::string command = "cd '" + dir.string() + "' && ccx -i disc > disc.log 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << test::ReadFile(dir / "disc.log");
  const DiscMesh mesh(disc, load.Laid);
  std::istringstream text(test::ReadFile(dir / "disc.dat"));
  std::map<int, double> lift;                    // back-face node: axial displacement
  std::map<int, std::pair<double, int>> stress;  // element: sum of (σrr + σθθ) / 2, points
  char mode = ' ';
  for (std::string line; std::getline(text, line);) {
    if (line.find("displacements") != std::string::npos) mode = 'U';
    if (line.find("stresses") != std::string::npos) mode = 'S';
    std::istringstream fields(line);
    std::vector<double> v;
    for (double x; fields >> x;) v.push_back(x);
    if (mode == 'U' && v.size() == 4) lift[static_cast<int>(v[0])] = v[2];
    if (mode == 'S' && v.size() == 8) {
      auto& [sum, count] = stress[static_cast<int>(v[0])];
      sum += (v[2] + v[4]) / 2;
      ++count;
    }
  }
  std::vector<std::pair<double, double>> centre, substrate;
  for (int i = 0; mesh.R(i) <= disc.Radius() / 3; ++i) {
    centre.push_back({mesh.R(i) * mesh.R(i), lift.at(mesh.Node(i, 0))});
  }
  // w = w0 + κ r² / 2: the slope against r² is κ / 2.
  std::vector<double> response{2 * (LineAt(centre, 1) - LineAt(centre, 0)), 0, 0};
  for (int row = 0; row < mesh.Rows(); ++row) {
    const auto& [sum, count] = stress.at(mesh.Element(disc.Columns / 2, row));
    const double mean = sum / count;  // the element's centroid: its profile is linear
    if (mesh.Layer(row) == 0) {
      substrate.push_back({mesh.Y(2 * row + 1), mean});
    } else {
      response.push_back(mean);
    }
  }
  response[1] = LineAt(substrate, -disc.H);
  response[2] = LineAt(substrate, 0);
  return response;
}

class FiniteElementTest : public test::ModelFixture {};

TEST_F(FiniteElementTest, AFreeDiscOfAxisymmetricElementsAgreesWithinHalfAPercent) {
  if (std::system("command -v ccx > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "CalculiX (ccx, Debian package calculix-ccx) is not installed: the "
                    "finite-element check of the whole-deposit model is skipped.";
  }
  // A thin deposit and one as thick as its substrate, two passes of two lamellae each, on a
  // coating half as stiff as its substrate.
  const struct {
    const char* name;
    double h, pass, lamella;
    int columns;
  } cases[] = {{"thin", 0.002, 100e-6, 50e-6, 300}, {"thick", 0.001, 500e-6, 250e-6, 150}};
  const ModelState base = state;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    state = base;
    state.Input.StressModel = kWholeDepositModel;
    state.Input.PassCount = 2;
    state.Input.SubstrateThicknessInput = c.h;
    state.Input.PassThickness = c.pass;
    state.Input.LamellaThickness = c.lamella;
    ResolveMaterials();
    state.Materials.Coating.ModuleYoung = 90e9;
    state.Materials.Coating.Poisson = 0.25;
    RunSimulation(state, sink);

    const Disc disc{c.h,
                    state.Stress.LamellaThicknessCopy,
                    state.Clock.LamellaCount,
                    state.Materials.Substrate,
                    state.Materials.Coating,
                    c.columns};
    std::vector<double> fe(static_cast<std::size_t>(3 + disc.Lamellae), 0.0);
    for (const DiscLoad& load : LoadsOf(state)) {
      const std::vector<double> r = Solve(disc, load, dir.Path());
      for (std::size_t i = 0; i < r.size(); ++i) fe[i] += r[i];
    }
    const StressResults& s = state.Stress;
    std::vector<double> model{s.FinalCurvature - s.Curvature(0), s.SubstrateStressBackFinal,
                              s.SubstrateStressFrontFinal};
    for (int i = 1; i <= disc.Lamellae; ++i) model.push_back(s.LamellaStressFinal(i));
    for (std::size_t i = 0; i < model.size(); ++i) {
      EXPECT_NEAR(fe[i], model[i], 0.005 * std::fabs(model[i])) << "value " << i;
    }
  }
}

}  // namespace
}  // namespace quillane
