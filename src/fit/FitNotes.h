#pragma once
// What a fit tells beside its figures: the intervals from the profiles with the notes on figures
// the record does not determine, and the notes on the whole fit (a model that does not follow
// the record, columns left unread, the model chosen).

#include <vector>

#include "fit/FitProfile.h"

namespace quillane::fit {

// The intervals of the profiles in SI, the covariance's standard errors where they agree with
// them, and the notes on each figure. A figure flat from bound to bound is left at its start.
void NoteIntervals(const Scaled& scaled, const Profiles& profiles, FitResult& result);

// Whether the model follows each series of the record at the fit: `residual` weighed by `noise`,
// `given` the noise the user gave (0 where estimated); a PoorFit note where it does not.
void NoteGoodness(const Evaluator& evaluator, const std::vector<double>& residual,
                  const SeriesValues& noise, const SeriesValues& given, std::size_t figures,
                  FitResult& result);

// The notes on the record and the model chosen: columns no fit reads, and a record of several
// passes the one-pass model does not follow (after NoteGoodness).
void NoteRecord(const ModelState& base, const CalibrationRecord& record, FitResult& result);

}  // namespace quillane::fit
