"""Checks of tools/name_errors.py: which numbers the sweep names and which it leaves."""
import os
import pathlib
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
sys.dont_write_bytecode = True  # keep tools/ free of caches
import name_errors  # noqa: E402

NAMES = {3046: "kFunctionNotDefined", 1002: "kFileListNoMatch", 1003: "kFileMoveFailed",
         501: "kMenuTopTitleMissing", 3096: "kOutOfMemory", 9999: "kCancelled"}
NUMBERS = set(NAMES) | {4100}  # 4100 is a message without a name

HELPERS = """
bool fail(Context& c, std::uint16_t number);
bool os_fail(Context& c, std::uint16_t number, const char* call, std::uint32_t err);
bool move(Call& call, int k, std::uint16_t notFound, std::uint16_t failure);
void resize(int width, std::uint16_t height);
"""


def sweep(body, path="builtins/x/y.cpp", head='#include "builtins/x/y.h"\n\nnamespace orv {\n', tail="}\n"):
    text = head + body + tail
    masked = name_errors.mask(text)
    params = name_errors.error_params([name_errors.mask(HELPERS), masked])
    edits, missed = name_errors.rewrites(masked, NAMES, NUMBERS, params)
    return name_errors.apply(text, pathlib.Path(path), edits), missed


def code(body, **kw):
    text, _ = sweep(body, **kw)
    return text.split("namespace orv {\n", 1)[-1][:-2] if "namespace orv {\n" in text else text


class ErrorPositions(unittest.TestCase):
    def test_arguments_of_declared_error_parameters(self):
        self.assertEqual(code("x = fail(c, 3046);\n"), "x = fail(c, errs::kFunctionNotDefined);\n")
        self.assertEqual(code("os_fail(c, 1003, \"MoveFile\", 1002);\n"),
                         "os_fail(c, errs::kFileMoveFailed, \"MoveFile\", 1002);\n")
        self.assertEqual(code("move(call, 2, 1002, 1003);\n"),
                         "move(call, 2, errs::kFileListNoMatch, errs::kFileMoveFailed);\n")
        self.assertEqual(code("x = message_text(3096);\n"), "x = message_text(errs::kOutOfMemory);\n")
        # Both branches of a ?: handed to an error parameter.
        self.assertEqual(code("fail(c, a == b ? 1002 : 1003);\n"),
                         "fail(c, a == b ? errs::kFileListNoMatch : errs::kFileMoveFailed);\n")

    def test_assignments_comparisons_and_returns(self):
        self.assertEqual(code("c.error = 3096;\nif (c.error != 9999) x();\n"),
                         "c.error = errs::kOutOfMemory;\nif (c.error != errs::kCancelled) x();\n")
        self.assertEqual(code("if (err == 9999 || err == 3096) x();\n"),
                         "if (err == errs::kCancelled || err == errs::kOutOfMemory) x();\n")
        self.assertEqual(code("std::uint16_t pick(bool a) {\n  switch (k) {\n    case 1: return 1002;\n  }\n"
                              "  return a ? 1003 : 0;\n}\n"),
                         "std::uint16_t pick(bool a) {\n  switch (k) {\n    case 1: return errs::kFileListNoMatch;\n  }\n"
                         "  return a ? errs::kFileMoveFailed : 0;\n}\n")
        # A short name counts only where the file declares it as an error number.
        self.assertEqual(code("std::uint16_t e = 1002;\n"), "std::uint16_t e = errs::kFileListNoMatch;\n")
        self.assertEqual(code("int e = 1002;\n"), "int e = 1002;\n")

    def test_numbers_that_are_not_errors_stay(self):
        kept = ("inline constexpr std::uint16_t kFor = 501;\n"   # a keyword id
                "resize(1002, 1003);\n"                           # a parameter with no error name
                "fail(c, 1002 + mode);\n"                         # arithmetic on a number
                "switch (r) { case 1002: break; }\n"
                "int count(int a) { return 1002; }\n"             # not declared to return an error
                "s = \"fail(c, 1002)\"; // fail(c, 1003)\n"
                "x = 'a' + 1002;\n"
                "fail(c, 1234);\n")                              # not a message number
        self.assertEqual(code(kept), kept)

    def test_unnamed_message_numbers_are_reported_not_rewritten(self):
        text, missed = sweep("fail(c, 4100);\n")
        self.assertIn("fail(c, 4100);", text)
        self.assertEqual(len(missed), 1)


class Output(unittest.TestCase):
    def test_second_run_changes_nothing(self):
        once, _ = sweep("fail(c, 3046);\nc.error = 9999;\n")
        masked = name_errors.mask(once)
        edits, missed = name_errors.rewrites(masked, NAMES, NUMBERS, name_errors.error_params([masked]))
        self.assertEqual((edits, missed), ([], []))

    def test_outside_the_namespace_the_name_is_qualified(self):
        text, _ = sweep("}\nint exported(Context& c) { return fail(c, 3046); }\n", tail="")
        self.assertIn("return fail(c, orv::errs::kFunctionNotDefined);", text)
        text, _ = sweep("using namespace orv;\nint f(Context& c) { return fail(c, 3046); }\n", head="", tail="")
        self.assertIn("return fail(c, errs::kFunctionNotDefined);", text)
        # A character literal with a brace must not upset the namespace's extent.
        text, _ = sweep("void g() { h(u'{'); }\nvoid k(Context& c) { fail(c, 3046); }\n")
        self.assertIn("fail(c, errs::kFunctionNotDefined);", text)

    def test_include_goes_into_the_sorted_project_includes(self):
        head = '#include "builtins/x/y.h"\n\n#include <string>\n\n#include "builtins/x/z.h"\n#include "engine/value.h"\n\nnamespace orv {\n'
        text, _ = sweep("void f(Context& c) { fail(c, 3046); }\n", head=head)
        self.assertIn('#include "builtins/x/z.h"\n#include "engine/error_numbers.h"\n#include "engine/value.h"\n', text)
        # Only the file's own header and system headers: a block of its own after them.
        head = '#include "builtins/x/y.h"\n\n#include <string>\n\nnamespace orv {\n'
        text, _ = sweep("void f(Context& c) { fail(c, 3046); }\n", head=head)
        self.assertIn('#include <string>\n\n#include "engine/error_numbers.h"\n\nnamespace orv {', text)
        # Nothing to name: the file is left as it is.
        text, _ = sweep("void f() {}\n", head=head)
        self.assertNotIn("error_numbers.h", text)


if __name__ == "__main__":
    unittest.main()
