#!/usr/bin/env python3
"""Rewrites bare error numbers in C++ sources to their names (errs::kName).

The names come from resources/messages.txt. A number is rewritten only where
the code says it is an error number:
  - an argument passed to a parameter declared `std::uint16_t` with an error
    name (number, error, fullError, missing, notFound, no...) in any function
    of the scanned sources, e.g. fail(c, N), os_fail(c, N, ...);
  - message_text(N) and copy_message_text(N, ...);
  - the value assigned to, or compared (== / !=) with, a variable named like an
    error (error, err, c.error, realCode, problem, ...; a short name such as
    `e` or `number` only where this file declares it std::uint16_t);
  - `return N` in a function declared to return std::uint16_t;
  - either branch of a ?: whose result goes to one of the places above.
Anything else (table rows, named constants, numbers in tests) is left alone and,
with --report, listed when it is a message number the rules did not take.
Running it again changes nothing. Files it changes get the header's include.

Usage: python3 tools/name_errors.py [--check] [--report] [PATH...]
  PATH defaults to the product folders; --check lists what would change and
  fails if anything would, without writing.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
MESSAGES = ROOT / "resources" / "messages.txt"
HEADER = "engine/error_numbers.h"
NAMESPACE = "errs"
PRODUCT = ["engine", "builtins", "com", "ui", "winauto", "extend", "desktop", "platform", "host", "tools"]
SKIP_FILES = {"error_numbers.h", "keyword_table.inc", "keyword_table.cpp", "keyword_ids.h"}

STRONG_VAR = re.compile(r"^(error|err|\w*Error|error\w+|realCode|problem)$")
WEAK_VAR = re.compile(r"^(e|n|number_?|message|code|fault)$")
ERROR_PARAM = re.compile(r"^(number|error|err|\w*Error|error\w*|\w*[Mm]issing|notFound|notOpen|failure|no[A-Z]\w*)$")
TEXT_CALLS = {"message_text": {0}, "copy_message_text": {0}}
NUMBER = re.compile(r"(?<![\w.'])(\d+)(?![\w.'])")


def load_names():
    names = {}
    for raw in MESSAGES.read_text(encoding="utf-8").splitlines():
        m = re.match(r"^(\d+)\t(k[A-Z]\w*)\t", raw)
        if m:
            names[int(m.group(1))] = m.group(2)
    return names


def load_numbers():
    return {int(m.group(1)) for m in re.finditer(r"^(\d+)\t", MESSAGES.read_text(encoding="utf-8"), re.M)}


def mask(text):
    """The text with comments, strings and character literals blanked (same length)."""
    out = list(text)
    i, n = 0, len(text)
    while i < n:
        ch = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
        elif ch == 'R' and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            delim_end = text.find("(", i + 2)
            close = ")" + text[i + 2:delim_end] + '"'
            j = text.find(close, delim_end)
            j = n if j < 0 else j + len(close)
        elif ch in "\"'":
            if ch == "'" and i > 0 and text[i - 1].isdigit() and text[i + 1:i + 2].isalnum():  # 1'000
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != ch and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
        else:
            i += 1
            continue
        for k in range(i, j):
            if out[k] != "\n":
                out[k] = " "
        i = j
    return "".join(out)


def split_top(params):
    parts, depth, cur = [], 0, []
    for ch in params:
        if ch in "(<[{":
            depth += 1
        elif ch in ")>]}":
            depth -= 1
        if ch == "," and depth == 0:
            parts.append("".join(cur))
            cur = []
        else:
            cur.append(ch)
    parts.append("".join(cur))
    return parts


DECL = re.compile(r"\b([A-Za-z_]\w*)\s*\(([^()]*)\)\s*(?:const\s*)?(?:noexcept\s*)?(?:\{|;|->)"
                  r"|\bauto\s+([A-Za-z_]\w*)\s*=\s*\[[^\]]*\]\s*\(([^()]*)\)")


def error_params(masked_texts):
    """Function name -> parameter positions declared as error numbers."""
    found = {name: set(ix) for name, ix in TEXT_CALLS.items()}
    for text in masked_texts:
        for m in DECL.finditer(text):
            name, params = (m.group(1), m.group(2)) if m.group(1) else (m.group(3), m.group(4))
            for ix, p in enumerate(split_top(params)):
                pm = re.match(r"\s*(?:const\s+)?std::uint16_t\s+(\w+)\s*(=.*)?$", p, re.S)
                if pm and ERROR_PARAM.match(pm.group(1)):
                    found.setdefault(name, set()).add(ix)
    return found


def function_spans(masked):
    """(start, end) of bodies of functions declared to return std::uint16_t."""
    spans, stack = [], []
    for i, ch in enumerate(masked):
        if ch == "{":
            head = masked[max(0, i - 400):i]
            head = re.split(r"[;{}]", head)[-1]
            returns = bool(re.search(r"(^|[\s:])(?:std::)?uint16_t\s+[\w:~]+\s*\([^;]*\)\s*(const\s*)?(noexcept\s*)?$", head)
                           or re.search(r"->\s*(?:std::)?uint16_t\s*$", head))
            is_function = bool(re.search(r"\)\s*(const\s*)?(noexcept\s*)?(->\s*[\w:<>]+\s*)?$", head)
                               and not re.search(r"\b(if|for|while|switch|catch)\s*\(", head))
            stack.append((i, returns, is_function))
        elif ch == "}" and stack:
            start, returns, is_function = stack.pop()
            if is_function:
                spans.append((start, i, returns))
    return spans


def orv_spans(masked):
    """Spans of `namespace orv...` blocks, where errs:: needs no qualifier."""
    spans, stack = [], []
    for i, ch in enumerate(masked):
        if ch == "{":
            head = re.split(r"[;{}]", masked[max(0, i - 200):i])[-1]
            stack.append((i, bool(re.search(r"\bnamespace\s+orv\b[\w:]*\s*$", head))))
        elif ch == "}" and stack:
            start, is_orv = stack.pop()
            if is_orv:
                spans.append((start, i))
    return spans


def in_returning_function(spans, pos):
    best = None
    for start, end, returns in spans:
        if start < pos < end and (best is None or start > best[0]):
            best = (start, returns)
    return bool(best and best[1])


def prev_token(masked, pos):
    """The token that ends just before pos (skipping blanks) and where it starts."""
    j = pos - 1
    while j >= 0 and masked[j].isspace():
        j -= 1
    if j < 0:
        return "", 0
    if masked[j].isalnum() or masked[j] == "_":
        k = j
        while k > 0 and (masked[k - 1].isalnum() or masked[k - 1] == "_"):
            k -= 1
        return masked[k:j + 1], k
    for op in ("==", "!=", "::", "<=", ">=", "->", "&&", "||"):
        if masked[j - 1:j + 1] == op:
            return op, j - 1
    return masked[j], j


def next_char(masked, pos):
    j = pos
    while j < len(masked) and masked[j].isspace():
        j += 1
    return masked[j] if j < len(masked) else ""


def lvalue_name(masked, end):
    """The last name of the variable expression ending at end (a.b, p->q, x_)."""
    tok, at = prev_token(masked, end)
    if tok == "]":  # c.errors[i] and the like: not a plain variable
        return None, at
    return (tok, at) if re.match(r"^[A-Za-z_]\w*$", tok) else (None, at)


def scan_back(masked, j, closers, openers):
    """Walks back from j, yielding (position, char, False) for each character
    outside brackets, then (position, char, True) for the unmatched opener."""
    depth = 0
    while j >= 0:
        ch = masked[j]
        if ch in closers:
            depth += 1
        elif ch in openers:
            if depth == 0:
                yield j, ch, True
                return
            depth -= 1
        elif depth == 0:
            yield j, ch, False
        j -= 1


def head_of(masked, pos):
    """Walks back from a number over a ?: condition to what takes the value.

    Returns (kind, detail): ("call", (name, argIndex)), ("assign", var),
    ("compare", var), ("return", None) or (None, None).
    """
    tok, at = prev_token(masked, pos)
    if tok in ("==", "!="):
        var, _ = lvalue_name(masked, at)
        return ("compare", var) if var else (None, None)
    if tok in ("?", ":"):
        # A branch of ?: - skip back over the condition (and the other branch).
        for j, ch, unmatched in scan_back(masked, at - 1, ")]", "(["):
            if unmatched or ch in ";{},":
                return head_of_marker(masked, j)
            if ch == "=" and masked[j - 1] not in "=!<>" and masked[j + 1] != "=":
                return head_of_marker(masked, j)
            if masked[j - 5:j + 1] == "return" and not (masked[j - 6].isalnum() or masked[j - 6] == "_"):
                return ("return", None)
        return (None, None)
    if tok == "return":
        return ("return", None)
    if tok in ("(", ",", "="):
        return head_of_marker(masked, at)
    return (None, None)


def head_of_marker(masked, j):
    ch = masked[j]
    if ch == "=":
        if masked[j - 1] in "=!<>+-*/%&|^":
            return (None, None)
        var, _ = lvalue_name(masked, j)
        return ("assign", var) if var else (None, None)
    if ch in "(,":
        # Find the call's open parenthesis and count the arguments before j.
        k, index = j, 0
        if ch == ",":
            index, k = 1, -1
            for at, c, unmatched in scan_back(masked, j - 1, ")]}", "([{"):
                if unmatched:
                    k = at
                    break
                index += c == ","
            if k < 0 or masked[k] != "(":
                return (None, None)
        name, _ = prev_token(masked, k)
        if re.match(r"^[A-Za-z_]\w*$", name):
            return ("call", (name, index))
    return (None, None)


def declared_uint16(masked):
    return set(re.findall(r"\bstd::uint16_t\s*&?\s*(\w+)", masked))


def rewrites(masked, names, numbers, params):
    """(start, end, name) of each error number to rewrite, and the positions of
    error numbers that have no name yet."""
    spans = inside = None
    shorts = declared_uint16(masked)
    out, missed = [], []
    for m in NUMBER.finditer(masked):
        number = int(m.group(1))
        if number not in names and number not in numbers:
            continue
        after = next_char(masked, m.end())
        kind, detail = head_of(masked, m.start())
        if after not in (";", ",", ")", ":", "}", "") and not (kind == "compare" and after in "|&"):
            continue
        ok = False
        if kind == "call":
            ok = detail[1] in params.get(detail[0], ())
        elif kind in ("assign", "compare"):
            ok = bool(STRONG_VAR.match(detail) or (WEAK_VAR.match(detail) and detail in shorts))
        elif kind == "return":
            if spans is None:
                spans = function_spans(masked)
            ok = in_returning_function(spans, m.start())
        if not ok:
            continue
        if number in names:
            if inside is None:
                inside = orv_spans(masked) if not re.search(r"\busing namespace orv;", masked) else [(0, len(masked))]
            prefix = "" if any(a < m.start() < b for a, b in inside) else "orv::"
            out.append((m.start(), m.end(), f"{prefix}{NAMESPACE}::{names[number]}"))
        else:
            missed.append(m.start())
    return out, missed


def apply(text, path, edits):
    for start, end, name in reversed(edits):
        text = text[:start] + name + text[end:]
    return add_include(text, path) if edits else text


def line_of(text, pos):
    return text.count("\n", 0, pos) + 1


def add_include(text, path):
    line = f'#include "{HEADER}"'
    if line in text:
        return text
    lines = text.split("\n")
    own = re.compile(r'#include "(.*/)?' + re.escape(path.stem) + r'(_\w+)?\.h"')
    quoted = [i for i, l in enumerate(lines) if l.startswith('#include "') and not own.match(l)]
    if not quoted:
        # Only the file's own header (or nothing quoted): go after the last include.
        anchor = max((i for i, l in enumerate(lines) if l.startswith(("#include", "#pragma once"))), default=-1)
        lines[anchor + 1:anchor + 1] = ["", line] if lines[anchor].startswith("#include <") else [line]
        return "\n".join(lines)
    # The first run of the project's includes stays sorted.
    run = [quoted[0]]
    while run[-1] + 1 < len(lines) and lines[run[-1] + 1].startswith('#include "') \
            and not own.match(lines[run[-1] + 1]):
        run.append(run[-1] + 1)
    at = next((i for i in run if lines[i] > line), run[-1] + 1)
    lines.insert(at, line)
    return "\n".join(lines)


def source_files(paths):
    for p in paths:
        p = pathlib.Path(p)
        files = [p] if p.is_file() else sorted(p.rglob("*"))
        for f in files:
            if f.suffix in (".cpp", ".h", ".inc") and f.name not in SKIP_FILES:
                yield f


def main(argv):
    check = "--check" in argv
    report = "--report" in argv
    paths = [a for a in argv if not a.startswith("--")] or [ROOT / d for d in PRODUCT]
    names, numbers = load_names(), load_numbers()
    files = list(source_files(paths))
    texts = {f: f.read_text(encoding="utf-8") for f in files}
    masks = {f: mask(t) for f, t in texts.items()}
    # Helpers declared anywhere in the product may be called from any file.
    scope = list(source_files([ROOT / d for d in PRODUCT]))
    params = error_params([mask(f.read_text(encoding="utf-8")) for f in scope])
    changed, unnamed = 0, 0
    for f in files:
        text, masked = texts[f], masks[f]
        edits, missed = rewrites(masked, names, numbers, params)
        for pos in missed:
            unnamed += 1
            print(f"{f.relative_to(ROOT) if f.is_absolute() else f}:{line_of(text, pos)}: error number "
                  f"{NUMBER.match(masked, pos).group(1)} has no name in resources/messages.txt", file=sys.stderr)
        if report:
            taken = {e[0] for e in edits} | set(missed)
            for m in NUMBER.finditer(masked):
                if int(m.group(1)) in numbers and m.start() not in taken and int(m.group(1)) >= 100:
                    line = text.split("\n")[line_of(text, m.start()) - 1].strip()
                    print(f"left {f}:{line_of(text, m.start())}: {line}")
        if not edits:
            continue
        new = apply(text, f, edits)
        changed += 1
        if check:
            print(f"would change {f}: {len(edits)} numbers")
        else:
            f.write_text(new, encoding="utf-8")
    print(f"{changed} files {'to change' if check else 'changed'}; {unnamed} error numbers without a name",
          file=sys.stderr)
    return 1 if check and (changed or unnamed) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
