#include "thermal/FieldSolver.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

// The discrete equations.
//
// Unknowns: the temperatures of the cells T_1 … T_N (bottom to top) and of the two faces, T_b at
// the back (y = -h) and T_s at the surface. A cell of thickness s holds, per unit area,
//
//   E(T) = s ρ [ cp (T - T_ref) + L f(T) ],      f the molten fraction (MoltenFraction),
//
// so that its capacity dE/dT = s ρ (cp + L f'(T)) carries the latent heat where it melts or
// freezes, cell by cell. Two neighbouring cells exchange G (T_i - T_{i+1}) with
//
//   1 / G = s_i / (2 λ_i) + s_{i+1} / (2 λ_{i+1})   (+ w / λ_contact between the substrate and
//                                                      the first lamella),
//
// and a face exchanges with its cell through the half cell, G = 2 λ / s. The faces hold no heat:
//
//   back face:  G_b (T_1 - T_b) = h_c (T_b - T_gas) + εσ (T_b⁴ - T_room⁴) + H (T_b - T_holder)
//   surface:    G_s (T_N - T_s) + q_torch = h_c (T_s - T_gas) + εσ (T_s⁴ - T_room⁴)
//
// A step of dt is backward Euler in enthalpy:
//
//   E_i(T_i) - E_i(old) = dt [ G_{i-1} (T_{i-1} - T_i) + G_i (T_{i+1} - T_i) ]
//
// (T_0 = T_b, T_{N+1} = T_s with the face conductances). The system is solved by Newton's method
// on its tridiagonal Jacobian until the temperatures stop changing, and once more, so that the
// residuals are at rounding level. Summed over the cells the exchanges cancel, and
//
//   Σ [E_i(T_i) - E_i(old)] = dt [ q_torch - (losses of the surface) - (losses of the back) ]:
//
// every step conserves energy.

namespace quillane {

namespace {

constexpr double kRadiation = 4.5352e-8;   // εσ of both faces, W/(m²·K⁴)
constexpr double kConvection = 147;        // W/(m²·K), both faces
constexpr double kMeltingHalfWidth = 100;  // K
constexpr double kConverged = 1e-9;        // K, last Newton change
constexpr double kLargestChange = 200;     // K, a Newton change is cut to this
constexpr int kMaxIterations = 200;
constexpr int kMaxHalvings = 40;

const MaterialRecord& RowOf(const FieldCell& cell, const RunMaterials& materials) {
  return cell.Material == CellMaterial::Substrate ? materials.Substrate : materials.Coating;
}

double MoltenSlope(double temperature, double melting) {
  const double x = (temperature - (melting - kMeltingHalfWidth)) / (2 * kMeltingHalfWidth);
  if (x <= 0 || x >= 1) return 0;
  return 6 * x * (1 - x) / (2 * kMeltingHalfWidth);
}

double LatentHeat(const MaterialRecord& row) {
  return row.Tfusion > 0 ? row.Lfusion : 0;
}

double Capacity(const FieldCell& cell, const RunMaterials& materials, double temperature) {
  const MaterialRecord& row = RowOf(cell, materials);
  return cell.Thickness * row.Rho *
         (row.Cp + LatentHeat(row) * MoltenSlope(temperature, row.Tfusion));
}

// Heat a face loses to its surroundings, W/m², and its derivative in the face's temperature.
struct FaceLoss {
  double Heat = 0;
  double Slope = 0;
};

FaceLoss LossOf(double t, double gas, double room, double coefficient, double holder) {
  const double t2 = t * t;
  return {kConvection * (t - gas) + kRadiation * (t2 * t2 - room * room * room * room) +
              coefficient * (t - holder),
          kConvection + 4 * kRadiation * t2 * t + coefficient};
}

FaceLoss BackLoss(const FaceExchange& x, double t) {
  return LossOf(t, x.GasTemperature, x.RoomTemperature, x.BackCoefficient, x.BackTemperature);
}

FaceLoss SurfaceLoss(const FaceExchange& x, double t) {
  return LossOf(t, x.GasTemperature, x.RoomTemperature, 0, 0);
}

double HalfResistance(const FieldCell& cell, const RunMaterials& materials) {
  return cell.Thickness / (2 * RowOf(cell, materials).Lambda);
}

// Conductance between cell i and cell i + 1, W/(m²·K).
double Conductance(const DepositField& field, const RunMaterials& materials, std::size_t i) {
  const FieldCell& below = field.Cells[i];
  const FieldCell& above = field.Cells[i + 1];
  double resistance = HalfResistance(below, materials) + HalfResistance(above, materials);
  if (below.Material == CellMaterial::Substrate && above.Material == CellMaterial::Coating) {
    resistance += field.LamellaThickness / materials.Contact.Lambda;
  }
  return 1 / resistance;
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

// The temperatures of the unknowns: faces at 0 and N + 1, cells between.
double Unknown(const DepositField& field, std::size_t k) {
  const std::size_t n = field.Cells.size();
  if (k == 0) return field.BackFace;
  if (k == n + 1) return field.Surface;
  return field.Cells[k - 1].Temperature;
}

void SetUnknown(DepositField& field, std::size_t k, double value) {
  const std::size_t n = field.Cells.size();
  if (k == 0) {
    field.BackFace = value;
  } else if (k == n + 1) {
    field.Surface = value;
  } else {
    field.Cells[k - 1].Temperature = value;
  }
}

// The residuals of the equations at the current temperatures, W/m², into `r`; with `jacobian`
// their derivatives too (the tridiagonal lower, diagonal and upper). Returns Σ r².
double Residuals(DepositField& field, const RunMaterials& materials, const FaceExchange& exchange,
                 double dt, std::vector<double>& r, bool jacobian) {
  const std::size_t n = field.Cells.size();
  std::vector<double>& lower = field.Lower;
  std::vector<double>& diagonal = field.Diagonal;
  std::vector<double>& upper = field.Upper;
  // Back face.
  const double gBack = 1 / HalfResistance(field.Cells.front(), materials);
  const FaceLoss back = BackLoss(exchange, field.BackFace);
  r[0] = gBack * (field.Cells.front().Temperature - field.BackFace) - back.Heat;
  if (jacobian) {
    lower[0] = 0;
    diagonal[0] = -gBack - back.Slope;
    upper[0] = gBack;
  }
  // Cells: the exchange with the unknown below, then with the one above.
  double gBelow = gBack;
  for (std::size_t i = 0; i < n; ++i) {
    const FieldCell& cell = field.Cells[i];
    const double gAbove =
        i + 1 < n ? Conductance(field, materials, i) : 1 / HalfResistance(cell, materials);
    const double t = cell.Temperature;
    const double stored = (CellEnthalpy(field, cell, materials, t) - field.Previous[i]) / dt;
    r[i + 1] = -stored + gBelow * (Unknown(field, i) - t) + gAbove * (Unknown(field, i + 2) - t);
    if (jacobian) {
      lower[i + 1] = gBelow;
      diagonal[i + 1] = -Capacity(cell, materials, t) / dt - gBelow - gAbove;
      upper[i + 1] = gAbove;
    }
    gBelow = gAbove;
  }
  // Surface.
  const FaceLoss top = SurfaceLoss(exchange, field.Surface);
  r[n + 1] =
      gBelow * (field.Cells.back().Temperature - field.Surface) + exchange.TopFlux - top.Heat;
  if (jacobian) {
    lower[n + 1] = gBelow;
    diagonal[n + 1] = -gBelow - top.Slope;
    upper[n + 1] = 0;
  }
  double sum = 0;
  for (const double value : r) sum += value * value;
  return sum;
}

// One Newton iteration, its step shortened until the residuals fall (the molten fraction and the
// radiation can make a full step overshoot). Returns the largest change made, K.
double NewtonIteration(DepositField& field, const RunMaterials& materials,
                       const FaceExchange& exchange, double dt) {
  const std::size_t unknowns = field.Cells.size() + 2;
  std::vector<double>& change = field.Change;
  const double before = Residuals(field, materials, exchange, dt, change, true);
  // J δ = -r.
  for (double& value : change) value = -value;
  SolveTridiagonal(field.Lower, field.Diagonal, field.Upper, change);
  double largest = 0;
  for (const double d : change) largest = std::max(largest, std::fabs(d));
  double fraction = largest > kLargestChange ? kLargestChange / largest : 1;
  std::vector<double>& start = field.Start;
  for (std::size_t k = 0; k < unknowns; ++k) start[k] = Unknown(field, k);
  for (int halving = 0;; ++halving) {
    for (std::size_t k = 0; k < unknowns; ++k)
      SetUnknown(field, k, start[k] + fraction * change[k]);
    if (halving == kMaxHalvings ||
        Residuals(field, materials, exchange, dt, field.Trial, false) <= before) {
      return fraction * largest;
    }
    fraction /= 2;
  }
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
        (enthalpy - CellEnthalpy(field, cell, materials, t)) / Capacity(cell, materials, t);
    t += std::clamp(change, -kLargestChange, kLargestChange);
    if (std::fabs(change) <= kConverged) {
      return t +
             (enthalpy - CellEnthalpy(field, cell, materials, t)) / Capacity(cell, materials, t);
    }
  }
  throw std::runtime_error("the temperature of a merged cell did not converge");
}

// The lamella below the surface joins the laid cell under it, keeping the enthalpy of both.
void MergeBelowSurface(DepositField& field, const RunMaterials& materials) {
  const std::size_t n = field.Cells.size();
  if (n < static_cast<std::size_t>(field.SubstrateCells) + 2) return;
  FieldCell& under = field.Cells[n - 2];
  const FieldCell& lamella = field.Cells[n - 1];
  if (under.Material != CellMaterial::Coating || under.Lamellae + 1 > field.MergeCount) return;
  const double enthalpy = CellEnthalpy(field, under, materials, under.Temperature) +
                          CellEnthalpy(field, lamella, materials, lamella.Temperature);
  const double guess =
      (under.Thickness * under.Temperature + lamella.Thickness * lamella.Temperature) /
      (under.Thickness + lamella.Thickness);
  FieldCell merged = under;
  merged.Thickness += lamella.Thickness;
  merged.Lamellae += 1;
  merged.Temperature = TemperatureOfEnthalpy(field, merged, materials, enthalpy, guess);
  under = merged;
  field.Cells.pop_back();
}

void SizeWorkingArrays(DepositField& field) {
  const std::size_t unknowns = field.Cells.size() + 2;
  for (std::vector<double>* v :
       {&field.Lower, &field.Diagonal, &field.Upper, &field.Change, &field.Start, &field.Trial}) {
    v->resize(unknowns);
  }
  field.Previous.resize(field.Cells.size());
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
  const MaterialRecord& row = RowOf(cell, materials);
  return cell.Thickness * row.Rho *
         (row.Cp * (temperature - field.ReferenceTemperature) +
          LatentHeat(row) * MoltenFraction(temperature, row.Tfusion));
}

double FieldEnthalpy(const DepositField& field, const RunMaterials& materials) {
  double sum = 0;
  for (const FieldCell& cell : field.Cells) {
    sum += CellEnthalpy(field, cell, materials, cell.Temperature);
  }
  return sum;
}

PlateTemperatures PlateTemperaturesOf(const DepositField& field) {
  PlateTemperatures t;
  t.Back = field.BackFace;
  t.Front = field.SubstrateTop;
  // ∫ T dy and ∫ T y dy of each piece, linear from (y0, t0) to (y1, t1).
  const auto add = [&t](double y0, double t0, double y1, double t1) {
    const double dy = y1 - y0;
    t.SubstrateSum += dy * (t0 + t1) / 2;
    t.SubstrateMoment += dy * (t0 * (2 * y0 + y1) + t1 * (y0 + 2 * y1)) / 6;
  };
  double y = field.Cells.front().Bottom;
  double previous = field.BackFace;
  const std::size_t substrate = static_cast<std::size_t>(field.SubstrateCells);
  for (std::size_t i = 0; i < substrate; ++i) {
    const FieldCell& cell = field.Cells[i];
    const double centre = cell.Bottom + cell.Thickness / 2;
    add(y, previous, centre, cell.Temperature);
    y = centre;
    previous = cell.Temperature;
  }
  add(y, previous, 0, field.SubstrateTop);
  for (std::size_t i = substrate; i < field.Cells.size(); ++i) {
    const FieldCell& cell = field.Cells[i];
    t.CoatingSum += cell.Thickness * cell.Temperature;
    t.CoatingMoment += cell.Thickness * (cell.Bottom + cell.Thickness / 2) * cell.Temperature;
  }
  return t;
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

void LayOutField(DepositField& field, double substrateThickness, double lamellaThickness,
                 int refinement, double temperature) {
  const int count = kSubstrateCells * refinement;
  const double ratio = std::pow(kSubstrateGrading, 1.0 / refinement);
  // Cell k from the top is s_0 ratio^k; the count is fixed so that every cell moves smoothly
  // with the substrate's thickness.
  const double top = substrateThickness * (ratio - 1) / (std::pow(ratio, count) - 1);
  field = DepositField{};
  field.LamellaThickness = lamellaThickness;
  field.MergeCount =
      std::max(1, static_cast<int>(std::floor(kLaidCellThickness / refinement / lamellaThickness)));
  field.ReferenceTemperature = temperature;
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

double LayLamella(DepositField& field, const RunMaterials& materials, double particleTemperature) {
  MergeBelowSurface(field, materials);
  FieldCell lamella;
  lamella.Bottom = std::max(DepositThickness(field), 0.0);
  lamella.Thickness = field.LamellaThickness;
  lamella.Material = CellMaterial::Coating;
  lamella.Temperature = particleTemperature;
  lamella.Lamellae = 1;
  field.Cells.push_back(lamella);
  SizeWorkingArrays(field);
  return CellEnthalpy(field, lamella, materials, particleTemperature);
}

FieldStepEnergy StepField(DepositField& field, const RunMaterials& materials,
                          const FaceExchange& exchange, double dt) {
  const std::size_t n = field.Cells.size();
  for (std::size_t i = 0; i < n; ++i) {
    field.Previous[i] = CellEnthalpy(field, field.Cells[i], materials, field.Cells[i].Temperature);
  }
  int iteration = 0;
  bool converged = false;
  while (!converged) {
    if (++iteration > kMaxIterations) {
      throw std::runtime_error("the thermal field did not converge in a step");
    }
    converged = NewtonIteration(field, materials, exchange, dt) <= kConverged;
  }
  // Once more from the converged temperatures: the residuals fall to rounding.
  NewtonIteration(field, materials, exchange, dt);
  field.SubstrateTop = SubstrateTopFace(field, materials);

  FieldStepEnergy energy;
  const double back = BackLoss(exchange, field.BackFace).Heat;
  const double surface = SurfaceLoss(exchange, field.Surface).Heat;
  energy.FaceHeat = dt * (exchange.TopFlux - surface - back);
  energy.Largest =
      dt * std::max({std::fabs(exchange.TopFlux), std::fabs(surface), std::fabs(back)});
  for (std::size_t i = 0; i < n; ++i) {
    const double change =
        CellEnthalpy(field, field.Cells[i], materials, field.Cells[i].Temperature) -
        field.Previous[i];
    energy.EnthalpyChange += change;
    energy.Largest = std::max(energy.Largest, std::fabs(change));
  }
  return energy;
}

}  // namespace quillane
