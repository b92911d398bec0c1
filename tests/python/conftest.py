"""What the tests of the Python module share: the batch program they compare with, the test data
and the small reference catalogue (316L steel, NiCrAlY, contact)."""

import os
import pathlib
import sqlite3
import subprocess

import pytest

import quillane

DATA = pathlib.Path(__file__).resolve().parent.parent / "data"


@pytest.fixture
def p1_db(tmp_path):
    path = tmp_path / "p1.db"
    with sqlite3.connect(path) as db:
        db.executescript((DATA / "p1" / "catalogue.sql").read_text(encoding="utf-8"))
    db.close()
    return path


@pytest.fixture
def p1_catalogue(p1_db):
    return quillane.Catalogue(p1_db)


@pytest.fixture
def batch():
    """Runs quillane-batch in the C locale, as the module writes numbers; returns the process."""
    program = os.environ["QUILLANE_BATCH_PROGRAM"]

    def run(*args, check=True):
        env = dict(os.environ, LC_ALL="C")
        done = subprocess.run([program, *map(str, args)], capture_output=True, text=True, env=env)
        if check:
            assert done.returncode == 0, done.stderr
        return done

    return run
