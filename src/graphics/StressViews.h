#pragma once
// The stress pictures: the through-thickness profile frame, the views during build-up and
// after final cooling (each in a global and a zoom form), and the deflection history. Each
// routine starts from an erased surface, so drawing the same surface again replaces the
// previous picture. They read the model state and publish the spans they used into it.

#include "graphics/DrawingSurface.h"
#include "model/ModelState.h"

namespace quillane::graphics {

// Clears the surface and draws the frame of a stress profile: x through the thickness (the
// substrate from -ts to 0 and the deposit from 0 to N·e; only the deposit when zoom is set),
// y the scaled stress, tension upwards. Publishes ProfileSpanX and ProfileSpanY. When the
// stress axis has no extent (min = max) the frame is centred on that value with a span of a
// tenth of its magnitude, or 1 when it is 0.
void DrawProfileFrame(ModelState& state, DrawingSurface& surface, bool zoom);

// The profile after lamella k = LamellaIndex: substrate stroke, one flat stroke per lamella
// laid so far, lamella boundaries, neutral axis, radius of curvature, deflection and the
// bending pictogram. Sets the font size of the surface to 6 points. In a run of several coats,
// each coat's strokes have a colour of their own and a line of another marks the top of each
// coat covered by the next.
void DrawBuildUpView(ModelState& state, DrawingSurface& surface, bool zoom);

// The profile after final cooling, with the same elements (coats told apart as above) for all
// LamellaCount lamellae.
void DrawCoolingView(ModelState& state, DrawingSurface& surface, bool zoom);

// The deflection against a fixed time schedule: one mark per lamella every 4 s, the cooling
// curve over the 120 s after the last lamella and the final deflection. Publishes
// DeflectionSpan; a deflection axis without extent is framed as the stress axis is.
void DrawDeflectionHistory(ModelState& state, DrawingSurface& surface);

// Text of the radius of curvature, " RAYON=" and 1/curvature, or " RAYON=infini" for a flat
// specimen.
std::string RadiusText(double curvature);

}  // namespace quillane::graphics
