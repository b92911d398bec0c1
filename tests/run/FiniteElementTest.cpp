// The whole-deposit model against an independent finite-element model of the same plate: a free
// disc of axisymmetric 8-node elements (CalculiX), of radius 30 times its final thickness. The
// model's events are linear in their eigenstrains, so the thermal rows between two arrivals add
// up to one temperature change on the disc of that moment; each arrival is one more load on the
// disc with the new lamella. The responses of these discs, summed, give the final plate, whose
// centre curvature (w0 + κ r² / 2 fitted over the inner third of the back face) and stresses at
// mid-radius must agree with the model within 0.5 %.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ModelFixture.h"
#include "stress/WholeDeposit.h"

namespace quillane {
namespace {

bool HaveCalculix() {
  return std::system("command -v ccx > /dev/null 2>&1") == 0;
}

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

struct Material {
  double Young, Poisson, Expansion;
};

struct Disc {
  double H = 0;  // substrate thickness
  double W = 0;  // lamella thickness
  int Lamellae = 0;
  Material Substrate, Coating;
  double SigmaQ = 0;
  int SubstrateElements = 4;
  int RadialElements = 120;
  double Radius() const { return 30 * (H + Lamellae * W); }
};

// The disc's mesh: a grid of element rows (the substrate's, then one per lamella laid) and
// columns; node numbers on the grid of corner and mid-side points.
class DiscMesh {
 public:
  DiscMesh(const Disc& disc, int laid) : disc_(disc), laid_(laid) {
    for (int k = 0; k <= disc.SubstrateElements; ++k) {
      heights_.push_back(-disc.H + disc.H * k / disc.SubstrateElements);
    }
    for (int i = 1; i <= laid; ++i) heights_.push_back(i * disc.W);
  }
  int Rows() const { return static_cast<int>(heights_.size()) - 1; }
  int Columns() const { return disc_.RadialElements; }
  int Node(int i, int j) const { return j * (2 * Columns() + 1) + i + 1; }
  double R(int i) const { return disc_.Radius() * i / (2 * Columns()); }
  double Y(int j) const {
    const std::size_t k = static_cast<std::size_t>(j / 2);
    return j % 2 == 0 ? heights_[k] : (heights_[k] + heights_[k + 1]) / 2;
  }
  int Element(int column, int row) const { return row * Columns() + column + 1; }
  // The element row of the substrate (-1) or of lamella i.
  int Layer(int row) const {
    return row < disc_.SubstrateElements ? 0 : row - disc_.SubstrateElements + 1;
  }
  double RowMid(int row) const { return Y(2 * row + 1); }

 private:
  const Disc& disc_;
  int laid_;
  std::vector<double> heights_;
};

// The input file of one load: a material per layer, the load as thermal expansion of a
// temperature field, the back face's displacements and the stresses of the mid-radius column.
std::string DiscInput(const Disc& disc, const DiscLoad& load) {
  const DiscMesh mesh(disc, load.Laid);
  std::ostringstream in;
  in.precision(14);  // CalculiX reads at most 20 characters a field
  in << "*NODE, NSET=NALL\n";
  for (int j = 0; j <= 2 * mesh.Rows(); ++j) {
    for (int i = 0; i <= 2 * mesh.Columns(); ++i) {
      if (i % 2 == 1 && j % 2 == 1) continue;
      in << mesh.Node(i, j) << ", " << mesh.R(i) << ", " << mesh.Y(j) << "\n";
    }
  }
  std::map<int, std::vector<int>> layers;
  in << "*ELEMENT, TYPE=CAX8\n";
  for (int row = 0; row < mesh.Rows(); ++row) {
    for (int column = 0; column < mesh.Columns(); ++column) {
      const int a = 2 * column, b = 2 * row;
      in << mesh.Element(column, row) << ", " << mesh.Node(a, b) << ", " << mesh.Node(a + 2, b)
         << ", " << mesh.Node(a + 2, b + 2) << ", " << mesh.Node(a, b + 2) << ", "
         << mesh.Node(a + 1, b) << ", " << mesh.Node(a + 2, b + 1) << ", "
         << mesh.Node(a + 1, b + 2) << ", " << mesh.Node(a, b + 1) << "\n";
      layers[mesh.Layer(row)].push_back(mesh.Element(column, row));
    }
  }
  // The eigenstrain is the expansion coefficient times the field's value.
  const double coatingModulus = disc.Coating.Young / (1 - disc.Coating.Poisson);
  for (const auto& [layer, elements] : layers) {
    in << "*ELSET, ELSET=L" << layer << "\n";
    for (int element : elements) in << element << "\n";
    const Material& m = layer == 0 ? disc.Substrate : disc.Coating;
    double expansion = m.Expansion;
    if (load.Arrival) expansion = layer == load.Laid ? 1 : 0;
    in << "*MATERIAL, NAME=M" << layer << "\n*ELASTIC\n"
       << m.Young << ", " << m.Poisson << "\n*EXPANSION\n"
       << expansion << "\n*SOLID SECTION, ELSET=L" << layer << ", MATERIAL=M" << layer << "\n";
  }
  in << "*NSET, NSET=AXIS\n";
  for (int j = 0; j <= 2 * mesh.Rows(); ++j) in << mesh.Node(0, j) << "\n";
  in << "*NSET, NSET=BACK\n";
  for (int i = 0; i <= 2 * mesh.Columns(); ++i) in << mesh.Node(i, 0) << "\n";
  in << "*ELSET, ELSET=MIDRADIUS\n";
  for (int row = 0; row < mesh.Rows(); ++row) in << mesh.Element(mesh.Columns() / 2, row) << "\n";
  in << "*BOUNDARY\nAXIS, 1, 1\n" << mesh.Node(0, 0) << ", 2, 2\n";
  in << "*INITIAL CONDITIONS, TYPE=TEMPERATURE\nNALL, 0\n*STEP\n*STATIC\n*TEMPERATURE\n";
  for (int j = 0; j <= 2 * mesh.Rows(); ++j) {
    const double y = mesh.Y(j);
    double field = -disc.SigmaQ / coatingModulus;
    if (!load.Arrival) {
      field = y >= 0 ? load.TopChange
                     : load.BackChange + (load.TopChange - load.BackChange) * (y + disc.H) / disc.H;
    }
    for (int i = 0; i <= 2 * mesh.Columns(); ++i) {
      if (i % 2 == 1 && j % 2 == 1) continue;
      in << mesh.Node(i, j) << ", " << field << "\n";
    }
  }
  in << "*NODE PRINT, NSET=BACK\nU\n*EL PRINT, ELSET=MIDRADIUS\nS\n*END STEP\n";
  return in.str();
}

// A disc's response: curvature change and in-plane stress changes at mid-radius, at the
// substrate's back face and top and at each lamella's mid-plane.
struct Response {
  double Curvature = 0;
  double Back = 0;
  double Front = 0;
  std::vector<double> Lamella;  // [0] is lamella 1
};

// Least-squares line through points, evaluated at x.
double LineAt(const std::vector<std::pair<double, double>>& points, double x) {
  double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const auto& [px, py] : points) {
    n += 1;
    sx += px;
    sy += py;
    sxx += px * px;
    sxy += px * py;
  }
  const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  return (sy - slope * sx) / n + slope * x;
}

Response ReadResponse(const Disc& disc, const DiscLoad& load, const std::string& dat) {
  const DiscMesh mesh(disc, load.Laid);
  std::istringstream text(dat);
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
  std::vector<std::pair<double, double>> centre;
  for (int i = 0; i <= 2 * mesh.Columns() && mesh.R(i) <= disc.Radius() / 3; ++i) {
    centre.push_back({mesh.R(i) * mesh.R(i), lift.at(mesh.Node(i, 0))});
  }
  Response response;
  // w = w0 + κ r² / 2: the slope against r² is κ / 2.
  response.Curvature = 2 * (LineAt(centre, 1) - LineAt(centre, 0));
  std::vector<std::pair<double, double>> substrate;
  for (int row = 0; row < mesh.Rows(); ++row) {
    const auto& [sum, count] = stress.at(mesh.Element(mesh.Columns() / 2, row));
    const double mean = sum / count;  // the element's centroid: its profile is linear
    if (mesh.Layer(row) == 0) {
      substrate.push_back({mesh.RowMid(row), mean});
    } else {
      response.Lamella.push_back(mean);
    }
  }
  response.Back = LineAt(substrate, -disc.H);
  response.Front = LineAt(substrate, 0);
  return response;
}

Response Solve(const Disc& disc, const DiscLoad& load, const std::filesystem::path& dir) {
  std::ofstream(dir / "disc.inp") << DiscInput(disc, load);
  const std::string command = "cd '" + dir.string() + "' && ccx -i disc > disc.log 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << test::ReadFile(dir / "disc.log");
  return ReadResponse(disc, load, test::ReadFile(dir / "disc.dat"));
}

class FiniteElementTest : public test::ModelFixture {};

TEST_F(FiniteElementTest, AFreeDiscOfAxisymmetricElementsAgreesWithinHalfAPercent) {
  if (!HaveCalculix()) {
    GTEST_SKIP() << "CalculiX (ccx, Debian package calculix-ccx) is not installed: the "
                    "finite-element check of the whole-deposit model is skipped.";
  }
  // A thin deposit and one as thick as its substrate, two passes of two lamellae each, on a
  // coating half as stiff as its substrate.
  const struct {
    const char* name;
    double h, pass, lamella;
    int substrateElements, radialElements;
  } cases[] = {{"thin", 0.002, 100e-6, 50e-6, 4, 300}, {"thick", 0.001, 500e-6, 250e-6, 4, 150}};
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

    const MaterialRecord& sub = state.Materials.Substrate;
    const MaterialRecord& coat = state.Materials.Coating;
    Disc disc;
    disc.H = c.h;
    disc.W = state.Stress.LamellaThicknessCopy;
    disc.Lamellae = state.Clock.LamellaCount;
    disc.Substrate = {sub.ModuleYoung, sub.Poisson, sub.dilat};
    disc.Coating = {coat.ModuleYoung, coat.Poisson, coat.dilat};
    disc.SigmaQ = coat.SigmaQ;
    disc.SubstrateElements = c.substrateElements;
    disc.RadialElements = c.radialElements;
    Response total;
    total.Lamella.assign(static_cast<std::size_t>(disc.Lamellae), 0);
    for (const DiscLoad& load : LoadsOf(state)) {
      const Response r = Solve(disc, load, dir.Path());
      total.Curvature += r.Curvature;
      total.Back += r.Back;
      total.Front += r.Front;
      for (std::size_t i = 0; i < r.Lamella.size(); ++i) total.Lamella[i] += r.Lamella[i];
    }

    const StressResults& s = state.Stress;
    const double bending = s.FinalCurvature - s.Curvature(0);
    std::cout << c.name << ": curvature change model " << bending << " FE " << total.Curvature
              << "\n";
    EXPECT_NEAR(total.Curvature, bending, 0.005 * std::fabs(bending));
    std::vector<std::pair<double, double>> stresses = {{s.SubstrateStressBackFinal, total.Back},
                                                       {s.SubstrateStressFrontFinal, total.Front}};
    for (int i = 1; i <= disc.Lamellae; ++i) {
      stresses.push_back({s.LamellaStressFinal(i), total.Lamella[static_cast<std::size_t>(i - 1)]});
    }
    for (const auto& [model, fe] : stresses) {
      std::cout << "  stress model " << model << " FE " << fe << "\n";
      EXPECT_NEAR(fe, model, 0.005 * std::fabs(model));
    }
  }
}

}  // namespace
}  // namespace quillane
