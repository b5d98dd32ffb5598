"""The notation of the reference's examples: what the page shows must mean
what the example runs (tools/gen_reference.py)."""
import os
import sys
import unittest

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools"))
import gen_reference as g  # noqa: E402


class Notation(unittest.TestCase):
    def test_texts(self):
        self.assertEqual(g.value_text("a\r\n\t", "t"), '"a\\r\\n\\t"')
        self.assertEqual(g.value_text({"codes": [0, 34, 127, 233, 8364]}, "t"), '"\\0\\x{22}\\x{7F}é€"')
        self.assertEqual(g.value_text("C:\\dir\\", "t"), '"C:\\dir\\"')
        with self.assertRaises(g.DataError):
            g.value_text("C:\\new", "t")  # would read as a line feed

    def test_binary_numbers_and_results(self):
        self.assertEqual(g.value_text({"hex": "00abff"}, "t"), "<00 ab ff>")
        self.assertEqual(g.value_text({"hex": ""}, "t"), "<>")
        self.assertEqual(g.value_text({"bytes": "Man"}, "t"), '<"Man">')
        self.assertEqual(g.value_text({"number": 2.0}, "t"), "2")
        self.assertEqual(g.value_text(-0.5, "t"), "-0.5")
        self.assertEqual(g.expected_text({"wide": {"number": 1}, "byte": ""}, "t"),
                         '1 in the wide build, "" in the byte build')
        with self.assertRaises(g.DataError):
            g.value_text({"hex": "01", "kind": 14}, "t")  # the page cannot show a kind

    def test_plain_texts_beyond_ascii_only_in_wide_examples(self):
        g.check_plain_texts(["€"], True, "t")
        g.check_plain_texts([{"wide": "€", "byte": "a"}], False, "t")
        with self.assertRaises(g.DataError):
            g.check_plain_texts(["é"], False, "t")  # the byte build would get two bytes

    def test_examples_of_unbuilt_functions_wait(self):
        class Entry:
            name = "f"
            data = {"examples": [{"call": "f", "args": []},
                                 {"steps": [{"call": "f"}, {"call": "h"}]}]}
        built = {"f": (1, "", True), "h": (2, "", False)}
        cases, pending = g.example_cases([Entry()], built)
        self.assertEqual([c["name"] for c in cases], ["f example 1"])
        self.assertEqual(pending, ["h"])


if __name__ == "__main__":
    unittest.main()
