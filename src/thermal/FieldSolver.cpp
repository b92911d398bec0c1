#include "thermal/FieldSolver.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <stdexcept>

#include "model/Deposit.h"
#include "model/FigureTable.h"
#include "thermal/FaceConstants.h"

// The discrete equations.
//
// Unknowns: the temperatures of the cells T_1 … T_N (bottom to top) and of the two faces, T_b at
// the back (y = -h) and T_s at the surface. A cell of thickness s holds, per unit area,
//
//   E(T) = s ρ [ ∫ cp dT from T_ref + L f(T) ],  f the molten fraction (MoltenFraction),
//
// so that its capacity dE/dT = s ρ (cp + L f'(T)) carries the latent heat where it melts or
// freezes, cell by cell. Two neighbouring cells exchange G (T_i - T_{i+1}) with
//
//   1 / G = s_i / (2 λ_i) + s_{i+1} / (2 λ_{i+1})   (+ w / λ_contact between the substrate and
//                                                      the first lamella),
//
// and a face exchanges with its cell through the half cell, G = 2 λ / s. A conductivity given
// against temperature is λ_i = λ(T_i), the cell's at its own temperature: the conductances then
// follow the iterate, and Newton's Jacobian carries their derivatives. The faces hold no heat:
//
//   back face:  G_b (T_1 - T_b) = h_c (T_b - T_gas) + εσ (T_b⁴ - T_room⁴) + H (T_b - T_holder)
//   surface:    G_s (T_N - T_s) + q_torch = h_c (T_s - T_gas) + εσ (T_s⁴ - T_room⁴)
//
// With F_i(T) = G_{i-1} (T_{i-1} - T_i) + G_i (T_{i+1} - T_i) the heat cell i gains per second
// (T_0 = T_b, T_{N+1} = T_s with the face conductances), a step of dt is TR-BDF2 in enthalpy
// (γ = 2 - √2): a trapezoidal stage to T* at γ dt, then a second-order backward stage,
//
//   E_i(T*) - E_i(T^n) = (γ dt / 2) [F_i(T^n) + F_i(T*)]
//   E_i(T^{n+1}) - [E_i(T*) - (1 - γ)² E_i(T^n)] / (γ (2 - γ)) = dt (1 - γ) / (2 - γ) F_i(T^{n+1}),
//
// second order in time and damping stiff modes as backward Euler does. Each stage, of the form
// E(T) - R = θ F(T), is solved by Newton's method on its tridiagonal Jacobian until the
// temperatures change by less than 1e-9 K (its convergence is quadratic, so the residuals are
// then at rounding level); the
// faces are brought to balance with the cells before the step (the torch may have just changed,
// or a lamella landed). Summed over the cells the exchanges cancel, Σ F_i = Q, the net heat
// through the faces, and the step's change of enthalpy is exactly
//
//   Σ [E_i(T^{n+1}) - E_i(T^n)] = dt [ (Q(T^n) + Q(T*)) / (2 (2 - γ)) + (1 - γ) Q(T^{n+1}) / (2 -
//   γ) ]:
//
// every step conserves energy. The first step after a lamella lands is backward Euler instead,
//
//   E_i(T^{n+1}) - E_i(T^n) = dt F_i(T^{n+1}),   Σ [E_i(T^{n+1}) - E_i(T^n)] = dt Q(T^{n+1}):
//
// the trapezoidal stage would take the faces' exchange at the step's start, when the new
// lamella is still at the particles' temperature and radiates as much for the whole stage,
// where it does for microseconds.

namespace quillane {

namespace {

constexpr double kMeltingHalfWidth = 100;  // K
constexpr double kConverged = 1e-9;        // K, the last Newton change
constexpr double kUncheckedChange = 1;     // K, a Newton change taken without a line search
constexpr double kLargestChange = 200;     // K, a Newton change is cut to this
constexpr int kMaxIterations = 200;
constexpr int kMaxHalvings = 40;
constexpr double kGamma = 0.58578643762690495;  // 2 - √2

// Called for every cell at every Newton iteration: kept to two branches (CoatRow's rows, whose
// count PrepareDepositRun checks).
const MaterialRecord& RowOf(const FieldCell& cell, const RunMaterials& materials) {
  if (cell.Material == CellMaterial::Substrate) return materials.Substrate;
  return cell.Row == 0 ? materials.Coating : materials.LaterCoats[cell.Row - 1];
}

double MoltenSlope(double temperature, double melting) {
  const double x = (temperature - (melting - kMeltingHalfWidth)) / (2 * kMeltingHalfWidth);
  if (x <= 0 || x >= 1) return 0;
  return 6 * x * (1 - x) / (2 * kMeltingHalfWidth);
}

double LatentHeat(const MaterialRecord& row) {
  return row.Tfusion > 0 ? row.Lfusion : 0;
}

// Both are called for every cell at every Newton iteration: kept inline, the tables' calls
// notwithstanding.
[[gnu::always_inline]] inline double Capacity(const FieldCell& cell, const RunMaterials& materials,
                                              double temperature) {
  const MaterialRecord& row = RowOf(cell, materials);
  return cell.Thickness * row.Rho *
         (FigureAt(row.Tables.Cp, row.Cp, temperature) +
          LatentHeat(row) * MoltenSlope(temperature, row.Tfusion));
}

[[gnu::always_inline]] inline double Enthalpy(const DepositField& field, const FieldCell& cell,
                                              const RunMaterials& materials, double temperature) {
  const MaterialRecord& row = RowOf(cell, materials);
  return cell.Thickness * row.Rho *
         (FigureIntegral(row.Tables.Cp, row.Cp, field.ReferenceTemperature, temperature) +
          LatentHeat(row) * MoltenFraction(temperature, row.Tfusion));
}

// Heat a face loses to its surroundings, W/m², and its derivative in the face's temperature.
struct FaceLoss {
  double Heat = 0;
  double Slope = 0;
};

FaceLoss LossOf(double t, double gas, double room, double coefficient, double holder) {
  const double t2 = t * t;
  return {kFaceConvection * (t - gas) + kFaceRadiation * (t2 * t2 - room * room * room * room) +
              coefficient * (t - holder),
          kFaceConvection + 4 * kFaceRadiation * t2 * t + coefficient};
}

FaceLoss BackLoss(const FaceExchange& x, double t) {
  return LossOf(t, x.GasTemperature, x.RoomTemperature, x.BackCoefficient, x.BackTemperature);
}

FaceLoss SurfaceLoss(const FaceExchange& x, double t) {
  return LossOf(t, x.GasTemperature, x.RoomTemperature, 0, 0);
}

double Conductivity(const MaterialRecord& row, double temperature) {
  return FigureAt(row.Tables.Lambda, row.Lambda, temperature);
}

// The resistance of half a cell at `temperature`, K·m²/W.
double HalfResistance(const FieldCell& cell, const RunMaterials& materials, double temperature) {
  return cell.Thickness / (2 * Conductivity(RowOf(cell, materials), temperature));
}

double HalfResistance(const FieldCell& cell, const RunMaterials& materials) {
  return HalfResistance(cell, materials, cell.Temperature);
}

// The contact layer's resistance between cell i and cell i + 1: between the substrate and the
// first lamella only, as thick as a lamella of the first coat laid.
double ContactResistance(const DepositField& field, const RunMaterials& materials, std::size_t i) {
  const FieldCell& under = field.Cells[i];
  const FieldCell& over = field.Cells[i + 1];
  if (under.Material != CellMaterial::Substrate || over.Material != CellMaterial::Coating) return 0;
  return field.Coats[static_cast<std::size_t>(over.Coat)].LamellaThickness /
         materials.Contact.Lambda;
}

// Conductance between cell i and cell i + 1 at temperatures `below` and `above`, W/(m²·K).
double Conductance(const DepositField& field, const RunMaterials& materials, std::size_t i,
                   double below, double above) {
  const FieldCell& under = field.Cells[i];
  const FieldCell& over = field.Cells[i + 1];
  return 1 / (HalfResistance(under, materials, below) + HalfResistance(over, materials, above) +
              ContactResistance(field, materials, i));
}

double Conductance(const DepositField& field, const RunMaterials& materials, std::size_t i) {
  return Conductance(field, materials, i, field.Cells[i].Temperature,
                     field.Cells[i + 1].Temperature);
}

// Solves the tridiagonal system (lower, diagonal, upper) x = rhs in place of rhs (Thomas). The
// Jacobian is diagonally dominant, so no pivoting is needed.
void SolveTridiagonal(std::vector<double>& lower, std::vector<double>& diagonal,
                      const std::vector<double>& upper, std::vector<double>& rhs) {
  const std::size_t n = diagonal.size();
  for (std::size_t i = 1; i < n; ++i) {
    const double m = lower[i] / diagonal[i - 1];
    diagonal[i] -= m * upper[i - 1];
    rhs[i] -= m * rhs[i - 1];
  }
  rhs[n - 1] /= diagonal[n - 1];
  for (std::size_t i = n - 1; i-- > 0;) rhs[i] = (rhs[i] - upper[i] * rhs[i + 1]) / diagonal[i];
}

// The conductances of the step: g[0] from the back face to the first cell, g[i] from cell i to
// cell i + 1 (counting from 1), g[N] from the last cell to the surface. Where no conductivity is
// a table they depend on the cells only, and are worked out once per step.
void ComputeConductances(DepositField& field, const RunMaterials& materials) {
  const std::size_t n = field.Cells.size();
  std::vector<double>& g = field.Conductances;
  g.resize(n + 1);
  g[0] = 1 / HalfResistance(field.Cells.front(), materials);
  for (std::size_t i = 0; i + 1 < n; ++i) g[i + 1] = Conductance(field, materials, i);
  g[n] = 1 / HalfResistance(field.Cells.back(), materials);
}

// Where a conductivity is a table: the conductances at the temperatures `u` (the unknowns), and
// the derivatives of g[i] in the temperature below it (SlopeBelow) and above it (SlopeAbove),
// from 1 / g = Σ s / (2 λ(T)): ∂g/∂T = g² s λ'(T) / (2 λ²) for each half cell.
void ComputeConductancesAt(DepositField& field, const RunMaterials& materials,
                           const std::vector<double>& u) {
  const std::size_t n = field.Cells.size();
  std::vector<double>& g = field.Conductances;
  std::vector<double>& below = field.SlopeBelow;
  std::vector<double>& above = field.SlopeAbove;
  g.resize(n + 1);
  below.resize(n + 1);
  above.resize(n + 1);
  // Each cell's half conductance 2 λ / s and its derivative, looked up once.
  const auto halfOf = [&](std::size_t i) {
    const FieldCell& cell = field.Cells[i];
    const MaterialRecord& row = RowOf(cell, materials);
    const FigureValue lambda = FigureAndSlope(row.Tables.Lambda, row.Lambda, u[i + 1]);
    return FigureValue{2 * lambda.Value / cell.Thickness, 2 * lambda.Slope / cell.Thickness};
  };
  FigureValue under = halfOf(0);
  g[0] = under.Value;
  below[0] = 0;
  above[0] = under.Slope;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const FigureValue over = halfOf(i + 1);
    g[i + 1] = 1 / (1 / under.Value + 1 / over.Value + ContactResistance(field, materials, i));
    const double a = g[i + 1] / under.Value;
    const double b = g[i + 1] / over.Value;
    below[i + 1] = a * a * under.Slope;
    above[i + 1] = b * b * over.Slope;
    under = over;
  }
  g[n] = under.Value;
  below[n] = under.Slope;
  above[n] = 0;
}

bool ConductivityVaries(const RunMaterials& materials) {
  if (!materials.Substrate.Tables.Lambda.empty() || !materials.Coating.Tables.Lambda.empty()) {
    return true;
  }
  for (const MaterialRecord& row : materials.LaterCoats) {
    if (!row.Tables.Lambda.empty()) return true;
  }
  return false;
}

// The unknowns as one array: the back face, the cells bottom to top, the surface.
void Gather(const DepositField& field, std::vector<double>& u) {
  const std::size_t n = field.Cells.size();
  u[0] = field.BackFace;
  for (std::size_t i = 0; i < n; ++i) u[i + 1] = field.Cells[i].Temperature;
  u[n + 1] = field.Surface;
}

void Scatter(DepositField& field, const std::vector<double>& u) {
  const std::size_t n = field.Cells.size();
  field.BackFace = u[0];
  for (std::size_t i = 0; i < n; ++i) field.Cells[i].Temperature = u[i + 1];
  field.Surface = u[n + 1];
}

// The terms of the Jacobian from conductances that change with temperature: the heat g_i
// (u_i - u_{i+1}) from unknown i to unknown i + 1 moves with both through g_i too.
void AddConductanceSlopes(DepositField& field, const std::vector<double>& u) {
  const std::size_t last = field.Cells.size() + 1;
  for (std::size_t i = 0; i < last; ++i) {
    const double drop = u[i] - u[i + 1];
    const double byBelow = drop * field.SlopeBelow[i];
    const double byAbove = drop * field.SlopeAbove[i];
    // Unknown i loses the heat, unknown i + 1 gains it.
    field.Diagonal[i] -= byBelow;
    field.Upper[i] -= byAbove;
    field.Lower[i + 1] += byBelow;
    field.Diagonal[i + 1] += byAbove;
  }
}

// The residuals of a stage E(T) - Previous = θ F(T) at the temperatures `u`, W/m², into `r`;
// with `jacobian` their derivatives too (the tridiagonal lower, diagonal and upper). With θ = 0
// the cells' residuals are their inflows F_i alone. Returns Σ r².
double Residuals(DepositField& field, const RunMaterials& materials, const FaceExchange& exchange,
                 double theta, const std::vector<double>& u, std::vector<double>& r,
                 bool jacobian) {
  const std::size_t n = field.Cells.size();
  if (field.VaryingConductivity) ComputeConductancesAt(field, materials, u);
  const std::vector<double>& g = field.Conductances;
  std::vector<double>& lower = field.Lower;
  std::vector<double>& diagonal = field.Diagonal;
  std::vector<double>& upper = field.Upper;
  const FaceLoss back = BackLoss(exchange, u[0]);
  r[0] = g[0] * (u[1] - u[0]) - back.Heat;
  if (jacobian) {
    lower[0] = 0;
    diagonal[0] = -g[0] - back.Slope;
    upper[0] = g[0];
  }
  for (std::size_t k = 1; k <= n; ++k) {
    const FieldCell& cell = field.Cells[k - 1];
    const double t = u[k];
    const double stored =
        theta > 0 ? (Enthalpy(field, cell, materials, t) - field.Previous[k - 1]) / theta : 0;
    r[k] = -stored + g[k - 1] * (u[k - 1] - t) + g[k] * (u[k + 1] - t);
    if (jacobian) {
      lower[k] = g[k - 1];
      diagonal[k] = -Capacity(cell, materials, t) / theta - g[k - 1] - g[k];
      upper[k] = g[k];
    }
  }
  const FaceLoss top = SurfaceLoss(exchange, u[n + 1]);
  r[n + 1] = g[n] * (u[n] - u[n + 1]) + exchange.TopFlux - top.Heat;
  if (jacobian) {
    lower[n + 1] = g[n];
    diagonal[n + 1] = -g[n] - top.Slope;
    upper[n + 1] = 0;
    if (field.VaryingConductivity) AddConductanceSlopes(field, u);
  }
  double sum = 0;
  for (const double value : r) sum += value * value;
  return sum;
}

// One Newton iteration on the unknowns. A large change is checked: it is shortened until the
// residuals fall (the molten fraction and the radiation can make a full step overshoot).
// Returns the largest change made, K.
double NewtonIteration(DepositField& field, const RunMaterials& materials,
                       const FaceExchange& exchange, double theta) {
  std::vector<double>& u = field.Unknowns;
  std::vector<double>& change = field.Change;
  const double before = Residuals(field, materials, exchange, theta, u, change, true);
  // J δ = -r.
  for (double& value : change) value = -value;
  SolveTridiagonal(field.Lower, field.Diagonal, field.Upper, change);
  double largest = 0;
  for (const double d : change) largest = std::max(largest, std::fabs(d));
  if (largest <= kUncheckedChange) {
    for (std::size_t k = 0; k < u.size(); ++k) u[k] += change[k];
    return largest;
  }
  double fraction = largest > kLargestChange ? kLargestChange / largest : 1;
  std::vector<double>& trial = field.Trial;
  for (int halving = 0;; ++halving) {
    for (std::size_t k = 0; k < u.size(); ++k) trial[k] = u[k] + fraction * change[k];
    if (halving == kMaxHalvings ||
        Residuals(field, materials, exchange, theta, trial, field.Residual, false) <= before) {
      u.swap(trial);
      return fraction * largest;
    }
    fraction /= 2;
  }
}

// The deposit's number of the first lamella laid after coat `coat`'s; past the last laid when
// no later coat has begun.
int NextCoatStart(const DepositField& field, std::size_t coat) {
  for (std::size_t k = coat + 1; k < field.FirstLamella.size(); ++k) {
    if (field.FirstLamella[k] > 0) return field.FirstLamella[k];
  }
  return field.Laid + 1;
}

double SubstrateTopFace(const DepositField& field, const RunMaterials& materials) {
  const std::size_t top = static_cast<std::size_t>(field.SubstrateCells) - 1;
  if (top + 1 == field.Cells.size()) return field.Surface;
  const FieldCell& cell = field.Cells[top];
  const double flux =
      Conductance(field, materials, top) * (cell.Temperature - field.Cells[top + 1].Temperature);
  return cell.Temperature - flux * HalfResistance(cell, materials);
}

// The temperature at which a cell holds `enthalpy`, by Newton's method from `guess` (the
// enthalpy rises strictly with the temperature).
double TemperatureOfEnthalpy(const DepositField& field, const FieldCell& cell,
                             const RunMaterials& materials, double enthalpy, double guess) {
  double t = guess;
  for (int i = 0; i < kMaxIterations; ++i) {
    const double change =
        (enthalpy - Enthalpy(field, cell, materials, t)) / Capacity(cell, materials, t);
    t += std::clamp(change, -kLargestChange, kLargestChange);
    if (std::fabs(change) <= kConverged) {
      return t + (enthalpy - Enthalpy(field, cell, materials, t)) / Capacity(cell, materials, t);
    }
  }
  throw std::runtime_error("the temperature of a merged cell did not converge");
}

// Cell i + 1 joins cell i, keeping the enthalpy of both.
void MergeCells(DepositField& field, const RunMaterials& materials, std::size_t i) {
  FieldCell& under = field.Cells[i];
  const FieldCell& over = field.Cells[i + 1];
  const double enthalpy = Enthalpy(field, under, materials, under.Temperature) +
                          Enthalpy(field, over, materials, over.Temperature);
  const double guess = (under.Thickness * under.Temperature + over.Thickness * over.Temperature) /
                       (under.Thickness + over.Thickness);
  FieldCell merged = under;
  merged.Thickness += over.Thickness;
  merged.Lamellae += over.Lamellae;
  merged.Temperature = TemperatureOfEnthalpy(field, merged, materials, enthalpy, guess);
  under = merged;
  field.Cells.erase(field.Cells.begin() + static_cast<std::ptrdiff_t>(i) + 1);
}

// The lamella below the surface joins the laid cell under it while that cell, of the same coat,
// has room; deeper down, where the deposit changes as slowly as the substrate, two neighbouring
// cells of as many lamellae become one once they lie deeper than kDepthPerCell times their joint
// thickness. So the cells stay at most MergeCount lamellae near the surface and their number
// grows with the logarithm of each coat's thickness, not with it; every merge depends on lamella
// counts only. The cells of a coat keep their size once another coat covers them.
void MergeLaidCells(DepositField& field, const RunMaterials& materials) {
  const std::size_t first = static_cast<std::size_t>(field.SubstrateCells);
  std::size_t n = field.Cells.size();
  const auto group = [&field](const FieldCell& cell) {
    return field.Coats[static_cast<std::size_t>(cell.Coat)].Group;
  };
  const int top = group(field.Cells[n - 1]);
  const int room = field.MergeCount[static_cast<std::size_t>(field.Cells[n - 1].Coat)];
  if (n >= first + 2 && group(field.Cells[n - 2]) == top &&
      field.Cells[n - 2].Lamellae + 1 <= room) {
    MergeCells(field, materials, n - 2);
    n = field.Cells.size();
  }
  // A group's lamellae are all as thick: depths and thicknesses compare as counts, exactly.
  int above = field.Cells[n - 1].Lamellae;
  for (std::size_t i = n - 1; i-- > first + 1;) {
    const FieldCell& under = field.Cells[i - 1];
    const FieldCell& over = field.Cells[i];
    if (group(under) != top) break;
    if (under.Lamellae == over.Lamellae && under.Lamellae >= room &&
        above >= field.DepthPerCell * (under.Lamellae + over.Lamellae)) {
      MergeCells(field, materials, i - 1);
    } else {
      above += over.Lamellae;
    }
  }
}

void SizeWorkingArrays(DepositField& field) {
  const std::size_t unknowns = field.Cells.size() + 2;
  for (std::vector<double>* v : {&field.Unknowns, &field.Lower, &field.Diagonal, &field.Upper,
                                 &field.Change, &field.Residual, &field.Trial}) {
    v->resize(unknowns);
  }
  field.Previous.resize(field.Cells.size());
  field.StepStart.resize(field.Cells.size());
}

// Solves one stage, E(T) - Previous = θ F(T).
void SolveStage(DepositField& field, const RunMaterials& materials, const FaceExchange& exchange,
                double theta) {
  Gather(field, field.Unknowns);
  int iteration = 0;
  bool converged = false;
  while (!converged) {
    if (++iteration > kMaxIterations) {
      throw std::runtime_error("the thermal field did not converge in a step");
    }
    converged = NewtonIteration(field, materials, exchange, theta) <= kConverged;
  }
  Scatter(field, field.Unknowns);
}

// The face temperature at which what the half cell brings (conductance g from a cell at
// `cell`, plus `gain`) balances what the face loses.
template <class Loss>
double BalanceFace(double g, double cell, double gain, double face, Loss loss) {
  for (int i = 0; i < kMaxIterations; ++i) {
    const FaceLoss lost = loss(face);
    const double change = (g * (cell - face) + gain - lost.Heat) / (g + lost.Slope);
    face += std::clamp(change, -kLargestChange, kLargestChange);
    if (std::fabs(change) <= kConverged) {
      const FaceLoss last = loss(face);
      return face + (g * (cell - face) + gain - last.Heat) / (g + last.Slope);
    }
  }
  throw std::runtime_error("a face of the thermal field did not converge");
}

// Both faces in balance with the cells as they are.
void BalanceFaces(DepositField& field, const RunMaterials& materials,
                  const FaceExchange& exchange) {
  const FieldCell& bottom = field.Cells.front();
  const FieldCell& top = field.Cells.back();
  field.BackFace = BalanceFace(1 / HalfResistance(bottom, materials), bottom.Temperature, 0,
                               field.BackFace, [&](double t) { return BackLoss(exchange, t); });
  field.Surface = BalanceFace(1 / HalfResistance(top, materials), top.Temperature, exchange.TopFlux,
                              field.Surface, [&](double t) { return SurfaceLoss(exchange, t); });
}

// Walks the substrate's profile, linear between its faces and its cells' centres, bottom to top:
// visit(y0, t0, y1, t1) for each piece, cut into parts where its temperature crosses a point of
// one of `tables`.
template <class Visit>
void ForEachSubstratePart(const DepositField& field,
                          std::initializer_list<const FigureTable*> tables, Visit visit) {
  std::vector<double> cuts;
  const auto piece = [&](double y0, double t0, double y1, double t1) {
    cuts.clear();
    for (const FigureTable* table : tables) {
      for (const FigurePoint& point : *table) {
        const double crossing = (point.Temperature - t0) / (t1 - t0);
        if (crossing > 0 && crossing < 1) cuts.push_back(crossing);
      }
    }
    std::sort(cuts.begin(), cuts.end());
    double ya = y0, ta = t0;
    for (const double cut : cuts) {
      const double yb = y0 + cut * (y1 - y0);
      const double tb = t0 + cut * (t1 - t0);
      visit(ya, ta, yb, tb);
      ya = yb;
      ta = tb;
    }
    visit(ya, ta, y1, t1);
  };
  double y = field.Cells.front().Bottom;
  double previous = field.BackFace;
  for (int i = 0; i < field.SubstrateCells; ++i) {
    const FieldCell& cell = field.Cells[static_cast<std::size_t>(i)];
    const double centre = cell.Bottom + cell.Thickness / 2;
    piece(y, previous, centre, cell.Temperature);
    y = centre;
    previous = cell.Temperature;
  }
  piece(y, previous, 0, field.SubstrateTop);
}

}  // namespace

double MoltenFraction(double temperature, double melting) {
  const double x = (temperature - (melting - kMeltingHalfWidth)) / (2 * kMeltingHalfWidth);
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  return x * x * (3 - 2 * x);
}

double CellEnthalpy(const DepositField& field, const FieldCell& cell, const RunMaterials& materials,
                    double temperature) {
  return Enthalpy(field, cell, materials, temperature);
}

double FieldEnthalpy(const DepositField& field, const RunMaterials& materials) {
  double sum = 0;
  for (const FieldCell& cell : field.Cells) {
    sum += CellEnthalpy(field, cell, materials, cell.Temperature);
  }
  return sum;
}

PlateTemperatures PlateTemperaturesOf(const DepositField& field, const RunMaterials& materials) {
  const MaterialRecord& substrate = materials.Substrate;
  const FigureTable& expansion = substrate.Tables.dilat;
  PlateTemperatures t;
  t.Back = ExpansionOf(substrate, field.BackFace);
  t.Front = ExpansionOf(substrate, field.SubstrateTop);
  // ∫ Θ dy and ∫ Θ y dy of each part, T linear from (y0, t0) to (y1, t1): exactly, for Θ = T
  // where the expansion is a constant; else Θ is quadratic in T between the table's points,
  // where the parts are cut, and Simpson's rule is exact on each.
  ForEachSubstratePart(field, {&expansion}, [&](double y0, double t0, double y1, double t1) {
    const double dy = y1 - y0;
    if (expansion.empty()) {
      t.SubstrateSum += dy * (t0 + t1) / 2;
      t.SubstrateMoment += dy * (t0 * (2 * y0 + y1) + t1 * (y0 + 2 * y1)) / 6;
      return;
    }
    const double ym = (y0 + y1) / 2;
    const double e0 = ExpansionOf(substrate, t0);
    const double em = ExpansionOf(substrate, (t0 + t1) / 2);
    const double e1 = ExpansionOf(substrate, t1);
    t.SubstrateSum += dy * (e0 + 4 * em + e1) / 6;
    t.SubstrateMoment += dy * (e0 * y0 + 4 * em * ym + e1 * y1) / 6;
  });
  // Where each coat's successor starts, worked out once for every cell.
  std::array<int, kMaxCoats> next{};
  for (std::size_t k = 0; k < field.FirstLamella.size() && k < next.size(); ++k) {
    next[k] = NextCoatStart(field, k);
  }
  // Each coat's row, looked up once rather than for every cell.
  std::array<const MaterialRecord*, kMaxCoats> rows{};
  for (std::size_t k = 0; k < field.Coats.size() && k < rows.size(); ++k) {
    rows[k] = &CoatRow(materials, field.Coats[k].Row);
  }
  const auto addCoat = [&](std::size_t coat, double thickness, double bottom, double temperature) {
    const double e = ExpansionOf(*rows[coat], temperature);
    t.CoatSum[coat] += thickness * e;
    t.CoatMoment[coat] += thickness * (bottom + thickness / 2) * e;
  };
  for (std::size_t i = static_cast<std::size_t>(field.SubstrateCells); i < field.Cells.size();
       ++i) {
    const FieldCell& cell = field.Cells[i];
    std::size_t coat = static_cast<std::size_t>(cell.Coat);
    const int last = cell.FirstLamella + cell.Lamellae - 1;
    if (last < next[coat]) {
      addCoat(coat, cell.Thickness, cell.Bottom, cell.Temperature);
      continue;
    }
    // A cell of a group across coats: each coat's share at the cell's temperature.
    int from = cell.FirstLamella;
    double bottom = cell.Bottom;
    while (from <= last) {
      const int to = std::min(last, next[coat] - 1);
      const double thickness = (to - from + 1) * field.Coats[coat].LamellaThickness;
      addCoat(coat, thickness, bottom, cell.Temperature);
      bottom += thickness;
      from = to + 1;
      ++coat;
    }
  }
  return t;
}

ModulusField ModulusFieldOf(const DepositField& field, const RunMaterials& materials) {
  const MaterialRecord& substrate = materials.Substrate;
  ModulusField moduli;
  // Three Gauss points on each part of a piece of the profile, cut where T crosses a point of
  // either table: E' and Θ are then polynomials of degree one and two in y, and every integrand
  // of degree four at most, which the rule integrates exactly.
  constexpr double kNode = 0.7745966692414834;  // √(3/5)
  constexpr std::array<double, 3> kNodes = {-kNode, 0, kNode};
  constexpr std::array<double, 3> kWeights = {5.0 / 9, 8.0 / 9, 5.0 / 9};
  const auto gauss = [&](double y0, double t0, double y1, double t1) {
    for (std::size_t g = 0; g < 3; ++g) {
      const double x = (1 + kNodes[g]) / 2;
      const double y = y0 + x * (y1 - y0);
      const double t = t0 + x * (t1 - t0);
      const double weight = kWeights[g] * (y1 - y0) / 2 * BiaxialModulus(substrate, t);
      const double theta = ExpansionOf(substrate, t);
      moduli.Stiffness += weight;
      moduli.First += weight * y;
      moduli.Second += weight * y * y;
      moduli.Strain += weight * theta;
      moduli.StrainMoment += weight * theta * y;
    }
  };
  ForEachSubstratePart(field, {&substrate.Tables.ModuleYoung, &substrate.Tables.dilat}, gauss);
  for (std::size_t i = static_cast<std::size_t>(field.SubstrateCells); i < field.Cells.size();
       ++i) {
    const FieldCell& cell = field.Cells[i];
    moduli.Cells.push_back({cell.FirstLamella, cell.Lamellae, cell.Temperature});
  }
  return moduli;
}

std::vector<double> LamellaTemperatures(const DepositField& field) {
  std::vector<double> temperatures;
  for (std::size_t i = static_cast<std::size_t>(field.SubstrateCells); i < field.Cells.size();
       ++i) {
    temperatures.insert(temperatures.end(), static_cast<std::size_t>(field.Cells[i].Lamellae),
                        field.Cells[i].Temperature);
  }
  return temperatures;
}

void SampleField(const DepositField& field, const std::vector<double>& heights,
                 std::vector<double>& out) {
  const double top = DepositThickness(field);
  // The points of the profile, walked once: the back face, the cells' centres, the surface.
  const std::size_t n = field.Cells.size();
  const auto point = [&](std::size_t k, double& y, double& t) {
    if (k == 0) {
      y = field.Cells.front().Bottom;
      t = field.BackFace;
    } else if (k <= n) {
      const FieldCell& cell = field.Cells[k - 1];
      y = cell.Bottom + cell.Thickness / 2;
      t = cell.Temperature;
    } else {
      y = top;
      t = field.Surface;
    }
  };
  std::size_t k = 0;
  double y0 = 0, t0 = 0, y1 = 0, t1 = 0;
  point(0, y0, t0);
  point(1, y1, t1);
  for (const double height : heights) {
    if (height > top) {
      out.push_back(std::nan(""));
      continue;
    }
    while (height > y1 && k + 1 <= n) {
      ++k;
      y0 = y1;
      t0 = t1;
      point(k + 1, y1, t1);
    }
    out.push_back(y1 > y0 ? t0 + (t1 - t0) * (std::clamp(height, y0, y1) - y0) / (y1 - y0) : t1);
  }
}

double DepositThickness(const DepositField& field) {
  const FieldCell& top = field.Cells.back();
  return top.Material == CellMaterial::Coating ? top.Bottom + top.Thickness : 0;
}

std::vector<FieldCoat> FieldCoats(const std::vector<SprayedCoat>& coats,
                                  const RunMaterials& materials) {
  std::vector<FieldCoat> laid;
  for (std::size_t k = 0; k < coats.size(); ++k) {
    const MaterialRecord& row = CoatRow(materials, coats[k].Given);
    FieldCoat coat{coats[k].LaidThickness, static_cast<int>(k), coats[k].Given};
    if (k > 0) {
      const MaterialRecord& under = CoatRow(materials, coats[k - 1].Given);
      if (row.Lambda == under.Lambda && row.Rho == under.Rho && row.Cp == under.Cp &&
          row.Tfusion == under.Tfusion && row.Lfusion == under.Lfusion &&
          row.Tables.Lambda == under.Tables.Lambda && row.Tables.Cp == under.Tables.Cp &&
          coat.LamellaThickness == laid.back().LamellaThickness) {
        coat.Group = laid.back().Group;
      }
    }
    laid.push_back(coat);
  }
  return laid;
}

void LayOutField(DepositField& field, double substrateThickness,
                 const std::vector<FieldCoat>& coats, int refinement, double temperature) {
  const int count = kSubstrateCells * refinement;
  const double ratio = std::pow(kSubstrateGrading, 1.0 / refinement);
  // Cell k from the top is s_0 ratio^k; the count is fixed so that every cell moves smoothly
  // with the substrate's thickness.
  const double top = substrateThickness * (ratio - 1) / (std::pow(ratio, count) - 1);
  field = DepositField{};
  field.Coats = coats;
  for (const FieldCoat& coat : coats) {
    field.MergeCount.push_back(std::max(
        1, static_cast<int>(std::floor(kLaidCellThickness / refinement / coat.LamellaThickness))));
  }
  field.FirstLamella.assign(coats.size(), 0);
  field.ReferenceTemperature = temperature;
  field.DepthPerCell = kDepthPerCell * refinement;
  field.SubstrateCells = count;
  double bottom = -substrateThickness;
  for (int i = count - 1; i >= 0; --i) {
    FieldCell cell;
    cell.Bottom = bottom;
    cell.Thickness = i == 0 ? -bottom : top * std::pow(ratio, i);
    cell.Temperature = temperature;
    bottom += cell.Thickness;
    field.Cells.push_back(cell);
  }
  field.BackFace = field.SubstrateTop = field.Surface = temperature;
  SizeWorkingArrays(field);
}

double LayLamella(DepositField& field, const RunMaterials& materials, int coat,
                  double particleTemperature) {
  MergeLaidCells(field, materials);
  FieldCell lamella;
  lamella.Bottom = std::max(DepositThickness(field), 0.0);
  const std::size_t k = static_cast<std::size_t>(coat);
  lamella.Thickness = field.Coats.at(k).LamellaThickness;
  lamella.Material = CellMaterial::Coating;
  lamella.Coat = coat;
  lamella.Row = field.Coats[k].Row;
  lamella.FirstLamella = ++field.Laid;
  if (field.FirstLamella[k] == 0) field.FirstLamella[k] = lamella.FirstLamella;
  lamella.Temperature = particleTemperature;
  lamella.Lamellae = 1;
  field.Cells.push_back(lamella);
  SizeWorkingArrays(field);
  return CellEnthalpy(field, lamella, materials, particleTemperature);
}

FieldStepFaces StepField(DepositField& field, const RunMaterials& materials,
                         const FaceExchange& exchange, double dt, bool afterLanding) {
  const std::size_t n = field.Cells.size();
  std::vector<double>& start = field.StepStart;
  field.VaryingConductivity = ConductivityVaries(materials);
  ComputeConductances(field, materials);
  BalanceFaces(field, materials, exchange);
  for (std::size_t i = 0; i < n; ++i) {
    start[i] = CellEnthalpy(field, field.Cells[i], materials, field.Cells[i].Temperature);
  }
  FieldStepFaces faces;
  const auto keep = [&](int k, double weight) {
    faces.Back[k] = field.BackFace;
    faces.Surface[k] = field.Surface;
    faces.Weight[k] = weight;
  };
  if (afterLanding) {
    // Backward Euler: the stage's flux is taken at its end only, not while the lamella is still
    // at the particles' temperature.
    keep(0, 0);
    keep(1, 0);
    field.Previous = start;
    SolveStage(field, materials, exchange, dt);
    keep(2, dt);
  } else {
    keep(0, dt / (2 * (2 - kGamma)));
    // The trapezoidal stage.
    std::vector<double>& inflow = field.Change;
    Gather(field, field.Unknowns);
    Residuals(field, materials, exchange, 0, field.Unknowns, inflow, false);
    const double trapezoid = kGamma * dt / 2;
    for (std::size_t i = 0; i < n; ++i) field.Previous[i] = start[i] + trapezoid * inflow[i + 1];
    SolveStage(field, materials, exchange, trapezoid);
    keep(1, dt / (2 * (2 - kGamma)));
    // The backward stage.
    const double scale = 1 / (kGamma * (2 - kGamma));
    for (std::size_t i = 0; i < n; ++i) {
      const double middle =
          CellEnthalpy(field, field.Cells[i], materials, field.Cells[i].Temperature);
      field.Previous[i] = scale * (middle - (1 - kGamma) * (1 - kGamma) * start[i]);
    }
    SolveStage(field, materials, exchange, dt * (1 - kGamma) / (2 - kGamma));
    keep(2, dt * (1 - kGamma) / (2 - kGamma));
  }
  field.SubstrateTop = SubstrateTopFace(field, materials);
  return faces;
}

}  // namespace quillane
