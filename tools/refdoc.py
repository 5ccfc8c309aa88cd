#!/usr/bin/env python3
"""The function reference in docs/reference/*.md, read by people and by tools.

    refdoc.py doc [NAME]           print NAME's entry, or list the families
    refdoc.py check [--optional LIST] LIST...
                                   compare the entries with the lists of callable
                                   functions (one name a line, from orv_list_builtins);
                                   names of an --optional list may have an entry
    refdoc.py guide DOC OUTDIR     write the examples of a guide page as golden scripts

Page format (docs/reference/README.md): "# Title", a summary, then one entry per
"## Name[, Name...]" heading whose next line is the call form in backticks.
"""
import os
import re
import shutil
import sys
import textwrap

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REFERENCE = os.path.join(ROOT, "docs", "reference")


class Entry:
    def __init__(self, names, page, line, text):
        self.names = names      # as written in the heading
        self.page = page        # file name, e.g. strings.md
        self.line = line        # 1-based line of the heading
        self.text = text        # heading up to the next entry, trailing blank lines removed


class Page:
    def __init__(self, file, title, entries, problems):
        self.file = file
        self.title = title
        self.entries = entries
        self.problems = problems


def parse_page(path):
    file = os.path.basename(path)
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    problems = []
    title = lines[0][2:].strip() if lines and lines[0].startswith("# ") else None
    if title is None:
        problems.append(f"{file}:1: the page must start with '# Title'")
    entries = []
    starts = [i for i, l in enumerate(lines) if l.startswith("## ")]
    for n, i in enumerate(starts):
        end = starts[n + 1] if n + 1 < len(starts) else len(lines)
        body = lines[i:end]
        while body and not body[-1].strip():
            body.pop()
        names = [x.strip() for x in lines[i][3:].split(",") if x.strip()]
        entry = Entry(names, file, i + 1, "\n".join(body))
        form = lines[i + 1] if i + 1 < len(lines) else ""
        if not (form.startswith("`") and form.count("`") >= 2):
            problems.append(f"{file}:{i + 2}: the line after '## {', '.join(names)}' must be the call form in backticks")
        for name in names:
            if not re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", name):
                problems.append(f"{file}:{i + 1}: '{name}' is not a function name")
        entries.append(entry)
    return Page(file, title, entries, problems)


def load_pages(directory=REFERENCE):
    pages = []
    for file in sorted(os.listdir(directory)):
        if file.endswith(".md") and file != "README.md":
            pages.append(parse_page(os.path.join(directory, file)))
    return pages


def index(pages):
    """Lower-case name -> the entries that document it."""
    by_name = {}
    for page in pages:
        for entry in page.entries:
            for name in entry.names:
                by_name.setdefault(name.lower(), []).append(entry)
    return by_name


def render(text):
    """Entry text for a terminal: tables as aligned columns, the rest as written."""
    out, table = [], []

    def flush():
        if not table:
            return
        rows = [[c.strip() for c in l.strip().strip("|").split("|")] for l in table]
        rows = [r for r in rows if not all(set(c) <= set("-: ") for c in r)]
        widths = [max(len(r[k]) if k < len(r) else 0 for r in rows) for k in range(max(map(len, rows)))]
        for r in rows:
            out.append("  " + "  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip())
        table.clear()

    for line in text.split("\n"):
        if line.startswith("|"):
            table.append(line.replace("\\|", "\x00"))
            continue
        flush()
        out.append(line)
    flush()
    return "\n".join(out).replace("\x00", "|")


def cmd_doc(args):
    pages = load_pages()
    if not args:
        print("Function reference families (orv --doc NAME shows one function):\n")
        for page in pages:
            names = [n for e in page.entries for n in e.names]
            print(f"{page.title or page.file}  ({page.file}, {len(names)} functions)")
            print(textwrap.fill(", ".join(names), width=100, initial_indent="    ",
                                subsequent_indent="    ") + "\n")
        return 0
    wanted = args[0].lower()
    entries = index(pages).get(wanted)
    if not entries:
        close = sorted(n for n in index(pages) if wanted in n)
        hint = f"; similar: {', '.join(close[:10])}" if close else ""
        print(f"orv: no reference entry for '{args[0]}'{hint}", file=sys.stderr)
        return 1
    for entry in entries:
        print(render(entry.text))
        print(f"\n(docs/reference/{entry.page})")
    return 0


def read_list(path):
    with open(path, encoding="utf-8") as f:
        return {l.strip().lower() for l in f if l.strip()}


def check_reference(required, pages, optional=frozenset()):
    """Problems of the reference against sets of lower-case function names: each
    required name needs one entry, an optional name may have one, and every
    entry must name one of them."""
    problems = [p for page in pages for p in page.problems]
    by_name = index(pages)
    for name, entries in sorted(by_name.items()):
        if len(entries) > 1:
            where = ", ".join(f"{e.page}:{e.line}" for e in entries)
            problems.append(f"{name}: more than one entry ({where})")
        if name not in required and name not in optional:
            e = entries[0]
            problems.append(f"{e.page}:{e.line}: '{name}' is not a function of the interpreter")
    for name in sorted(required - set(by_name)):
        problems.append(f"{name}: has a handler but no entry in docs/reference")
    return problems


def cmd_check(args):
    optional = set()
    if len(args) >= 2 and args[0] == "--optional":
        optional = read_list(args[1])
        args = args[2:]
    if not args:
        print("usage: refdoc.py check [--optional LIST] LIST...", file=sys.stderr)
        return 2
    required = set()
    for path in args:
        names = read_list(path)
        if not names:
            print(f"{path}: empty list of functions", file=sys.stderr)
            return 2
        required |= names
    pages = load_pages()
    problems = check_reference(required, pages, optional)
    for p in problems:
        print(p)
    print(f"{len(index(pages))} entries, {len(required)} functions, {len(problems)} problems")
    return 1 if problems else 0


FENCE = re.compile(r"^```(\w*)(.*)$")


def guide_examples(path):
    """(line, script, expected output, expected error or None, helper files) per example.

    An example is a ```orv block followed by a ```output block. Words after the
    fence name: error=N (the run ends with error N), file=NAME (a helper file the
    next example uses, not run by itself).
    """
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    blocks = []
    i = 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if m and m.group(1):
            start = i
            i += 1
            body = []
            while i < len(lines) and not lines[i].startswith("```"):
                body.append(lines[i])
                i += 1
            opts = dict(w.split("=", 1) for w in m.group(2).split() if "=" in w)
            blocks.append((start + 1, m.group(1), opts, "\n".join(body) + "\n" if body else ""))
        i += 1
    examples, helpers, pending = [], {}, None
    for line, lang, opts, body in blocks:
        if lang == "orv" and "file" in opts:
            helpers[opts["file"]] = body
        elif lang == "orv":
            pending = (line, body, opts.get("error"))
        elif lang == "output":
            if pending is None:
                raise SystemExit(f"{path}:{line}: output block without an orv block before it")
            examples.append((pending[0], pending[1], body, pending[2], dict(helpers)))
            pending, helpers = None, {}
    if pending is not None:
        raise SystemExit(f"{path}:{pending[0]}: orv block without an output block after it")
    return examples


GIVES = re.compile(r"`([^`]+)`(?:\s+gives\s+`([^`]*)`)?")
ASSIGNMENT = re.compile(r"^\s*([A-Za-z_]\w*)(\[[^\]]*\])?\s*=[^=]")
CALL = re.compile(r"^\s*[A-Za-z_]\w*\(.*\)\s*$")


def reference_examples(page_path):
    """(line, script, expected output) for each "Example:" paragraph of a page that
    says what something gives. In the paragraph, in order: a span followed by
    "gives `R`" prints its value (an assignment prints the variable), which must
    read R (without its quotes); any other span that is an assignment or a call
    runs as a statement first; other spans are prose."""
    with open(page_path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    examples = []
    i = 0
    while i < len(lines):
        if not lines[i].startswith("Example:"):
            i += 1
            continue
        start, para = i, []
        while i < len(lines) and lines[i].strip():
            para.append(lines[i])
            i += 1
        script, output = [], []
        for code, result in GIVES.findall(" ".join(para)):
            assigned = ASSIGNMENT.match(code)
            if not result:
                if assigned or CALL.match(code):
                    script.append(code)
                continue
            if assigned:
                script.append(code)
                code = assigned.group(1)
            script.append(f"StdOut({code})")
            quoted = len(result) >= 2 and result[0] == result[-1] == '"'
            output.append(result[1:-1] if quoted else result)
        if output:
            examples.append((start + 1, "\n".join(script) + "\n", "\n".join(output) + "\n"))
    return examples


def cmd_guide(args):
    if len(args) != 2:
        print("usage: refdoc.py guide DOC OUTDIR", file=sys.stderr)
        return 2
    doc, out = args
    examples = guide_examples(doc)
    shutil.rmtree(out, ignore_errors=True)  # examples renumber when the page changes
    for n, (line, script, output, error, helpers) in enumerate(examples, 1):
        folder = os.path.join(out, f"line{line:04d}")
        os.makedirs(folder)
        write(os.path.join(folder, "example.orv"), script)
        write(os.path.join(folder, "example.out"), output)
        if error:
            write(os.path.join(folder, "example.err"), error + "\n")
        for name, text in helpers.items():
            write(os.path.join(folder, name), text)
            # The suite runs every .orv it finds; a helper only runs when called.
            write(os.path.join(folder, os.path.splitext(name)[0] + ".skip"), "")
    print(f"{len(examples)} examples from {doc}")
    # The reference entries' examples run the same way, one script per paragraph.
    count = 0
    for page in sorted(os.listdir(REFERENCE)):
        if not page.endswith(".md") or page == "README.md":
            continue
        for line, script, output in reference_examples(os.path.join(REFERENCE, page)):
            folder = os.path.join(out, "reference", f"{page[:-3]}-line{line:04d}")
            os.makedirs(folder)
            write(os.path.join(folder, "example.orv"), script)
            write(os.path.join(folder, "example.out"), output)
            count += 1
    print(f"{count} examples from docs/reference")
    return 0


def write(path, text):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def main(argv):
    commands = {"doc": cmd_doc, "check": cmd_check, "guide": cmd_guide}
    if not argv or argv[0] not in commands:
        print(__doc__, file=sys.stderr)
        return 2
    return commands[argv[0]](argv[1:])


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
