"""The run's bookkeeping, the report, and one whole run over the sample with a
stand-in build and test (tools/mutate_sample/check.py)."""
import contextlib
import hashlib
import io
import json
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import mutate  # noqa: E402
from mutant import Mutant, assign_ids  # noqa: E402
from report import build_report  # noqa: E402
from state import State, load_equivalents, load_records  # noqa: E402

SAMPLE_ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "mutate_sample")


def mutant(line, original, replacement, path="core/a.cpp", room="core"):
    text = "x%d %s y" % (line, original)
    m = Mutant(path, line, "ror", 2, 2 + len(original), original, replacement, text, room=room)
    return assign_ids([m])[0]


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha1(f.read()).hexdigest()


class StateTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.path = os.path.join(self.dir, "state.jsonl")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def test_resume_keeps_and_fresh_sets_aside(self):
        a, b = mutant(1, "<", "<="), mutant(2, ">", ">=")
        State(self.path, resume=False).record(a, "killed", 1.0, "unit")
        resumed = State(self.path, resume=True)
        self.assertTrue(resumed.done(a.id))
        self.assertFalse(resumed.done(b.id))
        resumed.record(b, "survived", 2.0)
        resumed.record(a, "timeout", 3.0)  # a later verdict wins
        records = load_records(self.path)
        self.assertEqual({k: v["status"] for k, v in records.items()},
                         {a.id: "timeout", b.id: "survived"})
        State(self.path, resume=False)
        self.assertEqual(load_records(self.path), {})
        self.assertEqual(len(load_records(self.path + ".prev")), 2)

    def test_line_cut_short_ignored(self):
        a = mutant(1, "<", "<=")
        State(self.path, resume=False).record(a, "killed", 1.0)
        with open(self.path, "a") as f:
            f.write('{"id": "core/a.cpp@x", "sta')
        self.assertEqual(list(load_records(self.path)), [a.id])

    def test_equivalents_file(self):
        path = os.path.join(self.dir, "eq.txt")
        with open(path, "w") as f:
            f.write("# comment\n\nsome/id#0   both bounds stop at the same place\n")
        self.assertEqual(load_equivalents(path),
                         {"some/id#0": "both bounds stop at the same place"})
        with open(path, "a") as f:
            f.write("other/id#0\n")
        with self.assertRaises(ValueError):
            load_equivalents(path)


class ReportTest(unittest.TestCase):
    def test_scores_and_survivors(self):
        def entry(m, status):
            return {"id": m.id, "path": m.path, "line": m.line, "room": m.room, "op": m.op,
                    "change": m.change(), "line_text": m.line_text, "status": status,
                    "seconds": 1.0}
        ms = [mutant(i, "<", "<=", path=p, room=p.split("/")[0])
              for i, p in enumerate(["core/a.cpp"] * 4 + ["text/b.cpp"] * 3, 1)]
        statuses = ["killed", "survived", "build_failed", "timeout", "survived", "survived", "not_built"]
        records = {m.id: entry(m, s) for m, s in zip(ms, statuses)}
        text = build_report(records, {ms[5].id: "the same either way"}, generated=40)
        self.assertIn("7 mutants run: 1 killed by a test, 2 survived, 1 timed out, "
                      "1 did not build, 1 equivalent, 1 in code this machine does not build. "
                      "(40 generated", text)
        self.assertIn("| core | 4 | 1 | 1 | 1 | 1 | 0 | 0 | 75.0% | 66.7% |", text)
        # Neither the equivalent nor the mutant not built here counts.
        self.assertIn("| text | 3 | 0 | 1 | 0 | 0 | 1 | 1 | 0.0% | 0.0% |", text)
        self.assertIn("| core/a.cpp | 4 |", text)
        self.assertIn("## Survivors (2)", text)
        self.assertIn("`core/a.cpp:2` ror: `<` -> `<=`", text)
        self.assertIn("line: `x2 < y`", text)
        self.assertIn("(the same either way)", text)


class EndToEndTest(unittest.TestCase):
    """A negation in count_spaces() "does not build", changes to clamp() fail
    the test, an early return in fill() hangs it; everything else survives."""

    def setUp(self):
        self.work = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.work)

    def run_tool(self, *extra):
        argv = ["--root", SAMPLE_ROOT, "--rooms", "core", "--work", self.work,
                "--equivalents", os.path.join(self.work, "none.txt"),
                "--build-command", "%s -S check.py build" % sys.executable,
                "--test-command", "%s -S check.py test" % sys.executable,
                "--ops", "neg,ret", "--min-timeout", "1", "--timeout-factor", "1"] + list(extra)
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            code = mutate.main(argv)
        return code, out.getvalue(), err.getvalue()

    def test_run_resume_and_report(self):
        sample = os.path.join(SAMPLE_ROOT, "core", "sample.cpp")
        before = digest(sample)
        code, out, err = self.run_tool()
        self.assertEqual(code, 0, err)
        records = load_records(os.path.join(self.work, "state.jsonl"))
        verdicts = {(r["line"], r["op"], r["status"]) for r in records.values()}
        self.assertEqual(verdicts, {
            (21, "neg", "killed"), (22, "neg", "killed"), (29, "neg", "build_failed"),
            (13, "ret", "survived"), (20, "ret", "killed"), (26, "ret", "survived"),
            (34, "ret", "survived"), (39, "ret", "survived"), (43, "ret", "timeout"),
            (53, "ret", "survived")})
        # The developer's file and the work copy are as they were.
        self.assertEqual(digest(sample), before)
        copy = os.path.join(self.work, "src", "core", "sample.cpp")
        self.assertEqual(digest(copy), before)
        with open(os.path.join(self.work, "report.md")) as f:
            self.assertIn("## Survivors (5)", f.read())

        # Resumed: nothing left to run; one mutant declared equivalent leaves the score.
        survivor = next(r for r in records.values() if r["status"] == "survived")
        with open(os.path.join(self.work, "none.txt"), "w") as f:
            f.write("%s  no test can tell\n" % survivor["id"])
        code, out, err = self.run_tool("--resume")
        self.assertEqual(code, 0, err)
        self.assertIn("0 mutants run", err)
        code, out, err = self.run_tool("--report")
        self.assertIn("1 equivalent", out)
        self.assertIn("(no test can tell)", out)

        # Survivors run again on request, and --only runs the ids named.
        code, out, err = self.run_tool("--resume", "--again", "survived")
        self.assertIn("4 mutants run", err)
        code, out, err = self.run_tool("--resume", "--again", "killed,timeout", "--only", survivor["id"])
        self.assertIn("0 mutants run", err)  # named, but equivalent

    def test_resumed_draw_keeps_what_has_run(self):
        self.run_tool("--sample", "3", "--seed", "5")
        ran = set(load_records(os.path.join(self.work, "state.jsonl")))
        self.assertEqual(len(ran), 3)
        # Another seed, as after an edit that changes the draw: what ran is kept.
        code, out, _ = self.run_tool("--list", "--sample", "5", "--seed", "9", "--resume")
        listed = {line.split("\t")[0] for line in out.strip().split("\n")}
        self.assertEqual(len(listed), 5)
        self.assertTrue(ran <= listed)

    def test_list_and_dry_run(self):
        code, out, _ = self.run_tool("--list", "--sample", "4", "--seed", "2")
        lines = out.strip().split("\n")
        self.assertEqual(len(lines), 4)
        self.assertTrue(all(line.startswith("core/sample.cpp@") for line in lines))
        code, out, _ = self.run_tool("--dry-run", "--sample", "4", "--seed", "2")
        self.assertIn("4 to run", out)
        self.assertEqual(out.count("would run"), 4)
        self.assertFalse(os.path.exists(os.path.join(self.work, "state.jsonl")))


if __name__ == "__main__":
    unittest.main()
