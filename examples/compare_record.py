#!/usr/bin/env python3
"""Compares a case with an in-situ record: runs the case, fits the coating's quenching stress
(coating.SigmaQ, or the figures --params names) to the record's curvature, and saves a figure of
the record and of the model before and after the fit.

    PYTHONPATH=build/python /usr/bin/python3 examples/compare_record.py \\
        tests/data/fit/whole20/case.json tests/data/fit/whole20/record.csv compare_record.png
"""

import argparse

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

import quillane  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("case", help="case file (JSON, SI units)")
    parser.add_argument("record", help="record CSV: time, curvature[, temperature]"
                        "[, surface_temperature]")
    parser.add_argument("figure", help="the figure to write (PNG, SVG or PDF)")
    parser.add_argument("--params", default="coating.SigmaQ",
                        help="figures to fit, comma-separated (default coating.SigmaQ)")
    args = parser.parse_args()

    case = quillane.Case(args.case)
    before = quillane.run(case)
    fitted = quillane.fit(case, args.record, args.params.split(","))
    for name in fitted.names:
        low, high = fitted.intervals[name]
        print(f"{name} = {fitted.values[name]:.6g}, 68 % interval {low:.4g} to {high:.4g}")
    print(f"{fitted.iterations} iterations, RMS {fitted.rms['curvature']:.2e} 1/m")
    for note in fitted.notes:
        print("note:", note)

    figure, axes = plt.subplots(figsize=(7, 4.2), dpi=100)
    axes.plot(fitted.record_time, fitted.record_curvature, ".", ms=3, color="0.55",
              label="record")
    start = before.curvature_history
    axes.plot(start.time, start.curvature, color="tab:blue", lw=1,
              label=f"model, catalogue σq = {case_sigma(case) / 1e6:.0f} MPa")
    axes.plot(fitted.curve_time, fitted.curve_curvature, color="tab:red", lw=1.5,
              label="model, fitted " + ", ".join(shown(fitted, name) for name in fitted.names))
    axes.set_xlabel("time (s)")
    axes.set_ylabel("curvature (1/m)")
    axes.set_title(f"{case.CoatingMaterialName} on {case.SubstrateMaterialName}, "
                   f"{case.PassCount} passes ({case.StressModel} model)")
    axes.grid(alpha=0.3)
    axes.legend(loc="best", fontsize=8)
    figure.tight_layout()
    figure.savefig(args.figure)
    print("figure written to", args.figure)


def shown(fitted, name):
    """A fitted figure with its 68 % interval, σq in MPa."""
    value = fitted.values[name]
    low, high = fitted.intervals[name]
    if name == "coating.SigmaQ":
        return f"σq = {value / 1e6:.1f} MPa ({low / 1e6:.1f} to {high / 1e6:.1f})"
    return f"{name} = {value:.4g} ({low:.4g} to {high:.4g})"


def case_sigma(case):
    """The quenching stress the catalogue gives the case's coating, Pa."""
    return quillane.Catalogue().row(case.CoatingMaterialName)["SigmaQ"]


if __name__ == "__main__":
    main()
