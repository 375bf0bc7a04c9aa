"""The mapping of the C++ API onto Python: properties, None where absent, enums, errors."""

import os

import pytest

import pmlib
from pmlib import ErrorKind, ModuleType

SAMPLE = os.environ["KORVAN_PATH"]
ARCHS = ["Korvan:alpha", "Korvan:beta", "Korvan:delta", "Korvan:gamma"]

MODULE_FIELDS = ("name", "alias", "unsupported", "definition", "vendor", "family", "type",
                 "type_name", "friends", "device_names")
MODULE_ROWS = [  # module, the values of MODULE_FIELDS
    ("bravo", ("beta", "bravo", False, f"{SAMPLE}/beta/data/beta.acd", "Korvan", "beta",
               ModuleType.FPGA, "FPGA", ["alpha"], ["xcbe10"])),
    ("delta", ("delta", None, False, f"{SAMPLE}/delta/data/delta.acd", "Korvan", "delta",
               ModuleType.CPLD, "CPLD", [], ["xcde16"])),
    ("prom", ("prom", None, False, f"{SAMPLE}/prom/data/prom.acd", "Korvan", "prom",
              ModuleType.CONFIG, "CONFIG", [], ["xcpr01", "xcpr04"])),
]


@pytest.mark.parametrize("name, values", MODULE_ROWS)
def test_module_properties(name, values):
    module = pmlib.Module(name)
    assert tuple(getattr(module, field) for field in MODULE_FIELDS) == values


CALL_ROWS = [  # module, method, arguments, expected
    ("alpha", "value", ("VENDOR",), "Korvan"),
    ("alpha", "value", ("NO_SUCH_KEY",), None),
    ("alpha", "value", ("DEVICE_INTERNAL", (":", 1)), "xcab40e,ab40e,ab40e_alt"),
    ("alpha", "value", ("DEVICE_INTERNAL", (":", 1), (",", 2)), "ab40e_alt"),
    ("alpha", "value", ("DEVICE_INTERNAL", (":", 9)), None),
    ("gamma", "files", ("ab40e.pkg",), [f"{SAMPLE}/alpha/data/ab40e.pkg"]),
    ("gamma", "data_file", (".acd",), f"{SAMPLE}/gamma/data/gamma.acd"),
    ("gamma", "data_file", ("nothing.pkg",), None),
    ("gamma", "library_file", ("arch",), f"{SAMPLE}/alpha/lib/lin64/libarch.so"),
    ("alpha", "help_file", ("modules.hlp",), f"{SAMPLE}/help/modules.hlp"),
    ("alpha", "program_file", ("nothing",), None),
]


@pytest.mark.parametrize("module, method, arguments, expected", CALL_ROWS)
def test_module_calls(module, method, arguments, expected):
    assert getattr(pmlib.Module(module), method)(*arguments) == expected


@pytest.mark.parametrize("field, subfield", [((";;", 0), None), (None, (",", 0))])
def test_module_value_refuses_bad_addresses(field, subfield):
    with pytest.raises(ValueError):
        pmlib.Module("alpha").value("VENDOR", field, subfield)


@pytest.mark.parametrize("module, device", [
    ("alpha", pmlib.Device("xcab40e", ("ab40e", "ab40e_alt"), ("pq208", "fg256"), ("-4",),
                           ("-4", "-5"), "mid", ("C", "I"))),
    ("prom", pmlib.Device("xcpr01", ("pr01",), (), (), (), None, ())),
])
def test_module_device(module, device):
    assert pmlib.Module(module).device(device.name) == device
    assert device in pmlib.Module(module).devices
    assert device.range == (device.ranges[0] if device.ranges else None)


def test_installation_lists():
    installation = pmlib.Installation()
    assert (installation.folders, installation.architectures) == ([SAMPLE], ARCHS)
    assert installation.find_architectures(configuration=True) == ARCHS + ["Korvan:prom"]
    assert installation.modules[1] == pmlib.ModuleEntry("beta", "bravo", False, f"{SAMPLE}/beta/data/beta.acd")
    assert [e.name for e in installation.find_modules(unsupported=True)][-1] == "legacy"
    assert "basic" in installation.module_folders
    assert installation.locate("legacy") == pmlib.ModuleLocation(
        "legacy", f"{SAMPLE}/data/unsupported/legacy/data/legacy.acd",
        (f"{SAMPLE}/data/unsupported/legacy/data/",), True)
    assert installation.module("bravo").name == "beta"
    assert pmlib.Module("alpha").own_keys[:2] == [("ARCH_NAME", "alpha"), ("ARCH_FRIEND", "alpha")]


ERROR_ROWS = {  # what is called: the call, kind, code
    "Module": (lambda: pmlib.Module("nosuch"), ErrorKind.NO_SUCH_MODULE, 33),
    "from_levels": (lambda: pmlib.Part.from_levels("nosuch"), ErrorKind.NO_SUCH_MODULE, 33),
    "device": (lambda: pmlib.Module("alpha").device("xcab99e"), ErrorKind.NO_SUCH_DEVICE, 0),
    "Part.module": (lambda: pmlib.parse_part("xczz9").module, ErrorKind.NO_SUCH_MODULE, 0),
}


@pytest.mark.parametrize("call, kind, code", ERROR_ROWS.values(), ids=ERROR_ROWS.keys())
def test_errors_carry_kind_and_code(call, kind, code):
    with pmlib.capture_messages():
        with pytest.raises(pmlib.Error) as raised:
            call()
    assert (raised.value.kind, raised.value.code) == (kind, code)
    assert str(raised.value) == raised.value.message != ""


def test_messages_go_to_the_capture_else_the_logger_never_the_terminal(caplog, capfd):
    with pmlib.capture_messages() as outer:
        with pmlib.capture_messages() as inner:
            part = pmlib.parse_part("xcab40e-4-pq208", arch="gamma")
    assert inner == part.messages and outer == []
    assert [(m.kind, m.code) for m in inner] == [(pmlib.MessageKind.WARNING, 0)]
    with pytest.raises(pmlib.Error):
        pmlib.Module("nosuch")
    assert [(r.name, r.levelname) for r in caplog.records][:1] == [("pmlib", "ERROR")]
    assert '"nosuch"' in caplog.records[0].getMessage()
    assert capfd.readouterr() == ("", "")
