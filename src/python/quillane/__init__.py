"""Quillane from Python: runs, studies and fits of the coating build-up model, with NumPy arrays.

    import quillane
    result = quillane.run(quillane.Case(HeatFlux=8e5))
    result.FinalCurvature            # 1/m
    result.thermal["T1"]             # back-face temperature of every thermal row, K

Case holds the inputs (case keys, SI units), Catalogue the materials, run() gives a Result,
study() the results table of a parameter study, fit() the figures fitted to an in-situ record.
Every input and fault is the batch program's (quillane-batch): the same keys, ranges and
messages, the same result files byte for byte. Long calls release the interpreter's lock, use
every core where the batch program does, and stop on Ctrl-C (KeyboardInterrupt) without
leaving a half-written file. Cases, catalogues, results and fits pickle, so that
multiprocessing and joblib send them to other processes and back whole.
"""

from __future__ import annotations

import typing

from . import _quillane
from ._quillane import Case, Catalogue, Fit, Result, __version__, _study

if typing.TYPE_CHECKING:
    from ._quillane import _CaseLike, _Floats, _Path

__all__ = ["Case", "Catalogue", "Fit", "Result", "fit", "run", "study", "__version__"]


# run and fit are Python functions over the compiled ones, so that they pickle by name and
# multiprocessing.Pool.map(quillane.run, cases) sends them to other processes.
def run(case: _CaseLike = None, catalogue: Catalogue | None = None,
        files: typing.Mapping[str, _Path] | None = None) -> Result:
    return _quillane.run(case, catalogue, files)


def fit(case: _CaseLike, record: _Path | typing.Mapping[str, typing.Sequence[float] | _Floats],
        params: str | typing.Sequence[str],
        bounds: typing.Mapping[str, tuple[float | None, float | None]] | None = None,
        noise: typing.Mapping[str, float] | None = None, robust: bool = False,
        jobs: int | None = None, catalogue: Catalogue | None = None) -> Fit:
    return _quillane.fit(case, record, params, bounds, noise, robust, jobs, catalogue)


run.__doc__ = _quillane.run.__doc__
fit.__doc__ = _quillane.fit.__doc__


def study(study, jobs=None, case=None, catalogue=None, force=False):
    """Runs a parameter study and returns its results table.

    study: a study file (str or path) or a dict in the study file's form ({"base": ...,
    "vary": [...], "design": ...}); its base case applies over `case` (a Case, a dict or a case
    file; default Case()). catalogue: a Catalogue (default as for run()). jobs: points computed
    at once (default: every core). force: run a study of more than 100000 points.

    Returns the table of the batch program's results.csv: a pandas DataFrame where pandas is
    installed, otherwise a dict of NumPy columns: "point" (from 1), each varied quantity as the
    runs used it (SI units), the results (FinalCurvature 1/m, FinalDeflection m, the stresses
    Pa, PeakSurfaceTemperature, PeakSubstrateTemperature and PeakInterfaceTemperature K,
    ThermalRowCount, SingularMatrixEvents; NaN where a point failed) and "status" ("ok" or the
    fault). Ctrl-C stops the study (KeyboardInterrupt).
    """
    columns = _study(study, jobs=jobs, case=case, catalogue=catalogue, force=force)
    try:
        import pandas
    except ImportError:
        return columns
    return pandas.DataFrame(columns)
