"""The mutant generator on tools/mutate_sample: where mutants go, where they
must not, and ids that survive unrelated edits."""
import collections
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from lexer import tokenize  # noqa: E402
from mutate import select  # noqa: E402
from operators import mutants_of  # noqa: E402

SAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "mutate_sample",
                      "core", "sample.cpp")


def sample_text():
    with open(SAMPLE, encoding="utf-8") as f:
        return f.read()


def changes(mutants):
    return {(m.line, m.op, m.original.strip(), m.replacement.strip()) for m in mutants}


class GeneratorTest(unittest.TestCase):
    def setUp(self):
        self.text = sample_text()
        self.mutants = mutants_of("core/sample.cpp", self.text)

    def test_each_operator_where_expected(self):
        found = changes(self.mutants)
        for expected in [
            (21, "ror", "<", "<="), (22, "ror", ">", ">="), (29, "ror", "==", "!="),
            (35, "aor", "*", "/"), (35, "aor", "^", "&"), (35, "aor", ">>", "<<"),
            (36, "aor", "&", "|"), (29, "aor", "+=", "-="),
            (36, "bnd", "- 1", ""), (47, "bnd", "+ 1", ""), (21, "bnd", "", "- 1"),
            (22, "bnd", "", "+ 1"),
            (9, "cst", "8", "9"), (27, "cst", "0", "1"), (48, "cst", "1", "0"),
            (35, "cst", "3u", "4u"), (36, "cst", "0xFFu", "0xFEu"),
            (29, "lcr", "||", "&&"),
            (21, "neg", "x < low", "!(x < low)"),
            (29, "del", "total += 1", ""), (46, "del", "reset(out)", ""),
            (48, "del", "counter.fetch_add(1)", ""),
            (13, "ret", "", "return false;"), (20, "ret", "", "return 0;"),
            (39, "ret", "", "return;"),
        ]:
            self.assertIn(expected, found)

    def test_traps_left_alone(self):
        lines = self.text.split("\n")
        by_line = collections.defaultdict(list)
        for m in self.mutants:
            by_line[m.line].append(m)
        # Comments, #include and #define, template<...>, std::atomic<int>.
        for line in (1, 2, 3, 4, 5, 10, 12, 19):
            self.assertEqual(by_line[line], [], lines[line - 1])
        # Inside the raw string, the char literal, the declarations and casts,
        # an array's size.
        for line in (44, 45, 49, 50, 54):
            self.assertEqual(by_line[line], [], lines[line - 1])
        casts = [(m.start(), m.end()) for m in re.finditer(r"static_cast<\w+>", self.text)]
        self.assertEqual(len(casts), 3)
        for m in self.mutants:
            self.assertFalse(any(a <= m.start < b for a, b in casts), "in a cast: %s" % m.id)
        # `+ 1` is dropped by the boundary operator, not also made `+ 0`.
        self.assertNotIn((47, "cst", "1", "0"), changes(self.mutants))
        # No declaration is deleted, no `return` either.
        self.assertEqual(sorted(m.line for m in self.mutants if m.op == "del"),
                         [29, 40, 46, 47, 48, 55])

    def test_mutants_are_splices(self):
        for m in self.mutants:
            mutated = m.apply(self.text)
            self.assertNotEqual(mutated, self.text)
            self.assertEqual(mutated[:m.start], self.text[:m.start])
            self.assertEqual(mutated[m.start + len(m.replacement):], self.text[m.end:])
            tokenize(mutated)  # still lexes

    def test_ids_unique(self):
        ids = [m.id for m in self.mutants]
        self.assertEqual(len(ids), len(set(ids)))

    def test_ids_survive_unrelated_edits(self):
        shifted = ("// A new first line.\n\nint added(int a) {\n    return a * 2;\n}\n"
                   + self.text.replace("    return x;", "        return x;"))
        moved = mutants_of("core/sample.cpp", shifted)
        self.assertLessEqual({m.id for m in self.mutants}, {m.id for m in moved})
        self.assertNotEqual({m.line for m in self.mutants}, {m.line for m in moved})

    def test_identical_lines_numbered(self):
        text = "void f(int *p) {\n    p[0] = 1;\n    p[0] = 1;\n}\n"
        ids = [m.id for m in mutants_of("a.cpp", text) if m.op == "del"]
        self.assertEqual(len(ids), 2)
        self.assertTrue(ids[0].endswith("#0") and ids[1].endswith("#1"))
        self.assertEqual(ids[0][:-2], ids[1][:-2])

    def test_operator_filter(self):
        only = mutants_of("core/sample.cpp", self.text, {"ror", "lcr"})
        self.assertEqual({m.op for m in only}, {"ror", "lcr"})
        self.assertEqual({m.id for m in only},
                         {m.id for m in self.mutants if m.op in ("ror", "lcr")})

    def test_sampling_deterministic(self):
        a = select(self.mutants, 10, seed=3)
        b = select(list(reversed(self.mutants)), 10, seed=3)
        self.assertEqual(len(a), 10)
        self.assertEqual({m.id for m in a}, {m.id for m in b})
        self.assertNotEqual({m.id for m in a}, {m.id for m in select(self.mutants, 10, seed=4)})
        self.assertEqual(len(select(self.mutants, 10 ** 6, seed=3)), len(self.mutants))


if __name__ == "__main__":
    unittest.main()
