"""Checks of tools/refdoc.py: the reference check and the guide example extraction."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
sys.dont_write_bytecode = True  # keep tools/ free of caches
import refdoc  # noqa: E402

ENTRY = "## {names}\n`{first}(x)` → integer\n\nText.\n\n"


def parse_text(parser, text):
    """Runs a parser that takes a file name over `text` in a temporary file."""
    with tempfile.NamedTemporaryFile("w", suffix=".md", delete=False, encoding="utf-8") as f:
        f.write(text)
    try:
        return parser(f.name)
    finally:
        os.remove(f.name)


def page(title, *headings):
    return f"# {title}\n\nSummary.\n\n" + "".join(
        ENTRY.format(names=h, first=h.split(",")[0]) for h in headings)


class ReferenceCheck(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def write(self, name, text):
        with open(os.path.join(self.dir.name, name), "w", encoding="utf-8") as f:
            f.write(text)

    def problems(self, names, optional=()):
        return refdoc.check_reference(set(names), refdoc.load_pages(self.dir.name), set(optional))

    def test_complete_reference_passes_with_shared_entries_and_any_case(self):
        self.write("a.md", page("A", "StrLen, StrCharCount", "ItemCount"))
        self.write("README.md", "## NotAFunction\nthe format page is not a family\n")
        self.assertEqual(self.problems(["strlen", "strcharcount", "itemcount"]), [])

    def test_missing_and_unknown_names_are_both_reported(self):
        self.write("a.md", page("A", "StrLen", "StrTypo"))
        problems = "\n".join(self.problems(["strlen", "strfill"]))
        self.assertIn("strfill: has a handler but no entry", problems)
        self.assertIn("'strtypo' is not a function", problems)

    def test_optional_names_may_but_need_not_have_entries(self):
        self.write("a.md", page("A", "StrLen", "StdOut"))
        self.assertEqual(self.problems(["strlen"], optional=["stdout", "stdin"]), [])
        self.assertIn("'stdout' is not a function", "\n".join(self.problems(["strlen"])))

    def test_an_entry_on_two_pages_is_reported(self):
        self.write("a.md", page("A", "StrLen"))
        self.write("b.md", page("B", "Abs, strlen"))
        problems = "\n".join(self.problems(["strlen", "abs"]))
        self.assertIn("strlen: more than one entry (a.md:5, b.md:5)", problems)

    def test_format_faults_are_reported(self):
        self.write("a.md", "Summary without a title.\n\n## StrLen\nNo call form here.\n")
        problems = "\n".join(self.problems(["strlen"]))
        self.assertIn("a.md:1: the page must start with '# Title'", problems)
        self.assertIn("a.md:4: the line after '## StrLen' must be the call form", problems)

    def test_entry_text_ends_at_the_next_heading(self):
        self.write("a.md", page("A", "StrLen", "StrFill"))
        entry = refdoc.index(refdoc.load_pages(self.dir.name))["strlen"][0]
        self.assertTrue(entry.text.startswith("## StrLen\n`StrLen(x)`"))
        self.assertNotIn("StrFill", entry.text)
        self.assertTrue(entry.text.endswith("Text."))


class ReferenceExamples(unittest.TestCase):
    def examples(self, text):
        return parse_text(refdoc.reference_examples, text)

    def test_setup_runs_in_order_and_results_lose_their_quotes(self):
        found = self.examples(
            "# T\n\n## F\n`F()` → x\n\nExample: for `a = Arrayize(\"x,y\", \",\")`, `a[1]` gives\n"
            "`\"y\"` and `y = StrLen(\"ab\")` gives `2`.\n\nExample: `Run(\"x\")` starts x.\n")
        self.assertEqual(found, [(6, 'a = Arrayize("x,y", ",")\nStdOut(a[1])\ny = StrLen("ab")\nStdOut(y)\n',
                                  "y\n2\n")])

    def test_element_assignments_are_setup(self):
        found = self.examples("Example: for `t = ArrDimension(2)` and `t[1] = 5`, `t[1] * 2` gives `10`.\n")
        self.assertEqual(found, [(1, "t = ArrDimension(2)\nt[1] = 5\nStdOut(t[1] * 2)\n", "10\n")])

    def test_prose_spans_are_not_run(self):
        found = self.examples("Example: in `lines`, `ItemCount(l, \",\")` gives `3` and `a[2]` is set.\n")
        self.assertEqual(found, [(1, 'StdOut(ItemCount(l, ","))\n', "3\n")])


class TerminalText(unittest.TestCase):
    def test_tables_become_aligned_columns(self):
        text = "Intro\n| A | Long header |\n|---|---|\n| xyz | a \\| b |\nEnd"
        self.assertEqual(refdoc.render(text).split("\n"),
                         ["Intro", "  A    Long header", "  xyz  a | b", "End"])


class GuideExamples(unittest.TestCase):
    def extract(self, text):
        return parse_text(refdoc.guide_examples, text)

    def test_pairs_errors_and_helper_files(self):
        examples = self.extract(
            "Intro\n```orv\nStdOut(1)\n```\n```output\n1\n```\n"
            "```orv file=lib.orv\nx = 2\n```\n"
            "```orv error=3062\n#include \"lib.orv\"\ny = 1 / 0\n```\n```output\n```\n"
            "```text\nnot an example\n```\n")
        self.assertEqual(len(examples), 2)
        line, script, output, error, helpers = examples[0]
        self.assertEqual((line, script, output, error, helpers), (2, "StdOut(1)\n", "1\n", None, {}))
        line, script, output, error, helpers = examples[1]
        self.assertEqual(error, "3062")
        self.assertEqual(output, "")
        self.assertEqual(helpers, {"lib.orv": "x = 2\n"})

    def test_unpaired_blocks_are_refused(self):
        with self.assertRaises(SystemExit):
            self.extract("```orv\nStdOut(1)\n```\n")
        with self.assertRaises(SystemExit):
            self.extract("```output\n1\n```\n")


if __name__ == "__main__":
    unittest.main()
