"""A private copy of the source tree and its build, where mutants are applied.

The developer's tree is only ever read.  Each run first brings the copy
back to the tree's contents, which also undoes a mutant left behind by a
run that was killed.
"""
import filecmp
import os
import shutil
import signal
import subprocess
import time

SKIP_TOP = {"build", ".git"}


def sync_tree(root, copy, exclude=()):
    """Makes copy hold exactly root's files (build*/, .git/ and exclude left out).

    A changed file is written anew, so its time is now and the build sees it."""
    exclude = {os.path.abspath(e) for e in exclude} | {os.path.abspath(copy)}
    changed = 0
    os.makedirs(copy, exist_ok=True)
    seen = set()
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        if rel == ".":
            dirs[:] = [d for d in dirs if d not in SKIP_TOP and not d.startswith("build")]
        dirs[:] = [d for d in dirs if os.path.abspath(os.path.join(folder, d)) not in exclude]
        seen.add(os.path.normpath(rel))
        os.makedirs(os.path.join(copy, rel), exist_ok=True)
        for name in files:
            src = os.path.join(folder, name)
            dst = os.path.join(copy, rel, name)
            seen.add(os.path.normpath(os.path.join(rel, name)))
            if os.path.islink(src):
                continue
            if not os.path.exists(dst) or not filecmp.cmp(src, dst, shallow=False):
                shutil.copyfile(src, dst)
                shutil.copymode(src, dst)
                changed += 1
    for folder, dirs, files in os.walk(copy, topdown=False):
        rel = os.path.relpath(folder, copy)
        for name in files:
            if os.path.normpath(os.path.join(rel, name)) not in seen:
                os.remove(os.path.join(folder, name))
                changed += 1
        if rel != "." and os.path.normpath(rel) not in seen and not os.listdir(folder):
            os.rmdir(folder)
    return changed


class Result:
    def __init__(self, code, output, seconds, timed_out):
        self.code = code
        self.output = output
        self.seconds = seconds
        self.timed_out = timed_out

    @property
    def ok(self):
        return self.code == 0 and not self.timed_out


def run(command, cwd, timeout=None, env=None, shell=False):
    """Runs a command in its own process group, killed whole on timeout or Ctrl-C."""
    start = time.monotonic()
    proc = subprocess.Popen(command, cwd=cwd, env=env, shell=shell, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        return Result(proc.returncode, out.decode("utf-8", "replace"),
                      time.monotonic() - start, False)
    except subprocess.TimeoutExpired:
        _kill(proc)
        out, _ = proc.communicate()
        return Result(None, out.decode("utf-8", "replace"), time.monotonic() - start, True)
    except BaseException:
        _kill(proc)
        raise


def _kill(proc):
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    proc.wait()


class MutatedFile:
    """Writes a mutant into the copy and puts the original back on leaving, whatever happens."""

    def __init__(self, path, original, mutated):
        self.path, self.original, self.mutated = path, original, mutated

    def __enter__(self):
        _write(self.path, self.mutated)
        return self

    def __exit__(self, *exc):
        _write(self.path, self.original)
        return False


def _write(path, text):
    tmp = path + ".mutate-tmp"
    with open(tmp, "w", encoding="utf-8", newline="") as f:
        f.write(text)
    os.replace(tmp, path)
