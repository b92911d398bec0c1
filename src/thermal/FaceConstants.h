#pragma once
// What both thermal models take for the exchange of the plate's faces with their surroundings.

namespace quillane {

inline constexpr double kFaceConvection = 147;       // W/(m²·K), both faces
inline constexpr double kFaceRadiation = 4.5352e-8;  // εσ of both faces, W/(m²·K⁴)

}  // namespace quillane
