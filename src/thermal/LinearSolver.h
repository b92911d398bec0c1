#pragma once
#include "model/BasedArray.h"

namespace quillane {

// Largest system the solver takes: one equation per node of the layer stack.
constexpr int kMaxUnknowns = 8;

// Solves A x = rhs by Gauss-Jordan elimination with full pivoting. On return A holds the
// inverse of the matrix passed in (columns back in their order when the solve succeeds).
// A singular matrix (only an exactly zero pivot counts) leaves the solution untouched and
// returns false.
bool SolveLinearSystem(BasedMatrix<double>& a, const BasedArray<double>& rhs,
                       BasedArray<double>& solution, int n);

}  // namespace quillane
