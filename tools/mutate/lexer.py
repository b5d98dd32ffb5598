"""C++ source text to tokens, enough to place mutants safely.

Comments and preprocessor lines (with their continuations) become no
tokens at all; string and character literals (prefixed and raw ones too)
become single opaque tokens.  Each token keeps its offset in the text, so a
mutant is a splice of the original text and never a re-rendering of it.
"""
import re
from dataclasses import dataclass

IDENT, NUMBER, STRING, CHAR, PUNCT = "ident", "number", "string", "char", "punct"

# Longest first, so that ">>=" wins over ">>" and ">".
_PUNCTUATORS = sorted(
    """
    ... ->* <<= >>= <=> :: -> ++ -- << >> <= >= == != && || += -= *= /= %= &= |= ^= .*
    { } [ ] ( ) ; : , . ? ~ ! + - * / % ^ & | = < > #
    """.split(),
    key=len, reverse=True)

_IDENT_RE = re.compile(r"[A-Za-z_][A-Za-z_0-9]*")
# Integers and floating literals with digit separators, suffixes and
# exponents (a pp-number, as the preprocessor sees it).
_NUMBER_RE = re.compile(r"\.?[0-9](?:'?[0-9A-Za-z_.]|[eEpP][+-])*")
_STRING_PREFIXES = ("u8R", "uR", "UR", "LR", "R", "u8", "u", "U", "L")


@dataclass
class Token:
    kind: str
    text: str
    start: int  # offset in the source text
    line: int   # 1-based

    @property
    def end(self):
        return self.start + len(self.text)


class LexError(Exception):
    pass


def tokenize(text):
    tokens = []
    i, line, n = 0, 1, len(text)
    at_line_start = True  # only blanks since the last newline
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
            at_line_start = True
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if c == "\\" and text.startswith("\n", i + 1):
            i += 2
            line += 1
            continue
        if text.startswith("//", i):
            j = _line_end(text, i)
            line += text.count("\n", i, j)
            i = j
            continue
        if text.startswith("/*", i):
            j = text.find("*/", i + 2)
            if j < 0:
                raise LexError("unterminated comment at line %d" % line)
            line += text.count("\n", i, j + 2)
            i = j + 2
            continue
        if c == "#" and at_line_start:
            j = _line_end(text, i)
            line += text.count("\n", i, j)
            i = j
            continue
        at_line_start = False

        m = _IDENT_RE.match(text, i)
        if m:
            word = m.group()
            if word in _STRING_PREFIXES and m.end() < n and text[m.end()] in "\"'":
                j = _literal_end(text, m.end(), raw=word.endswith("R"), line=line)
                kind = STRING if text[m.end()] == '"' else CHAR
                tokens.append(Token(kind, text[i:j], i, line))
                line += text.count("\n", i, j)
                i = j
                continue
            tokens.append(Token(IDENT, word, i, line))
            i = m.end()
            continue
        if c.isdigit() or (c == "." and i + 1 < n and text[i + 1].isdigit()):
            m = _NUMBER_RE.match(text, i)
            tokens.append(Token(NUMBER, m.group(), i, line))
            i = m.end()
            continue
        if c in "\"'":
            j = _literal_end(text, i, raw=False, line=line)
            tokens.append(Token(STRING if c == '"' else CHAR, text[i:j], i, line))
            line += text.count("\n", i, j)
            i = j
            continue
        for p in _PUNCTUATORS:
            if text.startswith(p, i):
                tokens.append(Token(PUNCT, p, i, line))
                i += len(p)
                break
        else:
            raise LexError("unexpected character %r at line %d" % (c, line))
    return tokens


def _line_end(text, i):
    """The newline ending the logical line from i (continuations joined)."""
    while True:
        j = text.find("\n", i)
        if j < 0:
            return len(text)
        k = j - 1
        if k >= 0 and text[k] == "\r":
            k -= 1
        if k >= 0 and text[k] == "\\":
            i = j + 1
            continue
        return j


def _literal_end(text, i, raw, line):
    quote = text[i]
    if raw:
        open_paren = text.find("(", i)
        delimiter = text[i + 1:open_paren]
        close = text.find(")" + delimiter + '"', open_paren)
        if open_paren < 0 or close < 0:
            raise LexError("unterminated raw string at line %d" % line)
        return close + len(delimiter) + 2
    j = i + 1
    while j < len(text):
        c = text[j]
        if c == "\\":
            j += 2
            continue
        if c == quote:
            return j + 1
        if c == "\n":
            break
        j += 1
    raise LexError("unterminated literal at line %d" % line)
