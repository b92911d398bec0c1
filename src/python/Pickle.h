#pragma once
// The bytes of the module's objects for pickle, so that runs, fits and catalogues go to other
// processes (multiprocessing, joblib) and come back whole. Every field of every record is
// written: a field added to a record stops the build here until it is listed. The bytes start
// with the module's version, and only that version reads them.

#include <array>
#include <concepts>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Version.h"
#include "fit/Calibration.h"
#include "fit/CalibrationRecord.h"
#include "materials/MaterialsCatalogue.h"
#include "model/ModelState.h"

namespace quillane::python::pickle {

// Bytes that are not a pickle of this version of the module.
class PickleError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// T is U, const or not: the field lists serve the writer (const) and the reader alike.
template <typename T, typename U>
concept Is = std::same_as<std::remove_const_t<T>, U>;

// The fields of an aggregate: the most initialisers its braces take.
struct AnyField {
  template <typename T>
  operator T() const;
};
template <typename T, typename... Given>
constexpr std::size_t FieldCount() {
  if constexpr (requires { T{Given{}..., AnyField{}}; }) {
    return FieldCount<T, Given..., AnyField>();
  } else {
    return sizeof...(Given);
  }
}
#define QUILLANE_EVERY_FIELD(Type, count)      \
  static_assert(FieldCount<Type>() == (count), \
                "every field of " #Type " is pickled: list the new one here")

template <typename T>
struct IsVectorOf : std::false_type {};
template <typename T>
struct IsVectorOf<std::vector<T>> : std::true_type {};
template <typename T>
struct IsBased : std::false_type {};
template <typename T>
struct IsBased<BasedArray<T>> : std::true_type {};
template <typename T>
struct IsBasedMatrix : std::false_type {};
template <typename T>
struct IsBasedMatrix<BasedMatrix<T>> : std::true_type {};

template <typename T>
struct IsArrayOf : std::false_type {};
template <typename T, std::size_t N>
struct IsArrayOf<std::array<T, N>> : std::true_type {};
template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <typename T>
constexpr bool kPlain = std::is_arithmetic_v<T> || std::is_enum_v<T>;

inline std::string VersionTag() {
  return std::string("quillane ") + kVersion;
}

class Writer {
 public:
  Writer() { Put(VersionTag()); }
  template <typename... T>
  void operator()(const T&... values) {
    (Put(values), ...);
  }
  std::string& Bytes() { return bytes_; }

 private:
  template <typename T>
  void Put(const T& value) {
    if constexpr (kPlain<T>) {
      bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
    } else if constexpr (std::is_same_v<T, std::string>) {
      Put(value.size());
      bytes_ += value;
    } else if constexpr (std::is_same_v<T, std::filesystem::path>) {
      Put(value.string());
    } else if constexpr (IsVectorOf<T>::value) {
      Put(value.size());
      if constexpr (kPlain<typename T::value_type>) {
        bytes_.append(reinterpret_cast<const char*>(value.data()),
                      value.size() * sizeof(typename T::value_type));
      } else {
        for (const auto& item : value) Put(item);
      }
    } else if constexpr (IsArrayOf<T>::value) {
      for (const auto& item : value) Put(item);
    } else if constexpr (IsOptional<T>::value) {
      Put(value.has_value());
      if (value) Put(*value);
    } else if constexpr (IsBased<T>::value) {
      Put(value.Lower());
      Put(value.Values());
    } else if constexpr (IsBasedMatrix<T>::value) {
      Put(value.Rows());
      Put(value.Cols());
      Put(value.Values());
    } else {
      Fields(*this, value);
    }
  }

  std::string bytes_;
};

class Reader {
 public:
  explicit Reader(std::string_view bytes) : rest_(bytes) {
    std::string tag;
    Take(tag);
    if (tag != VersionTag()) {
      throw PickleError("these bytes were pickled by " + tag.substr(0, 40) + "; this is " +
                        VersionTag() + ", which reads its own only");
    }
  }
  template <typename... T>
  void operator()(T&... values) {
    (Take(values), ...);
  }
  // Every byte read: what was written was read back as written.
  void End() const {
    if (!rest_.empty()) throw PickleError("the pickled bytes hold more than this object");
  }

 private:
  const char* Next(std::size_t size) {
    if (size > rest_.size()) throw PickleError("the pickled bytes are cut short");
    const char* at = rest_.data();
    rest_.remove_prefix(size);
    return at;
  }

  template <typename T>
  void Take(T& value) {
    if constexpr (kPlain<T>) {
      std::memcpy(&value, Next(sizeof value), sizeof value);
    } else if constexpr (std::is_same_v<T, std::string>) {
      std::size_t size = 0;
      Take(size);
      value.assign(Next(size), size);
    } else if constexpr (std::is_same_v<T, std::filesystem::path>) {
      std::string text;
      Take(text);
      value = text;
    } else if constexpr (IsVectorOf<T>::value) {
      std::size_t size = 0;
      Take(size);
      using Item = typename T::value_type;
      if constexpr (kPlain<Item>) {
        if (size > rest_.size() / sizeof(Item))
          throw PickleError("the pickled bytes are cut short");
        value.resize(size);
        std::memcpy(value.data(), Next(size * sizeof(Item)), size * sizeof(Item));
      } else {
        value.clear();
        for (std::size_t i = 0; i < size; ++i) Take(value.emplace_back());
      }
    } else if constexpr (IsArrayOf<T>::value) {
      for (auto& item : value) Take(item);
    } else if constexpr (IsOptional<T>::value) {
      bool given = false;
      Take(given);
      value.reset();
      if (given) Take(value.emplace());
    } else if constexpr (IsBased<T>::value) {
      int lower = 0;
      std::remove_cvref_t<decltype(value.Values())> items;
      (*this)(lower, items);
      value.Redim(lower, lower + static_cast<int>(items.size()) - 1);
      for (std::size_t i = 0; i < items.size(); ++i) value(lower + static_cast<int>(i)) = items[i];
    } else if constexpr (IsBasedMatrix<T>::value) {
      int rows = 0;
      int cols = 0;
      std::remove_cvref_t<decltype(value.Values())> items;
      (*this)(rows, cols, items);
      if (items.size() != static_cast<std::size_t>(rows > 0 && cols > 0 ? rows * cols : 0)) {
        throw PickleError("the pickled bytes hold a table of the wrong size");
      }
      value.Redim(rows, cols);
      for (std::size_t i = 0; i < items.size(); ++i) {
        value(static_cast<int>(i) / cols + 1, static_cast<int>(i) % cols + 1) = items[i];
      }
    } else {
      Fields(*this, value);
    }
  }

  std::string_view rest_;
};

// The fields of each record, in their declared order.

template <typename A, Is<CoatInput> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(CoatInput, 9);
  a(s.Material, s.PassCount, s.PassThickness, s.LamellaThickness, s.PassPeriod, s.HeatingWindow,
    s.HeatFlux, s.ParticleTemperature, s.PauseBefore);
}

template <typename A, Is<SprayedCoat> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(SprayedCoat, 16);
  a(s.Material, s.PassCount, s.PassThickness, s.LamellaThickness, s.PassPeriod, s.HeatingWindow,
    s.HeatFlux, s.ParticleTemperature, s.PauseBefore, s.LamellaePerPass, s.LaidThickness,
    s.FirstLamella, s.Lamellae, s.Base, s.Start, s.Given);
}

template <typename A, Is<InputParameters> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(InputParameters, 24);
  a(s.PassThickness, s.LamellaThickness, s.PassCount, s.PassPeriod, s.HeatingWindow, s.HeatFlux,
    s.ParticleTemperature, s.SubstrateThicknessInput, s.SubstrateWidth, s.SubstrateTemperature,
    s.GasTemperature, s.SpecimenLength, s.InitialCurvature, s.RoomTemperature, s.StressModel,
    s.CoolingTime, s.BackFaceCoefficient, s.BackFaceTemperature, s.ThermalRefinement,
    s.WitnessParticle, s.WitnessCoat, s.SubstrateMaterialName, s.CoatingMaterialName, s.Coats);
}

template <typename A, Is<HeatTransfer> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(HeatTransfer, 3);
  a(s.TopHeatCoeff, s.BackHeatCoeff, s.TopRadiativeCoeff);
}

template <typename A, Is<Schedule> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(Schedule, 9);
  a(s.LamellaCount, s.LamellaPeriod, s.PassNumber, s.LamellaIndex, s.TimeStep, s.PassTime,
    s.ElapsedTime, s.PassStartThickness, s.PassEndSurfaceTemperature);
}

template <typename A, Is<LayerStack> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(LayerStack, 26);
  a(s.LayerCount, s.NodeCount, s.NodeTemperature, s.StepsSinceSetup, s.BackGasTemperature,
    s.TopGasTemperature, s.SolidificationTime, s.MeltingPoint, s.LayerTable, s.ThermalMatrix,
    s.ThermalRhs, s.ThermalSolution, s.NodeHeight, s.LayerFourier, s.LayerCoeff, s.InterfaceCoeff,
    s.LayerLambda, s.LayerRho, s.LayerStep, s.LastSigmaQ, s.SubstrateYoung, s.SubstratePoisson,
    s.SubstrateExpansion, s.CoatingYoung, s.CoatingPoisson, s.CoatingExpansion);
}

template <typename A, Is<FieldCell> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(FieldCell, 8);
  a(s.Bottom, s.Thickness, s.Material, s.Temperature, s.Lamellae, s.FirstLamella, s.Coat, s.Row);
}

template <typename A, Is<FieldCoat> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(FieldCoat, 3);
  a(s.LamellaThickness, s.Group, s.Row);
}

template <typename A, Is<FieldPicture> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(FieldPicture, 3);
  a(s.Times, s.Heights, s.Temperatures);
}

template <typename A, Is<DepositField> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(DepositField, 25);
  a(s.Cells, s.SubstrateCells, s.Coats, s.MergeCount, s.FirstLamella, s.Laid, s.DepthPerCell,
    s.ReferenceTemperature, s.BackFace, s.SubstrateTop, s.Surface, s.Previous, s.StepStart,
    s.Conductances, s.VaryingConductivity, s.SlopeBelow, s.SlopeAbove, s.Unknowns, s.Lower,
    s.Diagonal, s.Upper, s.Change, s.Residual, s.Trial, s.Picture);
}

template <typename A, Is<PlateTemperatures> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(PlateTemperatures, 6);
  a(s.Back, s.Front, s.SubstrateSum, s.SubstrateMoment, s.CoatSum, s.CoatMoment);
}

template <typename A, Is<DepositEvent> S>
void Fields(A& a, S& s) {
  // Moduli points into the run while the event is handed on: never pickled.
  QUILLANE_EVERY_FIELD(DepositEvent, 7);
  a(s.Time, s.Kind, s.BackTemperature, s.TopSubstrateTemperature, s.SurfaceTemperature, s.Plate);
}

template <typename A, Is<DepositTimeline> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(DepositTimeline, 4);
  a(s.Events, s.PassEnds, s.LamellaTemperatures, s.Moduli);
}

template <typename A, Is<LaidCell> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(LaidCell, 3);
  a(s.FirstLamella, s.Lamellae, s.Temperature);
}

template <typename A, Is<ModulusField> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(ModulusField, 6);
  a(s.Stiffness, s.First, s.Second, s.Strain, s.StrainMoment, s.Cells);
}

template <typename A, Is<HistoryPoint> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(HistoryPoint, 3);
  a(s.Event, s.Curvature, s.Deflection);
}

template <typename A, Is<DepositPlate> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(DepositPlate, 16);
  a(s.LaidCount, s.Curvature, s.BackStress, s.FrontStress, s.CoatingShift, s.Temperatures,
    s.ArrivalStress, s.LandingTemperature, s.ArrivalShift, s.ArrivalCurvature, s.LaidStrain,
    s.LaidStrainSum, s.LaidStrainMoment, s.StartCurvature, s.StartExpansion, s.Moduli);
}

template <typename A, Is<StressResults> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(StressResults, 29);
  a(s.LamellaForce, s.NeutralAxisPosition, s.FlexuralRigidity, s.Curvature, s.SubstrateStressBack,
    s.SubstrateStressFront, s.LamellaStress, s.LamellaStressFinal, s.Deflection, s.LamellaTime,
    s.StressScale, s.SubstrateBiaxialModulus, s.CoatingBiaxialModulus, s.SubstrateThickness,
    s.LamellaThicknessCopy, s.Coats, s.StressWidth, s.FinalCurvature, s.FinalDeflection,
    s.SubstrateStressBackFinal, s.SubstrateStressFrontFinal, s.StressAxisMin, s.StressAxisMax,
    s.DeflectionAxisMin, s.DeflectionAxisMax, s.Plate, s.History, s.PassEndCurvature,
    s.PassEndPoints);
}

template <typename A, Is<ViewSpans> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(ViewSpans, 3);
  a(s.ProfileSpanX, s.ProfileSpanY, s.DeflectionSpan);
}

template <typename A, Is<FigurePoint> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(FigurePoint, 2);
  a(s.Temperature, s.Value);
}

template <typename A, Is<FigureTables> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(FigureTables, 5);
  a(s.Lambda, s.Cp, s.ModuleYoung, s.dilat, s.SigmaQ);
}

template <typename A, Is<MaterialRecord> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(MaterialRecord, 11);
  a(s.Name, s.Lambda, s.Rho, s.Cp, s.Tfusion, s.Lfusion, s.ModuleYoung, s.Poisson, s.dilat,
    s.SigmaQ, s.Tables);
}

template <typename A, Is<RunMaterials> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(RunMaterials, 4);
  a(s.Substrate, s.Contact, s.Coating, s.LaterCoats);
}

template <typename A, Is<RunStatistics> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(RunStatistics, 8);
  a(s.ThermalRowCount, s.SingularMatrixEvents, s.LowestTemperature, s.HighestTemperature,
    s.NonFiniteTemperature, s.PeakSubstrateTemperature, s.PeakInterfaceTemperature,
    s.PeakSurfaceTemperature);
}

template <typename A, Is<RegionalSettings> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(RegionalSettings, 2);
  a(s.DecimalSeparator, s.GroupSeparator);
}

template <typename A, Is<ModelState> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(ModelState, 12);
  a(s.Input, s.Model, s.Heat, s.Clock, s.Stack, s.Field, s.Timeline, s.Stress, s.Views, s.Materials,
    s.Statistics, s.Locale);
}

template <typename A, Is<fit::FitNote> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(fit::FitNote, 6);
  a(s.Kind, s.Parameter, s.Value, s.StandardError, s.Low, s.High);
}

template <typename A, Is<fit::FitResult> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(fit::FitResult, 29);
  a(s.Names, s.Start, s.Value, s.StandardError, s.Correlation, s.IntervalLow, s.IntervalHigh,
    s.Notes, s.CurvatureRms, s.TemperatureRms, s.SurfaceRms, s.CurvatureNoise, s.TemperatureNoise,
    s.SurfaceNoise, s.Iterations, s.End, s.Termination, s.Cancelled, s.Failed, s.ModelRuns,
    s.ModelCurvature, s.ModelTemperature, s.ModelSurface, s.CurveTime, s.CurveCurvature,
    s.ThermalTime, s.ThermalBack, s.ThermalSurface, s.TimeShift);
}

template <typename A, Is<fit::CalibrationRecord> S>
void Fields(A& a, S& s) {
  QUILLANE_EVERY_FIELD(fit::CalibrationRecord, 5);
  a(s.Time, s.Curvature, s.Temperature, s.SurfaceTemperature, s.UnusedColumns);
}

#undef QUILLANE_EVERY_FIELD

// A catalogue: its shipped rows and the user's over them, each with the file they came from.
inline void PutCatalogue(Writer& out, const MaterialsCatalogue& catalogue) {
  std::vector<MaterialRecord> shipped;
  std::vector<MaterialRecord> user;
  for (std::size_t i = 0; i < catalogue.Rows().size(); ++i) {
    const bool mine = catalogue.OriginOf(i) == MaterialsCatalogue::Origin::User;
    (mine ? user : shipped).push_back(catalogue.Rows()[i]);
  }
  out(catalogue.IsOpen(), catalogue.Path(), shipped, catalogue.UserPath(), user);
}

inline MaterialsCatalogue TakeCatalogue(Reader& in) {
  bool open = false;
  std::filesystem::path path;
  std::filesystem::path userPath;
  std::vector<MaterialRecord> shipped;
  std::vector<MaterialRecord> user;
  in(open, path, shipped, userPath, user);
  if (!open) return {};
  return MaterialsCatalogue::FromRows(path, std::move(shipped), userPath, user);
}

}  // namespace quillane::python::pickle
