"""The mutation operators: from a source file's text to its mutants."""
import re

from lexer import IDENT, NUMBER, PUNCT, tokenize
from mutant import Mutant, assign_ids
from structure import KEYWORDS, Structure

RELATIONAL = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
ARITHMETIC = {"+": "-", "-": "+", "*": "/", "/": "*", "%": "/", "<<": ">>", ">>": "<<",
              "&": "|", "|": "&", "^": "&"}
COMPOUND = {"+=": "-=", "-=": "+=", "*=": "/=", "/=": "*=", "%=": "/=", "<<=": ">>=",
            ">>=": "<<=", "&=": "|=", "|=": "&=", "^=": "&="}
LOGICAL = {"&&": "||", "||": "&&"}
ASSIGNMENTS = {"="} | set(COMPOUND)
# After a right operand that is one name: the comparison's operand ends there.
OPERAND_END = {")", ";", "&&", "||", "?", ",", "]", ":", "}"}
# `+ 1` may be dropped when what follows binds no tighter than `+`.
AFTER_ONE = OPERAND_END | {"+", "-", "<", ">", "<=", ">=", "==", "!=", "<<", ">>", "&", "|", "^"}
# The step added to a comparison's right operand: beyond what the neighbour
# swap already does (i < n + 1 is i <= n for integers).
BOUNDARY_ADD = {"<": " - 1", "<=": " + 1", ">": " + 1", ">=": " - 1", "==": " + 1", "!=": " + 1"}
RETURNS = {"void": "return;", "bool": "return false;", "integral": "return 0;",
           "pointer": "return nullptr;", "value": "return {};"}
# Statements whose first word makes them no call or assignment.
NOT_DELETABLE = KEYWORDS - {"this"} | {"assert"}
_INTEGER = re.compile(r"(0[xX][0-9A-Fa-f']+|0[bB][01']+|[0-9][0-9']*)([uUlLzZ]*)")


def mutants_of(path, text, ops=None):
    """Every mutant of the file's text (path is only recorded), with ids."""
    tokens = tokenize(text)
    s = Structure(tokens)
    lines = text.split("\n")
    out = []

    def add(op, a, b, replacement):
        if ops is not None and op not in ops:
            return
        start, end = tokens[a].start, tokens[b].end
        line = tokens[a].line
        out.append(Mutant(path, line, op, start, end, text[start:end], replacement,
                          lines[line - 1]))

    def add_span(op, start, end, line, replacement):
        if ops is not None and op not in ops:
            return
        out.append(Mutant(path, line, op, start, end, text[start:end], replacement,
                          lines[line - 1]))

    for i, t in enumerate(tokens):
        if s.frozen[i] or s.table[i]:
            continue
        in_body = s.body[i] is not None
        if t.kind == PUNCT and in_body:
            _operator_mutants(s, i, add, add_span)
        elif t.kind == NUMBER and (in_body or s.initialiser[i]):
            _constant_mutant(s, i, add)
        elif t.kind == IDENT and t.text == "if" and in_body and s.text(i + 1) == "(":
            _negation_mutant(s, i + 1, add, text)

    for fn in s.functions:
        if fn.returns and not fn.is_lambda:
            brace = tokens[fn.open]
            if s.text(fn.open + 1) != "}" and not s.frozen[fn.open]:
                add_span("ret", brace.end, brace.end, brace.line, " " + RETURNS[fn.returns])
        for start in s.statement_starts(fn):
            end = s.statement_end(start)
            if end is not None and end > start and _deletable(s, start, end):
                add_span("del", tokens[start].start, tokens[end - 1].end, tokens[start].line, "")
    return assign_ids(out)


def _operator_mutants(s, i, add, add_span):
    t = s.text(i)
    if t in COMPOUND:
        add("aor", i, i, COMPOUND[t])
        return
    if t not in RELATIONAL and t not in ARITHMETIC and t not in LOGICAL:
        return
    if not s.is_binary(i):
        return
    if t in RELATIONAL:
        add("ror", i, i, RELATIONAL[t])
        right = i + 1
        if (s.is_name(right) and s.text(right + 1) in OPERAND_END
                and not s.frozen[right]):
            tok = s.tokens[right]
            add_span("bnd", tok.end, tok.end, tok.line, BOUNDARY_ADD[t])
    elif t in LOGICAL:
        add("lcr", i, i, LOGICAL[t])
    else:
        if t in "+-" and _is_one(s, i + 1) and s.text(i + 2) in AFTER_ONE:
            before = s.tokens[i - 1]
            one = s.tokens[i + 1]
            add_span("bnd", before.end, one.end, before.line, "")
        add("aor", i, i, ARITHMETIC[t])


def _is_one(s, i):
    parsed = _integer_value(s.text(i)) if s.kind(i) == NUMBER else None
    return parsed is not None and parsed[0] == 1


def _constant_mutant(s, i, add):
    text = s.text(i)
    if _is_one(s, i) and s.text(i - 1) in "+-" and s.is_binary(i - 1) and s.text(i + 1) in AFTER_ONE:
        return  # the boundary operator drops this `+ 1`
    parsed = _integer_value(text)
    if parsed is None:
        return
    value, digits, suffix = parsed
    if value == 0:
        new = 1
    elif value == 1:
        new = 0
    elif value + 1 in (1 << 8, 1 << 16, 1 << 32, 1 << 64):
        new = value - 1  # an all-ones mask stays in its type
    else:
        new = value + 1
    add("cst", i, i, _format_like(digits, new) + suffix)


def _integer_value(text):
    m = _INTEGER.fullmatch(text)
    if not m:
        return None
    digits, suffix = m.group(1), m.group(2)
    plain = digits.replace("'", "")
    if plain[:2] in ("0x", "0X"):
        value = int(plain[2:], 16)
    elif plain[:2] in ("0b", "0B"):
        value = int(plain[2:], 2)
    elif len(plain) > 1 and plain[0] == "0":
        value = int(plain, 8)
    else:
        value = int(plain)
    return value, digits, suffix


def _format_like(digits, value):
    plain = digits.replace("'", "")
    if plain[:2] in ("0x", "0X"):
        body = "%0*x" % (len(plain) - 2, value)
        if any(c.isupper() for c in plain[2:]):
            body = body.upper()
        return plain[:2] + body
    if plain[:2] in ("0b", "0B"):
        return plain[:2] + format(value, "b")
    if len(plain) > 1 and plain[0] == "0":
        return "0%o" % value
    return str(value)


def _negation_mutant(s, open_paren, add, text):
    close = s.match[open_paren]
    if close == open_paren + 1:
        return
    if s.text(open_paren + 1) in ("const", "auto", "constexpr") or (
            s.is_name(open_paren + 1) and s.is_name(open_paren + 2)):
        return  # if (T x = ...)
    for k in range(open_paren + 1, close):
        if s.text(k) == ";" or (s.text(k) == "=" and s.enclosing[k] == open_paren):
            return  # an init-statement or a declaration
    first, last = s.tokens[open_paren + 1], s.tokens[close - 1]
    inner = text[first.start:last.end]
    add("neg", open_paren + 1, close - 1, "!(" + inner + ")")


def _deletable(s, start, end):
    """Whether tokens start..end-1 form a call or an assignment statement."""
    first = s.text(start)
    if first in ("++", "--"):
        return s.is_name(start + 1)
    if s.kind(start) != IDENT or first in NOT_DELETABLE:
        return False
    if s.text(start + 1) == ":":  # a label
        return False
    depth_zero = [k for k in range(start, end) if s.enclosing[k] == s.enclosing[start]]
    for a, b in zip(depth_zero, depth_zero[1:]):
        if s.template[a] and not s.template[b] and s.kind(b) == IDENT:
            return False  # std::vector<int> v
        if s.kind(a) == IDENT and s.kind(b) == IDENT and a + 1 == b:
            return False  # T x
        if s.text(a) in ("*", "&", "&&") and s.kind(b) == IDENT and a > start:
            if not any(s.text(k) in ASSIGNMENTS for k in depth_zero if k < a):
                return False  # T *x
    if any(s.text(k) in ASSIGNMENTS for k in depth_zero):
        return True
    last = end - 1
    if s.text(last) in ("++", "--"):
        return True
    if s.text(last) != ")":
        return False
    before = s.match[last] - 1
    return s.is_name(before) or s.text(before) in (")", "]") or (
        s.template[before] and s.text(before) in (">", ">>"))
