#!/usr/bin/env python3
"""Regenerates the built-in keyword table from tools/keywords.txt.

Writes engine/keyword_table.inc (one record initialiser per id),
engine/keyword_table.cpp (the table and the float/string constants) and
engine/keyword_ids.h (named ids). A dev tool: the build uses the committed
outputs. Run from anywhere: python3 tools/gen_keywords.py
"""
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
DATA = ROOT / "tools" / "keywords.txt"
ENGINE = ROOT / "engine"

KIND_FUNCTION = 2
KIND_CONSTANT = 3
VARIADIC = 255
MAX_PARAMS = 16
MAX_NAME = 33  # name[34] keeps a terminating NUL
FLAGS = {"pure": 1, "reads": 2, "inward": 4, "watches": 8}  # kw_flag:: in engine/keyword_table.h
FLOAT_WORD = 0xF0F0F000
STRING_WORD = 0xFFF0F000


class Entry:
    def __init__(self, name, kind, line):
        self.name = name
        self.kind = kind
        self.line = line
        self.enum = None
        self.arg_types = 0
        self.counts = 0
        self.note = ""
        self.flags = 0


def fail(line, msg):
    sys.exit(f"keywords.txt:{line}: {msg}")


def parse_flags(word, line):
    bits = 0
    for flag in word.split(","):
        if flag not in FLAGS:
            fail(line, f"unknown flag {flag}")
        bits |= FLAGS[flag]
    return bits


def parse_function(fields, line):
    name = fields[1]
    e = Entry(name, KIND_FUNCTION, line)
    e.enum = "fn_" + name.lstrip("?")
    if len(fields) in (4, 7):
        e.flags = parse_flags(fields[-1], line)
        fields = fields[:-1]
    if fields[2:] == ["?"]:
        e.arg_types = (1 << 64) - 1
        e.counts = MAX_PARAMS << 8
        e.note = "unspecified"
        return e
    if len(fields) != 6:
        fail(line, "expected: F name R O codes status")
    req, opt, codes, status = fields[2:]
    if status not in ("exact", "derived", "partial"):
        fail(line, f"unknown status {status}")
    codes = [] if codes == "-" else [int(c) for c in codes.split(",")]
    if any(c < 0 or c > 15 for c in codes):
        fail(line, "type codes are 0..15")
    if req == "V":
        e.arg_types = (1 << 64) - 1
        e.counts = VARIADIC
        return e
    req = int(req)
    if opt == "P":
        if status != "partial":
            fail(line, "O = P needs status partial")
        opt = MAX_PARAMS - req
        codes = codes + [15] * (MAX_PARAMS - len(codes))
        e.note = f"unspecified beyond parameter {len(fields[4].split(','))}"
    else:
        opt = int(opt)
        if len(codes) != req + opt:
            fail(line, f"{len(codes)} codes for {req + opt} parameters")
    if req + opt > MAX_PARAMS:
        fail(line, "more than 16 parameters")
    for i, c in enumerate(codes):
        e.arg_types |= c << (4 * i)
    e.counts = req | (opt << 8)
    return e


def parse_constant(fields, line):
    name, form = fields[1], fields[2]
    e = Entry(name, KIND_CONSTANT, line)
    if form == "int":
        e.counts = int(fields[3]) & 0xFFFFFFFF
        return e, None
    n = int(fields[3])
    if not 0 <= n < 32:
        fail(line, "constant number out of range")
    if form == "float":
        e.counts = FLOAT_WORD | n
        return e, ("float", n, fields[4])
    if form == "string":
        e.counts = STRING_WORD | n
        return e, ("string", n, fields[4])
    fail(line, f"unknown constant form {form}")


def load():
    entries, floats, strings = [], {}, {}
    for no, raw in enumerate(DATA.read_text().splitlines(), 1):
        text = raw.strip()
        if not text or text.startswith("#"):
            continue
        fields = text.split()
        tag = fields[0]
        if tag == "K":
            if len(fields) != 4:
                fail(no, "expected: K kind name enum")
            e = Entry(fields[2], int(fields[1]), no)
            e.enum = fields[3]
            entries.append(e)
        elif tag == "F":
            entries.append(parse_function(fields, no))
        elif tag == "C":
            e, extra = parse_constant(fields, no)
            entries.append(e)
            if extra:
                table = floats if extra[0] == "float" else strings
                if extra[1] in table:
                    fail(no, "constant number used twice")
                table[extra[1]] = extra[2]
        else:
            fail(no, f"unknown tag {tag}")
    return entries, floats, strings


def c_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def check(entries, floats, strings):
    seen = set()
    for e in entries:
        if e.name in seen:
            fail(e.line, f"duplicate name {e.name}")
        seen.add(e.name)
        if len(e.name) > MAX_NAME or e.name != e.name.lower():
            fail(e.line, f"bad name {e.name}")
        if e.kind == KIND_CONSTANT and e.counts >> 8 in (FLOAT_WORD >> 8, STRING_WORD >> 8):
            n = e.counts & 0x1F
            table = floats if e.counts >> 8 == FLOAT_WORD >> 8 else strings
            if n not in table:
                fail(e.line, f"integer constant {e.name} collides with a float/string value word")
    for table in (floats, strings):
        if sorted(table) != list(range(len(table))):
            fail(0, "constant numbers must run 0..N-1")


def write(entries, floats, strings):
    entries.sort(key=lambda e: e.name.encode())
    header = "// Generated by tools/gen_keywords.py from tools/keywords.txt. Do not edit.\n"

    rows = []
    for pos, e in enumerate(entries):
        counts = f"0x{e.counts:08X}" if e.kind == KIND_CONSTANT else f"0x{e.counts:04X}"
        row = f"{{{pos}, {e.kind}, 0x{e.arg_types:X}ULL, {counts}, {len(e.name)}, {c_string(e.name)}}},"
        if e.note:
            row += f"  // {e.note}"
        rows.append(row)
    (ENGINE / "keyword_table.inc").write_text(header + "\n".join(rows) + "\n")

    ids = [f"  {e.enum} = {pos}," for pos, e in enumerate(entries) if e.enum]
    (ENGINE / "keyword_ids.h").write_text(
        header
        + "// Ids of the built-in keyword table: op_ operators, kw_ commands and structure\n"
        + "// words, sf_ special functions, fn_ built-in functions (\"?\" dropped).\n"
        + "#pragma once\n\nnamespace orv::kw {\n\nenum : int {\n"
        + "\n".join(ids)
        + "\n};\n\n}  // namespace orv::kw\n")

    flag_rows = []
    for start in range(0, len(entries), 32):
        flag_rows.append("    " + ", ".join(str(e.flags) for e in entries[start:start + 32]) + ",")
    float_values = ",\n".join(f"    {floats[n]}" for n in sorted(floats))
    string_values = ",\n".join(f'    "{strings[n]}"' for n in sorted(strings))
    (ENGINE / "keyword_table.cpp").write_text(
        header
        + '#include "engine/keyword_table.h"\n\nnamespace orv {\n\n'
        + "constexpr api::KeywordRecord kKeywords[] = {\n#include \"keyword_table.inc\"\n};\n"
        + "static_assert(sizeof(kKeywords) / sizeof(kKeywords[0]) == kKeywordCount);\n"
        + f"static_assert(kFloatConstantCount == {len(floats)} && kStringConstantCount == {len(strings)});\n\n"
        + f"constexpr double kFloatConstants[kFloatConstantCount] = {{\n{float_values}}};\n\n"
        + f"constexpr std::string_view kStringConstants[kStringConstantCount] = {{\n{string_values}}};\n\n"
        + "// kw_flag:: bits by id.\n"
        + "constexpr std::uint8_t kKeywordFlags[kKeywordCount] = {\n" + "\n".join(flag_rows) + "\n};\n\n"
        + "}  // namespace orv\n")
    return entries


def main():
    # --out DIR writes the files there instead (the test command compares them with engine/).
    global ENGINE
    if len(sys.argv) == 3 and sys.argv[1] == "--out":
        ENGINE = pathlib.Path(sys.argv[2])
        ENGINE.mkdir(parents=True, exist_ok=True)
    entries, floats, strings = load()
    check(entries, floats, strings)
    entries = write(entries, floats, strings)
    kinds = {}
    for e in entries:
        kinds[e.kind] = kinds.get(e.kind, 0) + 1
    print(f"{len(entries)} records; kinds {dict(sorted(kinds.items()))}; "
          f"{len(floats)} float and {len(strings)} string constants")


if __name__ == "__main__":
    main()
