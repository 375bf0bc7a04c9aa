"""Parts: each failing level, the other fields, iteration, threads; the installation chosen
without KORVAN_PATH, and the example and demonstration scripts (each in a child, with its own
library caches). CTest sets KORVAN_PATH to the bundled sample, PYTHONPATH to the build tree's
package, PMTOOL and PMLIB_SOURCE_DIR."""

import concurrent.futures
import os
import subprocess
import sys

import pytest

import pmlib
from pmlib import Level

ARCHS = ["Korvan:alpha", "Korvan:beta", "Korvan:delta", "Korvan:gamma"]


def run_python(*args, env=None):
    """Runs this interpreter with ARGS in a child (its own library caches)."""
    return subprocess.run([sys.executable, *args], capture_output=True, text=True,
                          env={**os.environ, **(env or {})}, check=False)


LEVEL_ROWS = [  # name, arch, device, package, speed, fails_at, rejected, choices
    ("XCAB40E-4-PQ208", "alpha", "xcab40e", "pq208", "-4", None, None, []),
    ("xczz9tq144-3", None, None, None, None, Level.ARCHITECTURE, "xczz9tq144-3", ARCHS),
    ("xcab50etq144-3", "alpha", None, None, None, Level.DEVICE, "xcab50e", ["xcab12e", "xcab40e"]),
    ("xcab12ebg999-3", "alpha", "xcab12e", None, "-3", Level.PACKAGE, "bg999", ["tq144", "cs144"]),
    ("xcab12e", "alpha", "xcab12e", None, None, Level.PACKAGE, None, ["tq144", "cs144"]),
    ("xcab40epq208-5", "alpha", "xcab40e", "pq208", None, Level.SPEED, "-5", ["-4"]),
]


@pytest.mark.parametrize("name, arch, device, package, speed, fails_at, rejected, choices", LEVEL_ROWS)
def test_part_levels(name, arch, device, package, speed, fails_at, rejected, choices):
    part = pmlib.parse_part(name)
    assert (part.arch, part.device, part.package, part.speed) == (arch, device, package, speed)
    assert (part.fails_at, part.rejected, part.choices, part.valid) == (fails_at, rejected, choices,
                                                                        fails_at is None)


FIELDS = ("internal_names", "composed_name", "databook_name", "subfamily", "range", "speed_flags",
          "valid_to_package", "messages")
FIELD_ROWS = [  # name, the values of FIELDS
    ("xcab40e-4-pq208", (["ab40e", "ab40e_alt"], "ab40epq208-4", "xcab40e-4pq208", "mid", "C",
                         pmlib.SpeedFlags(True, True), True, [])),
    ("xcga20ff324-2i", (["ga20"], "ga20ff324-2i", "xcga20-2iff324", None, "I",
                        pmlib.SpeedFlags(False, False), True, [])),
    ("xczz9tq144-3", ([], None, None, None, None, None, False, [])),
]


@pytest.mark.parametrize("name, values", FIELD_ROWS)
def test_part_fields(name, values):
    part = pmlib.parse_part(name)
    assert tuple(getattr(part, field) for field in FIELDS) == values


def test_part_names_and_completion():
    assert repr(pmlib.parse_part("xcab40epq208-5")) == ("Part(arch='alpha', device='xcab40e', package='pq208', speed=None, "
                          "fails_at=Level.SPEED, rejected='-5')")
    assert [str(pmlib.parse_part("XCAB40E-4-PQ208")), str(pmlib.parse_part("xczz9")),
            str(pmlib.parse_part("alpha").complete())] == ["ab40epq208-4", "", "ab12etq144-3"]
    assert pmlib.parse_part("xczz9").complete() is None
    assert pmlib.parse_part("xcab40e-4-pq208").module.name == "alpha"
    assert repr(pmlib.Part.from_levels("alpha", "xcab12e", "cs144")) == (
        "Part(arch='alpha', device='xcab12e', package='cs144', speed=None, "
        "fails_at=Level.SPEED, rejected=None)")
    assert [str(part) for part in pmlib.Module("beta").parts()] == [
        "be10tq100-1", "be10tq100-2", "be10cs121-1", "be10cs121-2"]
    with pmlib.capture_messages():  # the options
        assert [pmlib.parse_part("xcab80ecs144-4").device,
                pmlib.parse_part("xcab80ecs144-4", configuration=True).device,
                pmlib.parse_part("xcab12e-3-tq144", arch="Korvan:alpha").device] == [
                    None, "xcab80e", "xcab12e"]


def test_threads_share_modules_and_parts():
    names = [row[0] for row in LEVEL_ROWS] * 4
    expected = [repr(pmlib.parse_part(name)) for name in names]
    shared_module, shared_part = pmlib.Module("gamma"), pmlib.parse_part("xcab40e-4-pq208")

    def work(_):
        return ([repr(pmlib.parse_part(name)) for name in names], shared_module.devices,
                shared_part.choices, shared_part.databook_name)

    # Eight at once; the pool raises what a thread raised.
    with concurrent.futures.ThreadPoolExecutor(8) as pool:
        results = list(pool.map(work, range(8)))
    assert results == [(expected, shared_module.devices, [], "xcab40e-4pq208")] * 8


def test_installation_bundled_sample_from_folders_and_without_any():
    script = ("import pmlib\n"
              "print(pmlib.Installation().source, pmlib.parse_part('xcab40e-4-pq208'))\n"
              "pmlib.Installation([])\n"
              "try:\n    pmlib.parse_part('xcab40e-4-pq208')\n"
              "except pmlib.Error as error:\n    print(error.kind, error.code)\n"
              f"print(pmlib.Installation([{os.environ['KORVAN_PATH']!r}]).source)\n")
    result = run_python("-c", script, env={"KORVAN_PATH": ""})
    assert (result.stdout, result.stderr) == ("bundled sample ab40epq208-4\nErrorKind.NO_INSTALLATION 0\n"
                                              "set by the program\n", "")


def test_docs_example_checks_a_project(tmp_path):
    examples = os.path.join(os.environ["PMLIB_SOURCE_DIR"], "docs/examples")
    script = os.path.join(examples, "check_parts.py")
    good = run_python(script, os.path.join(examples, "board.prj"))
    assert (good.returncode, good.stderr) == (0, ""), good.stdout
    bad_project = tmp_path / "bad.prj"
    bad_project.write_text("# a bad speed and a bad device\npart = xcab40e-5-pq208\npart=xcab50e-4-pq208\n")
    bad = run_python(script, str(bad_project))
    assert bad.returncode == 1
    assert bad.stdout.splitlines() == [
        f"{bad_project}:2: xcab40e-5-pq208 fails at the speed: \"-5\"; closest choice: -4",
        f"{bad_project}:3: xcab50e-4-pq208 fails at the device: \"xcab50e\"; closest choice: xcab40e",
    ]


def test_main_shows_fields():
    runs = [run_python("-m", "pmlib", *args) for args in (["xcab40e-4-pq208"], ["xcab40epq208-5"], [])]
    assert [run.returncode for run in runs] == [0, 1, 2]
    assert "  speed:         -4\n" in runs[0].stdout and "  fails_at:      speed\n" in runs[1].stdout
