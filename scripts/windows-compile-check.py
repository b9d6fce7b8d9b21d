#!/usr/bin/env python3
"""Compiles every source file under src/ for Windows, syntax only.

    scripts/windows-compile-check.py BUILD_DIR

Solvane is built and tested on Linux only, yet it is meant to build on
Windows too. This check keeps it so: MinGW-w64's g++
(x86_64-w64-mingw32-g++-posix, Debian's g++-mingw-w64-x86-64-posix) compiles
each file under src/ with -fsyntax-only against Debian's Qt 6 headers, with
the include paths and definitions the build gives it in
BUILD_DIR/compile_commands.json. So it runs after a build: the moc output
and solvane_version.h must be there.

/usr/include itself never goes on MinGW's search path, so that glibc's
headers cannot stand in for a POSIX include that Windows lacks. Qt's headers
sit in folders of their own below it; libsndfile's one header is copied into
a folder of its own in the build directory.

The simulator, the tests, the benchmark and the fuzzers are left out: they
drive pseudo-terminals and POSIX processes and are not meant for Windows.

Exits 1 naming each file that fails (or that the build does not compile, and
so cannot be checked), 0 when all compile.
"""

import concurrent.futures
import json
import os
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

COMPILER = "x86_64-w64-mingw32-g++-posix"
# As Qt's CMake files define them for every target on Windows.
WINDOWS_DEFINES = ["-DUNICODE", "-D_UNICODE"]
SYSTEM_INCLUDE_DIRS = {"/usr/include", "/usr/local/include"}


def arguments_of(entry):
    if "arguments" in entry:
        return list(entry["arguments"])
    return shlex.split(entry["command"])


def windows_flags(arguments, directory):
    """The include paths and definitions of one Linux compile command; the
    rest (optimisation, -fPIC, Debian's hardening, sanitizers, the output)
    means nothing for a syntax check on another target, or breaks it."""
    flags = []
    args = iter(arguments[1:])
    for arg in args:
        for option in ("-I", "-isystem", "-iquote", "-D", "-U", "-include"):
            if arg == option:
                value = next(args, "")
                break
            if arg.startswith(option) and option in ("-I", "-D", "-U"):
                value = arg[len(option):]
                break
        else:
            continue
        if option in ("-I", "-isystem", "-iquote"):
            path = os.path.normpath(os.path.join(directory, value))
            if path in SYSTEM_INCLUDE_DIRS:
                continue
            value = path
        elif option == "-D" and value.startswith("_FORTIFY_SOURCE"):
            continue
        flags += [option, value]
    return flags


def sndfile_folder(build_dir):
    """A folder holding only libsndfile's header, or None without one."""
    try:
        include_dir = subprocess.run(["pkg-config", "--variable=includedir", "sndfile"], capture_output=True,
                                     text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        include_dir = "/usr/include"
    header = Path(include_dir) / "sndfile.h"
    if not header.is_file():
        return None
    folder = Path(build_dir) / "windows-compile-check" / "sndfile"
    folder.mkdir(parents=True, exist_ok=True)
    shutil.copy2(header, folder / "sndfile.h")
    return folder


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    build_dir = Path(sys.argv[1]).resolve()
    source_dir = (Path(__file__).resolve().parent.parent / "src").resolve()
    if shutil.which(COMPILER) is None:
        sys.exit(f"{COMPILER} is missing: scripts/setup.sh installs it (g++-mingw-w64-x86-64-posix)")
    try:
        entries = json.loads((build_dir / "compile_commands.json").read_text())
    except OSError as error:
        sys.exit(f"no compile commands in {build_dir}: build first ({error})")

    commands = {}
    for entry in entries:
        path = Path(entry["directory"], entry["file"]).resolve()
        if source_dir in path.parents:
            commands.setdefault(path, entry)
    sources = sorted(p.resolve() for p in source_dir.rglob("*.cpp"))
    unbuilt = [p for p in sources if p not in commands]

    extra = []
    folder = sndfile_folder(build_dir)
    if folder is not None:
        extra = ["-isystem", str(folder)]

    def check(path):
        entry = commands[path]
        command = [COMPILER, "-std=c++20", "-fsyntax-only", "-Wall", "-Wextra"] + WINDOWS_DEFINES + extra \
            + windows_flags(arguments_of(entry), entry["directory"]) + [str(path)]
        result = subprocess.run(command, cwd=entry["directory"], capture_output=True, text=True)
        return path, result.returncode, result.stderr

    failed = []
    jobs = max(1, min(2, os.cpu_count() or 1))
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        for path, code, said in pool.map(check, [p for p in sources if p in commands]):
            name = path.relative_to(source_dir.parent)
            if code != 0:
                failed.append(name)
                print(f"FAILED {name}\n{said}", flush=True)
            elif said.strip():
                print(f"warnings in {name}\n{said}", flush=True)

    for path in unbuilt:
        print(f"NOT CHECKED {path.relative_to(source_dir.parent)}: not in {build_dir}/compile_commands.json")
    checked = len(sources) - len(unbuilt)
    print(f"Windows compile check: {checked - len(failed)} of {len(sources)} files under src/ compile")
    if failed or unbuilt:
        for name in failed:
            print(f"  does not compile for Windows: {name}")
        for path in unbuilt:
            print(f"  not built here, so not checked: {path.relative_to(source_dir.parent)}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
