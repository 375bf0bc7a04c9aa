#!/usr/bin/env python3
"""check_parts: checks the part names of flow project files ("part = NAME" lines).

Prints each part as ok, or where it fails with the closest valid choice at that level; exits 1
when some part is bad, 2 when the installation cannot be read.
"""

import difflib
import sys

import pmlib


def part_lines(path):
    """(line number, part name) of each "part = NAME" line of the project file PATH."""
    with open(path, encoding="utf-8") as project:
        for number, line in enumerate(project, 1):
            key, _, value = line.partition("=")
            if key.strip() == "part" and not line.lstrip().startswith("#"):
                yield number, value.strip()


def verdict(part):
    """What to say about PART: "ok", or its failing level and the closest valid choice."""
    if part.fails_at is None:
        return "ok"
    if part.rejected is None:
        return f"no {part.fails_at.value} given; choices: {', '.join(part.choices)}"
    closest = difflib.get_close_matches(part.rejected, part.choices, n=1, cutoff=0)
    return (f'fails at the {part.fails_at.value}: "{part.rejected}"; '
            f"closest choice: {closest[0] if closest else 'none'}")


def main(paths):
    bad = 0
    for path in paths:
        for number, name in part_lines(path):
            with pmlib.capture_messages():  # the library's own remarks are not the report
                part = pmlib.parse_part(name)
            print(f"{path}:{number}: {name} {verdict(part)}")
            bad += part.fails_at is not None
    return 1 if bad else 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except pmlib.Error as error:
        sys.exit(f"check_parts: {error}")
