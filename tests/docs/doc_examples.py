#!/usr/bin/env python3
"""Runs the shell examples of Markdown documents and compares what they print.

In a fenced block, a line "$ COMMAND" (or "  $ COMMAND" inside a list) is a command and the lines
after it, up to the next command or the end of the block, are what it prints: standard output
and standard error as a terminal shows them. A line "..." stands for any number of lines, and a
line ending in "..." for any line that starts with what comes before it.

The commands of one document run in order in one shell, in a fresh folder that holds `build` (a
link to the build tree), with pmtool first on the PATH and no KORVAN_PATH. A block without
commands right after a line that ends in "`PATH`:" is written to PATH when the run reaches it. A block right
after a line "<!-- not run: REASON -->" is left alone. Placeholders tie the documents to that
shell: "<checkout>" is the source tree (its `build/` the build tree in use), and "/tmp/inst" and
"/tmp/ovl" are fresh folders of the run's own.

Usage: doc_examples.py --source DIR --build DIR DOC...
Exit status: 0 when every example prints what its document shows, 1 otherwise.
"""

import argparse
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

COMMAND = re.compile(r"^( *)\$ (.*)$")
FILE_CAPTION = re.compile(r"`([^`\s]+)`:\s*$")
NOT_RUN = re.compile(r"^<!-- not run: .* -->$")


class Step:
    """One thing a document does: run a command, or write a file."""

    def __init__(self, doc, line, command=None, path=None, text=None):
        self.doc, self.line = doc, line
        self.command, self.path, self.text = command, path, text
        self.expected = []


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


def steps_of(doc):
    with open(doc, encoding="utf-8") as file:
        lines = file.read().splitlines()
    steps = []
    for start, caption, block in fenced_blocks(lines):
        if NOT_RUN.match(caption or ""):
            continue
        file_match = FILE_CAPTION.search(caption or "")
        if file_match and not any(COMMAND.match(line) for line in block):
            steps.append(Step(doc, start, path=file_match.group(1), text="\n".join(block) + "\n"))
            continue
        current, indent = None, ""
        for offset, line in enumerate(block):
            match = COMMAND.match(line)
            if match:
                indent = match.group(1)
                current = Step(doc, start + offset, command=match.group(2))
                steps.append(current)
            elif current is not None:
                current.expected.append(line[len(indent):] if line.startswith(indent) else line)
    return steps


class Shell:
    """One bash for a document; each command's output is read up to a marker line."""

    MARKER = "@@doc-example-done@@"

    def __init__(self, cwd, env):
        self.process = subprocess.Popen(
            ["bash", "--noprofile", "--norc"], cwd=cwd, env=env, stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")

    def run(self, command):
        self.process.stdin.write(f"{{ {command}\n}} 2>&1 </dev/null\necho; echo {self.MARKER}\n")
        self.process.stdin.flush()
        output = []
        for line in self.process.stdout:
            if line.rstrip("\n") == self.MARKER:
                break
            output.append(line.rstrip("\n"))
        if output and output[-1] == "":
            output.pop()  # the echo before the marker
        return output

    def write(self, path, text):
        """Writes `text` to `path`, relative to the shell's folder, making its folder first."""
        quoted = shlex.quote(path)
        self.run(f"mkdir -p \"$(dirname {quoted})\" && cat > {quoted} <<'@@end-of-file@@'\n"
                 f"{text}@@end-of-file@@")

    def close(self):
        self.process.stdin.close()
        self.process.wait()


def matches(expected, actual):
    """Whether `actual` lines fit `expected`, where "..." lines and line ends are wildcards."""
    if not expected:
        return not actual
    head, rest = expected[0], expected[1:]
    if head.strip() == "...":
        return any(matches(rest, actual[i:]) for i in range(len(actual) + 1))
    if not actual:
        return False
    if head.endswith("...") and actual[0].startswith(head[:-3]):
        return matches(rest, actual[1:])
    return head.rstrip() == actual[0].rstrip() and matches(rest, actual[1:])


class Placeholders:
    def __init__(self, source, build, scratch):
        pairs = [("<checkout>/build", build), ("<checkout>", source)]
        pairs += [(f"/tmp/{name}", os.path.join(scratch, name)) for name in ("inst", "ovl")]
        # The longest first, so that the build tree is named before the source tree around it.
        self.pairs = sorted(pairs, key=lambda pair: -len(pair[1]))

    def to_real(self, text):
        for placeholder, real in self.pairs:
            text = text.replace(placeholder, real)
        return text

    def to_shown(self, text):
        for placeholder, real in self.pairs:
            text = text.replace(real, placeholder)
        return text


def run_document(doc, args):
    steps = steps_of(doc)
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        folder = os.path.realpath(folder)
        work = os.path.join(folder, "work")
        os.makedirs(work)
        os.symlink(args.build, os.path.join(work, "build"))
        names = Placeholders(os.path.realpath(args.source), os.path.realpath(args.build), folder)
        env = {key: value for key, value in os.environ.items() if key != "KORVAN_PATH"}
        env["PATH"] = os.path.join(args.build, "tools", "pmtool") + os.pathsep + env["PATH"]
        env["LC_ALL"] = "C"
        shell = Shell(work, env)
        try:
            for step in steps:
                where = f"{os.path.relpath(doc, args.source)}:{step.line}"
                if step.path is not None:
                    shell.write(names.to_real(step.path), step.text)
                    continue
                actual = [names.to_shown(line) for line in shell.run(names.to_real(step.command))]
                if not matches(step.expected, actual):
                    failures += 1
                    print(f"{where}: $ {step.command}\n  the document shows:")
                    print("".join(f"    {line}\n" for line in step.expected), end="")
                    print("  it prints:")
                    print("".join(f"    {line}\n" for line in actual), end="")
        finally:
            shell.close()
    commands = sum(1 for step in steps if step.command is not None)
    print(f"{os.path.relpath(doc, args.source)}: {commands} commands, {failures} differ")
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("docs", nargs="+")
    args = parser.parse_args()
    if not shutil.which("bash"):
        print("doc_examples.py: bash is needed", file=sys.stderr)
        return 1
    failures = sum(run_document(os.path.abspath(doc), args) for doc in args.docs)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
