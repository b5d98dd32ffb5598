"""Running mutants: rebuild what changed, run the room's tests, record the verdict."""
import hashlib
import json
import os
import queue
import re
import shlex
import sys
import threading
import time

import rooms
from state import BUILD_FAILED, KILLED, NOT_BUILT, SURVIVED, TIMEOUT
from workspace import MutatedFile, run, sync_tree

BUILD_TIMEOUT = 1800  # seconds; a first build from nothing on two cores fits


class CMakeBackend:
    """A build folder configured once (Debug, Ninja, ccache, warnings not errors,
    no benchmarks); ninja rebuilds what a mutant touched, ctest runs the room's tests."""

    CONFIGURE = ["-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug", "-DGH_WERROR=OFF",
                 "-DGH_BUILD_BENCH=OFF", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache",
                 "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]

    def __init__(self, work, index, test_table, build_jobs=2, test_jobs=1, sanitize=False):
        suffix = ("" if index == 0 else ".%d" % index) + ("-sanitized" if sanitize else "")
        self.src = os.path.join(work, "src" + suffix)
        self.build = os.path.join(work, "build" + suffix)
        # The test command's sanitizer stage: AddressSanitizer, LeakSanitizer
        # and UBSan over the same tests, so a read or write out of bounds that
        # changes no result still fails.
        self.configure = self.CONFIGURE + (["-DGH_SANITIZE=ON"] if sanitize else [])
        self.sanitize = sanitize
        self.test_table = test_table
        self.build_jobs, self.test_jobs = build_jobs, test_jobs
        self.env = dict(os.environ)
        self.env.setdefault("CCACHE_BASEDIR", os.path.abspath(work))
        self._selection = {}

    def describe(self, room):
        gtest_filter = rooms.gtest_filter(room)
        return "ninja -C %s %s && %sctest -R '%s'" % (
            self.build, " ".join(self.targets(room)) or "(targets known once configured)",
            "GTEST_FILTER='%s' " % gtest_filter if gtest_filter else "", self.tests_regex(room))

    def prepare(self, root, exclude, log):
        changed = sync_tree(root, self.src, exclude)
        log("copy of the tree: %s (%d files brought up to date)" % (self.src, changed))
        if not os.path.exists(os.path.join(self.build, "build.ninja")):
            log("configuring %s" % self.build)
            r = run(["cmake", "-S", self.src, "-B", self.build] + self.configure, cwd=self.src,
                    env=self.env, timeout=BUILD_TIMEOUT)
            if not r.ok:
                raise RuntimeError("cmake failed:\n" + r.output[-4000:])
        log("building everything once in %s" % self.build)
        r = run(["ninja", "-C", self.build, "-j%d" % self.build_jobs], cwd=self.src,
                env=self.env, timeout=BUILD_TIMEOUT)
        if not r.ok:
            raise RuntimeError("the unmutated tree does not build:\n" + r.output[-4000:])
        self._objects = {path: digest for path, (_, digest) in _objects_in(self.build).items()}

    def tests_regex(self, room):
        return rooms.tests_for(room, self.test_table)

    def _select(self, room):
        if not os.path.exists(os.path.join(self.build, "build.ninja")):
            return [], []  # known once configured
        if room not in self._selection:
            r = run(["ctest", "--test-dir", self.build, "-R", self.tests_regex(room),
                     "--show-only=json-v1"], cwd=self.build, env=self.env, timeout=120)
            tests = json.loads(r.output[r.output.find("{"):]).get("tests", []) if r.ok else []
            names, targets = [], set()
            build = os.path.abspath(self.build)
            for t in tests:
                names.append(t["name"])
                for word in t.get("command", []):
                    path = os.path.abspath(word)
                    if path.startswith(build + os.sep) and os.path.isfile(path):
                        targets.add(os.path.relpath(path, build))
            self._selection[room] = (names, sorted(targets))
        return self._selection[room]

    def test_names(self, room):
        return self._select(room)[0]

    def targets(self, room):
        return self._select(room)[1]

    def build_room(self, room):
        started = time.time_ns()
        r = run(["ninja", "-C", self.build, "-j%d" % self.build_jobs] + self.targets(room),
                cwd=self.src, env=self.env, timeout=BUILD_TIMEOUT)
        # Compiled into nothing: every object the build wrote is the unmutated
        # one (a mutant inside `#if defined(_WIN32)`, or an ARM kernel, here).
        # Objects of the previous mutant's file, rebuilt as it was, are too.
        rebuilt = [(p, d) for p, (mtime, d) in _objects_in(self.build, started).items()]
        r.compiled_out = r.ok and (not rebuilt or all(self._objects.get(p) == d for p, d in rebuilt))
        return r

    def test_room(self, room, timeout=None):
        command = ["ctest", "--test-dir", self.build, "-R", self.tests_regex(room),
                   "--stop-on-failure", "-j%d" % self.test_jobs]
        if timeout:
            command += ["--timeout", str(int(timeout) + 1)]
        env = dict(self.env)
        gtest_filter = rooms.gtest_filter(room)
        if gtest_filter:
            env["GTEST_FILTER"] = gtest_filter
        return run(command, cwd=self.build, env=env, timeout=timeout)


class CommandBackend:
    """Any build and test commands (shell), run in the copy.  {src}, {build},
    {room} and {tests} are replaced; exit status 0 means passed."""

    def __init__(self, work, index, build_command, test_command, test_table):
        suffix = "" if index == 0 else ".%d" % index
        self.src = os.path.join(work, "src" + suffix)
        self.build = os.path.join(work, "build" + suffix)
        self.build_command, self.test_command = build_command, test_command
        self.test_table = test_table

    def _command(self, template, room):
        return template.format(src=shlex.quote(self.src), build=shlex.quote(self.build),
                               room=room, tests=shlex.quote(rooms.tests_for(room, self.test_table)))

    def describe(self, room):
        return "%s && %s" % (self._command(self.build_command, room),
                             self._command(self.test_command, room))

    def prepare(self, root, exclude, log):
        changed = sync_tree(root, self.src, exclude)
        os.makedirs(self.build, exist_ok=True)
        log("copy of the tree: %s (%d files brought up to date)" % (self.src, changed))

    def test_names(self, room):
        return [room]

    def build_room(self, room):
        return run(self._command(self.build_command, room), cwd=self.src, shell=True,
                   timeout=BUILD_TIMEOUT)

    def test_room(self, room, timeout=None):
        return run(self._command(self.test_command, room), cwd=self.src, shell=True,
                   timeout=timeout)


def failed_tests(output):
    """[(name, reason)] from ctest's closing list of failed tests."""
    return re.findall(r"^\s*\d+ - (\S+) \(([^)]*)\)", output.split("tests FAILED:")[-1], re.M) \
        if "tests FAILED:" in output else []


class Campaign:
    def __init__(self, backends, state, root, exclude=(), timeout_factor=3.0, min_timeout=30.0,
                 log=None):
        self.backends = backends
        self.state = state
        self.root = root
        self.exclude = exclude
        self.timeout_factor = timeout_factor
        self.min_timeout = min_timeout
        self.log = log or (lambda text: print(text, file=sys.stderr, flush=True))
        self.timeouts = {}
        self.baseline = {}

    def prepare(self, rooms_needed):
        for b in self.backends:
            b.prepare(self.root, self.exclude, self.log)
        main = self.backends[0]
        for room in sorted(rooms_needed):
            if not main.test_names(room):
                raise RuntimeError("no test guards room %s: see ROOM_TESTS in rooms.py" % room)
            for b in self.backends:
                r = b.build_room(room)
                if not r.ok:
                    raise RuntimeError("the unmutated tree does not build:\n" + r.output[-4000:])
            r = main.test_room(room)
            if not r.ok:
                raise RuntimeError("the room's tests fail on the unmutated tree (%s):\n%s"
                                   % (room, r.output[-4000:]))
            self.baseline[room] = r.seconds
            self.timeouts[room] = max(self.min_timeout, self.timeout_factor * r.seconds)
            self.log("baseline %s: tests %.1f s (%s), limit per mutant %.0f s" % (
                room, r.seconds, ", ".join(main.test_names(room)), self.timeouts[room]))

    def run(self, mutants):
        """Runs the mutants not yet done; returns the entries recorded."""
        todo = queue.Queue()
        for m in mutants:
            todo.put(m)
        total = len(mutants)
        counter = [0]
        results = []
        errors = []

        def worker(backend):
            originals = {}
            while not errors:
                try:
                    m = todo.get_nowait()
                except queue.Empty:
                    return
                try:
                    entry = self._one(backend, m, originals)
                except BaseException as e:  # noqa: B902 - a worker must report, never die silent
                    errors.append(e)
                    return
                with self.state.lock:
                    counter[0] += 1
                    results.append(entry)
                    self.log("[%d/%d] %-12s %s:%d %s %s (%.1f s)" % (
                        counter[0], total, entry["status"], m.path, m.line, m.op, m.change(40),
                        entry["seconds"]))

        if len(self.backends) == 1:
            worker(self.backends[0])
        else:
            threads = [threading.Thread(target=worker, args=(b,), daemon=True)
                       for b in self.backends]
            for t in threads:
                t.start()
            for t in threads:
                while t.is_alive():
                    t.join(0.5)
        if errors:
            raise errors[0]
        return results

    def _one(self, backend, m, originals):
        path = os.path.join(backend.src, m.path)
        if m.path not in originals:
            with open(path, encoding="utf-8", newline="") as f:
                originals[m.path] = f.read()
        original = originals[m.path]
        start = time.monotonic()
        with MutatedFile(path, original, m.apply(original)):
            built = backend.build_room(m.room)
            if not built.ok:
                status, detail = BUILD_FAILED, _first_error(built.output)
            elif "ninja: no work to do" in built.output or getattr(built, "compiled_out", False):
                status, detail = NOT_BUILT, "compiled into nothing this machine builds"
            else:
                tested = backend.test_room(m.room, self.timeouts.get(m.room))
                failed = failed_tests(tested.output)
                if tested.timed_out or (failed and all("Timeout" in why for _, why in failed)):
                    status, detail = TIMEOUT, ", ".join(n for n, _ in failed)
                elif tested.code != 0:
                    status, detail = KILLED, ", ".join(n for n, _ in failed) or _tail(tested.output)
                    if getattr(backend, "sanitize", False):
                        detail = "sanitizers: " + detail
                else:
                    status, detail = SURVIVED, ""
        return self.state.record(m, status, time.monotonic() - start, detail)


def _objects_in(build, newer_than=None):
    """{object file: (mtime, content hash)}, of those written after newer_than (ns)."""
    found = {}
    for folder, _, files in os.walk(build):
        for name in files:
            if not name.endswith((".o", ".obj")):
                continue
            path = os.path.join(folder, name)
            mtime = os.stat(path).st_mtime_ns
            if newer_than is None or mtime >= newer_than:
                with open(path, "rb") as f:
                    found[path] = (mtime, hashlib.sha1(f.read()).hexdigest())
    return found


def _first_error(output):
    for line in output.splitlines():
        if "error" in line.lower():
            return line.strip()[:200]
    return _tail(output)


def _tail(output):
    lines = [l for l in output.strip().splitlines() if l.strip()]
    return lines[-1][:200] if lines else ""
