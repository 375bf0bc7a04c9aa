"""python3 -m pmlib PART...: what pmlib makes of each part name (a demonstration).

Exits 0 when every part is valid, 1 when one fails or the installation cannot be read, 2
without a part name.
"""

import sys

import pmlib

FIELDS = ("arch", "device", "package", "speed", "valid", "fails_at", "rejected", "choices",
          "databook_name", "subfamily", "range")


def show(name: str) -> bool:
    """Prints the fields of part NAME and the library's messages; True when it is valid."""
    with pmlib.capture_messages() as messages:
        part = pmlib.parse_part(name)
        values = {field: getattr(part, field) for field in FIELDS}
    print(name)
    for field, value in values.items():
        if isinstance(value, pmlib.Level):
            value = value.value
        elif isinstance(value, list):
            value = " ".join(value)
        print(f"  {field + ':':15}{'-' if value is None else value}")
    for message in messages:
        print(f"  message:       {message.text}")
    return part.valid


def main(argv) -> int:
    if not argv or argv[0] in ("-h", "--help"):
        print("usage: python3 -m pmlib PART...", file=sys.stderr)
        return 2
    try:
        results = [show(name) for name in argv]
    except pmlib.Error as error:
        print(f"pmlib: {error} (code {error.code})", file=sys.stderr)
        return 1
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
