#pragma once
#include <array>
#include <string>
#include <vector>

namespace quillane {

// A point of a figure given against temperature.
struct FigurePoint {
  double Temperature = 0;  // K
  double Value = 0;        // in the figure's SI unit
  bool operator==(const FigurePoint&) const = default;
};

// A figure's points in rising temperature: linear between them, constant beyond. Empty where
// the figure is the row's constant.
using FigureTable = std::vector<FigurePoint>;

// The figures a row may give against temperature.
struct FigureTables {
  FigureTable Lambda;
  FigureTable Cp;
  FigureTable ModuleYoung;
  FigureTable dilat;
  FigureTable SigmaQ;  // against the temperature of the surface a lamella lands on
  bool operator==(const FigureTables&) const = default;
};

// One row of the materials catalogue, in SI units. The row named "contact" describes the
// thermal contact layer between the first coat and the substrate.
struct MaterialRecord {
  std::string Name;        // "Matériaux"
  double Lambda = 0;       // thermal conductivity, W/(m·K)
  double Rho = 0;          // density, kg/m³
  double Cp = 0;           // specific heat, J/(kg·K)
  double Tfusion = 0;      // melting temperature, K
  double Lfusion = 0;      // latent heat of fusion, J/kg
  double ModuleYoung = 0;  // Young's modulus, Pa
  double Poisson = 0;      // Poisson's ratio
  double dilat = 0;        // linear expansion coefficient, 1/K
  double SigmaQ = 0;       // quenching stress of a deposited lamella, Pa
  // Where a figure has points, the whole-deposit model takes them in place of its constant,
  // which the catalogue keeps as it was stored.
  FigureTables Tables;

  bool operator==(const MaterialRecord&) const = default;
};

// The nine figures of a row, in the order of the catalogue's columns, with their SI units.
struct MaterialColumn {
  const char* Name;
  double MaterialRecord::*Field;
  const char* Unit;
};
inline constexpr std::array<MaterialColumn, 9> kMaterialColumns = {{
    {"Lambda", &MaterialRecord::Lambda, "W/(m·K)"},
    {"Rho", &MaterialRecord::Rho, "kg/m³"},
    {"Cp", &MaterialRecord::Cp, "J/(kg·K)"},
    {"Tfusion", &MaterialRecord::Tfusion, "K"},
    {"Lfusion", &MaterialRecord::Lfusion, "J/kg"},
    {"ModuleYoung", &MaterialRecord::ModuleYoung, "Pa"},
    {"Poisson", &MaterialRecord::Poisson, ""},
    {"dilat", &MaterialRecord::dilat, "1/K"},
    {"SigmaQ", &MaterialRecord::SigmaQ, "Pa"},
}};

// The figures that may be tables, each with its constant.
struct TableFigure {
  const char* Name;
  double MaterialRecord::*Constant;
  FigureTable FigureTables::*Points;
};
inline constexpr std::array<TableFigure, 5> kTableFigures = {{
    {"Lambda", &MaterialRecord::Lambda, &FigureTables::Lambda},
    {"Cp", &MaterialRecord::Cp, &FigureTables::Cp},
    {"ModuleYoung", &MaterialRecord::ModuleYoung, &FigureTables::ModuleYoung},
    {"dilat", &MaterialRecord::dilat, &FigureTables::dilat},
    {"SigmaQ", &MaterialRecord::SigmaQ, &FigureTables::SigmaQ},
}};

}  // namespace quillane
