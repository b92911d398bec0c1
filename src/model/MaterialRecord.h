#pragma once
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

}  // namespace quillane
