#pragma once
#include <array>
#include <string>

namespace quillane {

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

}  // namespace quillane
