#include "thermal/DepositRun.h"

#include <algorithm>
#include <cmath>

#include "model/Deposit.h"
#include "model/Errors.h"
#include "thermal/FieldSchedule.h"
#include "thermal/FieldSolver.h"
#include "thermal/ThermalStep.h"

namespace quillane {

namespace {

// The picture of the field: this many times over the run, and this many heights in the
// substrate and as many in the deposit.
constexpr int kPictureTimes = 2000;
constexpr int kPictureHeights = 48;
// Steps between two looks at the sink's progress (and its stop).
constexpr long kStepsPerProgress = 64;

// The steps of a run, for its progress.
long StepCount(const InputParameters& in, const std::vector<PassInterval>& pass) {
  long steps = 0;
  for (const PassInterval& interval : pass) steps += interval.Steps;
  return (steps * in.PassCount + kCoolingSteps) * in.ThermalRefinement;
}

class DepositThermalRun {
 public:
  DepositThermalRun(ModelState& state, RunSink& sink)
      : state_(state), sink_(sink), in_(state.Input) {}

  void Run() {
    Prepare();
    const std::vector<PassInterval> pass = PassIntervals(in_, perPass_);
    totalSteps_ = StepCount(in_, pass);
    // Each kind of interval has one length: its grid is worked out once.
    std::vector<std::vector<double>> fractions;
    for (const PassInterval& interval : pass) {
      fractions.push_back(
          StepFractions(interval.End - interval.Start, interval.Steps, in_.ThermalRefinement));
    }
    Schedule& clock = state_.Clock;
    for (clock.PassNumber = 1; clock.PassNumber <= in_.PassCount; ++clock.PassNumber) {
      const double start = (clock.PassNumber - 1) * in_.PassPeriod;
      clock.LamellaIndex = 0;
      for (std::size_t i = 0; i < pass.size(); ++i) {
        const PassInterval& interval = pass[i];
        if (interval.Arrival) LayLamellaNow(start + interval.Start);
        const FaceExchange exchange = Exchange(in_.GasTemperature, interval.Torch);
        const std::vector<double>& ends = fractions[i];
        for (std::size_t k = 0; k < ends.size(); ++k) {
          // Within an interval that a lamella opens, the surface is that lamella cooling from
          // the particles' temperature, at moments the grid picks: its peak is taken where the
          // next lamella lands.
          const bool peaks = interval.Arrival ? k + 1 == ends.size() : OnFirstGrid(k);
          Step(exchange, start + (interval.Start + ends[k] * (interval.End - interval.Start)),
               peaks, interval.Arrival && k == 0);
        }
      }
      EndPass();
    }
    clock.LamellaIndex = 0;
    state_.Timeline.LamellaTemperatures = LamellaTemperatures(state_.Field);
    // The plate cools in room air.
    const double start = clock.ElapsedTime;
    const FaceExchange exchange = Exchange(in_.RoomTemperature, false);
    const std::vector<double> cooling =
        StepFractions(in_.CoolingTime, kCoolingSteps, in_.ThermalRefinement);
    for (std::size_t k = 0; k < cooling.size(); ++k) {
      Step(exchange, start + cooling[k] * in_.CoolingTime, OnFirstGrid(k));
    }
    clock.PassNumber = in_.PassCount + 1;
  }

 private:
  void Prepare() {
    state_.Model = StressModelKind::WholeDeposit;
    state_.Statistics = RunStatistics{};
    state_.Timeline = DepositTimeline{};
    Schedule& clock = state_.Clock;
    perPass_ = LamellaePerPass(in_);
    clock.LamellaCount = in_.PassCount * perPass_;
    clock.LamellaPeriod = in_.HeatingWindow / perPass_ / 3.0;
    clock.LamellaIndex = 0;
    clock.PassNumber = 0;
    clock.PassStartThickness = 0;
    clock.ElapsedTime = 0;
    clock.PassEndSurfaceTemperature = in_.SubstrateTemperature;
    const double w = LaidLamellaThickness(in_);

    StressResults& s = state_.Stress;
    for (BasedArray<double>* array :
         {&s.LamellaForce, &s.NeutralAxisPosition, &s.FlexuralRigidity, &s.Curvature,
          &s.SubstrateStressBack, &s.SubstrateStressFront, &s.LamellaStress, &s.LamellaStressFinal,
          &s.Deflection, &s.LamellaTime}) {
      array->Redim(0, clock.LamellaCount);
    }
    s.SubstrateThickness = in_.SubstrateThicknessInput;
    s.LamellaThicknessCopy = w;
    s.StressWidth = in_.SubstrateWidth;
    s.Curvature(0) = in_.InitialCurvature;
    TakeSubstrateConstants(state_.Stack, state_.Materials.Substrate);
    TakeCoatingConstants(state_.Stack, state_.Materials.Coating);
    state_.Stack.MeltingPoint = state_.Materials.Coating.Tfusion;

    LayOutField(state_.Field, in_.SubstrateThicknessInput, w, in_.ThermalRefinement,
                in_.SubstrateTemperature);
    PreparePicture(in_.PassCount * in_.PassThickness);
  }

  void PreparePicture(double depositThickness) {
    FieldPicture& picture = state_.Field.Picture;
    const double h = in_.SubstrateThicknessInput;
    for (int i = 0; i < kPictureHeights; ++i) {
      picture.Heights.push_back(-h + h * i / (kPictureHeights - 1));
    }
    if (depositThickness > 0) {
      for (int i = 1; i <= kPictureHeights; ++i) {
        picture.Heights.push_back(depositThickness * i / kPictureHeights);
      }
    }
    sampleSpacing_ = (in_.PassCount * in_.PassPeriod + in_.CoolingTime) / kPictureTimes;
    Sample();
  }

  void Sample() {
    FieldPicture& picture = state_.Field.Picture;
    const double t = state_.Clock.ElapsedTime;
    picture.Times.push_back(t);
    SampleField(state_.Field, picture.Heights, picture.Temperatures);
    nextSample_ = t + sampleSpacing_;
  }

  FaceExchange Exchange(double gas, bool torch) const {
    return {gas, in_.RoomTemperature, torch ? in_.HeatFlux : 0, in_.BackFaceCoefficient,
            HolderTemperature(in_)};
  }

  void LayLamellaNow(double time) {
    Schedule& clock = state_.Clock;
    clock.ElapsedTime = time;
    ++clock.LamellaIndex;
    const int laid = (clock.PassNumber - 1) * perPass_ + clock.LamellaIndex;
    state_.Stress.LamellaTime(laid) = time;
    const DepositField& field = state_.Field;
    DepositEvent arrival{
        time, DepositEventKind::Arrival, field.BackFace, field.SubstrateTop, field.Surface, {}};
    LayLamella(state_.Field, state_.Materials, in_.ParticleTemperature);
    state_.Timeline.Events.push_back(arrival);
  }

  // Whether step k of an interval ends where a step of the grid at refinement 1 ends.
  bool OnFirstGrid(std::size_t k) const {
    return (k + 1) % static_cast<std::size_t>(in_.ThermalRefinement) == 0;
  }

  // `peaks`: the peaks are taken at the ends of the grid at refinement 1 only, the same times
  // whatever the refinement, so that they converge as it grows.
  void Step(const FaceExchange& exchange, double end, bool peaks, bool afterLanding = false) {
    Schedule& clock = state_.Clock;
    StepField(state_.Field, state_.Materials, exchange, end - clock.ElapsedTime, afterLanding);
    clock.ElapsedTime = end;
    RecordRow(peaks);
    if (clock.ElapsedTime >= nextSample_) Sample();
    if (++steps_ % kStepsPerProgress == 0 &&
        !sink_.Progress(static_cast<double>(steps_) / static_cast<double>(totalSteps_))) {
      throw RunCancelled();
    }
  }

  void RecordRow(bool peaks) {
    const DepositField& field = state_.Field;
    ThermalRecord record;
    record.Time = state_.Clock.ElapsedTime;
    record.NodeCount = 3;
    record.Temperature[0] = field.BackFace;
    record.Temperature[1] = field.SubstrateTop;
    record.Temperature[2] = field.Surface;
    record.Thickness = in_.SubstrateThicknessInput + DepositThickness(field);
    RunStatistics& statistics = state_.Statistics;
    const bool first = statistics.ThermalRowCount == 0;
    const auto [low, high] = std::minmax({field.BackFace, field.SubstrateTop, field.Surface});
    statistics.LowestTemperature = first ? low : std::min(statistics.LowestTemperature, low);
    statistics.HighestTemperature = first ? high : std::max(statistics.HighestTemperature, high);
    for (const double t : record.Temperature) {
      if (!std::isfinite(t)) statistics.NonFiniteTemperature = true;
    }
    if (peaks) {
      const bool firstPeak = !peaked_;
      const auto peak = [firstPeak](double& kept, double value) {
        kept = firstPeak ? value : std::max(kept, value);
      };
      peak(statistics.PeakSubstrateTemperature, field.BackFace);
      peak(statistics.PeakInterfaceTemperature, field.SubstrateTop);
      peak(statistics.PeakSurfaceTemperature, field.Surface);
      peaked_ = true;
    }
    sink_.ThermalRow(record, false);
    ++statistics.ThermalRowCount;
    state_.Timeline.Events.push_back({record.Time, DepositEventKind::Row, field.BackFace,
                                      field.SubstrateTop, field.Surface,
                                      PlateTemperaturesOf(field)});
  }

  void EndPass() {
    state_.Timeline.PassEnds.push_back(state_.Timeline.Events.size());
    state_.Clock.PassEndSurfaceTemperature = state_.Field.Surface;
    state_.Clock.PassStartThickness = state_.Clock.PassNumber * in_.PassThickness;
  }

  ModelState& state_;
  RunSink& sink_;
  const InputParameters& in_;
  int perPass_ = 1;
  long steps_ = 0;
  bool peaked_ = false;
  long totalSteps_ = 1;
  double sampleSpacing_ = 0;
  double nextSample_ = 0;
};

}  // namespace

double HolderTemperature(const InputParameters& in) {
  return in.BackFaceTemperature > 0 ? in.BackFaceTemperature : in.SubstrateTemperature;
}

void RunDepositThermalHistory(ModelState& state, RunSink& sink) {
  DepositThermalRun(state, sink).Run();
}

}  // namespace quillane
