#!/usr/bin/env python3
"""Points per second of a 200-point study from Python against the batch program.

The study is BM_Study200's (bench_study.cpp), the default case with 200 heat fluxes on every
core, but 400 passes long, so that it lasts some ten seconds and the batch program's count of
it (to a tenth of a second) is good to 1 %. Each side runs it `--repeat` times, the two going
first in turn, and keeps its best time: the batch program its own count of the points' time
(the "in X s" it prints, which leaves out its start and its plots), and its whole run too;
Python the call to quillane.study.

    PYTHONPATH=build/python /usr/bin/python3 bench/study_speed.py build/quillane-batch
"""

import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import time

import quillane


def study(points, passes):
    step = 1e4
    return {
        "base": {"PassCount": passes},
        "vary": [{"input": "HeatFlux", "from": 1e6, "to": 1e6 + step * (points - 1),
                  "steps": points - 1}],
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("batch", help="the quillane-batch program")
    parser.add_argument("--points", type=int, default=200)
    parser.add_argument("--passes", type=int, default=400)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "study.json")
        with open(path, "w") as file:
            json.dump(study(args.points, args.passes), file)
        catalogue = quillane.Catalogue()
        batch_points, batch_whole, python = [], [], []

        def run_batch():
            started = time.perf_counter()
            done = subprocess.run([args.batch, "--study", path, "--out",
                                   os.path.join(folder, "out"), "--jobs", str(os.cpu_count()),
                                   "--force"],
                                  capture_output=True, text=True, check=True)
            batch_whole.append(time.perf_counter() - started)
            batch_points.append(float(re.search(r" in ([0-9.]+) s;", done.stdout).group(1)))

        def run_python():
            started = time.perf_counter()
            table = quillane.study(path, catalogue=catalogue)
            python.append(time.perf_counter() - started)
            assert all(status == "ok" for status in table["status"])

        # Each side goes first in turn, so that neither always meets the machine as the other
        # left it.
        for turn in range(args.repeat):
            for side in (run_batch, run_python) if turn % 2 == 0 else (run_python, run_batch):
                side()
    rate = {name: args.points / min(times) for name, times in
            [("batch, points only", batch_points), ("batch, whole run", batch_whole),
             ("python", python)]}
    for name, value in rate.items():
        print(f"{name:20} {value:8.2f} points/s")
    print(f"python / batch (points only) = {rate['python'] / rate['batch, points only']:.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
