#include "thermal/DepositRun.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

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

class DepositThermalRun {
 public:
  DepositThermalRun(ModelState& state, RunSink& sink, DepositEventSink* events)
      : state_(state), sink_(sink), events_(events), in_(state.Input) {}

  void Run() {
    Prepare();
    if (events_ != nullptr) events_->Begin();
    const std::vector<SprayedCoat>& coats = state_.Stress.Coats;
    totalSteps_ = ScheduleSteps(in_, coats);
    Schedule& clock = state_.Clock;
    ScheduleVisitor visit;
    visit.Land = [&](int pass, double time, std::size_t coat) {
      if (pass != clock.PassNumber) clock.LamellaIndex = 0;
      clock.PassNumber = pass;
      LayLamellaNow(time, coat);
    };
    visit.Step = [&](const GridStep& step) {
      if (!step.Spraying && !cooling_) {
        // The plate cools in room air: the before-cooling table's lamellae are as they are now.
        cooling_ = true;
        clock.LamellaIndex = 0;
        state_.Timeline.LamellaTemperatures = LamellaTemperatures(state_.Field);
      }
      Step(step);
    };
    visit.EndPass = [&](int pass) {
      clock.PassNumber = pass;
      EndPass();
    };
    WalkSchedule(in_, coats, visit);
    if (!cooling_) state_.Timeline.LamellaTemperatures = LamellaTemperatures(state_.Field);
    clock.LamellaIndex = 0;
    clock.PassNumber = passes_ + 1;
  }

 private:
  void Prepare() {
    PrepareDepositRun(state_);
    const std::vector<SprayedCoat>& coats = state_.Stress.Coats;
    passes_ = SprayedPasses(coats);
    moduliVary_ = ModuliVary(state_.Materials);
    double thickness = 0;
    for (const SprayedCoat& coat : coats) thickness += coat.PassCount * coat.PassThickness;
    const SprayedCoat& last = coats.back();
    PreparePicture(thickness, last.Start + last.PassCount * last.PassPeriod);
  }

  void PreparePicture(double depositThickness, double sprayingEnd) {
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
    sampleSpacing_ = (sprayingEnd + in_.CoolingTime) / kPictureTimes;
    Sample();
  }

  void Sample() {
    FieldPicture& picture = state_.Field.Picture;
    const double t = state_.Clock.ElapsedTime;
    picture.Times.push_back(t);
    SampleField(state_.Field, picture.Heights, picture.Temperatures);
    nextSample_ = t + sampleSpacing_;
  }

  void LayLamellaNow(double time, std::size_t coat) {
    Schedule& clock = state_.Clock;
    clock.ElapsedTime = time;
    ++clock.LamellaIndex;
    state_.Stress.LamellaTime(++laid_) = time;
    const DepositField& field = state_.Field;
    DepositEvent arrival{
        time,   DepositEventKind::Arrival, field.BackFace, field.SubstrateTop, field.Surface, {},
        nullptr};
    LayLamella(state_.Field, state_.Materials, static_cast<int>(coat),
               state_.Stress.Coats[coat].ParticleTemperature);
    Hand(arrival);
  }

  void Hand(DepositEvent event) {
    // Where a modulus changes with temperature the plate reads the field after each step, which
    // a kept timeline keeps beside the event (an arrival lands on the plate as it was).
    ModulusField moduli;
    if (moduliVary_ && event.Kind == DepositEventKind::Row) {
      moduli = ModulusFieldOf(state_.Field, state_.Materials);
      event.Moduli = &moduli;
    }
    if (events_ != nullptr) {
      events_->Event(event);
      return;
    }
    event.Moduli = nullptr;
    state_.Timeline.Events.push_back(event);
    // Kept for every event, so that the replay finds each event's by its number.
    if (moduliVary_) state_.Timeline.Moduli.push_back(std::move(moduli));
  }

  void Step(const GridStep& step) {
    Schedule& clock = state_.Clock;
    const double flux = step.Torch ? state_.Stress.Coats[step.Coat].HeatFlux : 0;
    const FaceExchange exchange{step.Spraying ? in_.GasTemperature : in_.RoomTemperature,
                                in_.RoomTemperature, flux, in_.BackFaceCoefficient,
                                HolderTemperature(in_)};
    StepField(state_.Field, state_.Materials, exchange, step.End - clock.ElapsedTime,
              step.AfterLanding);
    clock.ElapsedTime = step.End;
    RecordRow(step.Peaks);
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
    Hand({record.Time, DepositEventKind::Row, field.BackFace, field.SubstrateTop, field.Surface,
          PlateTemperaturesOf(field, state_.Materials), nullptr});
  }

  void EndPass() {
    state_.Clock.PassEndSurfaceTemperature = state_.Field.Surface;
    if (events_ == nullptr) {
      state_.Timeline.PassEnds.push_back(state_.Timeline.Events.size());
      return;
    }
    // The field does not change before the cooling's first step, where a kept timeline takes
    // the same temperatures.
    if (state_.Clock.PassNumber == passes_) {
      state_.Timeline.LamellaTemperatures = LamellaTemperatures(state_.Field);
    }
    events_->PassEnd();
  }

  ModelState& state_;
  RunSink& sink_;
  DepositEventSink* events_;
  const InputParameters& in_;
  int passes_ = 0;  // of every coat
  int laid_ = 0;
  bool moduliVary_ = false;
  long steps_ = 0;
  bool cooling_ = false;
  bool peaked_ = false;
  long totalSteps_ = 1;
  double sampleSpacing_ = 0;
  double nextSample_ = 0;
};

}  // namespace

void PrepareDepositRun(ModelState& state) {
  const InputParameters& in = state.Input;
  state.Model = StressModelKind::WholeDeposit;
  state.Statistics = RunStatistics{};
  state.Timeline = DepositTimeline{};
  Schedule& clock = state.Clock;
  StressResults& s = state.Stress;
  if (state.Materials.LaterCoats.size() + 1 != std::max<std::size_t>(in.Coats.size(), 1)) {
    throw std::logic_error("the rows of the coats were not picked for these inputs");
  }
  s.Coats = SprayedCoats(in, state.Materials);
  clock.LamellaCount = 0;
  for (const SprayedCoat& coat : s.Coats) clock.LamellaCount += coat.Lamellae;
  clock.LamellaIndex = 0;
  clock.PassNumber = 0;
  clock.ElapsedTime = 0;
  clock.PassEndSurfaceTemperature = in.SubstrateTemperature;

  s.SizeLamellaArrays(clock.LamellaCount);
  s.SubstrateThickness = in.SubstrateThicknessInput;
  s.LamellaThicknessCopy = s.Coats.front().LaidThickness;
  s.StressWidth = in.SubstrateWidth;
  s.Curvature(0) = in.InitialCurvature;
  TakeSubstrateConstants(state.Stack, state.Materials.Substrate);
  TakeCoatingConstants(state.Stack, state.Materials.Coating);
  state.Stack.MeltingPoint = state.Materials.Coating.Tfusion;
  LayOutField(state.Field, in.SubstrateThicknessInput, FieldCoats(s.Coats, state.Materials),
              in.ThermalRefinement, in.SubstrateTemperature);
}

double HolderTemperature(const InputParameters& in) {
  return in.BackFaceTemperature > 0 ? in.BackFaceTemperature : in.SubstrateTemperature;
}

void RunDepositThermalHistory(ModelState& state, RunSink& sink, DepositEventSink* events) {
  DepositThermalRun(state, sink, events).Run();
}

double DepositRunEndTime(const InputParameters& in, const RunMaterials& materials) {
  // The clock moves to each landing and each step's end, nowhere else.
  double end = 0;
  ScheduleVisitor visit;
  visit.Land = [&](int, double time, std::size_t) { end = time; };
  visit.Step = [&](const GridStep& step) { end = step.End; };
  WalkSchedule(in, SprayedCoats(in, materials), visit);
  return end;
}

}  // namespace quillane
