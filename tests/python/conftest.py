"""Shared helpers of the pmlib Python tests: they run against the bundled sample (KORVAN_PATH)
with the build tree's package (PYTHONPATH), both set by CTest, as are PMTOOL and
PMLIB_SOURCE_DIR."""

import os
import subprocess
import sys


def run_python(*args, env=None):
    """Runs this interpreter with ARGS in a child (its own library caches)."""
    return subprocess.run([sys.executable, *args], capture_output=True, text=True,
                          env={**os.environ, **(env or {})}, check=False)
