"""Type stubs of pmlib: the device data of a programmable-logic installation."""

import enum
import logging
import os
from contextlib import AbstractContextManager
from typing import Iterator, List, Optional, Sequence, Tuple, Union

logger: logging.Logger

class ModuleType(enum.Enum):
    FPGA = "FPGA"
    CPLD = "CPLD"
    CONFIG = "CONFIG"
    OTHER = "OTHER"

class Level(enum.Enum):
    ARCHITECTURE = "architecture"
    DEVICE = "device"
    PACKAGE = "package"
    SPEED = "speed"

class ErrorKind(enum.Enum):
    NO_INSTALLATION = "no installation"
    NO_SUCH_MODULE = "no such module"
    UNREADABLE_DEFINITION = "unreadable definition"
    NO_SUCH_DEVICE = "no such device"

class MessageKind(enum.Enum):
    FATAL = "fatal"
    USER_FATAL = "user fatal"
    WARNING = "warning"
    STATUS = "status"
    INTERNAL = "internal"
    DEBUG = "debug"

class Error(Exception):
    """A call that cannot produce a result; a failing part name is no error."""
    message: str
    kind: ErrorKind
    code: int
    def __init__(self, message: str, kind: ErrorKind, code: int) -> None: ...

class Message:
    """One library message; text without its final newline."""
    kind: MessageKind
    code: int
    text: str
    domain: str
    def __init__(self, kind: MessageKind, code: int, text: str, domain: str) -> None: ...

class ModuleEntry:
    """One installed module as the installation lists it."""
    name: str
    alias: Optional[str]
    unsupported: bool
    definition: str
    def __init__(self, name: str, alias: Optional[str], unsupported: bool, definition: str) -> None: ...

class ModuleLocation:
    """Where the installation keeps a module."""
    name: str
    definition: Optional[str]
    data_folders: Tuple[str, ...]
    unsupported: bool
    def __init__(self, name: str, definition: Optional[str], data_folders: Tuple[str, ...],
                 unsupported: bool) -> None: ...

class Device:
    """One device of a module."""
    name: str
    internal_names: Tuple[str, ...]
    packages: Tuple[str, ...]
    speeds: Tuple[str, ...]
    speed_grades: Tuple[str, ...]
    subfamily: Optional[str]
    ranges: Tuple[str, ...]
    def __init__(self, name: str, internal_names: Tuple[str, ...], packages: Tuple[str, ...],
                 speeds: Tuple[str, ...], speed_grades: Tuple[str, ...],
                 subfamily: Optional[str], ranges: Tuple[str, ...]) -> None: ...
    @property
    def range(self) -> Optional[str]:
        """The default range (the first of ranges), or None."""

class SpeedFlags:
    """The flags of a device's speed file."""
    minimum_speed: bool
    speed_411: bool
    def __init__(self, minimum_speed: bool, speed_411: bool) -> None: ...

class Module:
    """One installed module: its definition merged with its friends'."""
    def __init__(self, name: str, unsupported: bool = False) -> None: ...
    @property
    def name(self) -> str: ...
    @property
    def alias(self) -> Optional[str]: ...
    @property
    def unsupported(self) -> bool: ...
    @property
    def definition(self) -> str: ...
    @property
    def vendor(self) -> Optional[str]: ...
    @property
    def family(self) -> Optional[str]: ...
    @property
    def type(self) -> ModuleType: ...
    @property
    def type_name(self) -> str: ...
    @property
    def friends(self) -> List[str]: ...
    def value(self, key: str, field: Optional[Tuple[str, int]] = None,
              subfield: Optional[Tuple[str, int]] = None) -> Optional[str]:
        """KEY's value with friends merged; field/subfield = (separator, index)."""
    @property
    def own_keys(self) -> List[Tuple[str, str]]: ...
    @property
    def device_names(self) -> List[str]: ...
    def device(self, name: str) -> Device: ...
    @property
    def devices(self) -> List[Device]: ...
    def files(self, kind: str) -> List[str]:
        """Every existing copy of a data file: a file name or an extension ("acd")."""
    def data_file(self, kind: str) -> Optional[str]: ...
    def help_file(self, name: str) -> Optional[str]: ...
    def program_file(self, name: str) -> Optional[str]: ...
    def library_file(self, name: str) -> Optional[str]: ...
    def parts(self) -> Iterator[Part]:
        """Every valid full part, as `pmtool parts --all` lists them."""

class Part:
    """A part name read into architecture, device, package and speed."""
    @staticmethod
    def from_levels(arch: str, device: Optional[str] = None, package: Optional[str] = None,
                    speed: Optional[str] = None, unsupported: bool = True) -> Part: ...
    @property
    def arch(self) -> Optional[str]: ...
    @property
    def device(self) -> Optional[str]: ...
    @property
    def package(self) -> Optional[str]: ...
    @property
    def speed(self) -> Optional[str]: ...
    @property
    def internal_names(self) -> List[str]: ...
    @property
    def valid(self) -> bool: ...
    @property
    def valid_to_package(self) -> bool: ...
    @property
    def fails_at(self) -> Optional[Level]: ...
    @property
    def rejected(self) -> Optional[str]: ...
    @property
    def choices(self) -> List[str]: ...
    def complete(self) -> Optional[Part]: ...
    @property
    def composed_name(self) -> Optional[str]: ...
    @property
    def databook_name(self) -> Optional[str]: ...
    @property
    def subfamily(self) -> Optional[str]: ...
    @property
    def range(self) -> Optional[str]: ...
    @property
    def speed_flags(self) -> Optional[SpeedFlags]: ...
    @property
    def module(self) -> Module: ...
    @property
    def messages(self) -> List[Message]: ...

def parse_part(name: str, arch: Optional[str] = None, unsupported: Optional[bool] = None,
               configuration: bool = False) -> Part:
    """Reads part name NAME as a design tool does; raises Error only without an installation."""

def capture_messages() -> AbstractContextManager[List[Message]]:
    """Collects this thread's library messages inside a with block."""

class Installation:
    """The installation: KORVAN_PATH, or the folders given (set for the whole process)."""
    def __init__(self, folders: Optional[Sequence[Union[str, os.PathLike[str]]]] = None) -> None: ...
    @property
    def folders(self) -> List[str]: ...
    @property
    def modules(self) -> List[ModuleEntry]: ...
    def find_modules(self, key: Optional[str] = None, value: Optional[str] = None,
                     base_mode: bool = False, unsupported: bool = False) -> List[ModuleEntry]: ...
    @property
    def architectures(self) -> List[str]: ...
    def find_architectures(self, key: Optional[str] = None, value: Optional[str] = None,
                           base_mode: bool = False, configuration: bool = False) -> List[str]: ...
    def module(self, name: str, unsupported: bool = False) -> Module: ...
    @property
    def module_folders(self) -> List[str]: ...
    def locate(self, name: str) -> ModuleLocation: ...
