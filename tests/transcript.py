#!/usr/bin/env python3
"""Runs shell transcripts and compares what their commands print.

Transcripts (*.t), the tests of pmtool, are written as docs/pmtool.md describes; "> TEXT" right
after a command continues it, "!" alone is an empty line of standard error. In Markdown documents
(*.md) the commands are those in fenced blocks ("  $ COMMAND" in a list too), what they print both
streams merged. A block without commands after a line ending in "`PATH`:" is written to PATH; one
after "<!-- not run: REASON -->" is left alone. Each file runs in one bash in a fresh folder,
pmtool first on the PATH, with "set -o pipefail" and "compact_json" (its JSON input on one line);
placeholders() lists the names that stand for the run's own folders.

Usage: transcript.py --source DIR --build DIR FILE...  (status 1 when a command differs)
"""

import argparse
import os
import re
import shlex
import subprocess
import sys
import tempfile

COMMAND = re.compile(r"^( *)\$ (.*)$")
FILE_CAPTION = re.compile(r"`([^`\s]+)`:\s*$")
NOT_RUN = re.compile(r"^<!-- not run: .* -->$")
STATUS = re.compile(r"^\[(\d+)\]$")
# What every shell has before its first command.
PRELUDE = """set -o pipefail
compact_json() { python3 -c 'import json, sys; print(json.dumps(json.load(sys.stdin)))'; }"""


class Step:
    """One thing a file does: run a command, or write a file."""

    def __init__(self, line, command=None, path=None, text=None):
        self.line = line
        self.command, self.path, self.text = command, path, text
        # What a terminal shows (documents) or standard output (transcripts), standard error and
        # the exit status.
        self.expected, self.errors, self.status = [], [], 0


def fenced_blocks(lines):
    """(first line number, caption before the block, the block's lines) of each fenced block."""
    block, start, caption, last_text = None, 0, None, ""
    for number, line in enumerate(lines, 1):
        stripped = line.strip()
        if stripped.startswith("```"):
            if block is None:
                block, start, caption = [], number + 1, last_text
            else:
                yield start, caption, block
                block = None
            continue
        if block is not None:
            block.append(line)
        elif stripped:
            last_text = stripped


def document_steps(lines):
    steps = []
    for start, caption, block in fenced_blocks(lines):
        if NOT_RUN.match(caption or ""):
            continue
        file_match = FILE_CAPTION.search(caption or "")
        if file_match and not any(COMMAND.match(line) for line in block):
            steps.append(Step(start, path=file_match.group(1), text="\n".join(block) + "\n"))
            continue
        current, indent = None, ""
        for offset, line in enumerate(block):
            match = COMMAND.match(line)
            if match:
                indent = match.group(1)
                current = Step(start + offset, command=match.group(2))
                steps.append(current)
            elif current is not None:
                current.expected.append(line[len(indent):] if line.startswith(indent) else line)
    return steps


def transcript_steps(lines):
    steps, current = [], None
    for number, line in enumerate(lines, 1):
        if not line.strip() or line.startswith("#"):
            continue
        if line.startswith("$ "):
            current = Step(number, command=line[2:])
            steps.append(current)
        elif current is None:
            raise SystemExit(f"line {number}: output before any command")
        elif line.startswith("> ") and not (current.expected or current.errors):
            current.command += "\n" + line[2:]
        elif line == "!" or line.startswith("! "):
            current.errors.append(line[2:])
        elif STATUS.match(line):
            current.status = int(line[1:-1])
        else:
            current.expected.append("" if line == "<empty>" else line)
    return steps


class Shell:
    """One bash for a file; each command's output is read up to a marker line."""

    MARKER = "@@transcript-done@@"

    def __init__(self, cwd, env, streams, merged):
        self.merged = merged  # standard error goes with standard output, the status is not read
        self.out, self.err, self.status = (os.path.join(streams, name)
                                           for name in ("out", "err", "status"))
        self.process = subprocess.Popen(
            ["bash", "--noprofile", "--norc"], cwd=cwd, env=env, stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")

    def run(self, command):
        """What `command` printed: (its standard output, its standard error, its exit status)."""
        err = "&1" if self.merged else self.err
        self.process.stdin.write(f"{{ {command}\n}} >{self.out} 2>{err} </dev/null; "
                                 f"echo $? >{self.status}; echo {self.MARKER}\n")
        self.process.stdin.flush()
        for line in self.process.stdout:
            if line.rstrip("\n") == self.MARKER:
                break
        if self.merged:
            return lines_of(self.out), [], 0
        # An instrumented build's runtime complains when a command's limits stop its counts.
        errors = [line for line in lines_of(self.err)
                  if not line.startswith("libgcov profiling error:")]
        with open(self.status) as file:
            return lines_of(self.out), errors, int(file.read())

    def write(self, path, text):
        """Writes `text` to `path`, relative to the shell's folder, making its folder first."""
        quoted = shlex.quote(path)
        self.run(f"mkdir -p \"$(dirname {quoted})\" && cat > {quoted} <<'@@end-of-file@@'\n"
                 f"{text}@@end-of-file@@")

    def close(self):
        self.process.stdin.close()
        self.process.wait()


def lines_of(path):
    with open(path, encoding="utf-8", errors="replace", newline="") as file:
        return file.read().splitlines()


def line_fits(pattern, line):
    """Whether `line` fits `pattern`, whose leading or trailing "..." stands for any text."""
    pattern, line = pattern.rstrip(), line.rstrip()
    start, end = pattern.startswith("..."), pattern.endswith("...") and len(pattern) > 3
    middle = pattern[3 * start:len(pattern) - 3 * end]
    return (middle in line if start and end else line.endswith(middle) if start
            else line.startswith(middle) if end else pattern == line)


def matches(expected, actual):
    """Whether `actual` lines fit `expected`, where a line "..." stands for any number of lines."""
    if not expected:
        return not actual
    head, rest = expected[0], expected[1:]
    if head.strip() == "...":
        return any(matches(rest, actual[i:]) for i in range(len(actual) + 1))
    return bool(actual) and line_fits(head, actual[0]) and matches(rest, actual[1:])


def placeholders(source, build, scratch, transcript):
    """(placeholder, what it stands for) pairs, the longest meaning first, so that the build
    tree is named before the source tree around it."""
    pairs = [("<checkout>/build", build), ("<checkout>", source)]
    if transcript:
        pairs += [("<sample>", os.path.join(build, "sample")),
                  ("<work>", os.path.join(scratch, "work"))]
    pairs += [(f"/tmp/{name}", os.path.join(scratch, name)) for name in ("inst", "ovl")]
    return sorted(pairs, key=lambda pair: -len(pair[1]))


def replaced(text, pairs):
    for old, new in pairs:
        text = text.replace(old, new)
    return text


def shown(out, err, status):
    """The lines as a transcript writes them, indented."""
    lines = out + [f"! {line}" for line in err] + ([f"[{status}]"] if status else [])
    return "".join(f"    {line}".rstrip() + "\n" for line in lines)


def run_file(path, args):
    transcript = path.endswith(".t")
    with open(path, encoding="utf-8") as file:
        lines = file.read().splitlines()
    steps = transcript_steps(lines) if transcript else document_steps(lines)
    name = os.path.relpath(path, args.source)
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        folder = os.path.realpath(folder)
        work = os.path.join(folder, "work")
        os.makedirs(work)
        os.symlink(args.build, os.path.join(work, "build"))
        to_real = placeholders(args.source, args.build, folder, transcript)
        to_shown = [(real, placeholder) for placeholder, real in to_real]
        env = {key: value for key, value in os.environ.items() if key != "KORVAN_PATH"}
        env["PATH"] = os.path.join(args.build, "tools", "pmtool") + os.pathsep + env["PATH"]
        env["LC_ALL"] = "C"
        if transcript:
            env["KORVAN_PATH"] = os.path.join(args.build, "sample")
        shell = Shell(work, env, folder, merged=not transcript)
        shell.run(PRELUDE)
        try:
            for step in steps:
                if step.path is not None:
                    shell.write(replaced(step.path, to_real), step.text)
                    continue
                out, err, status = shell.run(replaced(step.command, to_real))
                out, err = ([replaced(line, to_shown) for line in lines] for lines in (out, err))
                if not (matches(step.expected, out) and matches(step.errors, err)
                        and status == step.status):
                    failures += 1
                    print(f"{name}:{step.line}: $ {step.command}\n  expected:\n"
                          f"{shown(step.expected, step.errors, step.status)}  got:\n"
                          f"{shown(out, err, status)}", end="")
        finally:
            shell.close()
    commands = sum(1 for step in steps if step.command is not None)
    print(f"{name}: {commands} commands, {failures} differ")
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    args.source, args.build = os.path.realpath(args.source), os.path.realpath(args.build)
    failures = sum(run_file(os.path.abspath(path), args) for path in args.files)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
