#!/usr/bin/env python3
"""Measures how many small faults the test suite catches.

A fixed, seeded sample of faults is put, one at a time, into the sources that need no window
(flipped comparisons, swapped operators, constants off by one). After each, the tests that need
no window are built and run, but the long ones (which repeat shorter ones at length) and those
that kill programs at random moments (whose outcome is chance): a fault is caught when a test
fails or times out. A fault that does not compile is not counted. Every source file is restored
afterwards, whatever happens.

    scripts/mutation-test.py [--seed 11] [--count 40] [--build build-mutation] [--list]
                             [--save-sample FILE | --sample FILE] [--caught-in EARLIER.log]

--save-sample keeps the sample with the text of each line it changes; --sample puts the same
faults into later sources, each found by its line's text (the nearest line that reads the same),
and names them as they were named when saved. With --caught-in, only the faults an earlier run
caught are put in again: when tests were only taken away or rewritten, this tells whether every
one of them is still caught.
"""

import argparse
import json
import os
import pathlib
import random
import re
import shutil
import signal
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
FOLDERS = [
    "format", "materials", "model", "thermal", "stress", "io", "run", "graphics", "study", "fit",
    "session", "cli"
]

# Each rule: a pattern for one token and what it becomes.
SWAPS = {"<=": "<", ">=": ">", "<": "<=", ">": ">=", "==": "!=", "!=": "==",
         "+": "-", "-": "+", "*": "/", "/": "*", "&&": "||", "||": "&&"}
OPERATOR = re.compile(r"(?<=[\w)\] ])\s(<=|>=|==|!=|&&|\|\||<|>|\+|-|\*|/)\s(?=[\w(\-.!])")
NUMBER = re.compile(r"(?<![\w.])(\d+\.\d*(?:[eE][-+]?\d+)?|\d+(?:[eE][-+]?\d+)?)(?![\w.])")


def candidate_lines(path):
    """Lines of code worth mutating: no comments, includes, strings or asserts."""
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines()):
        code = line.split("//")[0]
        stripped = code.strip()
        if not stripped or stripped.startswith(("#", "*", "static_assert", "assert")):
            continue
        if '"' in code or "'" in code or "template" in code or "::*" in code:
            continue
        yield number, code


def sites():
    found = []
    for folder in FOLDERS:
        for path in sorted((ROOT / "src" / folder).glob("*.cpp")):
            for number, code in candidate_lines(path):
                for match in OPERATOR.finditer(code):
                    token = match.group(1)
                    # A '>' or '<' next to a type name is a template argument, not a comparison.
                    if token in ("<", ">") and re.search(r"\w<|<\w|\w>\(", code):
                        continue
                    found.append((path, number, match.start(1), token, SWAPS[token]))
                for match in NUMBER.finditer(code):
                    text = match.group(1)
                    if "." in text or "e" in text.lower():
                        changed = repr(float(text) * 1.01)
                    else:
                        changed = str(int(text) + 1)
                    found.append((path, number, match.start(1), text, changed))
    return found


# Each fault's name as its sample was drawn: a fault replayed on later sources keeps it.
NAMES = {}


def where_of(site):
    if site in NAMES:
        return NAMES[site]
    path, number, _, old, new = site
    return f"{path.relative_to(ROOT)}:{number + 1}: {old} -> {new}"


def save_sample(sample, file):
    lines = []
    for site in sample:
        path, number, column, old, new = site
        text = path.read_text(encoding="utf-8").split("\n")[number]
        lines.append(json.dumps({"name": where_of(site), "path": str(path.relative_to(ROOT)),
                                 "line": number, "text": text, "column": column, "old": old,
                                 "new": new}, ensure_ascii=False))
    file.write_text("\n".join(lines) + "\n", encoding="utf-8")


def load_sample(file):
    sample = []
    for entry in map(json.loads, file.read_text(encoding="utf-8").splitlines()):
        path = ROOT / entry["path"]
        lines = path.read_text(encoding="utf-8").split("\n") if path.exists() else []
        same = [n for n, text in enumerate(lines) if text == entry["text"]]
        if not same:
            print(f"gone      {entry['name']}", flush=True)
            continue
        number = min(same, key=lambda n: abs(n - entry["line"]))
        site = (path, number, entry["column"], entry["old"], entry["new"])
        NAMES[site] = entry["name"]
        sample.append(site)
    return sample


def apply(site):
    path, number, column, old, new = site
    lines = path.read_text(encoding="utf-8").split("\n")
    line = lines[number]
    assert line[column:column + len(old)] == old, (path, number, line)
    lines[number] = line[:column] + new + line[column + len(old):]
    original = path.read_text(encoding="utf-8")
    path.write_text("\n".join(lines), encoding="utf-8")
    return original


def run(command, timeout, env=None):
    # In a group of its own, so that a stop reaches the compilers too: a compiler left running
    # would write a faulty object after its source is restored, and newer than it, which later
    # builds would take as up to date.
    process = subprocess.Popen(command, cwd=ROOT, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, start_new_session=True, env=env)
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return -1
    finally:
        if process.poll() is None:
            # Interrupted, the build tool removes what its running commands had half written.
            os.killpg(process.pid, signal.SIGINT)
            try:
                process.wait(timeout=60)
            except subprocess.TimeoutExpired:
                pass
            # Whatever outlived it (a command that ignores the interruption) goes before the
            # caller restores the source.
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=11)
    parser.add_argument("--count", type=int, default=40)
    parser.add_argument("--build", default="build-mutation")
    parser.add_argument("--list", action="store_true", help="only list the sample")
    parser.add_argument("--caught-in", help="only the faults this earlier run's output caught")
    parser.add_argument("--save-sample", help="keep the sample in this file")
    parser.add_argument("--sample", help="the sample kept in this file, in the sources as they are")
    args = parser.parse_args()
    # A stopped run still restores the source it changed.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))

    if args.sample:
        sample = load_sample(pathlib.Path(args.sample))
    else:
        sample = random.Random(args.seed).sample(sites(), args.count)
        for site in sample:
            NAMES[site] = where_of(site)
    if args.save_sample:
        save_sample(sample, pathlib.Path(args.save_sample))
    if args.caught_in:
        earlier = pathlib.Path(args.caught_in).read_text(encoding="utf-8").splitlines()
        caught_before = {line[len("caught"):].strip() for line in earlier
                         if line.startswith("caught ")}
        sample = [site for site in sample if where_of(site) in caught_before]
    if args.list:
        for site in sample:
            print(where_of(site))
        return 0

    build = ROOT / args.build
    configure = ["cmake", "-S", ".", "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                 "-DQUILLANE_GUI=OFF", "-DQUILLANE_BENCH=OFF"]
    if run(configure, 600) != 0 or run(["cmake", "--build", str(build)], 3600) != 0:
        print("the unchanged sources do not build", file=sys.stderr)
        return 2
    tests = ["ctest", "--test-dir", str(build), "-j2", "-LE", "long|random", "--timeout", "120"]
    # A fault can make a run write without end until its test's time is up; killed, the test
    # leaves its temporary folder behind. Each run's folders go in one place, removed after it,
    # so that such files cannot fill the disk over a long run.
    scratch = build / "mutation-tmp"

    def run_tests(extra, timeout):
        scratch.mkdir(exist_ok=True)
        try:
            return run(tests + extra, timeout, env={**os.environ, "TMPDIR": str(scratch)})
        finally:
            shutil.rmtree(scratch, ignore_errors=True)

    if run_tests([], 1800) != 0:
        print("the unchanged sources fail their tests", file=sys.stderr)
        return 2

    caught = survived = unviable = 0
    for site in sample:
        where = where_of(site)
        original = apply(site)
        try:
            if run(["cmake", "--build", str(build)], 1800) != 0:
                unviable += 1
                print(f"unviable  {where}", flush=True)
                continue
            result = run_tests(["--stop-on-failure"], 900)
            if result == 0:
                survived += 1
                print(f"SURVIVED  {where}", flush=True)
            else:
                caught += 1
                print(f"caught    {where}", flush=True)
        finally:
            site[0].write_text(original, encoding="utf-8")
    run(["cmake", "--build", str(build)], 3600)
    viable = caught + survived
    print(f"seed {args.seed}: {caught} of {viable} faults caught "
          f"({100 * caught / max(viable, 1):.0f} %), {unviable} did not compile")
    return 0


if __name__ == "__main__":
    sys.exit(main())
