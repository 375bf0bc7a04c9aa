"""pmlib for Python: the device data of a programmable-logic installation.

Read part names, list what an installation and its modules offer, and find a module's files::

    import pmlib
    part = pmlib.parse_part("xcab40e-4-pq208")
    if part.fails_at is not None:
        print(part.fails_at.value, "fails; choices:", part.choices)

The installation is what Installation(folders) set, else KORVAN_PATH (read at the first
lookup), else the sample installation bundled beside the package (as pmtool does).
The library's messages never go to the terminal: a ``with pmlib.capture_messages() as
messages:`` block collects this thread's, the rest go to the "pmlib" logger (silent unless the
script configures logging), and each Part keeps those of its own making in ``part.messages``.

Library calls release the interpreter lock, so threads work at once; calls that set up modules
and parts take one lock inside the binding, since the library sets those up one at a time.
"""

from __future__ import annotations

import dataclasses
import enum
import logging
import os
import threading
from contextlib import contextmanager
from typing import Iterator, List, Optional, Sequence, Tuple, Union

from ._pmlib import Module, Part, parse_part
from . import _pmlib

__all__ = [
    "Device", "Error", "ErrorKind", "Installation", "Level", "Message", "MessageKind", "Module",
    "ModuleEntry", "ModuleLocation", "ModuleType", "Part", "SpeedFlags", "capture_messages",
    "parse_part",
]

logger = logging.getLogger("pmlib")
logger.addHandler(logging.NullHandler())


def _bundled_sample() -> Optional[str]:
    """The sample installation beside the package: <prefix>/share/pmlib/sample for the package
    installed in <prefix>/lib/python3/dist-packages, the build tree's sample/ for build/python."""
    here = os.path.dirname(os.path.abspath(__file__))
    for candidate in (os.path.join(here, os.pardir, os.pardir, os.pardir, os.pardir, "share",
                                   "pmlib", "sample"),
                      os.path.join(here, os.pardir, os.pardir, "sample")):
        if os.path.isdir(candidate):
            return os.path.normpath(candidate)
    return None


def _choose_installation() -> str:
    if os.environ.get("KORVAN_PATH", "").strip(":"):
        return "KORVAN_PATH"
    sample = _bundled_sample()
    if sample is None:
        return "none"
    _pmlib.set_installation([sample])
    return "bundled sample"


_installation_source = _choose_installation()


class ModuleType(enum.Enum):
    """A module's ARCH_TYPE."""

    FPGA = "FPGA"      #: also when ARCH_TYPE is absent or empty
    CPLD = "CPLD"
    CONFIG = "CONFIG"  #: configuration memories
    OTHER = "OTHER"    #: any other text (Module.type_name has it)


class Level(enum.Enum):
    """The levels of a part, outermost first; the values are the levels' names."""

    ARCHITECTURE = "architecture"
    DEVICE = "device"
    PACKAGE = "package"
    SPEED = "speed"


class ErrorKind(enum.Enum):
    """Why a call could not produce a result."""

    NO_INSTALLATION = "no installation"          #: no installation folder is set
    NO_SUCH_MODULE = "no such module"            #: no installation holds that module or alias
    UNREADABLE_DEFINITION = "unreadable definition"  #: its definition does not read
    NO_SUCH_DEVICE = "no such device"            #: the module has no device of that name


class MessageKind(enum.Enum):
    """The kind of a library message."""

    FATAL = "fatal"
    USER_FATAL = "user fatal"
    WARNING = "warning"
    STATUS = "status"
    INTERNAL = "internal"
    DEBUG = "debug"


class Error(Exception):
    """What a call raises when it cannot produce a result (a failing part name is no error).

    ``kind`` is the ErrorKind, ``code`` the library's message code (33 for a module installed
    nowhere; 0 where the library gives none) and ``message`` its text (``str(error)`` too).
    """

    def __init__(self, message: str, kind: ErrorKind, code: int) -> None:
        super().__init__(message)
        self.message = message
        self.kind = kind
        self.code = code


@dataclasses.dataclass(frozen=True)
class Message:
    """One message of the library: its kind, code (fatal kinds only, else 0), text (without the
    final newline) and domain ("PersonalityModule" for the library's own)."""

    kind: MessageKind
    code: int
    text: str
    domain: str


@dataclasses.dataclass(frozen=True)
class ModuleEntry:
    """One installed module as the installation lists it."""

    name: str                 #: the module's folder name
    alias: Optional[str]      #: the alias its definition registers
    unsupported: bool         #: found under data/unsupported/
    definition: str           #: the definition file the library reads


@dataclasses.dataclass(frozen=True)
class ModuleLocation:
    """Where the installation keeps a module, whether or not its definition reads."""

    name: str
    definition: Optional[str]       #: the definition the library reads; None when none exists
    data_folders: Tuple[str, ...]   #: its data folders in every root, first root first
    unsupported: bool               #: only the unsupported folders hold it


@dataclasses.dataclass(frozen=True)
class Device:
    """One device of a module as the part levels see it."""

    name: str                        #: the module's device name ("xcab40e")
    internal_names: Tuple[str, ...]  #: at least one
    packages: Tuple[str, ...]        #: the packages a part of it may have
    speeds: Tuple[str, ...]          #: the speed grades of its first package (disallowed left out)
    speed_grades: Tuple[str, ...]    #: every grade its speed file lists
    subfamily: Optional[str]
    ranges: Tuple[str, ...]          #: the module's ranges ("C", "I")

    @property
    def range(self) -> Optional[str]:
        """The default range (the first of ranges), or None when the module lists none."""
        return self.ranges[0] if self.ranges else None


@dataclasses.dataclass(frozen=True)
class SpeedFlags:
    """The flags of a device's speed file."""

    minimum_speed: bool  #: it lists a "-0" grade
    speed_411: bool      #: it lists a "-411" grade


_captures = threading.local()


@contextmanager
def capture_messages() -> Iterator[List[Message]]:
    """Collects the messages the library issues on this thread inside the block::

        with pmlib.capture_messages() as messages:
            part = pmlib.parse_part(name)
        for message in messages: ...

    Blocks nest (the innermost collects); other threads' messages are not collected.
    """
    stack = _captures.__dict__.setdefault("stack", [])
    collected: List[Message] = []
    stack.append(collected)
    try:
        yield collected
    finally:
        stack.pop()


_LOG_LEVELS = {
    MessageKind.FATAL: logging.ERROR, MessageKind.USER_FATAL: logging.ERROR,
    MessageKind.INTERNAL: logging.ERROR, MessageKind.WARNING: logging.WARNING,
    MessageKind.STATUS: logging.INFO, MessageKind.DEBUG: logging.DEBUG,
}


def _deliver(messages: List[Message]) -> None:
    """Where the binding hands each call's messages: this thread's capture, else the logger."""
    stack = getattr(_captures, "stack", None)
    if stack:
        stack[-1].extend(messages)
        return
    for message in messages:
        logger.log(_LOG_LEVELS[message.kind], "%s", message.text)


class Installation:
    """The installation: its folders, modules and architectures.

    ``Installation()`` is the one KORVAN_PATH names; ``Installation([folder, ...])`` sets the
    folders (first overriding, last the base installation) for the whole process. The library's
    caches are keyed by names and live for the process: set the folders before the first lookup.
    """

    def __init__(self, folders: Optional[Sequence[Union[str, "os.PathLike[str]"]]] = None) -> None:
        global _installation_source
        if folders is not None:
            _pmlib.set_installation([os.fspath(folder) for folder in folders])
            _installation_source = "set by the program"

    @property
    def source(self) -> str:
        """Where the folders came from: "set by the program", "KORVAN_PATH", "bundled sample"
        (KORVAN_PATH unset or empty) or "none"."""
        return _installation_source

    @property
    def folders(self) -> List[str]:
        """The installation folders, first overriding, last the base installation."""
        return _pmlib.installation()

    @property
    def modules(self) -> List[ModuleEntry]:
        """The installed modules (unsupported ones left out), in byte order of their names."""
        return _pmlib.modules()

    def find_modules(self, key: Optional[str] = None, value: Optional[str] = None,
                     base_mode: bool = False, unsupported: bool = False) -> List[ModuleEntry]:
        """The modules whose definition has KEY (with VALUE, ignoring case); base_mode adds
        BASE_MODE TRUE modules, unsupported the unsupported ones."""
        return _pmlib.modules(key, value, base_mode, unsupported)

    @property
    def architectures(self) -> List[str]:
        """The installed architectures as "VENDOR:FAMILY", in byte order."""
        return _pmlib.architectures()

    def find_architectures(self, key: Optional[str] = None, value: Optional[str] = None,
                           base_mode: bool = False, configuration: bool = False) -> List[str]:
        """The architectures whose definition has KEY (with VALUE); base_mode and configuration
        add base-mode and configuration architectures."""
        return _pmlib.architectures(key, value, base_mode, configuration)

    def module(self, name: str, unsupported: bool = False) -> Module:
        """The module NAME (a name or an alias); raises Error when none holds it."""
        return Module(name, unsupported)

    @property
    def module_folders(self) -> List[str]:
        """Every module folder of every root, whether its definition reads or not."""
        return _pmlib.module_folders()

    def locate(self, name: str) -> ModuleLocation:
        """Where the installation keeps module NAME; reads no definition."""
        return _pmlib.locate_module(name)

    def __repr__(self) -> str:
        return f"Installation({self.folders!r}, source={self.source!r})"


_NEXT_LEVEL = (Level.DEVICE, Level.PACKAGE, Level.SPEED)


def _module_parts(self: Module) -> Iterator[Part]:
    """Every valid full part of the module, device by device, package by package, as
    ``pmtool parts --all`` lists them (``str(part)`` is the listed name)."""

    def walk(levels: List[str]) -> Iterator[Part]:
        part = Part.from_levels(self.name, *levels)
        if len(levels) == len(_NEXT_LEVEL):
            if part.valid:
                yield part
            return
        if part.fails_at is not _NEXT_LEVEL[len(levels)] or part.rejected is not None:
            return  # a given level failed: nothing below it is a part
        for choice in part.choices:
            yield from walk(levels + [choice])

    return walk([])


Module.parts = _module_parts
