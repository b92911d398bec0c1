"""The Python module against the batch program: the same numbers, files, tables, fits and
messages, and Ctrl-C that stops long work without leaving a file behind."""

import csv
import decimal
import json
import math
import multiprocessing
import os
import pathlib
import pickle
import re
import signal
import sqlite3
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

import quillane
from conftest import DATA

CASE = DATA / "p1" / "case.json"

# Two coats of the one coating material: the second under a lower flux, after a pause.
TWO_COATS = {"PassCount": 3, "Coats": [
    {"Material": "NiCrAlY", "PassCount": 1},
    {"Material": "NiCrAlY", "PassCount": 2, "HeatFlux": 4e5, "PauseBefore": 5.0}]}


def test_a_run_gives_the_batch_programs_numbers_and_files(tmp_path, batch, p1_db, p1_catalogue):
    keys = {"StressModel": "whole-deposit", **TWO_COATS}
    files = {"thermal": "thermique.txt", "stress": "stress.txt", "history": "history.csv"}
    for folder in ("batch", "written", "during"):
        (tmp_path / folder).mkdir()
    case_file = tmp_path / "case.json"
    case_file.write_text(json.dumps({**json.loads(CASE.read_text()), **keys}))
    flags = [f"--{name}={tmp_path / 'batch' / file}" for name, file in files.items()]
    batch(case_file, "--catalogue", p1_db, "--quiet", *flags, "--summary",
          tmp_path / "batch" / "summary.json")

    case = quillane.Case(CASE, **keys)
    result = quillane.run(case, p1_catalogue)
    summary = json.loads((tmp_path / "batch" / "summary.json").read_text())
    for key, expected in summary.items():
        actual = getattr(result, key)
        if isinstance(expected, list):
            assert list(actual) == expected, key
        elif key in ("StressAxisMin", "StressAxisMax"):
            # In Pa, where the summary file keeps the pictures' GPa: the same digits.
            assert actual == float(decimal.Decimal(repr(expected)).scaleb(9)), key
        else:
            assert actual == expected and type(actual) is type(expected), key
    assert result.summary() == summary
    # The per-lamella arrays: the deposit's top after each lamella, and the mid-plane of each
    # (the stress file's X), element 0 holding none.
    heights = result.lamella_height
    assert len(heights) == len(result.deposit_thickness) == result.LamellaCount + 1
    assert math.isnan(heights[0]) and result.deposit_thickness[0] == 0
    assert result.deposit_thickness[-1] == pytest.approx(result.CoatingThickness, rel=1e-15)
    lines = (tmp_path / "batch" / "thermique.txt").read_text().splitlines()
    table = lines[lines.index("X\tSIGMA") + 3:]
    assert [float(line.split("\t")[0]) for line in table] == pytest.approx(heights[1:], rel=1e-14)
    # The thermal rows as the file gives them, to its two decimals; they are read-only, being the
    # rows write() writes again.
    rows = result.thermal
    assert list(rows.dtype.names) == ["time", *(f"T{i}" for i in range(1, 9)), "thickness"]
    cells = [[float(cell or "nan") for cell in line.split("\t")[:10]]
             for line in lines[: result.ThermalRowCount]]
    np.testing.assert_allclose(rows.tolist(), cells, rtol=0, atol=0.0051)
    with pytest.raises(ValueError, match="read-only"):
        rows.T1[0] = 0.0
    steps = result.curvature_history
    assert steps.curvature[-1] == result.FinalCurvature
    assert list(result.curvature_at([steps.time[2], result.ElapsedTime + 1])) == [
        steps.curvature[2], result.FinalCurvature]

    result.write(**{name: tmp_path / "written" / file for name, file in files.items()},
                 summary=tmp_path / "written" / "summary.json")
    quillane.run(case, p1_catalogue, files={n: tmp_path / "during" / f for n, f in files.items()})
    for file in [*files.values(), "summary.json"]:
        expected = (tmp_path / "batch" / file).read_bytes()
        assert (tmp_path / "written" / file).read_bytes() == expected, file
        if file != "summary.json":
            assert (tmp_path / "during" / file).read_bytes() == expected, file
    history = (tmp_path / "batch" / "history.csv").read_text().splitlines()
    assert len(result.history) == len(history) - 1
    times, levels, temperatures = result.field
    assert temperatures.shape == (len(times), len(levels)) and times[-1] == result.ElapsedTime


def test_a_studys_table_equals_the_batch_programs_results_csv(tmp_path, batch, p1_db):
    study = DATA / "study" / "small.json"
    batch("--study", study, "--out", tmp_path / "out", "--catalogue", p1_db, "--quiet")
    with open(tmp_path / "out" / "results.csv", newline="") as file:
        header, *lines = csv.reader(file)
    table = quillane.study(study, catalogue=quillane.Catalogue(p1_db), jobs=2)
    assert list(table.keys()) == header and len(lines) == 12
    for name, cells in zip(header, zip(*lines)):
        expected = cells if name == "status" else [float(cell or "nan") for cell in cells]
        np.testing.assert_array_equal(table[name], expected, err_msg=name)


def test_a_fit_recovers_sigma_q_and_writes_the_batch_programs_fit_json(tmp_path, batch, p1_db):
    catalogue = quillane.Catalogue(p1_db)
    truth = quillane.run(CASE, catalogue.with_row("NiCrAlY", SigmaQ=1.5e8))
    assert catalogue.row("NiCrAlY")["SigmaQ"] == 1e8, "with_row changes a copy only"
    times = np.linspace(0.2, truth.ElapsedTime + 1, 40)
    noise = np.random.default_rng(7).normal(0, 1e-5, len(times))
    record = {"time": times, "curvature": truth.curvature_at(times) + noise}
    lines = ["time,curvature"] + [f"{t!r},{c!r}" for t, c in zip(times, record["curvature"])]
    (tmp_path / "record.csv").write_text("\n".join(lines) + "\n")
    fitted = quillane.fit(CASE, tmp_path / "record.csv", "coating.SigmaQ", catalogue=catalogue)
    # Each figure as fit.json gives it; the recovery itself is the C++ tests'.
    told = fitted.json()["parameters"]["coating.SigmaQ"]
    assert (told["value"], told["stderr"], told["interval"]) == (
        fitted.values["coating.SigmaQ"], fitted.standard_errors["coating.SigmaQ"],
        list(fitted.intervals["coating.SigmaQ"]))
    assert fitted.time_shift == 0
    with pytest.raises(ValueError, match="\"strain\" is not a column a fit reads"):
        quillane.fit(CASE, {**record, "strain": times}, ["coating.SigmaQ"], catalogue=catalogue)

    batch(CASE, "--catalogue", p1_db, "--fit", tmp_path / "record.csv", "--fit-params",
          "coating.SigmaQ", "--out", tmp_path / "batch", "--quiet")
    # The module writes what the batch program writes (the overlay as PNG where it draws with
    # Qt), and so does a fit that went through pickle.
    fitted.write(tmp_path / "module")
    pickle.loads(pickle.dumps(fitted)).write(tmp_path / "pickled")
    written = sorted(path.name for path in (tmp_path / "batch").iterdir())
    assert "overlay.svg" in written
    for folder in ("module", "pickled"):
        assert sorted(path.name for path in (tmp_path / folder).iterdir()) == written
        for file in written:
            assert (tmp_path / folder / file).read_bytes() == (
                tmp_path / "batch" / file).read_bytes(), (folder, file)


BAD_INPUTS = [
    pytest.param("case", {"HeatFlux": -1, "SpecimenLength": 2}, id="two faults"),
    pytest.param("case", {"Bogus": 1}, id="unknown key"),
    pytest.param("case", {"HeatFlux": "high"}, id="not a number"),
    pytest.param("case", {"CoatingMaterialName": 3}, id="not a text"),
    # A terminal's escape and a NUL, which once cut Python's message short.
    pytest.param("case", {"CoatingMaterialName": "\x1b[31mRed\x00"}, id="escapes in a name"),
    # The reader's message once quoted the raw byte, and Python raised an empty ValueError.
    pytest.param("study", b"\x9b\x00\x01 not text", id="a study not text"),
]


@pytest.mark.parametrize("kind,given", BAD_INPUTS)
def test_a_bad_case_or_study_raises_the_batch_programs_message(tmp_path, batch, p1_db,
                                                               p1_catalogue, kind, given):
    path = tmp_path / "bad.json"
    path.write_bytes(given if kind == "study" else json.dumps(given).encode())
    if kind == "case":
        told = batch(path, "--catalogue", p1_db, "--thermal", tmp_path / "t.txt", "--stress",
                     tmp_path / "s.txt", check=False)
        # A value of the wrong kind is a TypeError, as in Python's own calls.
        wrong_type = re.search(r"must be a (number|text), not", told.stderr) is not None
        with pytest.raises(TypeError if wrong_type else ValueError) as raised:
            quillane.run(path, p1_catalogue)
    else:
        told = batch(CASE, "--catalogue", p1_db, "--study", path, "--out", tmp_path / "out",
                     check=False)
        with pytest.raises(ValueError) as raised:
            quillane.study(path, case=CASE, catalogue=p1_catalogue)
    assert told.returncode == 1 and str(raised.value).replace("\n", " ").isprintable()
    assert "quillane-batch: " + str(raised.value) + "\n" == told.stderr
    assert not list(tmp_path.glob("*.txt"))


def test_a_bad_attribute_is_refused_and_the_case_kept():
    case = quillane.Case()
    with pytest.raises(ValueError, match=r"PassCount \(--passes\) is -1; it must lie between 0 and 32767"):
        case.PassCount = -1
    assert case == quillane.Case() and case.PassCount == quillane.Case().PassCount
    case.PassCount = 3
    assert case.PassCount == 3 and case.to_dict()["PassCount"] == 3
    coated = quillane.Case(StressModel="whole-deposit", **TWO_COATS)
    for bad, told in (([{"Material": "NiCrAlY", "PassCount": 1}] * 7, "at most 6"),
                      ([{"Material": "NiCrAlY", "PassCount": 1, "HeatFlux": math.inf}],
                       '"HeatFlux" of coat 1 is not a finite number')):
        with pytest.raises(ValueError, match=told):
            coated.Coats = bad
    with pytest.raises(ValueError, match="coats need the whole-deposit model"):
        coated.StressModel = "one-pass"
    assert coated.Coats == TWO_COATS["Coats"]


# A user catalogue that cannot be read is refused by name, as by the batch program, until the
# shipped materials are asked for; the user's file is left as it is.
def test_damaged_user_materials_are_refused_unless_the_shipped_ones_are_asked_for(
        tmp_path, monkeypatch):
    user = tmp_path / "quillane" / "materiaux.db"
    user.parent.mkdir()
    user.write_text("not a database, but the user's file")
    monkeypatch.setenv("XDG_DATA_HOME", str(tmp_path))
    told = r"(?s)%s.*quillane\.Catalogue\.shipped\(\)" % re.escape(str(user))
    for call in (quillane.Catalogue, lambda: quillane.run(quillane.Case(PassCount=0))):
        with pytest.raises(ValueError, match=told):
            call()
    quillane.run(quillane.Case(PassCount=0), quillane.Catalogue.shipped())
    assert user.read_text() == "not a database, but the user's file"


# Long work in a child interpreter; it prints "started" just before the call Ctrl-C stops. The
# study is long enough that a machine with many cores is still at it when the signal comes.
LONG_WORK = {
    "study": "quillane.study({'base': {'PassCount': 60}, 'vary': [{'input': 'HeatFlux', "
             "'from': 2e5, 'to': 1e6, 'steps': 20000}]}, catalogue=catalogue)",
    "run": "quillane.run(quillane.Case(PassCount=20000), catalogue, files={'thermal': "
           "out + '/t.txt', 'stress': out + '/s.txt'})",
}


@pytest.mark.parametrize("work", LONG_WORK)
def test_ctrl_c_stops_long_work_and_leaves_no_file(tmp_path, p1_db, work):
    out = tmp_path / "out"
    out.mkdir()
    script = (f"import quillane\ncatalogue = quillane.Catalogue({str(p1_db)!r})\n"
              f"out = {str(out)!r}\nprint('started', flush=True)\n{LONG_WORK[work]}\n"
              "print('finished', flush=True)\n")
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True, env=os.environ)
    assert child.stdout.readline() == "started\n"
    time.sleep(0.5)
    asked = time.monotonic()
    child.send_signal(signal.SIGINT)
    stdout, stderr = child.communicate(timeout=30)
    assert time.monotonic() - asked < 10
    assert child.returncode != 0 and "KeyboardInterrupt" in stderr, stderr
    assert "finished" not in stdout
    assert list(out.iterdir()) == []


def test_the_stubs_name_every_public_member_of_its_class():
    stubs = (pathlib.Path(quillane.__file__).parent / "_quillane.pyi").read_text(encoding="utf-8")
    for kind in (quillane.Case, quillane.Catalogue, quillane.Result, quillane.Fit):
        section = stubs.split(f"class {kind.__name__}:")[1].split("\nclass ")[0]
        for name in (name for name in dir(kind) if not name.startswith("_")):
            assert re.search(rf"^    (def {name}\(|{name}:)", section, re.M), f"{kind}.{name}"


def test_a_case_reads_alike_from_a_file_a_dict_numpy_values_and_keywords(tmp_path):
    keys = {**json.loads(CASE.read_text()), "StressModel": "whole-deposit", **TWO_COATS}
    (tmp_path / "case.json").write_text(json.dumps(keys))
    from_file = quillane.Case(tmp_path / "case.json")
    numpy_keys = {key: (np.float64(v) if isinstance(v, float) else np.int64(v))
                  if not isinstance(v, (str, list)) else v for key, v in keys.items()}
    for made in (quillane.Case(keys), quillane.Case(numpy_keys), quillane.Case(**keys),
                 quillane.Case().replace(**keys)):
        assert made == from_file and made.to_dict() == from_file.to_dict()
    from_file.save(tmp_path / "saved.json")
    saved = quillane.Case(tmp_path / "saved.json")
    assert saved == from_file and saved.to_dict() == {**quillane.Case().to_dict(), **keys}


@pytest.mark.filterwarnings("ignore:the substrate reaches")
def test_a_long_run_leaves_the_interpreter_to_other_threads(p1_catalogue):
    # Some 0.4 s of model; the main thread keeps ticking only if the run released the lock.
    worker = threading.Thread(target=quillane.run, args=(quillane.Case(PassCount=3000),
                                                         p1_catalogue))
    ticks = 0
    worker.start()
    while worker.is_alive():
        ticks += 1
        time.sleep(0.002)
    worker.join()
    assert ticks > 20


def test_implausible_inputs_run_with_warnings_that_name_them(p1_catalogue):
    # A flux in W/m2 typed as kW/m2.
    told = ["above the particle temperature (2400 K)", "above its melting point (1673 K)"]
    with pytest.warns(RuntimeWarning) as caught:
        result = quillane.run(quillane.Case(CASE, HeatFlux=5e8, PassCount=3), p1_catalogue)
    assert [(w.category, str(w.message)) for w in caught] == [
        (RuntimeWarning, text) for text in result.warnings]
    assert len(result.warnings) == 2 and all(map(str.__contains__, result.warnings, told))


def test_cases_results_and_catalogues_pickle_whole_and_go_to_other_processes(tmp_path, p1_catalogue):
    catalogue = p1_catalogue.with_row("NiCrAlY", SigmaQ=1.5e8)
    assert catalogue.path is None and catalogue.changed == ["NiCrAlY"]
    assert p1_catalogue.path.endswith("p1.db") and p1_catalogue.changed == []
    case = quillane.Case(CASE, StressModel="whole-deposit", **TWO_COATS)
    assert pickle.loads(pickle.dumps(case)) == case
    with multiprocessing.Pool(1) as pool:
        result = pool.apply(quillane.run, (case, catalogue))
    here = quillane.run(case, catalogue)
    assert result.case == case and result.thermal.tobytes() == here.thermal.tobytes()
    files = {"thermal": "t.txt", "stress": "s.txt", "history": "h.csv", "summary": "s.json"}
    for name, made in (("there", result), ("here", here)):
        (tmp_path / name).mkdir()
        made.write(**{key: tmp_path / name / file for key, file in files.items()})
    for file in files.values():
        assert (tmp_path / "there" / file).read_bytes() == (tmp_path / "here" / file).read_bytes()
    state = result.__getstate__()
    for bad, told in ((state[:-200], "cut short"), (state + b"\0", "hold more"),
                      (state.replace(b"quillane", b"quillanf", 1), "pickled by quillanf")):
        with pytest.raises(ValueError, match=told):
            quillane.Result.__new__(quillane.Result).__setstate__(bad)


def test_figures_against_temperature_are_read_changed_and_pickled(p1_db):
    with sqlite3.connect(p1_db) as db:
        db.executescript('CREATE TABLE points ("Matériaux", Figure, "Température", Valeur);'
                         "INSERT INTO points VALUES ('NiCrAlY', 'Lambda', 1200, 14),"
                         "('NiCrAlY', 'Lambda', 300, 9);")
    db.close()
    catalogue = quillane.Catalogue(p1_db)
    row = catalogue.row("NiCrAlY")
    assert row["Lambda"] == 9 and row["tables"] == {"Lambda": [(300, 9), (1200, 14)]}
    assert catalogue.row("contact")["tables"] == {}
    changed = catalogue.with_row("NiCrAlY", tables={"Lambda": None, "SigmaQ": [(293, 1.5e8),
                                                                               (900, 5e7)]})
    assert changed.row("NiCrAlY")["tables"] == {"SigmaQ": [(293, 1.5e8), (900, 5e7)]}
    copy = pickle.loads(pickle.dumps(changed))
    assert (copy.rows, copy.changed, copy.path, repr(copy)) == (
        changed.rows, ["NiCrAlY"], None, repr(changed))
    assert catalogue.with_row(row).rows == catalogue.rows


# The message is each case's id.
WRONG_CALLS = [
    (lambda c: quillane.Case(DATA / "none.json"), FileNotFoundError,
     r"No such case file: '.*none.json'"),
    (lambda c: quillane.Catalogue("none.db"), FileNotFoundError,
     "No such materials catalogue: 'none.db'"),
    (lambda c: quillane.run(42, c), TypeError,
     "case: give a Case, a dict of case keys or a case file"),
    (lambda c: quillane.run(CASE, "p1.db"), TypeError,
     "catalogue: give a quillane.Catalogue or None, not str"),
    (lambda c: c.with_row("NiCrAlY", SigmaQ="high"), TypeError,
     "with_row: SigmaQ: give a number, not str"),
    (lambda c: quillane.fit(CASE, {"time": "0 1", "curvature": [0, 1]}, "coating.SigmaQ",
                            catalogue=c), TypeError,
     "record: time: give a sequence of numbers, not str"),
    (lambda c: quillane.fit(CASE, "r.csv", "coating.SigmaQ", noise={"curvature": "1"},
                            catalogue=c), TypeError, "noise: curvature: give a number, not str"),
    (lambda c: quillane.study({"vary": []}, jobs=1.5, catalogue=c), TypeError,
     "jobs: give a whole number from 1, or None for every core, not float"),
    (lambda c: c.with_row({"Name": "NiCrAlY", "sigmaq": 1}), ValueError,
     '"sigmaq" is not a figure of a material'),
    (lambda c: c.with_row("NiCrAlY", tables={"Cp": [(300, 450)]}), ValueError,
     "with_row: tables: Cp: the points are not a table: a table needs at least two points"),
    (lambda c: c.with_row("NiCrAlY", tables={"Rho": []}), ValueError,
     '"Rho" is not a figure given against temperature'),
    (lambda c: c.with_row("NiCrAlY", tables={"Cp": [300, 450]}), TypeError,
     r"with_row: tables: Cp: give \(temperature, value\) pairs, not int"),
    (lambda c: c.with_row("NiCrAlY", Poisson=1.5), ValueError,
     '"NiCrAlY": Poisson is 1.5; it must be less than 1.'),
]


@pytest.mark.parametrize("call,error,message", WRONG_CALLS, ids=[c[2] for c in WRONG_CALLS])
def test_a_wrong_call_raises_what_python_raises_with_our_message(p1_catalogue, call, error,
                                                                 message):
    with pytest.raises(error, match=message):
        call(p1_catalogue)
