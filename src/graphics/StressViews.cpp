#include "graphics/StressViews.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "format/NumberFormat.h"
#include "graphics/PixelMapping.h"
#include "model/Deposit.h"
#include "stress/DeflectionHistory.h"

namespace quillane::graphics {

namespace {

constexpr const char* kAxisPattern = "0.000E+00";

// Seconds per lamella, seconds of final cooling and cooling steps of the deflection history.
constexpr int kSecondsPerLamella = 4;
constexpr int kCoolingSeconds = 120;
constexpr int kCoolingSteps = 20;

// The value 14 handed over as a colour, not as a palette index: practically black.
constexpr RGB kPictogramColour = RGB::FromValue(14);

float F(double value) {
  return static_cast<float>(value);
}

// Element i of a per-lamella array; a state that was not filled that far is a caller's fault
// that must not turn into a read outside the array.
double At(const BasedArray<double>& values, int i, const char* name) {
  if (!values.Contains(i)) {
    throw std::out_of_range(std::string(name) + "(" + std::to_string(i) +
                            ") is outside the computed lamellae");
  }
  return values(i);
}

// Bottom and top edges of an axis framed with a margin of a fifth of its span on each side.
struct AxisFrame {
  double Span = 0;
  double Bottom = 0;
  double Top = 0;
};

// A range without extent cannot be scaled: it is framed as a span of a tenth of the value's
// magnitude (1 for zero) centred on the value, so that the picture stays legible.
AxisFrame FrameAxis(double low, double high) {
  double span = high - low;
  if (span != 0) return {span, low - span / 5, high + span / 5};
  span = 0.1 * std::fabs(low);
  if (span == 0 || F(1.4 * span) == 0.0f) span = 1.0;
  return {span, low - span / 2 - span / 5, high + span / 2 + span / 5};
}

// The edges of the profile frame, as the frame and the views on top of it use them.
struct ProfileEdges {
  double Sx = 0;
  double Left = 0;
  double Right = 0;
  AxisFrame Y;
};

ProfileEdges ComputeProfileEdges(const ModelState& state, bool zoom) {
  const double top = DepositTop(state.Stress, state.Clock.LamellaCount);
  const double ts = state.Stress.SubstrateThickness;
  ProfileEdges edges;
  edges.Sx = zoom ? top : top + ts;
  edges.Left = zoom ? -edges.Sx / 5 : -ts - edges.Sx / 5;
  edges.Right = top + edges.Sx / 5;
  edges.Y = FrameAxis(state.Stress.StressAxisMin, state.Stress.StressAxisMax);
  return edges;
}

// Radius, deflection and a third text along the top of a profile, placed from the scale the
// surface holds after its frame was drawn.
void DrawHeaderTexts(DrawingSurface& surface, const std::string& radius,
                     const std::string& deflection, std::initializer_list<PrintItem> corner) {
  const float left = surface.ScaleLeft();
  const float width = surface.ScaleWidth();
  const float top = surface.ScaleTop();
  const float height = surface.ScaleHeight();
  const double xA = left + static_cast<double>(width) / 4;
  const double xB = left + static_cast<double>(width * 3.0f) / 4;
  const double yA = top;
  const double yC = top + static_cast<double>(height) / 20;

  surface.CurrentX(F(xA));
  surface.CurrentY(F(yA));
  surface.Print({radius});
  surface.CurrentX(F(xA));
  surface.CurrentY(F(yC));
  surface.Print({deflection});
  surface.CurrentX(F(xB));
  surface.CurrentY(F(yA));
  surface.Print(corner);
}

std::string DeflectionText(double deflection) {
  return "FLECHE=" + format::FormatPattern(deflection, kAxisPattern);
}

// Two small brackets on the zero-stress line, one left of the plotted section and one right
// of the deposit laid so far (m lamellae), bulging left for a positive curvature and right
// otherwise.
void DrawCurvaturePictogram(const ModelState& state, DrawingSurface& surface, bool zoom,
                            double curvature, int m) {
  const double sx = state.Views.ProfileSpanX;
  const double ts = state.Stress.SubstrateThickness;
  const double top = DepositTop(state.Stress, m);
  const float radius = F(sx / 20);
  const double leftOrigin = zoom ? 0.0 : -ts;
  if (curvature > 0) {
    const float left = F(leftOrigin - sx / 30);
    const float right = F(top + sx / 10);
    surface.Circle(left, 0.0f, radius, kPictogramColour, 2.35f, 3.92f, 1.0f);
    surface.Circle(right, 0.0f, radius, kPictogramColour, 2.35f, 3.92f, 1.0f);
  } else {
    const float left = F(leftOrigin - sx / 10);
    const float right = F(top + sx / 30);
    surface.Circle(left, 0.0f, radius, kPictogramColour, 5.49f, 6.28f, 1.0f);
    surface.Circle(right, 0.0f, radius, kPictogramColour, 5.49f, 6.28f, 1.0f);
    surface.Circle(left, 0.0f, radius, kPictogramColour, 0.0f, 0.785f, 1.0f);
    surface.Circle(right, 0.0f, radius, kPictogramColour, 0.0f, 0.785f, 1.0f);
  }
}

// The stress steps of a run of one coat keep the colour they always had; in a coating system
// each coat has its own, and a line of yet another marks where one coat meets the next.
constexpr int kStepColours[kMaxCoats] = {10, 12, 1, 6, 5, 2};
constexpr int kCoatBoundaryColour = 3;

// Whether the views tell the coats apart: only a run of several coats does.
bool SeveralCoats(const StressResults& stress) {
  return stress.Coats.size() > 1;
}

// Lamellae First..Last of one coat whose right edges fall in one pixel column of the picture.
struct LamellaColumn {
  int First = 1;
  int Last = 1;
  std::size_t Coat = 0;
};

// The lamellae 1..count grouped by the pixel column of their right edge. Lamellae at least a
// pixel wide each get a column of their own, and are drawn one by one; thinner ones share it,
// and a million of them then cost a few hundred strokes instead of millions of strokes that
// paint the same pixels. A column never spans two coats, whose steps differ in colour.
std::vector<LamellaColumn> LamellaColumns(const DrawingSurface& surface,
                                          const StressResults& stress, int count) {
  const PixelMap map(surface.Scale(), surface.WidthPixels(), surface.HeightPixels());
  const bool several = SeveralCoats(stress);
  std::vector<LamellaColumn> columns;
  double lastColumn = 0;
  std::size_t coat = 0;
  for (int i = 1; i <= count; ++i) {
    while (several && coat + 1 < stress.Coats.size() && stress.Coats[coat + 1].FirstLamella <= i) {
      ++coat;
    }
    const double column = std::floor(map.X(F(DepositTop(stress, i))));
    if (!columns.empty() && column == lastColumn && coat == columns.back().Coat) {
      columns.back().Last = i;
    } else {
      columns.push_back({i, i, coat});
      lastColumn = column;
    }
  }
  return columns;
}

// The colour of a column's stress steps.
RGB StepColour(const LamellaColumn& column) {
  return QBColor(kStepColours[column.Coat % kMaxCoats]);
}

// A line at the top of each coat that another one covers among the first `laid` lamellae.
void DrawCoatBoundaries(DrawingSurface& surface, const StressResults& stress, int laid, float yB,
                        float yT) {
  if (!SeveralCoats(stress)) return;
  const int width = surface.DrawWidth();
  surface.DrawWidth(3);
  for (std::size_t k = 1; k < stress.Coats.size(); ++k) {
    const int first = stress.Coats[k].FirstLamella;
    if (first > laid) break;
    const float x = F(DepositTop(stress, first - 1));
    surface.Line(x, yB, x, yT, QBColor(kCoatBoundaryColour));
  }
  surface.DrawWidth(width);
}

// The boundary at the right edge of a column's last lamella.
void DrawBoundary(DrawingSurface& surface, const StressResults& stress, const LamellaColumn& column,
                  float yB, float yT) {
  const float x = F(DepositTop(stress, column.Last));
  surface.Line(x, yB, x, yT, QBColor(13));
}

// The stress steps of a column's lamellae, one per pixel row they reach: a lamella alone is its
// step, as are lamellae whose stresses fall on rows of their own; lamellae that share a row share
// one step from the first's left edge to the last's right edge, which paints the same pixels.
void DrawStressSteps(DrawingSurface& surface, const StressResults& results,
                     const LamellaColumn& column, const BasedArray<double>& stress,
                     const char* name, double scale) {
  struct Row {
    float Y = 0;
    int First = 0;
    int Last = 0;
  };
  const PixelMap map(surface.Scale(), surface.WidthPixels(), surface.HeightPixels());
  std::vector<Row> rows;
  std::unordered_map<double, std::size_t> rowOf;
  for (int i = column.First; i <= column.Last; ++i) {
    const float y = F(At(stress, i, name) * scale);
    const auto [at, added] = rowOf.try_emplace(std::floor(map.Y(y)), rows.size());
    if (added) rows.push_back({y, i, i});
    rows[at->second].Last = i;
  }
  const RGB colour = StepColour(column);
  for (const Row& row : rows) {
    surface.Line(F(DepositTop(results, row.First - 1)), row.Y, F(DepositTop(results, row.Last)),
                 row.Y, colour);
  }
}

}  // namespace

std::string RadiusText(double curvature) {
  if (curvature == 0) return " RAYON=infini";
  return " RAYON=" + format::FormatPattern(1 / curvature, kAxisPattern);
}

void DrawProfileFrame(ModelState& state, DrawingSurface& surface, bool zoom) {
  const double ts = state.Stress.SubstrateThickness;
  const double ymin = state.Stress.StressAxisMin;
  const double ymax = state.Stress.StressAxisMax;
  const double s = state.Stress.StressScale;

  surface.Cls();
  const ProfileEdges edges = ComputeProfileEdges(state, zoom);
  state.Views.ProfileSpanX = edges.Sx;
  const double sy = edges.Y.Span;
  state.Views.ProfileSpanY = sy;
  const double xL = edges.Left;
  const double xR = edges.Right;
  const double yB = edges.Y.Bottom;
  const double yT = edges.Y.Top;

  surface.ScaleMode(ScaleModeKind::User);
  surface.ScaleHeight(F(-(sy + 2 * sy / 5)));
  surface.ScaleWidth(F(xR - xL));
  surface.ScaleLeft(F(xL));
  surface.ScaleTop(F(yT));

  surface.Line(F(xL), F(yB), F(xR), F(yT), QBColor(9), DrawingSurface::LineForm::Box);
  const double xV = zoom ? 0.0 : -ts;
  surface.Line(F(xV), F(yB), F(xV), F(yT));
  surface.Line(0.0f, F(yB), 0.0f, F(yT));
  surface.Line(F(xL), 0.0f, F(xR), 0.0f);

  // The lower bound line starts left of the substrate in both views; in the zoom view that
  // start lies outside the surface and is clipped.
  surface.Line(F(-ts - edges.Sx / 5), F(ymin), F(xR), F(ymin));
  surface.CurrentX(F(xL));
  surface.CurrentY(F(ymin));
  surface.Print({format::FormatPattern(ymin / s, kAxisPattern)});

  surface.Line(F(xL), F(ymax), F(xR), F(ymax));
  surface.CurrentX(F(xL));
  surface.CurrentY(F(ymax));
  surface.Print({format::FormatPattern(ymax / s, kAxisPattern)});

  surface.CurrentX(F(xL));
  surface.CurrentY(F(yT));
  surface.Print({"CONTRAINTES (Pa)"});
  surface.CurrentX(F(xL));
  surface.CurrentY(F(yT - sy / 20));
  surface.Print({"Traction"});
  surface.CurrentX(F(xL));
  surface.CurrentY(F(yB + sy / 15));
  surface.Print({"Compression"});
  // A bound's label that the zero's would fall on says enough: both drawn read "-0" over it.
  const double line = surface.TextHeight("0");
  if (std::fabs(ymin) < line || std::fabs(ymax) < line) return;
  surface.CurrentX(F(xL));
  surface.CurrentY(0.0f);
  surface.Print({0});
}

void DrawBuildUpView(ModelState& state, DrawingSurface& surface, bool zoom) {
  const StressResults& stress = state.Stress;
  const int k = state.Clock.LamellaIndex;
  const double ts = stress.SubstrateThickness;
  const double s = stress.StressScale;

  DrawProfileFrame(state, surface, zoom);
  const ProfileEdges edges = ComputeProfileEdges(state, zoom);
  const float yB = F(edges.Y.Bottom);
  const float yT = F(edges.Y.Top);

  const float axis = F(At(stress.NeutralAxisPosition, k, "NeutralAxisPosition"));
  surface.Line(axis, yB, axis, yT);
  surface.DrawWidth(3);
  surface.Line(F(-ts), F(At(stress.SubstrateStressBack, k, "SubstrateStressBack") * s), 0.0f,
               F(At(stress.SubstrateStressFront, k, "SubstrateStressFront") * s), QBColor(10));
  surface.DrawWidth(1);
  surface.FontSize(6);

  const double curvature = At(stress.Curvature, k, "Curvature");
  DrawHeaderTexts(surface, RadiusText(curvature),
                  DeflectionText(At(stress.Deflection, k, "Deflection")), {"N= ", k});
  DrawCurvaturePictogram(state, surface, zoom, curvature, k);

  surface.DrawWidth(3);
  for (const LamellaColumn& column : LamellaColumns(surface, stress, k)) {
    DrawBoundary(surface, stress, column, yB, yT);
    DrawStressSteps(surface, stress, column, stress.LamellaStress, "LamellaStress", s);
  }
  surface.DrawWidth(1);
  DrawCoatBoundaries(surface, stress, k, yB, yT);
}

void DrawCoolingView(ModelState& state, DrawingSurface& surface, bool zoom) {
  const StressResults& stress = state.Stress;
  const int n = state.Clock.LamellaCount;
  const double ts = stress.SubstrateThickness;
  const double s = stress.StressScale;

  DrawProfileFrame(state, surface, zoom);
  const ProfileEdges edges = ComputeProfileEdges(state, zoom);
  const float yB = F(edges.Y.Bottom);
  const float yT = F(edges.Y.Top);

  const std::vector<LamellaColumn> columns = LamellaColumns(surface, stress, n);
  for (const LamellaColumn& column : columns) DrawBoundary(surface, stress, column, yB, yT);
  surface.DrawWidth(3);
  surface.Line(F(-ts), F(stress.SubstrateStressBackFinal * s), 0.0f,
               F(stress.SubstrateStressFrontFinal * s), QBColor(10));
  surface.DrawWidth(1);
  const float axis = F(At(stress.NeutralAxisPosition, n, "NeutralAxisPosition"));
  surface.Line(axis, yB, axis, yT, QBColor(10));
  surface.DrawWidth(3);
  for (const LamellaColumn& column : columns) {
    DrawStressSteps(surface, stress, column, stress.LamellaStressFinal, "LamellaStressFinal", s);
  }
  surface.DrawWidth(1);
  DrawCoatBoundaries(surface, stress, n, yB, yT);

  DrawHeaderTexts(surface, RadiusText(stress.FinalCurvature),
                  DeflectionText(stress.FinalDeflection), {"COOLING"});
  DrawCurvaturePictogram(state, surface, zoom, stress.FinalCurvature, n);
}

namespace {

// The frame of a deflection history over `t` seconds: the scale with a fifth of margin on each
// side, the zero line, the start and end of the time axis, the axis's ends with their labels,
// and the title.
AxisFrame DrawHistoryFrame(ModelState& state, DrawingSurface& surface, double t) {
  const double dmin = state.Stress.DeflectionAxisMin;
  const double dmax = state.Stress.DeflectionAxisMax;
  const RGB red = QBColor(12);
  const AxisFrame d = FrameAxis(dmin, dmax);
  state.Views.DeflectionSpan = d.Span;

  surface.Cls();
  surface.ScaleMode(ScaleModeKind::User);
  surface.ScaleHeight(F(-(d.Span + 2 * d.Span / 5)));
  surface.ScaleWidth(F(t + 2.0 * t / 5));
  const double tL = 0 - t / 5.0;
  const double tR = t + t / 5.0;
  surface.ScaleLeft(F(tL));
  surface.ScaleTop(F(d.Top));
  surface.Line(F(tL), 0.0f, F(tR), 0.0f, red);
  surface.Line(0.0f, F(d.Bottom), 0.0f, F(d.Top), red);
  surface.Line(F(t), F(d.Bottom), F(t), F(d.Top), red);
  for (const double level : {dmin, dmax}) {
    surface.Line(F(tL), F(level), F(tR), F(level), red);
    surface.CurrentX(F(tL));
    surface.CurrentY(F(level));
    surface.Print({format::FormatPattern(level, kAxisPattern)});
  }
  surface.CurrentX(F(tL));
  surface.CurrentY(F(d.Top));
  surface.Print({"FLECHES"}, PrintEnd::SameLine);
  return d;
}

// The whole deposit's deflection against the run's own time: a line through every history
// point (at most four strokes per column of a thousand, through its lowest and highest, so that a
// long run draws as fast as a short one), a mark at the end of each pass and at room temperature.
void DrawDeflectionOverTime(ModelState& state, DrawingSurface& surface) {
  const StressResults& stress = state.Stress;
  const RGB green = QBColor(10);
  const double t = std::max(DeflectionHistorySeconds(state), 1e-9);
  const AxisFrame d = DrawHistoryFrame(state, surface, t);
  const double tL = 0 - t / 5.0;
  surface.CurrentX(F(tL));
  surface.CurrentY(F(0 + d.Span / 15));
  surface.Print({"0.00    0.0s"});
  surface.CurrentX(F(t));
  surface.CurrentY(F(0 + d.Span / 15));
  surface.Print({format::FormatPattern(t, "0.0") + "s"});
  surface.CurrentX(F(t));
  surface.CurrentY(0.0f);
  surface.Print({" temps"});

  constexpr std::size_t kColumns = 1000;
  const std::vector<HistoryPoint>& history = stress.History;
  double lastX = 0;
  double lastY = At(stress.Deflection, 0, "Deflection");
  surface.Circle(0.0f, F(lastY), 1.0f, green);
  const auto lineTo = [&](double x, double y) {
    surface.Line(F(lastX), F(lastY), F(x), F(y), green);
    lastX = x;
    lastY = y;
  };
  std::size_t i = 0;
  while (i < history.size()) {
    // The points of one column: drawn down to its lowest and up to its highest, then on.
    const auto column = static_cast<std::size_t>(history[i].Event.Time / t * kColumns);
    double low = history[i].Deflection;
    double high = low;
    std::size_t j = i;
    while (j + 1 < history.size() &&
           static_cast<std::size_t>(history[j + 1].Event.Time / t * kColumns) == column &&
           history[j + 1].Event.Kind != DepositEventKind::Cooling) {
      ++j;
      low = std::min(low, history[j].Deflection);
      high = std::max(high, history[j].Deflection);
    }
    const double x = history[j].Event.Time;
    if (j > i) {
      lineTo(history[i].Event.Time, history[i].Deflection);
      lineTo(x, low);
      lineTo(x, high);
    }
    lineTo(x, history[j].Deflection);
    i = j + 1;
  }
  surface.DrawWidth(3);
  for (const std::size_t points : state.Stress.PassEndPoints) {
    if (points == 0 || points > history.size()) continue;
    const HistoryPoint& end = history[points - 1];
    surface.Circle(F(end.Event.Time), F(end.Deflection), 1.0f, green);
  }
  surface.DrawWidth(1);
  surface.Circle(F(t), F(stress.FinalDeflection), 1.0f, green);
}

}  // namespace

void DrawDeflectionHistory(ModelState& state, DrawingSurface& surface) {
  if (state.Model == StressModelKind::WholeDeposit && !state.Stress.History.empty()) {
    DrawDeflectionOverTime(state, surface);
    return;
  }
  const StressResults& stress = state.Stress;
  const int n = state.Clock.LamellaCount;
  const double dmin = stress.DeflectionAxisMin;
  const double dmax = stress.DeflectionAxisMax;
  const RGB green = QBColor(10);

  const int t = n * kSecondsPerLamella + kCoolingSeconds;
  const AxisFrame d = DrawHistoryFrame(state, surface, t);
  const double tL = 0 - t / 5.0;
  surface.CurrentX(F(tL));
  surface.CurrentY(F(dmax + d.Span / 7));
  surface.Print({"Positives"}, PrintEnd::SameLine);
  surface.CurrentX(F(tL));
  surface.CurrentY(F(dmin - d.Span / 7));
  surface.Print({"Negatives"});
  surface.CurrentX(F(tL));
  surface.CurrentY(F(0 + d.Span / 15));
  surface.Print({"0.00    0.0s"});
  surface.CurrentX(F(t));
  surface.CurrentY(F(0 + d.Span / 15));
  surface.Print({t, "s"});
  surface.CurrentX(F(t));
  surface.CurrentY(0.0f);
  surface.Print({" temps"});

  surface.Circle(0.0f, F(At(stress.Deflection, 0, "Deflection")), 1.0f, green);
  surface.DrawWidth(3);
  for (int i = 1; i <= n; ++i) {
    surface.Circle(F(kSecondsPerLamella * i), F(At(stress.Deflection, i, "Deflection")), 1.0f,
                   green);
  }
  surface.DrawWidth(1);
  surface.Circle(F(t), F(stress.FinalDeflection), 1.0f, green);

  // The stress results file lists the same cooling values, so both come from one function
  // (the marks above have already checked that Deflection(n) exists).
  for (int i = 1; i <= kCoolingSteps - 1; ++i) {
    const double u = (static_cast<double>(kCoolingSeconds) / kCoolingSteps) * i;
    const double x = n * kSecondsPerLamella + u;
    surface.Circle(F(x), F(DeflectionHistoryCoolingValue(state, i)), 1.0f, green);
  }
}

}  // namespace quillane::graphics
