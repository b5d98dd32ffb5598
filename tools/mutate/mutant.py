"""A mutant: one splice of one source file, and its stable id."""
import hashlib
import re
from dataclasses import dataclass, field

OPERATORS = {
    "ror": "relational and equality operator to its neighbour",
    "aor": "arithmetic, bitwise or shift operator swapped",
    "bnd": "+ 1 / - 1 dropped or added at a boundary",
    "cst": "constant changed (0 -> 1, 1 -> 0, n -> n + 1)",
    "lcr": "&& and || swapped",
    "neg": "if condition negated",
    "del": "call or assignment statement deleted",
    "ret": "early return of a default value at the start of a function",
}


def squeeze(text):
    """Text with its whitespace runs made single spaces (ids survive re-indenting)."""
    return re.sub(r"\s+", " ", text).strip()


def short_hash(text, length=8):
    return hashlib.sha1(text.encode("utf-8")).hexdigest()[:length]


@dataclass
class Mutant:
    path: str        # relative to the source root, '/' separated
    line: int        # 1-based line of the change's start
    op: str          # a key of OPERATORS
    start: int       # offset of the replaced text
    end: int
    original: str
    replacement: str
    line_text: str   # the original line, for the report
    occurrence: int = 0
    room: str = ""
    id: str = field(default="")

    def change(self, width=60):
        """The change in words, short enough for one line."""
        a = squeeze(self.original)
        b = squeeze(self.replacement)
        if self.op == "del":
            return "delete `%s`" % _clip(a, width)
        if self.op == "ret":
            return "insert `%s`" % b
        return "`%s` -> `%s`" % (_clip(a, width), _clip(b, width))

    def key(self):
        """The id without its occurrence index."""
        return "%s@%s:%s:%s->%s" % (self.path, short_hash(squeeze(self.line_text)), self.op,
                                    _id_text(self.original), _id_text(self.replacement))

    def apply(self, source):
        assert source[self.start:self.end] == self.original, "source changed under the mutant"
        return source[:self.start] + self.replacement + source[self.end:]


def _clip(text, width):
    return text if len(text) <= width else text[:width - 3] + "..."


def _id_text(text):
    """The change's text as it appears in an id: short ones verbatim, long ones hashed."""
    text = re.sub(r"\s+", "_", squeeze(text))
    if len(text) <= 16 and re.fullmatch(r"[^#@']*", text):
        return "'%s'" % text
    return "h" + short_hash(text, 6)


def assign_ids(mutants):
    """Number identical changes of identical lines of a file in order, and set the ids.

    The id holds the file, a hash of the line's text (not its number), the
    operator, the change and that occurrence index: adding or removing lines
    elsewhere in the file leaves it alone."""
    seen = {}
    for m in sorted(mutants, key=lambda m: (m.path, m.start, m.op, m.replacement)):
        key = m.key()
        m.occurrence = seen.get(key, 0)
        seen[key] = m.occurrence + 1
        m.id = "%s#%d" % (key, m.occurrence)
    return mutants
