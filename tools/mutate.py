#!/usr/bin/env python3
"""Mutation check: does the test suite notice a deliberate fault in the product code?

For each fault in tools/mutations.txt (or those chosen with --only) the product is changed by one small edit,
rebuilt incrementally and tested; a fault the tests do not notice is behaviour no test holds.

The repository's tracked files are copied once into a scratch directory, which is configured and built
once (Release, tests on: without debug information each fault relinks faster). The unchanged suite is
run first (the baseline): a suite that fails without any fault cannot judge one. Then, per fault: apply
the edit, `cmake --build -j N` (a fault that does not compile is "not built"), `ctest -LE large
--stop-on-failure` within a time limit ("caught" with the first failing test, or "missed"), and revert
the edit.

A reverted file gets a fresh modification time, not its old one: the objects built from the faulty text
are newer than the old time, so make would keep them and every later fault would be tested on top of this
one. The next fault's build therefore recompiles the reverted file along with its own (still incremental).

Standard library only. Run `tools/mutate.py --help` for the options; README "Mutation check" for usage.
"""

import argparse
import base64
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
PRODUCT_FOLDERS = ("common", "fileio", "archive", "core", "pipeline", "dialogs", "app")
FIELDS = ("file", "feel", "original", "replacement")

CAUGHT, MISSED, NOT_BUILT = "caught", "missed", "not built"


class FaultFileError(Exception):
    pass


@dataclass
class Fault:
    id: str
    file: str
    feel: str
    original: str
    replacement: str
    line: int  # where its entry starts in the faults file

    @property
    def folder(self):
        return self.file.split("/", 1)[0]


@dataclass
class Result:
    fault: Fault
    status: str
    failing_test: str
    seconds: float


def load_faults(path):
    """Parses the faults file: blocks of "[id]" followed by "key: value" lines (see its header)."""
    faults, current, seen = [], None, set()

    def finish():
        if current is None:
            return
        missing = [f for f in FIELDS if f not in current]
        if missing:
            raise FaultFileError(f"{path}:{current['line']}: [{current['id']}] lacks {', '.join(missing)}")
        faults.append(Fault(**current))

    for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if not raw.strip() or raw.startswith("#"):
            continue
        header = re.fullmatch(r"\[([A-Za-z0-9_.-]+)\]", raw.strip())
        if header:
            finish()
            if header.group(1) in seen:
                raise FaultFileError(f"{path}:{number}: id {header.group(1)} appears twice")
            seen.add(header.group(1))
            current = {"id": header.group(1), "line": number}
            continue
        key, separator, value = raw.partition(": ")
        if current is None or not separator or key not in FIELDS:
            raise FaultFileError(f"{path}:{number}: expected '[id]' or one of {', '.join(FIELDS)}: {raw!r}")
        if key in current:
            raise FaultFileError(f"{path}:{number}: {key} given twice for [{current['id']}]")
        current[key] = value  # exact: everything after "key: ", leading spaces included
    finish()
    return faults


def refusal(fault, text):
    """Why `fault` cannot be applied to `text` (the content of its file), or None."""
    if fault.folder not in PRODUCT_FOLDERS:
        return f"{fault.file} is not in a product folder ({', '.join(PRODUCT_FOLDERS)})"
    if text is None:
        return f"{fault.file} does not exist"
    if fault.original == fault.replacement:
        return "the replacement equals the original"
    count = text.count(fault.original)
    if count != 1:
        return f"the original text occurs {count} times in {fault.file} (it must occur exactly once)"
    return None


def read_text(path):
    try:
        return path.read_text(encoding="utf-8")
    except FileNotFoundError:
        return None


def tracked_files():
    output = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, check=True, capture_output=True).stdout
    return [name for name in output.decode("utf-8").split("\0") if name]


def sync_sources(source_dir):
    """Makes source_dir hold exactly the tracked files. Only what differs is written (with a fresh time),
    so a reused scratch directory rebuilds only what changed since."""
    names = tracked_files()
    written = 0
    for name in names:
        origin, copy = ROOT / name, source_dir / name
        if not origin.is_file():  # deleted in the working tree but still tracked
            continue
        data = origin.read_bytes()
        if copy.is_file() and copy.read_bytes() == data:
            continue
        copy.parent.mkdir(parents=True, exist_ok=True)
        copy.write_bytes(data)
        shutil.copymode(origin, copy)
        written += 1
    wanted = {source_dir / name for name in names}
    for path in list(source_dir.rglob("*")):  # the publisher key stays: the scratch build trusts it
        if path.is_file() and path not in wanted and path.relative_to(source_dir).parts[0] != "build-key":
            path.unlink()
    return len(names), written


def new_log(path):
    """An empty log opened for appending: the commands it runs write to the same file between our lines."""
    path.unlink(missing_ok=True)
    return open(path, "a", encoding="utf-8")


def run_logged(command, cwd, log, time_limit=None):
    """Runs command in its own process group, output to the open file `log`; returns (exit status or None
    when the time limit ended it, output). On the time limit the whole group is ended."""
    log.write(f"$ {shlex.join(str(c) for c in command)}\n")
    log.flush()
    start = os.fstat(log.fileno()).st_size
    process = subprocess.Popen(command, cwd=cwd, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    try:
        status = process.wait(timeout=time_limit)
    except subprocess.TimeoutExpired:
        stop_group(process)
        status = None
    except BaseException:
        stop_group(process)
        raise
    with open(log.name, "rb") as reread:
        reread.seek(start)
        return status, reread.read().decode("utf-8", errors="replace")


def stop_group(process):
    for sig, grace in ((signal.SIGTERM, 15), (signal.SIGKILL, 15)):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            return
        try:
            process.wait(timeout=grace)
            return
        except subprocess.TimeoutExpired:
            continue


TEST_LINE = re.compile(r"Test\s+#\d+: (\S+)\s+\.*\s*(.*?)\s+[\d.]+ sec\s*$")
START_LINE = re.compile(r"^\s*Start\s+\d+: (\S+)")


def read_ctest_output(output):
    """(number of tests finished, first failed test or None, last test started)."""
    finished, failed, started = 0, None, None
    for line in output.splitlines():
        start = START_LINE.match(line)
        if start:
            started = start.group(1)
        test = TEST_LINE.search(line)
        if not test:
            continue
        finished += 1
        outcome = test.group(2)
        if failed is None and not (outcome.startswith("Passed") or "Skipped" in outcome):
            failed = f"{test.group(1)} ({' '.join(outcome.replace('*', ' ').split())})"
    return finished, failed, started


class Scratch:
    def __init__(self, directory, jobs, ctest_args, logs, port):
        self.port = port
        self.source = directory / "src"
        self.build = directory / "build"
        self.jobs = jobs
        self.ctest_args = ctest_args
        self.logs = logs

    def prepare(self, log):
        self.source.mkdir(parents=True, exist_ok=True)
        count, written = sync_sources(self.source)
        log.write(f"{count} tracked files, {written} copied\n")
        if not (self.build / "CMakeCache.txt").is_file():
            status, _ = run_logged(["cmake", "-S", self.source, "-B", self.build,
                                    "-DCMAKE_BUILD_TYPE=Release", "-DVELMORA_BUILD_TESTS=ON",
                                    f"-DVELMORA_RAW_ENDPOINT=http://127.0.0.1:{self.port}/raw/",
                                    f"-DVELMORA_RELEASE_ENDPOINT=http://127.0.0.1:{self.port}/",
                                    f"-DVELMORA_RELEASE_KEYS={self.release_key()}"],
                                   ROOT, log)
            if status != 0:
                raise SystemExit(f"mutate: configuring the scratch build failed; see {log.name}")

    def release_key(self):
        """The public key of the checkout's publisher key (build-key/, made by ./velmora; made here if there
        is none), which the scratch build trusts and the end-to-end cases sign their releases with."""
        key_dir = self.source / "build-key"
        if (ROOT / "build-key" / "release.pem").is_file():
            shutil.copytree(ROOT / "build-key", key_dir, dirs_exist_ok=True)
        elif not (key_dir / "release.pem").is_file():
            key_dir.mkdir(mode=0o700, exist_ok=True)
            subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out", key_dir / "release.pem"],
                           check=True, capture_output=True)
            seed = subprocess.run(["openssl", "pkey", "-in", key_dir / "release.pem", "-outform", "DER"],
                                  check=True, capture_output=True).stdout[-32:]
            (key_dir / "release.key").write_bytes(base64.b64encode(seed) + b"\n")
        public = subprocess.run(["openssl", "pkey", "-in", key_dir / "release.pem", "-pubout", "-outform", "DER"],
                                check=True, capture_output=True).stdout[-32:]
        return base64.b64encode(public).decode()

    def compile(self, log):
        status, _ = run_logged(["cmake", "--build", self.build, "-j", str(self.jobs)], ROOT, log)
        return status == 0

    def test(self, log, time_limit):
        """(passed, first failing test or a note)."""
        command = ["ctest", "-LE", "large", "--stop-on-failure", "--no-tests=error", "--output-on-failure",
                   *self.ctest_args]
        # CTest puts the tests that failed last time first and orders by the times it measured: without
        # that history every run takes the tests in their declared order, cheap unit tests first, and the
        # first failing test does not depend on the fault checked before.
        for history in (self.build / "Testing" / "Temporary").glob("*"):
            if history.name == "CTestCostData.txt" or history.name.startswith("LastTestsFailed"):
                history.unlink()
        status, output = run_logged(command, self.build, log, time_limit)
        finished, failed, started = read_ctest_output(output)
        if status is None:
            return False, f"time limit {time_limit:.0f} s, in {started or 'ctest'}"
        if status == 0:
            return True, f"{finished} tests passed"
        return False, failed or f"ctest exit status {status}"


def apply_fault(path, fault):
    text = read_text(path)
    reason = refusal(fault, text)
    if reason:
        raise SystemExit(f"mutate: refused [{fault.id}]: {reason}")
    path.write_text(text.replace(fault.original, fault.replacement, 1), encoding="utf-8")
    return text


def revert_fault(path, original_text):
    path.write_text(original_text, encoding="utf-8")
    # A fresh time (see the module comment): the objects built from the faulty text must be rebuilt.
    os.utime(path)
    if path.read_text(encoding="utf-8") != original_text:
        raise SystemExit(f"mutate: could not restore {path}")


def check_one(scratch, fault, time_limit):
    path = scratch.source / fault.file
    started = time.monotonic()
    with new_log(scratch.logs / f"{fault.id}.log") as log:
        log.write(f"[{fault.id}] {fault.file}\n- {fault.original}\n+ {fault.replacement}\n\n")
        original_text = apply_fault(path, fault)
        try:
            if not scratch.compile(log):
                status, failing = NOT_BUILT, "-"
            else:
                passed, note = scratch.test(log, time_limit)
                status, failing = (MISSED, "-") if passed else (CAUGHT, note)
        finally:
            revert_fault(path, original_text)
    return Result(fault, status, failing, time.monotonic() - started)


def table(results, baseline_note):
    rows = [("id", "folder", "result", "first failing test", "seconds")]
    rows += [(r.fault.id, r.fault.folder, r.status, r.failing_test, f"{r.seconds:.0f}") for r in results]
    widths = [max(len(row[i]) for row in rows) for i in range(len(rows[0]))]
    lines = ["  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip() for row in rows]
    lines.insert(1, "  ".join("-" * width for width in widths))
    counts = {s: sum(1 for r in results if r.status == s) for s in (CAUGHT, MISSED, NOT_BUILT)}
    lines.append("")
    lines.append(f"{counts[CAUGHT]} caught, {counts[MISSED]} missed, {counts[NOT_BUILT]} not built "
                 f"of {len(results)}")
    missed = [r.fault for r in results if r.status == MISSED]
    if missed:
        lines.append("")
        lines.append("Missed (no test noticed):")
        lines += [f"  {f.id}: {f.feel}" for f in missed]
    if baseline_note:
        lines.append("")
        lines.append(baseline_note)
    return "\n".join(lines) + "\n"


def parse_arguments():
    parser = argparse.ArgumentParser(
        description="Apply each deliberate fault in turn, rebuild, run the tests and report which faults "
                    "the suite catches.")
    parser.add_argument("--faults", type=Path, default=ROOT / "tools" / "mutations.txt",
                        help="the faults file (default: tools/mutations.txt)")
    parser.add_argument("--only", default="", help="comma-separated fault ids to check (default: all)")
    parser.add_argument("--list", action="store_true",
                        help="list the faults and whether each applies to the working tree; build nothing")
    parser.add_argument("--ctest-args", default="",
                        help="more ctest arguments, appended to '-LE large --stop-on-failure' "
                             "(e.g. \"-L unit -R 'tst_common|tst_fileio'\")")
    parser.add_argument("--port", type=int, default=18471,
                        help="the release port compiled into the scratch launcher (default: 18471, so that a "
                             "run beside the usual build's end-to-end tests or demo on 18470 does not collide)")
    parser.add_argument("--jobs", type=int, default=2, help="build jobs (default: 2)")
    parser.add_argument("--time-limit", type=float, default=None,
                        help="seconds the tests of one fault may take (default: twice the baseline plus "
                             "330 s, so that one test's own 300 s time-out still counts; 1800 without a "
                             "baseline)")
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip the run of the unchanged suite before the faults")
    parser.add_argument("--keep", action="store_true", help="keep the scratch directory (its path is printed)")
    parser.add_argument("--scratch", type=Path, default=None,
                        help="use (and keep) this scratch directory; one kept from an earlier run is "
                             "brought up to date and rebuilt incrementally")
    parser.add_argument("--report", type=Path, default=ROOT / "build" / "mutation-report.txt",
                        help="where the table is written (default: build/mutation-report.txt); the log of "
                             "each fault goes to mutation-logs/ beside it")
    return parser.parse_args()


def select(faults, only):
    if not only:
        return faults
    wanted = [i.strip() for i in only.split(",") if i.strip()]
    known = {f.id: f for f in faults}
    unknown = [i for i in wanted if i not in known]
    if unknown:
        raise SystemExit(f"mutate: unknown fault id(s): {', '.join(unknown)} (see --list)")
    return [known[i] for i in wanted]


def main():
    arguments = parse_arguments()
    try:
        faults = select(load_faults(arguments.faults), arguments.only)
    except FaultFileError as error:
        raise SystemExit(f"mutate: {error}")

    refusals = {f.id: refusal(f, read_text(ROOT / f.file)) for f in faults}
    if arguments.list:
        for f in faults:
            state = f"REFUSED: {refusals[f.id]}" if refusals[f.id] else "ok"
            print(f"{f.id:34} {f.folder:9} {f.file}  [{state}]\n{'':34} {f.feel}")
        per_folder = {folder: sum(1 for f in faults if f.folder == folder) for folder in PRODUCT_FOLDERS}
        print("\n" + ", ".join(f"{folder} {count}" for folder, count in per_folder.items()) +
              f"; {len(faults)} faults")
        return 1 if any(refusals.values()) else 0
    if any(refusals.values()):
        for fault_id, reason in refusals.items():
            if reason:
                print(f"mutate: refused [{fault_id}]: {reason}", file=sys.stderr)
        print("mutate: nothing was run; correct the faults file first", file=sys.stderr)
        return 2

    keep = arguments.keep or arguments.scratch is not None
    directory = arguments.scratch or Path(tempfile.mkdtemp(prefix="velmora-mutations-"))
    directory = directory.resolve()
    logs = arguments.report.resolve().parent / "mutation-logs"
    logs.mkdir(parents=True, exist_ok=True)
    scratch = Scratch(directory, arguments.jobs, shlex.split(arguments.ctest_args), logs,
                      arguments.port)
    print(f"mutate: scratch directory {directory}, logs in {logs}", flush=True)

    results = []
    baseline_note = ""
    try:
        with new_log(logs / "baseline.log") as log:
            started = time.monotonic()
            print("mutate: copying, configuring and building the unchanged tree ...", flush=True)
            scratch.prepare(log)
            if not scratch.compile(log):
                raise SystemExit(f"mutate: the unchanged tree does not build; see {log.name}")
            print(f"mutate: built in {time.monotonic() - started:.0f} s", flush=True)
            time_limit = arguments.time_limit or 1800.0
            if not arguments.no_baseline:
                started = time.monotonic()
                passed, note = scratch.test(log, max(3600.0, arguments.time_limit or 0))
                baseline = time.monotonic() - started
                if not passed:
                    raise SystemExit(f"mutate: the unchanged suite fails ({note}); a fault cannot be judged "
                                     f"against it. See {log.name}")
                baseline_note = f"Baseline (no fault): {note} in {baseline:.0f} s."
                time_limit = arguments.time_limit or 2 * baseline + 330
                print(f"mutate: {baseline_note} Time limit per fault: {time_limit:.0f} s", flush=True)

        for number, fault in enumerate(faults, 1):
            print(f"[{number}/{len(faults)}] {fault.id} ({fault.file}) ...", end=" ", flush=True)
            result = check_one(scratch, fault, time_limit)
            results.append(result)
            detail = f": {result.failing_test}" if result.status == CAUGHT else ""
            print(f"{result.status}{detail} ({result.seconds:.0f} s)", flush=True)

        if keep:
            # The last fault's objects are still in the build: bring it back to the unchanged tree.
            with new_log(logs / "final-build.log") as log:
                scratch.compile(log)
    except KeyboardInterrupt:
        print("\nmutate: interrupted; the results so far follow", file=sys.stderr)
    finally:
        if not keep:
            shutil.rmtree(directory, ignore_errors=True)
        elif directory.exists():
            print(f"mutate: kept {directory}")

    report = table(results, baseline_note)
    print("\n" + report, end="")
    arguments.report.parent.mkdir(parents=True, exist_ok=True)
    arguments.report.write_text(report, encoding="utf-8")
    print(f"mutate: table written to {arguments.report}")
    return 0 if len(results) == len(faults) else 130


if __name__ == "__main__":
    sys.exit(main())
