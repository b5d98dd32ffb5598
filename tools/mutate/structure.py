"""What each token of a C++ file is, as far as mutants need to know.

No parser: a handful of conservative rules over the token list.  Where a
rule is unsure it says "do not touch", since a mutant that does not compile
only costs a build and teaches nothing.

  - bracket pairs, and template angle brackets (template<...>, casts,
    std::atomic<int>, numeric_limits<T>::max(), ...);
  - zones never mutated: template arguments, sizeof/alignof/decltype/
    noexcept/static_assert/alignas/attribute arguments, `if constexpr`
    conditions, case labels, `operator<` and friends;
  - function bodies (with the return type of each function when it is one
    an early return can be made of), and the statements in them;
  - initialisers outside functions (constants worth mutating there) and
    long brace lists (tables, left alone).
"""
import re

from lexer import IDENT, NUMBER, PUNCT, STRING, CHAR

CONTROL = {"if", "for", "while", "switch", "catch"}
CASTS = {"static_cast", "reinterpret_cast", "const_cast", "dynamic_cast"}
# Keywords whose parenthesised argument is a type or a constant expression.
NO_MUTATE_CALLS = {"sizeof", "alignof", "alignas", "decltype", "noexcept", "static_assert",
                   "__attribute__", "__declspec", "asm", "__asm__", "_Pragma", "offsetof",
                   "__builtin_expect", "__builtin_offsetof"}
# Intrinsics whose constant arguments are lane numbers: one more is out of range.
LANE_INTRINSIC = re.compile(r"_mm\w*_(extract|insert)\w*")
KEYWORDS = {
    "alignas", "alignof", "asm", "auto", "bool", "break", "case", "catch", "char", "char8_t",
    "char16_t", "char32_t", "class", "const", "consteval", "constexpr", "constinit", "const_cast",
    "continue", "decltype", "default", "delete", "do", "double", "dynamic_cast", "else", "enum",
    "explicit", "export", "extern", "float", "for", "friend", "goto", "if", "inline", "int",
    "long", "mutable", "namespace", "new", "noexcept", "operator", "private", "protected",
    "public", "register", "reinterpret_cast", "return", "short", "signed", "sizeof", "static",
    "static_assert", "static_cast", "struct", "switch", "template", "thread_local", "throw",
    "try", "typedef", "typeid", "typename", "union", "unsigned", "using", "virtual", "void",
    "volatile", "wchar_t", "while",
}
VALUE_KEYWORDS = {"this", "true", "false", "nullptr"}
TYPE_WORDS = {"bool", "char", "char8_t", "char16_t", "char32_t", "short", "int", "long",
              "unsigned", "signed", "float", "double", "wchar_t", "void", "const", "volatile",
              "auto", "size_t", "ptrdiff_t", "uintptr_t", "intptr_t", "ssize_t", "std", "struct",
              "typename", "static", "constexpr", "register", "thread_local", "inline"}
INTEGRAL_WORDS = {"char", "short", "int", "long", "unsigned", "signed", "size_t", "ssize_t",
                  "ptrdiff_t", "uintptr_t", "intptr_t", "uint8_t", "uint16_t", "uint32_t",
                  "uint64_t", "int8_t", "int16_t", "int32_t", "int64_t", "wchar_t", "char16_t",
                  "char32_t", "std", "::"}
SPECIFIERS = {"static", "inline", "constexpr", "extern", "virtual", "explicit", "friend",
              "consteval"}
QUALIFIERS = {"const", "noexcept", "override", "final", "mutable", "volatile", "&", "&&"}
TABLE_NUMBERS = 16  # a brace list with more numbers than this is a table


def _maybe_vector(name):
    """SIMD vector types (__m256i, or an alias such as V) take no `return {};`."""
    return name.startswith("__m") or (len(name) == 1 and name.isupper())


class StructureError(Exception):
    pass


class Function:
    def __init__(self, open_index, close_index, returns, lambda_):
        self.open = open_index
        self.close = close_index
        self.returns = returns  # "void", "bool", "integral", "pointer", "value" or None
        self.is_lambda = lambda_


class Structure:
    def __init__(self, tokens):
        self.tokens = tokens
        n = len(tokens)
        self.match = {}
        self.enclosing = [None] * n   # innermost open bracket around each token
        self.template = [False] * n   # template angle bracket or inside one
        self.frozen = [False] * n     # never mutated
        self.body = [None] * n        # innermost Function whose body holds the token
        self.initialiser = [False] * n
        self.table = [False] * n
        self.control_close = set()    # ')' ending an if/for/while/switch/catch header
        self.functions = []
        self._match_brackets()
        self._find_templates()
        self._freeze_zones()
        self._find_bodies()
        self._find_initialisers()

    # -- helpers -----------------------------------------------------------
    def text(self, i):
        return self.tokens[i].text if 0 <= i < len(self.tokens) else ""

    def kind(self, i):
        return self.tokens[i].kind if 0 <= i < len(self.tokens) else None

    def is_name(self, i):
        return self.kind(i) == IDENT and self.text(i) not in KEYWORDS | VALUE_KEYWORDS

    def _match_brackets(self):
        stack = []
        pairs = {")": "(", "]": "[", "}": "{"}
        for i, t in enumerate(self.tokens):
            self.enclosing[i] = stack[-1] if stack else None
            if t.kind != PUNCT:
                continue
            if t.text in "([{":
                stack.append(i)
            elif t.text in pairs:
                if not stack or self.tokens[stack[-1]].text != pairs[t.text]:
                    raise StructureError("unbalanced %r at line %d" % (t.text, t.line))
                j = stack.pop()
                self.match[i], self.match[j] = j, i
                self.enclosing[i] = stack[-1] if stack else None
        if stack:
            raise StructureError("unclosed %r at line %d" % (self.tokens[stack[-1]].text,
                                                              self.tokens[stack[-1]].line))

    def _find_templates(self):
        i = 0
        while i < len(self.tokens):
            if self.text(i) == "<" and not self.template[i] and self._may_open_template(i):
                j = self._template_close(i, allow_assign=self.text(i - 1) == "template")
                if j is not None:
                    for k in range(i, j + 1):
                        self.template[k] = True
            i += 1

    def _may_open_template(self, i):
        prev = self.text(i - 1)
        if prev == "template" or prev in CASTS:
            return True
        return self.kind(i - 1) == IDENT and prev not in KEYWORDS

    def _template_close(self, i, allow_assign):
        stop = {";", "{", "}", "&&", "||", "?", "return", "==", "!=", "<=", ">=", "+=", "-=",
                "|=", "&=", "^=", "<<=", ">>="}
        if not allow_assign:
            stop.add("=")
        depth, j = 1, i + 1
        while j < len(self.tokens):
            t = self.text(j)
            if t in stop:
                return None
            if t in "([":
                j = self.match[j] + 1
                continue
            if t in ")]":
                return None
            if t == "<":
                depth += 1
            elif t == ">":
                depth -= 1
            elif t == ">>":
                depth -= 2
            if depth <= 0:
                return j
            j += 1
        return None

    def _freeze_zones(self):
        toks = self.tokens
        for i, t in enumerate(toks):
            if t.kind == IDENT and self.text(i + 1) == "(" and (
                    t.text in NO_MUTATE_CALLS or LANE_INTRINSIC.fullmatch(t.text)):
                self._freeze(i, self.match[i + 1])
            elif t.text == "constexpr" and self.text(i - 1) == "if" and self.text(i + 1) == "(":
                self._freeze(i, self.match[i + 1])
            elif t.text == "operator":
                self._freeze(i, i + 2)
            elif t.text == "case":
                j = i
                while j < len(toks) and toks[j].text != ":":
                    j += 1
                self._freeze(i, j)
            elif t.text == "[" and self.text(i + 1) == "[":
                self._freeze(i, self.match[i])
            elif t.text == "[" and self._declares_array(i):
                self._freeze(i, self.match[i])
            elif t.text in ("(", "{") and t.kind == PUNCT:
                self._mark_table(i)
            if t.text == "(" and self.text(i - 1) in CONTROL:
                self.control_close.add(self.match[i])
            elif t.text == "(" and self.text(i - 1) == "constexpr" and self.text(i - 2) == "if":
                self.control_close.add(self.match[i])
        for i, flag in enumerate(self.template):
            if flag:
                self.frozen[i] = True

    def _declares_array(self, bracket):
        """T name[N]: an array's size, which mutated only wastes or overruns room."""
        return (self.kind(bracket - 1) == IDENT and self.kind(bracket - 2) == IDENT
                and self.text(bracket - 2) not in KEYWORDS - TYPE_WORDS)

    def _freeze(self, a, b):
        for k in range(a, min(b, len(self.tokens) - 1) + 1):
            self.frozen[k] = True

    # -- function bodies ---------------------------------------------------
    def _find_bodies(self):
        stack = []  # Function or None for each open brace
        for i, t in enumerate(self.tokens):
            if t.text == "{" and t.kind == PUNCT:
                fn = self._function_at(i)
                if fn is not None:
                    self.functions.append(fn)
                stack.append(fn)
            inner = next((f for f in reversed(stack) if f is not None), None)
            self.body[i] = inner
            if t.text == "}" and t.kind == PUNCT:
                stack.pop()

    def _function_at(self, brace):
        """A Function if the brace at `brace` opens a function or lambda body."""
        j = brace - 1
        # Qualifiers and a trailing return type between ')' and '{'.
        while j >= 0 and (self.text(j) in QUALIFIERS or self.template[j]):
            j -= 1
        if self.text(j) not in (")", "]"):
            k = j
            while k >= 0 and (self.kind(k) == IDENT or self.text(k) in ("::", "*", "&")
                              or self.template[k]):
                k -= 1
            if self.text(k) == "->" and self.text(k - 1) == ")":
                j = k - 1
        if self.text(j) == "]":  # [captures] { ... }
            return Function(brace, self.match[brace], None, True)
        if self.text(j) != ")":
            return None
        open_paren = self.match[j]
        before = open_paren - 1
        if self.text(before) == "]":
            return Function(brace, self.match[brace], None, True)
        if self.template[before] and self.text(before) in (">", ">>"):
            return Function(brace, self.match[brace], None, False)
        if not self.is_name(before) or self.text(before) in NO_MUTATE_CALLS:
            return None
        return Function(brace, self.match[brace], self._return_kind(before), False)

    def _return_kind(self, name):
        j = name - 1
        while self.text(j) == "::" and self.kind(j - 1) == IDENT:  # Class::name
            j -= 2
        if self.text(j) in ("~", ":", ",", "::", ".", "->"):  # destructor, member initialiser
            return None
        words = []
        while j >= 0:
            t = self.text(j)
            if t in (";", "{", "}", ")", ":", "]") or self.kind(j) in (STRING, CHAR):
                break
            if self.template[j]:
                if self.text(j) in (">", ">>"):
                    opener = j
                    while opener > 0 and self.template[opener - 1]:
                        opener -= 1
                    if self.text(opener - 1) == "template":
                        break
                    words.append("<>")
                    j = opener - 1
                    continue
            if t not in SPECIFIERS:
                words.append(t)
            j -= 1
        words.reverse()
        if not words or "operator" in words or "auto" in words or words[-1] in ("&", "&&"):
            return None
        if words == ["void"]:
            return "void"
        if words[-1] == "*":
            return "pointer"
        core = [w for w in words if w not in ("const", "volatile")]
        if core == ["bool"]:
            return "bool"
        if core and all(w in INTEGRAL_WORDS for w in core):
            return "integral"
        if all(self._is_plain_type_word(w) for w in core) and not _maybe_vector(core[-1]):
            return "value"
        return None

    @staticmethod
    def _is_plain_type_word(w):
        return w in ("::", "<>") or (w[0].isalpha() or w[0] == "_") and w not in KEYWORDS

    # -- initialisers outside functions -------------------------------------
    def _find_initialisers(self):
        toks = self.tokens
        for i, t in enumerate(toks):
            if t.text != "=" or self.body[i] is not None or self.frozen[i]:
                continue
            if self.enclosing[i] is not None and toks[self.enclosing[i]].text == "(":
                continue  # a default argument
            j = i + 1
            while j < len(toks) and toks[j].text not in (";", ","):
                if toks[j].text == "{":
                    for k in range(j, self.match[j] + 1):
                        self.initialiser[k] = True
                    j = self.match[j] + 1
                    continue
                if toks[j].text in "([":
                    j = self.match[j]
                if toks[j].text == "}":
                    break
                self.initialiser[j] = True
                j += 1
        # Enumerators and plain brace initialisers (T x{...}) are left alone.

    def _mark_table(self, open_):
        """Marks a bracket group of more literals than TABLE_NUMBERS as a table."""
        close = self.match[open_]
        numbers = sum(1 for k in range(open_ + 1, close)
                      if self.tokens[k].kind in (NUMBER, CHAR) and self.enclosing[k] == open_)
        if numbers > TABLE_NUMBERS:
            for k in range(open_, close + 1):
                self.table[k] = True

    # -- statements and operands -------------------------------------------
    def statement_starts(self, fn):
        """Indices of the first tokens of the statements directly or indirectly in fn."""
        starts = []
        for i in range(fn.open + 1, fn.close):
            if self.body[i] is not fn or self.frozen[i]:
                continue
            enc = self.enclosing[i]
            if enc is None or self.text(enc) != "{":
                continue
            prev = self.text(i - 1)
            if prev in (";", "{", "}", "else", "do") or (i - 1) in self.control_close:
                if self.text(i) not in ("}", ";"):
                    starts.append(i)
        return starts

    def statement_end(self, start):
        """The ';' ending a simple statement, or None if a brace comes first."""
        j = start
        while j < len(self.tokens):
            t = self.text(j)
            if t == ";":
                return j
            if t in "{}":
                return None
            if t in "([":
                j = self.match[j]
            j += 1
        return None

    def operand_ends_at(self, i):
        """Whether token i can end the left operand of a binary operator."""
        k = self.kind(i)
        t = self.text(i)
        if k in (NUMBER, STRING, CHAR):
            return True
        if k == IDENT:
            return t not in KEYWORDS or t in VALUE_KEYWORDS
        if t == "]":
            return not (self.text(i - 1) == "]" and self.text(self.match[i] + 1) == "[")
        if t == ")":
            return i not in self.control_close and not self._is_cast(i)
        if t in ("++", "--"):  # x++ * y
            return self.operand_ends_at(i - 1)
        return False

    def operand_starts_at(self, i):
        k = self.kind(i)
        t = self.text(i)
        if k in (NUMBER, STRING, CHAR):
            return True
        if k == IDENT:
            return t not in KEYWORDS or t in VALUE_KEYWORDS or t in CASTS or t in (
                "sizeof", "alignof", "new", "noexcept", "typeid")
        return t in ("(", "!", "~", "-", "+", "*", "&", "++", "--", "::", "[")

    def _is_cast(self, close):
        """Whether the ')' at close ends a C-style cast such as (uint32_t) or (const T *)."""
        open_ = self.match[close]
        inner = [self.text(k) for k in range(open_ + 1, close)]
        if not inner or self.is_name(open_ - 1) or self.text(open_ - 1) in (")", "]"):
            return False
        if all(w in TYPE_WORDS or w in INTEGRAL_WORDS or w in ("*", "&") for w in inner):
            return True
        return inner[-1] == "*" or (len(inner) == 1 and inner[0].endswith("_t"))

    def is_binary(self, i):
        """Whether the operator token at i is a binary one in an expression."""
        if not (self.operand_ends_at(i - 1) and self.operand_starts_at(i + 1)):
            return False
        if self.text(i) in ("*", "&", "&&") and self._declares(i):
            return False
        return True

    def _declares(self, i):
        """Whether `T *x`, `T &x` or `T &&x` at i declares x rather than computes."""
        j = i - 1
        while j >= 0 and (self.kind(j) == IDENT and (self.text(j) not in KEYWORDS
                                                      or self.text(j) in TYPE_WORDS)
                          or self.text(j) == "::" or self.template[j]):
            j -= 1
        if j == i - 1:
            return False
        t = self.text(j)
        if t in (";", "{", "}") or j < 0 or (j in self.control_close):
            return True
        if t == "(" and self.text(j - 1) == "]":
            return True
        if t == "(" and self.text(j - 1) in CONTROL:  # if (T *p = ...), for (T &x : v)
            return self.text(i + 2) in ("=", ":", "{")
        if t == "," and self.enclosing[j] is not None:
            enc = self.enclosing[j]
            return self.text(enc) == "(" and self.text(enc - 1) in ("]", "for")
        return False
