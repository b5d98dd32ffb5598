"""The reference page (tools/gen_reference.py): its examples are shown as the
glyphhost commands that run them and as what glyphhost prints, and its prose
says what the catalogue and the entries say."""
import os
import re
import sys
import unittest

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools"))
import gen_reference as g  # noqa: E402

DATA, ENTRIES, BY_NAME = g.load()


def reading(title):
    section = [s for s in DATA["reading"] if s["title"] == title][0]
    return " ".join(p if isinstance(p, str) else " ".join(p) for p in section["paras"])


def catalogue_params(text):
    """[(name, shown as optional)] of a catalogue parameter text."""
    out, depth = [], 0
    for m in re.finditer(r"\[|\]|[A-Za-z_]\w*\??", text):
        token = m.group()
        if token == "[":
            depth += 1
        elif token == "]":
            depth -= 1
        else:
            out.append((token, depth > 0))
    return out


class Output(unittest.TestCase):
    """The page shows values as glyphhost prints them (emulator/host_output.cpp)."""

    def test_texts_are_quoted_with_escapes(self):
        self.assertEqual(g.shown_text([0, 9, 10, 13, 34, 92, 127, 0x9F, 0xA0, 233, 8364, 0xD800, 0x110000]),
                         '"\\0\\t\\n\\r\\"\\\\\\x{7F}\\x{9F}\xa0é€\\x{D800}\\x{110000}"')

    def test_binary_numbers_and_long_values(self):
        self.assertEqual(g.shown_value({"hex": "4D616E"}, "t"), 'binary: 4d616e ("Man")')
        self.assertEqual(g.shown_value({"hex": "00ff"}, "t"), "binary: 00ff")
        self.assertEqual(g.shown_value({"hex": ""}, "t"), "binary: (empty)")
        self.assertEqual(g.shown_value({"bytes": 'a"b'}, "t"), 'binary: 612262 ("a\\"b")')
        self.assertEqual(g.shown_value({"number": 2.0}, "t"), "number: 2")
        self.assertEqual(g.shown_value(-0.5, "t"), "number: -0.5")
        self.assertEqual(g.shown_value({"number": "nan"}, "t"), "number: nan")
        long = g.expected_lines({"repeat": "ab", "times": 200}, None, "t")
        self.assertEqual(long, [('text: "' + "ab" * 20 + '…"', 'the whole value: expr:"ab"*200')])
        self.assertEqual(g.expected_lines({"wide": 1, "byte": ""}, "byte", "t"), [('text: ""', None)])


class Arguments(unittest.TestCase):
    """Each argument as the glyphhost word for it, as typed in a shell."""

    def arg(self, v):
        return g.shell_word(g.host_arg(v, "t", 1))

    def test_texts(self):
        self.assertEqual(self.arg("abc"), "abc")
        self.assertEqual(self.arg("a b"), "'a b'")
        self.assertEqual(self.arg(""), "text:")
        self.assertEqual(self.arg("num:3"), "text:num:3")
        self.assertEqual(self.arg("::"), "text:::")
        self.assertEqual(self.arg("--x"), "text:--x")
        self.assertEqual(self.arg("-5"), "-5")
        self.assertEqual(self.arg("it's"), '"it\'s"')
        self.assertEqual(self.arg("C:\\dir\\"), "'C:\\dir\\'")  # no escapes in a plain text
        self.assertEqual(self.arg("a\r\nb\\"), "'esc:a\\r\\nb\\\\'")
        self.assertEqual(self.arg({"codes": [233, 0x110000]}), "'esc:é\\x{110000}'")
        self.assertEqual(self.arg({"codes": [233]}), "é")  # typed, also in the byte build

    def test_binary_numbers_repeats_and_previous_results(self):
        self.assertEqual(self.arg({"hex": "00AB"}), "hex:00ab")
        self.assertEqual(self.arg({"bytes": "Man"}), "bytes:Man")
        self.assertEqual(self.arg({"bytes": "a b"}), "hex:612062")
        self.assertEqual(self.arg(2.0), "num:2")
        self.assertEqual(self.arg({"concat": ["x", {"repeat": "p,", "times": 3}, "\n"]}),
                         "'expr:\"x\"+\"p,\"*3+\"\\n\"'")
        self.assertEqual(self.arg({"result_of": 0}), "prev:")
        with self.assertRaises(g.DataError):
            g.host_arg({"result_of": 0}, "t", 2)  # only the previous result
        with self.assertRaises(g.DataError):
            g.host_arg({"hex": "01", "kind": 14}, "t", 0)  # the page cannot show a kind

    def test_a_field_set_before_a_call_is_set_by_its_argument(self):
        g.PARAMETERS.setdefault("f", (2, "f(a, b)"))
        lines = g.example_lines({"fields": {"list": "a,b"}, "call": "f", "args": ["list", ","],
                                 "result": "a", "fields_after": {"list": "b"}}, "t")
        self.assertEqual(g.format_lines(lines), ["$ glyphhost call f field:list=a,b ,", 'text: "a"',
                                                 'field list = text: "b"'])

    def test_builds_and_surplus_arguments(self):
        g.PARAMETERS.setdefault("f", (2, "f(a, b)"))
        lines = g.format_lines(g.example_lines({"call": "f", "args": [1, 2, 3], "result": {"wide": 1, "byte": 2}},
                                               "t"))
        self.assertEqual(lines, ["$ glyphhost --build wide call f num:1 num:2 num:3",
                                 "2> glyphhost: warning: f(a, b) reads 2 parameters: the 3rd argument is passed "
                                 "but not read", "number: 1",
                                 "$ glyphhost --build byte call f num:1 num:2 num:3",
                                 "2> glyphhost: warning: f(a, b) reads 2 parameters: the 3rd argument is passed "
                                 "but not read", "number: 2"])

    def test_plain_texts_beyond_ascii_only_in_wide_examples(self):
        g.check_plain_texts(["€"], True, "t")
        g.check_plain_texts([{"wide": "€", "byte": "a"}], False, "t")
        with self.assertRaises(g.DataError):
            g.check_plain_texts(["é"], False, "t")  # the cases read it as UTF-8 in the byte build

    def test_examples_of_unbuilt_functions_wait(self):
        class Entry:
            name = "f"
            data = {"examples": [{"call": "f", "args": []},
                                 {"steps": [{"call": "f"}, {"call": "h"}]}]}
        built = {"f": (1, "", True), "h": (2, "", False)}
        cases, pending = g.example_cases([Entry()], built)
        self.assertEqual([c["name"] for c in cases], ["f example 1"])
        self.assertEqual(pending, ["h"])


class Prose(unittest.TestCase):
    """What the reading sections say about all entries holds for each."""

    def test_the_catalogue_notation_and_its_exceptions_are_explained(self):
        parameters = reading("Parameters")
        for e in ENTRIES:
            shown = catalogue_params(BY_NAME[e.name][1])
            params = e.data["params"]
            hidden = [p for p in params if "not shown in the catalogue text" in p["type"]]
            listed = [p for p in params if p not in hidden]
            self.assertEqual([n for n, _ in shown], [p["name"] for p in listed], e.name)
            for (name, optional), p in zip(shown, listed):
                flag = p["type"].startswith("flag")
                if name.endswith("?"):
                    self.assertTrue(flag, "%s: %s ends in ? but is not a flag" % (e.name, name))
                if flag and not name.endswith("?"):
                    self.assertIn("`%s`" % name, parameters, "a flag without ? the section must name")
                if optional and not p.get("optional"):
                    self.fail("%s: %s is in brackets but not optional" % (e.name, name))
                if p.get("optional") and not optional:
                    self.assertIn("`%s`" % name, parameters, "an optional parameter without brackets")
            for p in hidden:
                self.assertIn("`%s`" % p["name"], parameters, "%s: a hidden parameter" % e.name)
                self.assertIn(e.name, parameters)

    def test_every_flag_states_the_rule_of_the_code(self):
        for e in ENTRIES:
            text = e.markdown()
            for p in e.data["params"]:
                if p["type"].startswith("flag"):
                    self.assertIn("`%s` (%s" % (p["name"], g.FLAG_RULE), text)
        # No sentence speaks of a parameter being "not 0" (or non-zero) in
        # other words than the rule's.
        def strings(v):
            if isinstance(v, str):
                yield v
            elif isinstance(v, (list, dict)):
                for item in (v.values() if isinstance(v, dict) else v):
                    yield from strings(item)
        for text in strings({k: v for k, v in DATA.items()}):
            for sentence in re.split(r"(?<=[.;])\s", text):
                if re.search(r"(parameter|flag)[^.;]*\b(not 0|non-?zero|not zero)\b", sentence):
                    self.assertIn("low 16 bits", sentence)

    def test_the_failures_that_are_numbers_are_those_of_the_entries(self):
        sentence = g.failures_as_numbers(ENTRIES)
        only, some = sentence.split(";")[0], sentence.split(";")[1]
        for e in ENTRIES:
            numbers, others = g.failure_kinds(e)
            named = re.search(r"\b%s\b" % e.name, sentence) is not None
            self.assertEqual(named, numbers, e.name)
            if numbers:
                self.assertIn(e.name, some if others else only)
        self.assertIn("{failures_as_numbers}", reading("Results and failures"))


if __name__ == "__main__":
    unittest.main()
