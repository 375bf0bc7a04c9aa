"""Shared helpers of the pmlib Python tests: they run against the bundled sample (KORVAN_PATH)
with the build tree's package (PYTHONPATH), both set by CTest."""

import os
import subprocess
import sys

import pytest


def run_python(*args, env=None):
    """Runs this interpreter with ARGS in a child (its own library caches)."""
    return subprocess.run([sys.executable, *args], capture_output=True, text=True,
                          env={**os.environ, **(env or {})}, check=False)


@pytest.fixture(scope="session")
def pmtool():
    return os.environ["PMTOOL"]


@pytest.fixture(scope="session")
def source_dir():
    return os.environ["PMLIB_SOURCE_DIR"]
