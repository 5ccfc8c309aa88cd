// Lines that run again go through compiled expressions; whatever they do must
// match the text path exactly: output, the error that ends the run, the
// string heap left behind once the variables are let go, the trace event each
// statement records, the structure stack and the variables it leaves (after
// every statement, so also where one fails, and after the run). Each script runs twice in a
// fresh context, once per path, and the two outcomes are compared.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <concepts>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <string>
#include <vector>

#include "engine/heap.h"
#include "engine/variables.h"
#include "tests/unit/host_fixture.h"

namespace orv {
namespace {
namespace fs = std::filesystem;


// A step's record goes to one of two sinks: its words, for a report, or a
// digest of its numbers and names, for comparing. A step is recorded after
// every statement of every run, so recording is most of the test's time; the
// digest skips the labels, which are the same in every record.
struct WordSink {
  std::string s;
  template <std::size_t N>
  WordSink& operator<<(const char (&label)[N]) {
    s.append(label, N - 1);
    return *this;
  }
  WordSink& operator<<(std::string_view name) {
    s.append(name);
    return *this;
  }
  template <std::integral T>
  WordSink& operator<<(T n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    s.append(digits, end);
    return *this;
  }
};

struct DigestSink {
  std::uint64_t h = 14695981039346656037ull;   // FNV-1a
  void mix(std::uint64_t v) { h = (h ^ v) * 1099511628211ull; }
  template <std::size_t N>
  DigestSink& operator<<(const char (&)[N]) {
    return *this;
  }
  DigestSink& operator<<(std::string_view name) {
    for (unsigned char ch : name) mix(ch);
    mix(0x100);   // the end of a name
    return *this;
  }
  template <std::integral T>
  DigestSink& operator<<(T n) {
    mix(static_cast<std::uint64_t>(static_cast<std::int64_t>(n)));
    return *this;
  }
};

// The structure stack as the trace's dumps and the run loop read it: every
// field of every entry, and the ForEach positions.
template <class Sink>
void stack_record(const Context& c, Sink& s) {
  s << "depth " << c.depth;
  for (int d = 1; d <= c.depth && d <= limits::kStructDepth; ++d) {
    const StructEntry& e = c.stack[static_cast<std::size_t>(d)];
    s << " [" << e.kind << " skip " << e.skip << " jump " << e.jump << " at " << e.stmtPos << " script " << e.script
      << " udf " << e.udf << "/" << e.udfState << " breakable " << e.breakable << " word " << e.word << " coll "
      << e.collSlot;
    if (e.kind == sk::kForEach) s << " next " << c.foreachPos[static_cast<std::size_t>(d)];
    s << "]";
  }
}

std::string stack_record(const Context& c) {
  WordSink s;
  stack_record(c, s);
  return std::move(s.s);
}

// Where a statement was and the trace event it left.
template <class Sink>
void place_record(const Context& c, Sink& s) {
  s << c.stmtPos << " of script " << c.curScript << ": event " << c.traceEvent << " condition " << c.conditionResult;
}

// What it leaves for the statements after it, with the variables of the
// running frame in table order and their types: a name the text path
// declares must be declared at the same step.
template <class Sink>
void state_record(const Context& c, Sink& s) {
  s << " error " << c.error << " if " << c.ifState << " breakable " << c.breakable << " next " << c.pos << " ";
  stack_record(c, s);
  s << " vars";
  for (std::uint16_t i = 0; i < c.hwm; ++i)
    if (c.slots[i].v.flags) s << " " << i << ":" << std::string_view(c.slots[i].name) << "/" << c.slots[i].v.flags;
}

// What a statement leaves: for the trace entry written after it (its event,
// the condition's result, the error) and for the statements after it. The
// statement budget left tells which statement of the run it was. Runs compare
// digests; the words are kept only when a run is repeated to show where the
// paths part.
struct Step {
  std::uint64_t budget = 0;
  std::uint64_t place = 0;
  std::uint64_t state = 0;
  std::string words;
  std::string text() const { return words.empty() ? "(a run without the words)" : "statement " + words; }
};

struct StepRecorder {
  std::vector<Step> steps;
  bool keepWords = false;

  void record(const Context& c) {
    Step step;
    step.budget = c.statementBudget;
    DigestSink place, state;
    place_record(c, place);
    state_record(c, state);
    step.place = place.h;
    step.state = state.h;
    if (keepWords) {
      WordSink words;
      place_record(c, words);
      state_record(c, words);
      step.words = std::move(words.s);
    }
    steps.push_back(std::move(step));
  }
};

struct Outcome {
  std::string output;
  std::uint32_t error = 0;
  std::uint32_t heapInUse = 0;
  std::uint32_t line = 0;
  std::string errorText;
  bool heapSound = false;
  std::vector<Step> steps;   // one per statement run
  std::string finalStack;
};

StepRecorder* g_recorder = nullptr;   // the running outcome's (tests run one at a time)
void record_step(Context& c) {
  if (g_recorder) g_recorder->record(c);
}

// Each compiled step is compared with the text path's step that left the
// same budget. A compiled jump (to a Switch's matching Case or its end, from
// a Break to the EndSwitch, from a Next through its "To") passes several
// statements at once: it must leave the state of the last of them, while the
// statement and its event may be the jump's own. The first step that differs
// is returned, with the text path's.
std::string first_unmatched_step(const std::vector<Step>& compiled, const std::vector<Step>& text) {
  std::size_t t = 0;
  for (std::size_t k = 0; k < compiled.size(); ++k) {
    const Step& step = compiled[k];
    const std::size_t from = t;
    while (t < text.size() && text[t].budget > step.budget) ++t;
    const bool jumped = t > from;   // text steps the compiled path passed without stopping
    if (t < text.size() && text[t].budget == step.budget && text[t].state == step.state &&
        (jumped || text[t].place == step.place)) {
      ++t;
      continue;
    }
    return "compiled step " + std::to_string(k + 1) + (jumped ? " (a jump)" : "") + ":\n  " + step.text() +
           "\ntext path:\n  " + (t < text.size() ? text[t].text() : std::string("(no such step)"));
  }
  return {};
}

class CompiledDifferentialTest : public test::HostTest {
 protected:
  std::string freshFile;   // removed before each run
  // Runs `text` in a fresh context with compilation on or off.
  // `budget` 0: neither a budget nor the statement hook, as scripts run
  // outside tests (the compiled path's quickest steps need both absent).
  Outcome outcome(const std::string& text, bool compile, std::uint64_t budget = 200000, bool keepWords = false) {
    TearDown();
    SetUp();
    output.clear();
    engine().compileLines = compile;
    engine().statementBudget = budget;   // scripts that loop for ever end alike
    Outcome o;
    engine().statementDone = budget != 0 ? record_step : nullptr;
    StepRecorder recorder;
    recorder.keepWords = keepWords;
    g_recorder = &recorder;
    std::srand(1);   // Random gives both paths the same numbers
    if (!freshFile.empty()) {
      std::error_code ec;
      fs::remove(freshFile, ec);
    }
    o.error = run(text);
    g_recorder = nullptr;
    o.steps = std::move(recorder.steps);
    o.finalStack = stack_record(engine());
    o.output = output;
    o.line = line_of_last_run();
    o.errorText = engine().errorText;
    o.heapSound = engine().heap.verify();
    // What the variables hold is let go first: the paths may allocate in
    // another order (a join takes one block where the text path takes several),
    // and block sizes follow the order; what must match is what stays behind.
    release_all_variables(engine());
    o.heapInUse = engine().heap.bytes_in_use();
    return o;
  }

  // A script ended by every statement budget from 2 to `most`.
  void expect_same_under_budgets(const std::string& script, std::uint64_t most) {
    for (std::uint64_t budget = 2; budget <= most; ++budget)
      expect_same(script, "budget " + std::to_string(budget), budget);
  }

  // Each script of a list, labelled by its place in it, statement by
  // statement and once more as scripts run outside tests (uncounted: only
  // for scripts that end).
  template <std::size_t N>
  void expect_each_same(const char* const (&scripts)[N], const char* label, bool uncounted = false) {
    for (std::size_t k = 0; k < N; ++k) {
      const std::string name = std::string(label) + " " + std::to_string(k + 1) + ":\n" + scripts[k];
      expect_same(scripts[k], name);
      if (uncounted) expect_same(scripts[k], "uncounted " + name, 0);
    }
  }

  std::uint32_t line_of_last_run() {
    auto* head = static_cast<api::ContextBlockHead*>(platform::mem_lock(context));
    const std::uint32_t line = head->lastLine;
    platform::mem_unlock(context);
    return line;
  }

  void expect_same(const std::string& text, const std::string& label, std::uint64_t budget = 200000) {
    const Outcome plain = outcome(text, false, budget);
    const Outcome compiled = outcome(text, true, budget);
    EXPECT_EQ(compiled.output, plain.output) << label;
    EXPECT_EQ(compiled.error, plain.error) << label;
    EXPECT_EQ(compiled.line, plain.line) << label;
    EXPECT_EQ(compiled.errorText, plain.errorText) << label;
    EXPECT_EQ(compiled.heapInUse, plain.heapInUse) << label;
    EXPECT_TRUE(compiled.heapSound) << label;
    EXPECT_EQ(compiled.finalStack, plain.finalStack) << label;
    if (!first_unmatched_step(compiled.steps, plain.steps).empty()) {
      // The same runs again, keeping each step's words for the report.
      const Outcome plainWords = outcome(text, false, budget, true);
      const Outcome compiledWords = outcome(text, true, budget, true);
      const std::string report = first_unmatched_step(compiledWords.steps, plainWords.steps);
      ADD_FAILURE() << (report.empty() ? "the steps differed, but not when both paths ran again" : report) << "\n"
                    << label;
    }
  }
};

// Loops that change what their lines see from one pass to the next: types,
// failures on a later pass, dropped and re-created variables, text that
// changes under a line, and the limits of whole numbers.
TEST_F(CompiledDifferentialTest, LoopsWhoseOperandsChangeBetweenPasses) {
  const char* snippets[] = {
      // a variable that turns from number to text and float mid-loop
      "x = 1\nFor i = 1 To 6\n  y = x * 2 + i\n  StdOut(y : \"|\" : (x == 2) : \"|\" : (x < \"10\"))\n"
      "  If i == 2 Then x = \"7\"\n  If i == 4 Then x = 2.5\nNext\n",
      // division by zero on the third pass ends the run with its own error
      "For i = 1 To 5\n  q = 12 / (3 - i)\n  StdOut(q)\nNext\n",
      // a dropped variable: the next pass must not read its old slot
      "a = 5\nFor i = 1 To 4\n  b = a + i\n  StdOut(b)\n  If i == 2 Then Drop(a)\n  If i == 2 Then c = 9\n"
      "  If i == 3 Then a = 100\nNext\n",
      // whole-number wrap-around in arithmetic and in the loop counter
      "t = 2147483600\nFor i = 1 To 3\n  t = t + 20\n  u = t * 65536\n  StdOut(t : \" \" : u)\nNext\n"
      "n = 0\nFor k = 2147483645 To 2147483647\n  n += 1\n  If n > 5 Then Break\nNext\nStdOut(n : \" \" : k)\n",
      // mod and division of negatives, shifts, bit operators, powers
      "For i = -3 To 3\n  StdOut((i mod 2) : \" \" : (i / 2) : \" \" : (i << 30) : \" \" : (i & 5) : \" \" : (i ** 3) "
      ": \" \" : (!i) : \" \" : (~i) : \" \" : -i)\nNext\n",
      // floats: formatting by the decimals setting, comparisons by text
      "x = 0.0\nFor i = 1 To 4\n  x = x + 0.1\n  StdOut(x : \" \" : (x == 0.3) : \" \" : Sqrt(i) : \" \" : Sin(i))\n"
      "  If i == 2 Then Decimals(2)\nNext\n",
      // a math error inside a compiled call on a later pass
      "For i = 2 To -1 By -1\n  StdOut(Sqrt(i))\nNext\n",
      // strings: concatenation, compound concatenation, comparisons, built-ins
      "s = \"\"\nFor i = 1 To 5\n  s := \"ab\" : i\n  StdOut(StrLen(s) : \" \" : (s == \"ab1\") : \" \" : StrSub(s, 2, 3) : \" \" "
      ": ItemCount(s, \"b\") : \" \" : StrUpper(s))\nNext\n",
      // compound operators on every kind
      "a = 10\nf = 1.5\nFor i = 1 To 3\n  a -= i\n  a *= 2\n  a mod= 7\n  a <<= 1\n  a |= 1\n  f /= 2\n  StdOut(a : \" \" : f)\nNext\n",
      // @constants and whole-number comparisons in Switch/Case and While
      "w = 0\nWhile w < 6\n  Switch w mod 3\n    Case 0\n      StdOut(\"z\" : @TRUE)\n      Break\n    Case @TRUE\n"
      "      StdOut(\"o\")\n      Break\n  EndSwitch\n  w += 1\nEndWhile\n",
      // text that changes under a line: substitution, Execute, GoTo rewriting
      "v = \"1\"\nFor i = 1 To 3\n  r = %v% + i\n  v = i * 10\n  Execute s%i% = r\n  StdOut(r)\nNext\nStdOut(s1 : s2 : s3)\n"
      "n = 0\n:again\nn = n + 1\nIf n < 4 Then GoTo again\nStdOut(n)\n",
      // an uninitialised variable on a later pass, and an array read whole
      "q = 1\nz = 0\nFor i = 1 To 3\n  p = z + q\n  StdOut(p)\n  If i == 2 Then Drop(z)\nNext\n",
      "a = ArrDimension(3)\nFor i = 0 To 2\n  a[i] = i * 3\n  b = a\n  StdOut(b[i] + 1)\nNext\n",
      // element stores: two dimensions, compound operators, text, out of range,
      // a subscript that is no whole number, an array as the value, a variable
      // that stops being an array, an unassigned element
      "a = ArrDimension(3, 2)\ns = ArrDimension(4)\nFor i = 0 To 3\n  a[i mod 3, i mod 2] = i * 10\n  a[0, 1] += i\n"
      "  s[i] = \"x\" : i\n  s[0] := i\n  StdOut(a[i mod 3, i mod 2] : \" \" : a[0, 1] : \" \" : s[0] : s[i])\nNext\n",
      "a = ArrDimension(3)\nFor i = 0 To 4\n  a[i] = i\n  StdOut(a[i])\nNext\n",
      "a = ArrDimension(3)\nFor i = 0 To 2\n  a[i * 0.5] = i\n  a[\"1\"] = 7\n  StdOut(a[0] : a[1])\nNext\n",
      "a = ArrDimension(3)\nb = ArrDimension(2)\nFor i = 0 To 2\n  a[i] = i\n  If i == 1 Then a[i] = b\nNext\n",
      "a = ArrDimension(3)\nFor i = 0 To 2\n  a[i] = i\n  If i == 1 Then a = 5\nNext\n",
      "a = ArrDimension(3)\nFor i = 0 To 2\n  a[i] += 1\nNext\n",
      "a = ArrDimension(3)\nb = a\nFor i = 0 To 2\n  a[i] = i : \"!\"\n  a[i] = a[i] : \"?\"\nNext\nStdOut(b[0] : b[1] : b[2])\n",
      // variables' texts lent to built-ins: coerced to numbers, to UTF-16 by a
      // wide argument beside them, passed twice; the variables stay as they were
      "s = \"abcabc\"\nn = \"2\"\nw = StrInsert(\"bc\", \"\")\nFor i = 1 To 3\n  a = StrSub(s, n, i) : StrIndex(s, s, 1, @FWDSCAN)\n"
      "  b = StrIndex(s, w, 1, @FWDSCAN) : StrLen(n) : Sqrt(n) : ItemCount(s, \"b\")\n"
      "  StdOut(a : \" \" : b : \" \" : s : \" \" : n : \" \" : (n + 1) : StrLen(s))\n  If i == 2 Then n = \"3\"\nNext\n",
      // a name with a "." and a pointer operand are left to the text path
      "x = 3\nFor i = 1 To 2\n  p = &x\n  StdOut(*p + i)\nNext\n",
      // user-defined functions inside expressions recurse through the text path
      "#DefineFunction f(k)\n  If k < 2 Then Return k\n  Return f(k - 1) + f(k - 2)\n#EndFunction\n"
      "For i = 1 To 8\n  StdOut(f(i) * 2)\nNext\n",
      // deep recursion reaches the same limit either way
      "#DefineFunction d(k)\n  Return d(k + 1) + 1\n#EndFunction\nx = d(1)\n",
      // wrong argument counts and a misplaced "=" fail alike on every pass
      "For i = 1 To 2\n  y = StrLen(\"a\", i)\nNext\n",
      "For i = 1 To 2\n  y = (i = 2)\nNext\n",
      // remembered slots: names made, dropped and made again while a loop runs,
      // and a function's own table in between
      "#DefineFunction g(k)\n  t = k * 2\n  Return t + 1\n#EndFunction\n"
      "For i = 1 To 6\n  a = i * 3\n  If i == 2 Then Drop(a)\n  If i == 3 Then z1 = 1\n  b = i + g(i)\n"
      "  If i == 4 Then Drop(b)\n  c = i * i\n  StdOut(c : \" \" : i)\nNext\n",
      // integer registers: nesting deeper than the registers, zero divisors,
      // wrap-around, unary operators and comparisons mixed
      "z = 0\nFor i = 1 To 3\n  d = 1 + (2 + (3 + (4 + (5 + (6 + (7 + (8 + (9 + (10 + (11 + (12 + (13 + (14 + (15 + "
      "(16 + (17 + i))))))))))))))))\n  e = (i * 1000000) * (i * 1000) + -(-i) + !i + ~i + (i > 1) * (i <= 2)\n"
      "  StdOut(d : \" \" : e)\n  If i == 3 Then f = i mod z\nNext\n",
      // compound integer stores onto a string, a float and an unassigned name
      "a = \"5\"\nf = 1.5\nFor i = 1 To 3\n  a += i\n  f -= i\n  StdOut(a : \" \" : f)\n  If i == 2 Then a = \"x\"\nNext\n",
      // joins: floats, wide text, more than sixteen pieces, empty pieces and an array
      "x = 1.25\nw = StrInsert(\"wide\", \"\")\nFor i = 1 To 3\n  s = \"<\" : x : \"|\" : i : \"\" : \">\"\n  t = s : w : i\n"
      "  u = 1:2:3:4:5:6:7:8:9:10:11:12:13:14:15:16:17:i\n  StdOut(s : t : u : StrLen(t))\n"
      "  If i == 2 Then x = ArrDimension(2)\nNext\n",
  };
  expect_each_same(snippets, "snippet", true);
}

// Compiled loops and Switch blocks go past lines without reading them: a
// Next runs its "To" clause at once, a Switch goes straight to its matching
// Case and a Break to its EndSwitch. Whatever the skipped lines would have
// done (declare names, open and close structures, count against the budget)
// must come out the same.
const char* const kJumpingBlocks[] = {
    // every Case, none, the first of two equal ones, falling through, negative
    // and large values, @constants, an expression of constants
    "For i = -2 To 9\n  Switch i * 70000 / 70000 - 1\n    Case 0\n      StdOut(\"zero\")\n    Case 1\n      StdOut(\"one\")\n"
    "      Break\n    Case @TRUE\n      StdOut(\"never\")\n      Break\n    Case -3\n      StdOut(\"minus\")\n      Break\n"
    "    Case 2 * 3\n      StdOut(\"six\")\n      Break\n    Case 131072\n      StdOut(\"big\")\n      Break\n"
    "  EndSwitch\n  StdOut(\"after \" : i)\nNext\n",
    // a value past 16 bits that only its low half matches
    "For i = 1 To 3\n  Switch 65536 + i\n    Case 1\n      StdOut(\"low\")\n      Break\n    Case 65537\n      StdOut(\"full\")\n"
    "      Break\n  EndSwitch\nNext\n",
    // a Break inside an If carried to the Switch, nested blocks skipped whole,
    // a nested Switch with its own Breaks
    "For i = 0 To 5\n  Switch i mod 3\n    Case 0\n      If i > 2\n        StdOut(\"late\")\n        Break\n      Else\n"
    "        StdOut(\"early\")\n      EndIf\n      StdOut(\"zero \" : i)\n      Break\n    Case 1\n      w = 0\n"
    "      While w < 2\n        w += 1\n      EndWhile\n      Switch w\n        Case 2\n          StdOut(\"inner\")\n"
    "          Break\n      EndSwitch\n      StdOut(\"one \" : w)\n      Break\n    Case 2\n      StdOut(\"two\")\n  EndSwitch\nNext\n",
    // names that only a skipped Case holds, read before and after the block
    "For i = 1 To 4\n  Switch i\n    Case 1\n      StdOut(\"1 \" : IsDefined(fresh) : IsDefined(later))\n      Break\n"
    "    Case 9\n      fresh = 5\n      If later > 2\n        later = 1\n      EndIf\n      Break\n  EndSwitch\nNext\n"
    "StdOut(IsDefined(fresh) : IsDefined(later))\nStdOut(later + 1)\n",
    // Continue in a Switch goes on to read the Cases after it
    "i = 0\nWhile i < 6\n  i += 1\n  Switch i mod 2\n    Case 0\n      StdOut(\"even\")\n      Continue\n    Case 1\n"
    "      StdOut(\"odd-or-continued \" : i)\n      Break\n  EndSwitch\nEndWhile\n",
    // a Case that is not a constant keeps the block to its lines
    "k = 2\nFor i = 1 To 4\n  Switch i\n    Case k\n      StdOut(\"k\")\n      Break\n    Case 3\n      StdOut(\"three\")\n"
    "      Break\n  EndSwitch\n  If i == 3 Then k = 4\nNext\n",
    // a value that is no whole number takes the lines
    "For i = 1 To 3\n  v = i * 1.0\n  If i == 3 Then v = \"3\"\n  Switch v\n    Case 3\n      StdOut(\"three\")\n"
    "      Break\n    Case 1\n      StdOut(\"one\")\n      Break\n  EndSwitch\nNext\n",
    // loops whose variable and limit change inside the body, nested loops,
    // a Break out of a For, a loop variable that stops being a whole number
    "n = 5\nFor i = 1 To n\n  If i == 2 Then n = 3\n  If i == 1 Then i = 2\n  StdOut(i : \"/\" : n)\nNext\nStdOut(i)\n",
    "t = 0\nFor i = 1 To 4\n  For j = i To 3\n    t += i * j\n    If t > 20 Then Break\n  Next\nNext\nStdOut(t : \" \" : i : \" \" : j)\n",
    "For i = 1 To 5\n  StdOut(i)\n  If i == 3 Then i = 3.5\nNext\nStdOut(i)\n",
    // limits given as text, read as numbers on every pass (whole, float, none, changing)
    "For k = 1 To 5\n  n = StrSub(\" 3 2.5x7\", k, 2)\n  t = 0\n  For i = 1 To n\n    t += i\n  Next\n  StdOut(n : \"|\" : t : \"|\" : i)\nNext\n",
    "n = \"4\"\nFor i = 1 To n\n  StdOut(i)\n  If i == 2 Then n = \"2147483647999\"\n  If i == 3 Then n = \"abc\"\nNext\n",
    // Cases whose lines are calls and element stores (skipped lines that only declare names)
    "a = ArrDimension(4)\nFor i = 0 To 7\n  Switch i mod 4\n    Case 1\n      a[i mod 4] = i\n      StrLen(\"x\" : i)\n      Break\n"
    "    Case 2\n      a[fresh] = i\n      Break\n    Case 3\n      a[3] += later\n      Break\n  EndSwitch\n"
    "  StdOut(i : \" \" : a[1] : IsDefined(fresh) : IsDefined(later))\n  fresh = 2\nNext\n",
    // EndWhile going back to its While through its link, around calls, nested
    // loops and a line rewritten part way
    "n = 0\nt = 0\nWhile n < 6\n  n += 1\n  k = 0\n  While k < n\n    k += 1\n    t += StrLen(\"ab\" : k)\n  EndWhile\n"
    "  If n == 3 Then Execute m = n * 10\nEndWhile\nStdOut(n : \" \" : t : \" \" : m)\n",
    // Case bodies of one whole-number store and a Break: the store goes
    // with the Switch, and misses where the general rules apply (a text,
    // a float, a name not there yet, a store that wraps); a body of two
    // stores, a Case that falls through, a value no Case has, a nested Switch
    "a = 0\nb = 0\nFor i = 1 To 40\n  Switch i mod 7\n    Case 0\n      a += 1\n      Break\n    Case 1\n      a -= 3\n"
    "      Break\n    Case 2\n      a = a * 2147483647\n      Break\n    Case 3\n      b = i\n      a += b\n      Break\n"
    "    Case 4\n      a += 5\n    Case 5\n      fresh = i\n      Break\n  EndSwitch\n  If i == 20 Then a = 2.5\n"
    "  If i == 30 Then a = \"7\"\n  If i == 33 Then Drop(fresh)\nNext\nStdOut(a : \" \" : b : \" \" : fresh : \" \" : i)\n",
    "a = 0\nFor i = 1 To 50\n  Switch i mod 5\n    Case 0\n      a += 1\n      Break\n    Case 1\n      a += 3\n      Break\n"
    "    Case 2\n      a -= 1\n      Break\n    Case 3\n      a += i\n      Break\n    Case 4\n      a = 2\n      Break\n"
    "  EndSwitch\nNext\nStdOut(a)\n",
    "t = 0\nFor i = 1 To 30\n  Switch i mod 3\n    Case 0\n      Switch i mod 2\n        Case 0\n          t += 100\n"
    "          Break\n        Case 1\n          t += 1000\n          Break\n      EndSwitch\n      t += 1\n      Break\n"
    "    Case 1\n      t -= 1\n      Break\n  EndSwitch\nNext\nStdOut(t)\n",
    // such a Switch leaves its surroundings as they were: a Break after it
    // leaves the loop, and one outside any loop is refused
    "a = 0\nFor i = 1 To 3\n  Switch i\n    Case 1\n      a += 1\n      Break\n    Case 2\n      a += 2\n      Break\n"
    "  EndSwitch\n  If a > 2 Then Break\nNext\nStdOut(a : \" \" : i)\nSwitch a\n  Case 3\n    a += 10\n    Break\n"
    "EndSwitch\nStdOut(a)\nBreak\nStdOut(\"after\")\n",
};

TEST_F(CompiledDifferentialTest, LoopsAndSwitchBlocksThatJumpOverLines) {
  expect_each_same(kJumpingBlocks, "block", true);
  // a script that never ends: the budget stops both paths on the same line
  const std::string endless =
      "a = 0\nWhile 1\n  For i = 1 To 3\n    Switch i\n      Case 1\n        a += 1\n        Break\n      Case 2\n"
      "        a += 2\n      Case 3\n        a += 3\n        Break\n    EndSwitch\n  Next\n  StdOut(a)\nEndWhile\n";
  expect_same(endless, endless);
}

// The integer form reads variables and constants inside its operator steps
// ("i mod 5", "t + i", "x * 3" are one step each) and a Switch finds its
// Case through a table by value. Each operand shape must miss exactly where
// the general rules take over: a value of another type, a zero divisor, a
// slot made or dropped, and wrap at 32 bits.
const char* const kIntegerSteps[] = {
    // each operator with a variable on the left and a constant, a constant on
    // the right, a variable on the right; comparisons as values
    "n = 3\nFor i = -2 To 4\n  a = i + 7\n  b = 7 - i\n  c = i * -3\n  d = i mod 3\n  e = (i < n) + (i <= 1) * 2 + (i > n) * 4"
    " + (i >= 0) * 8 + (i == n) * 16 + (i != 2) * 32 + (i <> 3) * 64\n  f = (i + 1) * n - (a mod n) + (i < 2) - (n <= i)\n"
    "  StdOut(a : \" \" : b : \" \" : c : \" \" : d : \" \" : e : \" \" : f)\nNext\n",
    // 32-bit wrap in every form
    "big = 2147483600\nFor i = 1 To 3\n  a = big + i * 40\n  b = i * 2147483647\n  c = big * i\n  d = (0 - big) - i * 100\n"
    "  e = -(i - 2147483647 - 2)\n  StdOut(a : \" \" : b : \" \" : c : \" \" : d : \" \" : e)\nNext\n",
    // the lowest number by -1 (from a constant and a variable), and other negative divisors
    "ErrorMode(@OFF)\nm = 0 - 2147483647 - 1\nFor i = 1 To 4\n  a = m mod (i - 2)\n  b = m mod -1\n  c = (m + i) mod (0 - i)\n"
    "  d = -7 - i\n  e = d mod 3\n  StdOut(a : \" \" : b : \" \" : c : \" \" : e : \" \" : LastError())\nNext\n",
    // a zero divisor from a constant, from a variable, and after a step
    "For i = 1 To 2\n  StdOut(i mod 1)\n  q = i mod 0\nNext\n",
    "z = 2\nFor i = 1 To 3\n  StdOut(i mod z)\n  z -= 1\nNext\n",
    "z = 1\nFor i = 1 To 3\n  StdOut((i + 1) mod z)\n  If i == 2 Then z = 0\nNext\n",
    // variables that change type on the left, on the right and under a "+="
    "x = 1\ny = 2\nt = 0\nFor i = 1 To 5\n  a = x mod 3\n  b = i + y\n  t += i\n  StdOut(a : \" \" : b : \" \" : t)\n"
    "  If i == 2 Then x = \"5\"\n  If i == 3 Then y = 1.5\n  If i == 4 Then t = \"text\"\nNext\n",
    // a name missing, then made, then dropped: the remembered slots refresh
    "For i = 1 To 4\n  a = i * k\n  StdOut(a)\n  If i == 1 Then k = 2\n  If i == 3 Then Drop(k)\nNext\n",
    // the loop variable assigned in the body and the limit changed
    "n = 10\nFor i = 1 To n\n  i = i * 2\n  n -= 1\n  StdOut(i : \"/\" : n)\nNext\nStdOut(i)\n",
    // Switch on a text, a float, a failing value, an unassigned name
    "For i = 1 To 3\n  Switch \"\" : i\n    Case 2\n      StdOut(\"two\")\n      Break\n    Case 1\n      StdOut(\"one\")\n"
    "      Break\n  EndSwitch\n  Switch i / 2.0\n    Case 1\n      StdOut(\"float one\")\n      Break\n  EndSwitch\nNext\n",
    "For i = 1 To 3\n  Switch 6 / (2 - i)\n    Case 6\n      StdOut(\"six\")\n      Break\n  EndSwitch\nNext\n",
    "For i = 1 To 2\n  Switch nothing\n    Case 0\n      StdOut(\"zero\")\n      Break\n  EndSwitch\nNext\n",
    // Case values: constant expressions, close together with gaps, repeated,
    // far apart, negative (the Case bodies only assign: the block is mapped)
    "t = \"\"\nFor k = 0 To 47\n  i = k mod 16 - 3\n  Switch i\n    Case 2 * 3\n      t := \"six \"\n      Break\n"
    "    Case -1 - 1\n      t := \"minus-two \"\n      Break\n    Case 0\n      t := \"zero \"\n      Break\n    Case 6\n"
    "      t := \"six-again \"\n      Break\n    Case 10\n      t := \"ten \"\n    Case 11\n      t := \"eleven-or-after-ten \"\n"
    "      Break\n  EndSwitch\nNext\nStdOut(t)\n",
    "t = \"\"\nFor k = 0 To 17\n  Switch k mod 6 * 1000000 - 2000000\n    Case -2000000\n      t := \"low \"\n      Break\n"
    "    Case 0\n      t := \"mid \"\n      Break\n    Case 3000000\n      t := \"high \"\n      Break\n    Case -2000000\n"
    "      t := \"low-again \"\n      Break\n  EndSwitch\nNext\nStdOut(t)\n",
    // Execute and GoTo rewriting the script while its loops run
    "t = 0\nFor i = 1 To 4\n  Switch i mod 2\n    Case 0\n      Execute t = t + i * 10\n      Break\n    Case 1\n"
    "      t += i\n      Break\n  EndSwitch\nNext\nStdOut(t)\n",
    "n = 0\n:top\nFor i = 1 To 3\n  n += i mod 2\nNext\nIf n < 6 Then GoTo top\nStdOut(n : \" \" : i)\n",
    // errors let through: the loop goes on past each one
    "ErrorMode(@OFF)\nz = 0\nFor i = 1 To 3\n  q = i mod z\n  r = i / z\n  StdOut(i : \" \" : q : \" \" : r : \" \" : LastError())\nNext\n",
};

// Steps other than 1 and bounds at the ends of the whole numbers: a loop
// variable that wraps never passes its limit (the budget ends these).
const char* const kEndlessSteps[] = {
    "For i = 10 To 1 By -3\n  StdOut(i)\nNext\nFor i = 2147483640 To 2147483647 By 3\n  StdOut(i)\n  If i < 0 Then Break\nNext\n"
    "For i = -2147483646 To -2147483648 By -1\n  StdOut(i)\nNext\nFor i = 1 To 0\n  StdOut(\"never\")\nNext\nStdOut(i)\n",
    "s = 0\nFor i = 2147483645 To 2147483647\n  s += 1\nNext\nStdOut(s : \" \" : i)\n",
};

TEST_F(CompiledDifferentialTest, IntegerStepsAndSwitchTablesMissWhereTheGeneralRulesApply) {
  expect_each_same(kIntegerSteps, "integer", true);
  expect_each_same(kEndlessSteps, "endless");
}

// A budget that runs out just before, on and after a jump: every statement a
// jump goes past counts, and the run ends on the same one either way.
// A For limit held as text (a script parameter, a line read from a file):
// whole numbers, texts that read as other numbers or none, and a limit that
// changes kind between passes.
TEST_F(CompiledDifferentialTest, ForLimitsHeldAsText) {
  const char* snippets[] = {
      "n = \"6\"\nt = 0\nFor i = 1 To n\n  t += i\nNext\nStdOut(t : \" \" : i)\n",
      "n = \" 4 \"\nFor i = 1 To n\n  StdOut(i)\nNext\n",
      "n = \"-2\"\nFor i = -5 To n\n  StdOut(i)\nNext\n",
      "n = \"3.5\"\nFor i = 1 To n\n  StdOut(i)\nNext\n",
      "n = \"1e1\"\nFor i = 8 To n\n  StdOut(i)\nNext\n",
      "n = \"4294967298\"\nFor i = 1 To n\n  If i > 5 Then Break\nNext\nStdOut(i)\n",
      "n = \"0x10\"\nFor i = 1 To n\n  StdOut(i)\nNext\n",
      "n = \"abc\"\nFor i = 1 To n\n  StdOut(i)\nNext\n",
      "n = \"\"\nFor i = 1 To n\n  StdOut(i)\nNext\n",
      "n = \"5\"\nFor i = 1 To n\n  If i == 2 Then n = 4\n  If i == 3 Then n = \"3\"\n  StdOut(i : n)\nNext\n",
      "n = \"9\"\nFor i = 1 To n\n  If i == 2 Then n = \"x\"\n  StdOut(i)\nNext\n",
  };
  expect_each_same(snippets, "limit", true);
}

// A limit text read once is kept with the number it read as: the text is
// still looked at every pass, so a text of the same length, one grown in
// place, a dropped variable, blanks, a text too long to keep, and the same
// loop entered again with another limit all read as the text path reads them.
TEST_F(CompiledDifferentialTest, ForLimitTextsKeptBetweenPasses) {
  const char* snippets[] = {
      "n = \"9\"\nFor i = 1 To n\n  If i == 5 Then n = \"6\"\n  StdOut(i)\nNext\nStdOut(i)\n",
      ("n = \"1\"\nFor i = 1 To n\n  If i == 1 Then n := \"2\"\n  If i == 3 Then n := \"0\"\n  StdOut(i)\n"
       "  If i > 200 Then Break\nNext\nStdOut(i : n)\n"),
      "n = \"6\"\nFor i = 1 To n\n  If i == 3 Then Drop(n)\n  StdOut(i)\nNext\n",
      "n = \" 9\"\nFor i = 1 To n\n  If i == 4 Then n = \"7 \"\n  If i == 6 Then n = \"-3\"\n  StdOut(i)\nNext\n",
      "n = \"           12\"\nFor i = 1 To n\n  If i == 4 Then n = \"          +5\"\n  StdOut(i)\nNext\n",
      "For k = 1 To 3\n  n = \"\" : (k * 2)\n  If k == 3 Then n = \"2.5\"\n  For i = 1 To n\n    StdOut(k : i)\n  Next\nNext\n",
      "n = \"2147483647\"\nFor i = 2147483645 To n\n  StdOut(i)\n  If i < 0 Then Break\nNext\n",
      "n = \"8\"\nFor i = 1 To n\n  If i == 4 Then n = 3\n  If i == 3 Then n = \"5\"\n  StdOut(i)\nNext\n",
      // Emptied before any limit was kept: an empty text is no number.
      "n = \"5\"\nFor i = 1 To n\n  If i == 3 Then n = \"\"\n  StdOut(i)\n  If i > 8 Then Break\nNext\n",
  };
  expect_each_same(snippets, "kept limit", true);
  expect_same_under_budgets(snippets[0], 30);
}

// A "By" step on the "To" clause a Next goes back to: whole steps either
// way, from a variable that changes between passes, from an expression, a
// step that turns into a float, a text or nothing, and a variable that
// wraps at 32 bits.
TEST_F(CompiledDifferentialTest, ForStepsGivenByBy) {
  const char* snippets[] = {
      "t = 0\nFor i = 1 To 50 By 7\n  t += i\nNext\nStdOut(t : \" \" : i)\n",
      "For i = 10 To -10 By -3\n  StdOut(i)\nNext\nStdOut(\"end \" : i)\n",
      "s = 2\nFor i = 0 To 40 By s\n  StdOut(i)\n  s += 1\nNext\nStdOut(i : \" \" : s)\n",
      "s = 1\nFor i = 0 To 30 By s * 2 + 1\n  s = i mod 4\n  StdOut(i)\nNext\n",
      "s = 3\nFor i = 1 To 20 By s\n  StdOut(i)\n  If i > 5 Then s = 1.5\nNext\nStdOut(i)\n",
      "s = 2\nFor i = 1 To 12 By s\n  StdOut(i)\n  If i > 4 Then s = \"3\"\n  If i > 8 Then s = \"x\"\nNext\nStdOut(i)\n",
      "s = 2\nFor i = 1 To 12 By s\n  StdOut(i)\n  If i > 4 Then Drop(s)\nNext\nStdOut(i)\n",
      "For i = 2147483640 To 2147483647 By 5\n  StdOut(i)\n  If i < 0 Then Break\nNext\nStdOut(i)\n",
      "n = 0\nFor i = 1 To 10 By 0\n  n += 1\n  If n == 4 Then Break\nNext\nStdOut(i : \" \" : n)\n",
      "n = \"20\"\nFor i = 1 To n By 6\n  StdOut(i)\nNext\n",
      "For i = 1 To 9 By 2\n  If i == 5 Then Continue\n  StdOut(i)\n  For j = i To 1 By -2\n    StdOut(\" \" : j)\n  Next\nNext\n",
      "For i = 1.5 To 6 By 2\n  StdOut(i)\nNext\nFor i = 1 To 6 By 1.5\n  StdOut(i)\nNext\n",
  };
  expect_each_same(snippets, "step", true);
  expect_same_under_budgets(snippets[1], 24);
  expect_same_under_budgets(snippets[2], 30);
}

// Elements filled from a lone variable, read where it lies when it holds a
// whole number: every other kind it turns into, a variable dropped or never
// set, compound operators, and the element read back each pass.
TEST_F(CompiledDifferentialTest, ElementsFilledFromALoneVariable) {
  const char* snippets[] = {
      "a = ArrDimension(6)\nv = 5\nFor i = 0 To 5\n  a[i] = v\n  v = v * 3 - i\nNext\nStdOut(a[0] : a[3] : a[5])\n",
      "a = ArrDimension(6)\nv = 1\nFor i = 0 To 5\n  a[i] = v\n  StdOut(VarType(a[i]) : \" \" : a[i])\n"
      "  If i == 0 Then v = 2.5\n  If i == 1 Then v = \"7\"\n  If i == 2 Then v = 2147483647\n"
      "  If i == 3 Then Drop(v)\nNext\n",
      ("a = ArrDimension(4)\nFor i = 0 To 3\n  a[i] = 0\nNext\nv = 3\nFor i = 0 To 3\n  a[i] += v\n  a[i] -= v\n"
       "  a[i] += v\n  If i == 1 Then v = \"x\"\nNext\nStdOut(a[0] : a[1])\n"),
      "a = ArrDimension(3)\nb = ArrDimension(2)\nv = 4\nFor i = 0 To 2\n  a[i] = v\n  If i == 1 Then v = b\nNext\n",
  };
  expect_each_same(snippets, "element", true);
}

// File handles lent to compiled calls from their variables: handles copied
// and dropped around the calls, closed and reused inside the loop, a function
// that closes or replaces the handle it was given, reads at and past the end
// and on a closed handle let through. A lent handle takes no reference, so
// the file closes when its last variable lets go, and not before.
TEST_F(CompiledDifferentialTest, FileHandlesLentToCompiledCalls) {
  const std::string file = (fs::temp_directory_path() / ("orv_lent_" + std::to_string(::getpid()) + ".txt")).string();
  const std::string open = "f = \"" + file + "\"\n";
  const std::string scripts[] = {
      // written through a lent handle, the last variable let go closes the file
      open + "h = FileOpen(f, \"WRITE\")\ng = h\nFor i = 1 To 20\n  FileWrite(h, \"line \" : i)\n"
      "  If i == 10 Then h = 0\n  If i == 11 Then h = g\nNext\nh = 0\nStdOut(FileSize(f))\ng = 0\nStdOut(FileSize(f))\n",
      // read past the end, then on the closed handle, each error handled
      open + "h = FileOpen(f, \"WRITE\")\nFileWrite(h, \"a\")\nFileWrite(h, \"b\")\nFileClose(h)\n"
      "IntControl(73, 2, 0, 0, 0)\nh = FileOpen(f, \"READ\")\nFor i = 1 To 6\n  x = FileRead(h)\n  StdOut(i : \" \" : x)\n"
      "  If i == 4 Then FileClose(h)\nNext\nStdOut(\"end \" : i)\nExit\n:QRErrorHandler\n"
      "StdOut(\"handled \" : LastError() : \" at \" : i)\nIntControl(73, 2, 0, 0, 0)\nReturn\n",
      // minor errors let through beside the lent handle
      open + "h = FileOpen(f, \"READ\")\nErrorMode(@OFF)\nFor i = 1 To 4\n  x = FileRead(h)\n"
      "  y = ArrDimension(100000000)\n  StdOut(i : \" \" : x : \" \" : LastError())\nNext\n",
      // a function that closes, or replaces, the handle its caller passes on
      "#DefineFunction shut(k)\n  FileClose(k)\n  Return 1\n#EndFunction\n#DefineFunction swap(k)\n"
      "  h = FileOpen(f, \"READ\")\n  Return FileRead(k)\n#EndFunction\n" + open +
      "h = FileOpen(f, \"WRITE\")\nFor i = 1 To 4\n  FileWrite(h, \"w\" : i)\nNext\nx = shut(h)\nStdOut(FileSize(f))\n"
      "h = FileOpen(f, \"READ\")\nFor i = 1 To 3\n  StdOut(swap(h) : \" \" : FileRead(h))\nNext\nFileClose(h)\n",
      // a handle given where a text is read: the call's own text form, let go after it
      open + "h = FileOpen(f, \"WRITE\")\nFor i = 1 To 3\n  n = StrLen(h)\n  s = StrSub(h, 1, 1)\n"
      "  StdOut((n > 0) : \" \" : (s == StrSub(h : \"\", 1, 1)))\n  FileWrite(h, i)\nNext\nh = 0\nStdOut(FileSize(f))\n",
      // two open at once, swapped between the variables each pass
      open + "a = FileOpen(f, \"WRITE\")\nFor i = 1 To 3\n  FileWrite(a, \"x\" : i)\nNext\nFileClose(a)\n"
      "a = FileOpen(f, \"READ\")\nb = FileOpen(f, \"READ\")\nFor i = 1 To 3\n  StdOut(FileRead(a) : \"/\" : FileRead(b))\n"
      "  t = a\n  a = b\n  b = t\nNext\nDrop(t)\nFileClose(a)\nStdOut(FileRead(b))\nb = 0\nt = FileRead(a)\n",
  };
  for (const std::string& script : scripts) {
    expect_same(script, script);
    expect_same(script, "uncounted " + script, 0);
  }
  std::error_code ec;
  fs::remove(file, ec);
}

// The number form runs whole numbers and floats in registers and calls the
// float functions straight. Whatever would report an error, leave the plain
// sizes of a float or change the kind of a value must come out as the general
// rules have it: domain errors, lost angles, overflow and underflow, division
// by zero, texts and other kinds, wrap at 32 bits between whole numbers.
const char* const kNumberForms[] = {
    "x = 0.0\nFor i = 1 To 6\n  x = x + Sqrt(i) * Sin(i) / (1.5 + i)\n  y = Cos(i) * 2 - Exp(i / 4) + Log10(i)\n"
    "  StdOut(x : \" \" : y : \" \" : Sqrt(i) * 1.0 : \" \" : Tan(i * 0.5) / 3)\nNext\n",
    // a domain error on a later pass, let through and not
    "ErrorMode(@OFF)\nFor i = 2 To -1 By -1\n  x = Sqrt(i) * 2.0\n  y = LogE(i) + 1.0\n  z = ASin(i / 2.0) + 0.5\n"
    "  StdOut(i : \" \" : x : \" \" : y : \" \" : z : \" \" : LastError())\nNext\n",
    "For i = 1 To -1 By -1\n  StdOut(Sqrt(i - 0.5) * 2)\nNext\n",
    // angles that lose their significance, results past the ceiling and below the floor
    "ErrorMode(@OFF)\nb = 1.0e15\nFor i = 1 To 7\n  b = b * 2\n  s = Sin(b) + 0.0\n  StdOut(s : \" \" : LastError())\nNext\n",
    "ErrorMode(@OFF)\nb = 1.0e100\nFor i = 1 To 4\n  b = b * 1.0e100\n  StdOut(b : \" \" : LastError())\nNext\n",
    "t = 1.0e-100\nFor i = 1 To 4\n  t = t * 1.0e-100\n  e = Exp(0 - 700.0 * i) * 2\n  StdOut(t : \" \" : e)\nNext\n",
    "For i = 1 To 4\n  StdOut(Exp(i * 300.0) * 1)\nNext\n",
    // division by zero in floats, whole numbers mixed in, && and || on floats
    "z = 2.0\nFor i = 1 To 3\n  z = z - 1\n  StdOut(i / z + 0.5)\nNext\n",
    "For i = -1 To 2\n  a = i * 0.5\n  StdOut((a && 2.5) : (a || 0.0) : (i mod 2) * 1.5 : i * 2147483647 + 0.5)\nNext\n",
    // values that change kind: a text, a whole number, a missing name, an array
    "x = 1.5\nFor i = 1 To 5\n  y = x * 2 + Sin(x)\n  StdOut(y)\n  If i == 1 Then x = 3\n  If i == 2 Then x = \"2.5\"\n"
    "  If i == 3 Then x = \"abc\"\n  If i == 4 Then x = ArrDimension(2)\nNext\n",
    "For i = 1 To 3\n  StdOut(Sin(\"0\" : i) * 1.0)\n  StdOut(Sqrt(k + 1.0))\n  k = i * 4.0\nNext\n",
    "For i = 1 To 3\n  StdOut(Sqrt(\"x\" : i) * 1.0)\nNext\n",
    // whole results of float functions, and floats that print as whole numbers
    "For i = 0 To 4\n  StdOut(Sqrt(i * i) + 0 : \" \" : 0.1 * 3 : \" \" : 1.0e16 + i : \" \" : -0.0 * i)\nNext\n",
};

TEST_F(CompiledDifferentialTest, NumberFormsMeetTheGeneralRulesAtEveryEdge) {
  expect_each_same(kNumberForms, "number", true);
}

// An exception inside a compiled statement (no memory for a map entry, say)
// ends that statement with the out-of-memory error, reported against its
// line, instead of escaping the run. The statement hook stands in for the
// failing step: it throws once the loop body runs compiled.
int g_throwAt = 0;
int g_bodyRuns = 0;
void throw_in_body(Context& c) {
  if (c.stmtPos != static_cast<std::uint32_t>(g_throwAt)) return;
  if (++g_bodyRuns >= 3 && c.replay == nullptr) throw std::bad_alloc();
}

TEST_F(CompiledDifferentialTest, ExceptionInACompiledStatementBecomesItsError) {
  const std::string script = "t = 0\nFor i = 1 To 9\n  t = t + i\n  StdOut(t)\nNext\n";
  g_throwAt = static_cast<int>(script.find("t = t + i"));
  g_bodyRuns = 0;
  engine().statementDone = throw_in_body;
  const std::uint32_t error = run(script);
  engine().statementDone = nullptr;
  EXPECT_NE(ran, 0) << "the run ended through its own error handling";
  EXPECT_EQ(error, 3096u);
  EXPECT_EQ(line_of_last_run(), 3u);
  EXPECT_GE(g_bodyRuns, 3);
  EXPECT_NE(std::string(engine().line).find("t = t + i"), std::string::npos) << engine().line;
}

// The same inside a function called quickly: the body's run loop reports it
// at the body's line, and the caller's statement ends the run.
// (Both body lines run compiled: the sixth is the third call's Return.)
void throw_in_function(Context& c) {
  if (c.curScript == 0 || c.replay != nullptr) return;
  if (++g_bodyRuns == 6) throw std::bad_alloc();
}

TEST_F(CompiledDifferentialTest, ExceptionInAQuicklyCalledBodyBecomesItsError) {
  const std::string script =
      "#DefineFunction f(k)\n  t = k * 2\n  Return t + 1\n#EndFunction\nFor i = 1 To 9\n  x = f(i) + f(i)\n"
      "  StdOut(x)\nNext\n";
  g_bodyRuns = 0;
  engine().statementDone = throw_in_function;
  const std::uint32_t error = run(script);
  engine().statementDone = nullptr;
  EXPECT_EQ(error, 3096u);
  EXPECT_EQ(line_of_last_run(), 2u);
  ASSERT_EQ(engine().depth, 1) << "only the caller's loop is left, as the run ended in it";
  EXPECT_EQ(engine().stack[1].kind, sk::kFor);
  EXPECT_EQ(engine().framesOpen, 0) << "the function's frame is closed";
  EXPECT_EQ(engine().curScript, 0u);
}

TEST_F(CompiledDifferentialTest, StatementBudgetEndsOnTheSameLineAcrossJumps) {
  const std::string script =
      "a = 0\nFor i = 1 To 4\n  Switch i\n    Case 1\n      a += 1\n      Break\n    Case 2\n      a += 2\n"
      "      Break\n    ; a comment and a blank line count for nothing\n\n    Case 3\n      a += 3\n      Break\n"
      "  EndSwitch\n  StdOut(i : \" \" : a)\nNext\nStdOut(\"end\")\n";
  expect_same_under_budgets(script, 90);
}

// A compiled Return (alone or after a true "If ... Then") ends the function
// from inside its structures, with the value the text path would give.
TEST_F(CompiledDifferentialTest, ReturnsFromCompiledLines) {
  const char* snippets[] = {
      // from inside For, While and Switch blocks of the function, and early
      "#DefineFunction f(k)\n  If k < 2 Then Return k\n  For j = 1 To 5\n    w = 0\n    While w < 3\n      w += 1\n"
      "      Switch j\n        Case 3\n          If k == 4 Then Return j * 100 + w\n          Break\n      EndSwitch\n"
      "    EndWhile\n    If j == k Then Return j : \"/\" : w\n  Next\n  Return \"none\"\n#EndFunction\n"
      "For i = 0 To 7\n  StdOut(f(i))\nNext\n",
      // values of every kind, and a recursion through the text path
      "#DefineFunction g(k)\n  If k == 1 Then Return 1.5\n  If k == 2 Then Return \"two\" : k\n  If k == 3 Then Return k > 2\n"
      "  Return g(k - 3) : \"+\"\n#EndFunction\nFor i = 1 To 7\n  StdOut(g(i))\nNext\n",
      // a subroutine shares the caller's variables; a Return inside a GoSub
      // in a function goes back to the GoSub
      "#DefineSubroutine s(k)\n  t = k * 2\n  If t > 4 Then Return t\n  Return -t\n#EndSubroutine\n"
      "For i = 1 To 4\n  StdOut(s(i) : \" \" : t)\nNext\n",
      "#DefineFunction h(k)\n  r = 0\n  GoSub part\n  Return r\n  :part\n  r = k * 3\n  Return\n#EndFunction\n"
      "For i = 1 To 3\n  StdOut(h(i))\nNext\n",
      // a value that fails on a later call, and a Return outside any function
      "#DefineFunction u(k)\n  If k > 2 Then Drop(z)\n  If k > 0 Then Return z + k\n  Return 0\n#EndFunction\n"
      "z = 10\nFor i = 1 To 4\n  StdOut(u(i))\nNext\n",
      "For i = 1 To 3\n  StdOut(i)\n  If i == 2 Then Return i\nNext\nStdOut(\"not reached\")\n",
  };
  expect_each_same(snippets, "snippet");
}

// Statements that call functions with effects run their line once, so
// whatever fails after a call has run must fail as the text path fails:
// the same error at the same point, with the call's output before it.
TEST_F(CompiledDifferentialTest, CallsWithEffectsFailAfterTheCallAsTheTextPathDoes) {
  const char* snippets[] = {
      // an operand that fails after the call: unassigned, dropped, a zero divisor
      "#DefineFunction f(k)\n  StdOut(\"f\" : k)\n  Return k\n#EndFunction\nz = 1\nFor i = 1 To 4\n  x = f(i) + z\n"
      "  StdOut(x)\n  If i == 2 Then Drop(z)\nNext\n",
      "#DefineFunction f(k)\n  StdOut(\"f\" : k)\n  Return k\n#EndFunction\nFor i = 1 To 4\n  x = f(i) / (2 - i)\n"
      "  StdOut(x)\nNext\n",
      // an error inside the function, reported by the caller's line
      "#DefineFunction f(k)\n  If k == 3 Then Return k / 0\n  Return k * 2\n#EndFunction\nt = 0\nFor i = 1 To 5\n"
      "  t += f(i)\n  StdOut(t)\nNext\n",
      // compound stores whose target the call drops, or fills with text
      "#DefineSubroutine s(k)\n  If k == 2 Then Drop(t)\n  If k == 3 Then t = \"abc\"\n  Return k\n#EndSubroutine\n"
      "t = 0\nFor i = 1 To 4\n  t += s(i)\n  StdOut(t)\nNext\n",
      "#DefineSubroutine s(k)\n  If k == 2 Then Drop(t)\n  Return k\n#EndSubroutine\nt = \"\"\nFor i = 1 To 4\n"
      "  t := s(i) : \",\"\n  StdOut(t)\nNext\n",
      // a call whose value is dropped, calls in the arguments of calls, text built from calls
      "#DefineFunction g(a, b)\n  StdOut(a : \"/\" : b)\n  Return a : b\n#EndFunction\nFor i = 1 To 3\n  g(i, g(i + 1, \"x\"))\n"
      "  s = \"<\" : g(i, i) : \">\" : StrLen(g(\"a\", i))\n  StdOut(s)\nNext\n",
      // wrong values given to built-ins with effects fail alike
      "For i = 1 To 3\n  h = FileOpen(\"\", \"READ\")\nNext\n",
      "For i = 1 To 3\n  a = ArrDimension(i - 2)\n  StdOut(ArrInfo(a, 1))\nNext\n",
      // conditions with effects: If lines that assign, call or return, block If, While
      "#DefineFunction f(k)\n  StdOut(\"f\" : k)\n  Return k mod 3\n#EndFunction\nn = 0\nFor i = 1 To 6\n"
      "  If f(i) == 1 Then n += 10\n  If f(i) Then StdOut(\"then\" : i)\n  If f(i) > 1\n    n += 1\n  EndIf\nNext\n"
      "w = 0\nWhile f(w) < 2\n  w += 1\nEndWhile\nStdOut(n : \" \" : w)\n",
      "#DefineFunction f(k)\n  Return \"x\" : k\n#EndFunction\nFor i = 1 To 3\n  If f(i) Then StdOut(i)\nNext\n",
      // a condition with effects whose statement after Then then fails, or
      // cannot return through the compiled form (no function, a GoSub)
      "#DefineFunction f(k)\n  StdOut(\"f\" : k)\n  Return 1\n#EndFunction\n#DefineFunction g(k)\n  zero = (k > 3) * 0 + (k < 4)\n"
      "  If f(k) Then Return k / zero\n  Return 0\n#EndFunction\nFor i = 1 To 5\n  StdOut(g(i))\nNext\n",
      "#DefineFunction f(k)\n  StdOut(\"f\" : k)\n  Return 1\n#EndFunction\nn = 0\nq = 1\nFor i = 1 To 5\n  If f(i) Then n += q\n"
      "  If i == 3 Then q = \"x\"\nNext\n",
      "#DefineFunction f(k)\n  StdOut(\"f\" : k)\n  Return k > 3\n#EndFunction\nFor i = 1 To 5\n  If f(i) Then Return i\nNext\n"
      "StdOut(\"after\")\n",
      "#DefineFunction f(k)\n  StdOut(\"f\" : k)\n  Return k\n#EndFunction\n#DefineFunction h(k)\n  r = 0\n  GoSub part\n"
      "  Return r\n  :part\n  If f(k) > 3 Then Return\n  Return\n#EndFunction\nFor i = 1 To 5\n  StdOut(h(i))\nNext\n",
      "#DefineFunction p(k)\n  If IsDefined(k) Then Return p(k - 1) + 1\n  Return 0\n#EndFunction\n"
      "#DefineFunction q(k)\n  If k > 0 Then Return q(k - 1) + k\n  Return 0\n#EndFunction\nFor i = 1 To 3\n"
      "  StdOut(q(i * 10))\nNext\n",
      // names the line declares before it runs, made by the call or missing
      "#DefineSubroutine s()\n  fresh = 1\n  Return 1\n#EndSubroutine\nFor i = 1 To 3\n  y = s() + i\n"
      "  If i == 2 Then Drop(fresh)\n  StdOut(y : IsDefined(fresh))\nNext\n",
      "For i = 1 To 3\n  If i == 3 Then Drop(m)\n  m = StrLen(\"ab\" : i) + i\n  If i < 3 Then StdOut(m) Else n = StrLen(m) + q\nNext\n",
      // functions removed and defined again while a line that calls them runs
      "#DefineFunction a()\n  Return 1\n#EndFunction\n#DefineFunction b()\n  StdOut(\"removed: \" : IntControl(78, 1, \"a\", 0, 0))\n"
      "  Return 2\n#EndFunction\nFor i = 1 To 3\n  x = b() + a()\n  StdOut(x)\nNext\n",
      // deep recursion with nesting around the call: the depth limit comes at the same call
      "#DefineFunction d(k)\n  Return ((((((((d(k + 1))))))))) + 1\n#EndFunction\nx = d(1)\n",
      "#DefineFunction d(k)\n  If k > 30 Then Return 0\n  Return -(-(-(-(d(k + 1)))) + 1)\n#EndFunction\nFor i = 1 To 2\n"
      "  StdOut(d(i))\nNext\n",
      "#DefineFunction d(k)\n  x = (((((((((d(k + 1) + 1)))))))))\n  Return x\n#EndFunction\nd(1)\n",
  };
  expect_each_same(snippets, "snippet");
}

// A function body runs from its compiled statements when all of them are
// compiled, and goes on as text from wherever one is not: each way out of
// the compiled statements part way through a body, and callers whose line
// is text and still has to be read after the call.
TEST_F(CompiledDifferentialTest, FunctionBodiesThatLeaveTheCompiledStatementsPartWay) {
  const char* snippets[] = {
      // a substituted line after compiled ones, and a body that ends without Return
      "v = 5\n#DefineFunction f(k)\n  t = k * 2\n  t = t + %v%\n  Return t\n#EndFunction\n"
      "#DefineFunction g(k)\n  t = k + 1\n#EndFunction\nFor i = 1 To 3\n  StdOut(f(i) : \"/\" : g(i))\nNext\n",
      // GoTo part way, taken on some calls only
      "#DefineFunction f(k)\n  t = k\n  If k > 2 Then GoTo big\n  Return t\n  :big\n  Return t * 100\n#EndFunction\n"
      "For i = 1 To 4\n  StdOut(f(i))\nNext\n",
      // Execute inside the body, and an error it lets through
      "#DefineFunction f(k)\n  t = k\n  Execute t = t + 10\n  Return t\n#EndFunction\nFor i = 1 To 3\n  StdOut(f(i))\nNext\n",
      "#DefineFunction f(k)\n  t = k\n  ErrorMode(@OFF)\n  x = FileOpen(\"\", \"READ\")\n  StdOut(LastError())\n"
      "  Return t + 1\n#EndFunction\nFor i = 1 To 3\n  StdOut(f(i))\nNext\n",
      // an error in the body on a later call, from a compiled caller and from a text one
      "#DefineFunction f(k)\n  t = 6 / (3 - k)\n  Return t\n#EndFunction\nFor i = 1 To 4\n  StdOut(f(i))\nNext\n",
      "w = 1\n#DefineFunction f(k)\n  t = 6 / (3 - k)\n  Return t\n#EndFunction\nFor i = 1 To 4\n"
      "  StdOut(f(i) + %w%)\nNext\n",
      // a text caller reads on past each call in its line
      "w = \"-\"\n#DefineFunction f(k)\n  If k < 2 Then Return k\n  Return f(k - 1) + f(k - 2)\n#EndFunction\n"
      "For i = 1 To 6\n  StdOut(f(i) : \"%w%\" : f(i + 1) : \"%w%\" : StrLen(f(i) : \"ab\"))\nNext\n",
      // a body that runs its own loops and blocks before returning
      "#DefineFunction f(k)\n  t = 0\n  For j = 1 To k\n    If j mod 2 == 0\n      t += j\n    Else\n      t -= 1\n    EndIf\n"
      "  Next\n  While t > 3\n    t -= 3\n  EndWhile\n  Return t\n#EndFunction\nFor i = 1 To 6\n  StdOut(f(i))\nNext\n",
  };
  expect_each_same(snippets, "body");
}

// Reading and writing files through compiled lines: the same lines come out,
// and a bad handle fails on the same pass.
TEST_F(CompiledDifferentialTest, FileLinesReadAndWrittenThroughCompiledCalls) {
  const std::string file = (fs::temp_directory_path() / ("orv_diff_" + std::to_string(::getpid()) + ".txt")).string();
  const std::string script =
      "h = FileOpen(\"" + file + "\", \"WRITE\")\nFor i = 1 To 30\n  line = \"line \" : i\n  FileWrite(h, line)\nNext\n"
      "FileClose(h)\nh = FileOpen(\"" + file + "\", \"READ\")\nn = 0\nt = 0\nWhile @TRUE\n  line = FileRead(h)\n"
      "  If line == \"*EOF*\" Then Break\n  n += 1\n  t += StrLen(line)\n  If n == 20 Then FileClose(h)\nEndWhile\n"
      "StdOut(n : \" \" : t)\n";
  expect_same(script, script);
  // Lines lent from variables to a UTF-16 file and an 8-bit one: texts of
  // both widths, numbers, and an array that cannot be written; each variable
  // keeps its own form, and read back the lines agree.
  for (const char* unicode : {"1", "0"}) {
    const std::string lent =
        "e = Num2Char(8364)\nh = FileOpen(\"" + file + "\", \"WRITE\", " + unicode + ")\nFor i = 1 To 6\n"
        "  line = \"line \" : i\n  If i == 2 Then line = e : i\n  If i == 3 Then line = i * 7\n"
        "  If i == 4 Then line = 2.5\n  If i == 6 Then line = ArrDimension(1)\n  FileWrite(h, line)\n"
        "  StdOut(VarType(line) : \" \" : StrLen(line))\nNext\n";
    const std::string readBack = "FileClose(h)\nh = FileOpen(\"" + file + "\", \"READ\", " + unicode + ")\n"
        "While @TRUE\n  line = FileRead(h)\n  If line == \"*EOF*\" Then Break\n  StdOut(line : \" \" : StrLen(line))\n"
        "EndWhile\n";
    expect_same(lent, lent);
    const std::string whole = "ErrorMode(@OFF)\n" + lent + readBack;
    expect_same(whole, whole);
  }
  std::error_code ec;
  fs::remove(file, ec);
}

// FileRead takes its handle straight from a variable that holds it as a
// whole number; a handle in any other form, a number no file has, a file
// open for writing, reading past the end, lines too long for the buffer and
// errors let through take the general call, which must end the same way.
// The file holds every kind of line end, a CR and a NUL inside lines, a
// Ctrl-Z and what follows it, read with buffers of several sizes, in 8 bits
// and in UTF-16.
TEST_F(CompiledDifferentialTest, FileReadStraightFromHandleVariables) {
  const std::string file = (fs::temp_directory_path() / ("orv_straight_" + std::to_string(::getpid()) + ".txt")).string();
  const std::string wideFile = file + ".u16";
  {
    std::string bytes = "one\r\ntwo\n\nfo\rur\r\r\n" + std::string(40, 'x') + "\nnul";
    bytes += '\0';
    bytes += "in\r\nlast\x1A" "after\n";
    std::ofstream(file, std::ios::binary) << bytes;
    std::string wide = "\xFF\xFE";
    for (char ch : std::string("one\r\ntwo\n" + std::string(40, 'y') + "\r\nend")) wide += std::string{ch, '\0'};
    std::ofstream(wideFile, std::ios::binary) << wide;
  }
  const std::string open = "f = \"" + file + "\"\ng = \"" + wideFile + "\"\n";
  const std::string loop = "While @TRUE\n  line = FileRead(k)\n  If line == \"*EOF*\" Then Break\n"
                           "  n += 1\n  t += StrLen(line)\n  StdOut(n : \" [\" : line : \"]\")\nEndWhile\nStdOut(n : \" \" : t)\n";
  const std::string scripts[] = {
      // the handle itself, a copy as a plain number, its text and a float
      open + "h = FileOpen(f, \"READ\")\nk = h\nn = 0\nt = 0\n" + loop,
      open + "h = FileOpen(f, \"READ\")\nk = h + 0\nn = 0\nt = 0\n" + loop,
      open + "h = FileOpen(f, \"READ\")\nk = h : \"\"\nn = 0\nt = 0\n" + loop,
      open + "h = FileOpen(f, \"READ\")\nk = h * 1.0\nn = 0\nt = 0\n" + loop + "x = FileRead(k)\n",
      // buffers of 16 (the long line fails), none, and sized by the file
      open + "IntControl(65, 16, 0, 0, 0)\nk = FileOpen(f, \"READ\")\nn = 0\nt = 0\n" + loop,
      open + "IntControl(65, 0, 0, 0, 0)\nk = FileOpen(f, \"READ\")\nn = 0\nt = 0\n" + loop,
      open + "IntControl(65, -2, 0, 0, 0)\nk = FileOpen(f, \"READ\")\nn = 0\nt = 0\n" + loop,
      // UTF-16 lines, given as UTF-16 texts and as 8-bit ones
      open + "k = FileOpen(g, \"READ\", 1)\nn = 0\nt = 0\n" + loop,
      open + "k = FileOpen(g, \"READ\")\nn = 0\nt = 0\n" + loop,
      // a number no file has, a file open for writing, past the end, a name never set
      "ErrorMode(@OFF)\nk = 12345\nFor i = 1 To 3\n  x = FileRead(k)\n  StdOut(i : \" \" : LastError())\nNext\n",
      "k = 77\nFor i = 1 To 3\n  x = FileRead(k)\nNext\n",
      open + "k = FileOpen(f : \".w\", \"WRITE\")\nFor i = 1 To 3\n  x = FileRead(k)\nNext\n",
      open + "k = FileOpen(f, \"READ\")\nErrorMode(@OFF)\nFor i = 1 To 12\n  x = FileRead(k)\n"
      "  StdOut(i : \" \" : x : \" \" : LastError())\nNext\nErrorMode(@ON)\nx = FileRead(k)\n",
      "For i = 1 To 3\n  x = FileRead(never)\nNext\n",
      // the handle closed inside the loop, then its number read again
      open + "k = FileOpen(f, \"READ\")\nj = k + 0\nFor i = 1 To 4\n  x = FileRead(j)\n  StdOut(x)\n"
      "  If i == 2 Then FileClose(k)\nNext\n",
  };
  for (const std::string& script : scripts) {
    expect_same(script, script);
    expect_same(script, "uncounted " + script, 0);
  }
  std::error_code ec;
  fs::remove(file, ec);
  fs::remove(wideFile, ec);
  fs::remove(file + ".w", ec);
}

// Every structure word on lines that run again, in each loop kind: the
// output, the trace events and the structure stack must agree after every
// statement, including where a statement fails and the run goes on.
const char* const kStructureWords[] = {
    // block If with ElseIf and Else, "Then" at the end or not, nested and skipped
    "For i = 1 To 6\n  If i == 1\n    StdOut(\"one\")\n  ElseIf i == 2 Then\n    StdOut(\"two\")\n  ElseIf i < 5\n"
    "    If i == 3\n      StdOut(\"three\")\n    Else\n      StdOut(\"four\")\n    EndIf\n  Else\n    StdOut(\"many \" : i)\n"
    "  EndIf\nNext\n",
    // one-line If with and without a statement that runs, an Else line after it
    "t = 0\nFor i = 1 To 6\n  If i mod 2 Then StdOut(\"odd \" : i)\n  If i > 3 Then t = t + i\n  Else t = t - 1\n"
    "  If i == 5 Then StdOut(\"five\") \n  Else StdOut(\"not five\")\nNext\nStdOut(t)\n",
    // While with Continue and Break, straight and from inside a block If
    "w = 0\nWhile w < 10\n  w += 1\n  If w == 3 Then Continue\n  If w == 5\n    Continue\n  EndIf\n  If w == 8\n"
    "    StdOut(\"stop\")\n    Break\n  EndIf\n  StdOut(w)\nEndWhile\nStdOut(\"after \" : w)\n",
    // For with positive, negative and float steps, Break and Continue in each
    "For i = 10 To 1 By -3\n  StdOut(i)\nNext\nStdOut(\"i \" : i)\nFor f = 0 To 1 By 0.25\n  If f == 0.5 Then Continue\n"
    "  StdOut(f)\nNext\nStdOut(\"f \" : f)\nFor j = 1 To 20 By 4\n  If j > 10 Then Break\n  StdOut(j)\nNext\nStdOut(\"j \" : j)\n"
    "For k = 1.5 To -1 By -0.5\n  StdOut(k)\nNext\nFor n = 3 To 1\n  StdOut(\"never\")\nNext\nStdOut(n)\n",
    // ForEach over an array and a map, with Break and Continue, several passes
    "a = ArrDimension(5)\nFor i = 0 To 3\n  a[i] = i * i\nNext\nFor pass = 1 To 3\n  ForEach v In a\n"
    "    If v == 1 Then Continue\n    If v == 9 Then Break\n    StdOut(pass : \" \" : v)\n  Next\nNext\n"
    "m = MapCreate(\"a=1,b=2,c=3\")\nFor pass = 1 To 2\n  ForEach k In m\n    If k == \"b\" Then Continue\n"
    "    StdOut(k : m[k])\n  Next\n  ForEach k In m\n    Break\n  Next\nNext\n",
    // Switch: fall-through, fall-out past the last Case, no match, Break in
    // an If, Continue carried to the loop, a nested Switch
    "For i = 0 To 5\n  Switch i\n    Case 0\n      StdOut(\"zero\")\n    Case 1\n      StdOut(\"zero-or-one\")\n"
    "      Break\n    Case 2\n      If i == 2 Then Break\n      StdOut(\"never\")\n    Case 3\n      Continue\n"
    "    Case 4\n      Switch i * 2\n        Case 8\n          StdOut(\"eight\")\n          Break\n      EndSwitch\n"
    "      StdOut(\"four\")\n  EndSwitch\n  StdOut(\"end \" : i)\nNext\n",
    "x = 0\nWhile x < 4\n  x += 1\n  Switch x mod 2\n    Case 0\n      StdOut(\"even\")\n      Continue\n"
    "    Case 1\n      StdOut(\"odd\")\n  EndSwitch\n  StdOut(\"fell out \" : x)\nEndWhile\n",
    // nested loops of every kind, Break and Continue at each level
    "a = ArrDimension(3)\na[0] = 1\na[1] = 2\na[2] = 3\nt = 0\nFor i = 1 To 4\n  w = 0\n  While w < 5\n"
    "    w += 1\n    If w == 2 Then Continue\n    ForEach v In a\n      For j = 1 To 3\n        If j == v Then Break\n"
    "        t += j\n      Next\n      If v == 2 Then Continue\n      t += 100\n    Next\n    If w == 4 Then Break\n"
    "  EndWhile\n  If i == 2 Then Continue\n  t += 1000\nNext\nStdOut(t : \" \" : i : \" \" : w : \" \" : j)\n",
    // GoSub and Return from inside loops and blocks, a Return that ends a
    // GoSub started from a one-line If
    "t = 0\nFor i = 1 To 4\n  GoSub add\n  If i == 2 Then GoSub add\n  While t > 1000\n    GoSub add\n  EndWhile\n"
    "  Switch i\n    Case 3\n      GoSub add\n      Break\n  EndSwitch\nNext\nStdOut(t)\nExit\n:add\nt += i\n"
    "If t > 6\n  StdOut(\"big \" : t)\nEndIf\nReturn\n",
    // GoTo out of a loop (its entry stays on the stack), into a block, out of a ForEach
    "For i = 1 To 5\n  If i == 3 Then GoTo out\n  StdOut(i)\nNext\n:out\nStdOut(\"out at \" : i)\nFor j = 1 To 2\n"
    "  StdOut(j)\nNext\n",
    "n = 0\nGoTo inside\nWhile n < 3\n  :inside\n  n += 1\n  StdOut(n)\nEndWhile\nStdOut(\"not reached\")\n",
    "n = 0\n:again\nFor i = 1 To 3\n  n += 1\n  While 1\n    If n < 7 Then GoTo again\n    Break\n  EndWhile\nNext\n"
    "StdOut(n : \" \" : i)\n",
    "a = ArrDimension(2)\nFor i = 1 To 3\n  StdOut(i)\n  If i == 2\n    ForEach v In a\n      GoTo out\n    Next\n"
    "  EndIf\nNext\n:out\nStdOut(\"out\")\n",
    // minor errors inside structures with ErrorMode(@OFF): the run goes on
    "ErrorMode(@OFF)\nFor i = 1 To 4\n  Switch i mod 2\n    Case 0\n      x = ArrDimension(100000000)\n"
    "      StdOut(\"even \" : LastError())\n      Break\n    Case 1\n      While 1\n        y = ArrDimension(100000000)\n"
    "        StdOut(\"odd \" : LastError())\n        Break\n      EndWhile\n  EndSwitch\n  If i > 2\n"
    "    z = ArrDimension(100000000)\n  EndIf\nNext\nErrorMode(@CANCEL)\nStdOut(\"done\")\n",
    // an error handler called as a GoSub, from inside every kind of block
    "IntControl(73, 2, 0, 0, 0)\nm = MapCreate(\"a=1\")\nFor i = 1 To 4\n  While 1\n    q = 12 / (i - 2)\n    StdOut(q)\n"
    "    Break\n  EndWhile\n  Switch i\n    Case 3\n      q = 1 / 0\n      StdOut(\"after case\")\n      Break\n"
    "  EndSwitch\n  ForEach k In m\n    If i == 4 Then q = 2 / 0\n  Next\nNext\nStdOut(\"end\")\nExit\n:QRErrorHandler\n"
    "StdOut(\"handled \" : i)\nIntControl(73, 2, 0, 0, 0)\nReturn\n",
    // an error handler reached as a GoTo, and one that is a function
    "IntControl(73, 1, 0, 0, 0)\nn = 0\n:top\nFor i = 1 To 3\n  n += 1\n  If n < 5\n    q = 1 / (i - 2)\n  EndIf\nNext\n"
    "StdOut(\"end \" : n)\nExit\n:QRErrorHandler\nStdOut(\"jumped \" : n)\nIntControl(73, 1, 0, 0, 0)\nGoTo top\n",
    "#DefineFunction caught(err)\n  StdOut(\"caught \" : err[0])\n  Return 1\n#EndFunction\n"
    "IntControl(73, 3, 0, \"caught\", 0)\nFor i = 1 To 4\n  w = 0\n  While w < 2\n    w += 1\n    q = 1 / (i - 2)\n"
    "  EndWhile\n  IntControl(73, 3, 0, \"caught\", 0)\nNext\nStdOut(\"end\")\n",
    // a Return whose value fails, handled: the one-line If before it is forgotten
    "#DefineFunction one(k)\n  Return 1\n#EndFunction\n#DefineFunction g(k)\n  IntControl(73, 2, 0, 0, 0)\n"
    "  If k > 30 Then Return 0\n  Return one(k) / 0\n  Else StdOut(\"Else ran for \" : k)\n  Return -1\n"
    "  :QRErrorHandler\n  StdOut(\"handled \" : LastError() : \" for \" : k)\n  IntControl(73, 2, 0, 0, 0)\n  Return\n"
    "#EndFunction\nFor i = 1 To 3\n  StdOut(g(i))\nNext\n",
    // an error that ends the run inside nested blocks: the stack left behind
    "For i = 1 To 3\n  While 1\n    Switch i\n      Case 3\n        q = 1 / 0\n    EndSwitch\n    Break\n  EndWhile\nNext\n",
    "a = ArrDimension(2)\nFor i = 1 To 3\n  ForEach v In a\n    If i == 2\n      x = StrLen()\n    EndIf\n  Next\nNext\n",
    // skipped blocks that hold lines which would not parse
    "For i = 1 To 3\n  If i > 5\n    x = = 3\n    y = StrLen(\n    While )(\n    EndWhile\n    For = To\n    Next\n"
    "    bad bad bad\n    If ((\n      Switch\n      EndSwitch\n    EndIf\n  EndIf\n  Switch i\n    Case 9\n      z = (((\n"
    "      If\n      Break\n  EndSwitch\n  While i > 5\n    a b c\n    Break\n  EndWhile\n  StdOut(i)\nNext\n",
    // structure words where they do not belong fail alike
    "For i = 1 To 3\n  StdOut(i)\n  If i == 2 Then EndWhile\nNext\n",
    "For i = 1 To 3\n  If i == 3\n    Case 1\n  EndIf\nNext\n",
    "For i = 1 To 3\n  If i == 2 Then Break\n  StdOut(i)\nNext\nBreak\n",
    "w = 0\nWhile w < 3\n  w += 1\nEndWhile\nElse\n",
};

TEST_F(CompiledDifferentialTest, EveryStructureWordOnBothPaths) {
  expect_each_same(kStructureWords, "structure", true);
}

// A budget that runs out at every statement of a script that nests every
// loop kind: whichever statement ends the run, the stack it leaves matches.
TEST_F(CompiledDifferentialTest, StructureStackMatchesWhereverTheBudgetEndsTheRun) {
  const std::string script =
      "a = ArrDimension(2)\na[0] = 1\na[1] = 2\nt = 0\nFor i = 1 To 3\n  w = 0\n  While w < 2\n    w += 1\n"
      "    ForEach v In a\n      Switch v\n        Case 1\n          t += 1\n          Continue\n        Case 2\n"
      "          GoSub add\n          Break\n      EndSwitch\n    Next\n  EndWhile\nNext\nStdOut(t)\nExit\n:add\n"
      "t += 10\nReturn\n";
  expect_same_under_budgets(script, 140);
}

// The statements of a function count against the budget after the line that
// called it, whichever path runs that line.
TEST_F(CompiledDifferentialTest, BudgetCountsTheCallingLineBeforeTheFunctionsLines) {
  const std::string script =
      "#DefineFunction f(k)\n  StdOut(\"in \" : k)\n  If k > 2 Then StdOut(\"more \" : k)\n  Return k\n#EndFunction\n"
      "t = 0\nFor i = 1 To 8\n  t += f(i)\n  If f(i) > 5 Then t += 1\nNext\nStdOut(t)\n";
  expect_same_under_budgets(script, 90);
}

// A trace that a line inside running structures turns on: from then on the
// text path runs every line, and what the trace shows of the structures the
// compiled lines built (Switch values, the stack dumped on an error, the
// events of the lines that end the blocks) must be the same. The script
// prints its own trace.
TEST_F(CompiledDifferentialTest, TraceTurnedOnInsideCompiledBlocks) {
  const std::string file = (fs::temp_directory_path() / ("orv_trace_" + std::to_string(::getpid()) + ".txt")).string();
  freshFile = file;   // a trace adds to its file: each run starts without one
  const std::string show =
      "DebugTrace(0)\nh = FileOpen(file, \"READ\")\nWhile 1\n  line = FileRead(h)\n  If line == \"*EOF*\" Then Break\n"
      "  StdOut(line)\nEndWhile\nFileClose(h)\n";
  const char* bodies[] = {
      "For i = 1 To 4\n  Switch i mod 3\n    Case 1\n      x = i\n      Break\n    Case 0\n"
      "      If i == 3 Then DebugTrace(1, file)\n      Break\n  EndSwitch\n  y = x + 1\nNext\n",
      "a = ArrDimension(2)\nw = 0\nWhile w < 4\n  w += 1\n  ForEach v In a\n    If w == 3 Then DebugTrace(1, file)\n"
      "  Next\n  If w > 3\n    Switch w\n      Case 4\n        Break\n    EndSwitch\n  EndIf\nEndWhile\n",
      "IntControl(73, 2, 0, 0, 0)\nFor i = 1 To 3\n  While 1\n    If i == 2 Then DebugTrace(1, file)\n    q = 1 / (i - 2)\n"
      "    Break\n  EndWhile\nNext\nDebugTrace(0)\nGoTo shown\n:QRErrorHandler\nIntControl(73, 2, 0, 0, 0)\nReturn\n"
      ":shown\n",
  };
  for (const char* body : bodies) {
    const std::string script = "file = \"" + file + "\"\nDebugTrace(104, 1)\n" + body + show;
    expect_same(script, script);
  }
  std::error_code ec;
  fs::remove(file, ec);
}

// Every golden script, example and workload: the fuzzers' seed scripts.
// Scripts for the Windows build or a display, and the size-limit scripts (sized
// for the console host's heap, not this fixture's), stay out.
bool runs_natively(const fs::path& script) {
  fs::path marker = script;
  std::error_code ec;
  // (".once": it consumes what another script left, so it cannot run twice.)
  for (const char* skip : {".skip", ".win32", ".once"})
    if (fs::exists(marker.replace_extension(skip), ec)) return false;
  const std::string folder = script.parent_path().filename().string();
  return folder != "limits" && folder != "gui";
}

// Maps on lines that run again: element stores and reads by text and number
// keys, compound operators, a key removed or never made, a map copied and then
// changed, a map in an array element and through a function, ForEach while
// the body removes keys, and Drop. The compiled path leaves maps to the text
// path; nothing may differ.
TEST_F(CompiledDifferentialTest, MapsOnLinesThatRunAgain) {
  const char* snippets[] = {
      "m = MapCreate()\nFor i = 1 To 6\n  m[\"k\" : (i mod 3)] = i\n  m[\"K0\"] += 1\n"
      "  StdOut(m[\"k\" : (i mod 3)] : \" \" : MapKeyExist(m, \"k2\"))\nNext\nForEach k In m\n  StdOut(k : \"=\" : m[k])\nNext\n",
      "m = MapCreate(\"a=1,b=2\")\nFor i = 1 To 3\n  x = m[\"a\"] + i\n  StdOut(x)\n  If i == 2 Then MapKeyRemove(m, \"A\")\nNext\n",
      "m = MapCreate()\nFor i = 0 To 4\n  m[i] = i * i\n  m[i] += 1\n  StdOut(m[i] : \" \" : m[\"\" : i])\nNext\n",
      "m = MapCreate()\nFor i = 0 To 2\n  m[i] += 1\nNext\n",
      "m = MapCreate()\nFor i = 0 To 2\n  m[i, 1] = 1\nNext\n",
      "m = MapCreate(\"a=1\")\nFor i = 1 To 3\n  c = m\n  m[\"a\"] = i\n  StdOut(c[\"a\"] : m[\"a\"])\nNext\n",
      "a = ArrDimension(2)\nm = MapCreate(\"x=1\")\nFor i = 0 To 1\n  a[i] = m\n  m[\"x\"] = i + 5\n  n = a[i]\n"
      "  StdOut(n[\"x\"] : m[\"x\"])\nNext\n",
      "#DefineFunction f(mm, k)\n  mm[k] = 1\n  Return mm\n#EndFunction\nm = MapCreate()\nFor i = 1 To 3\n"
      "  r = f(m, \"k\" : i)\n  StdOut(MapKeyExist(r, \"k\" : i) : MapKeyExist(m, \"k\" : i) : MapKeyFind(r, \"k1\", \"-\"))\nNext\n",
      "m = MapCreate(\"a=1,b=2,c=3,d=4\")\nForEach k In m\n  StdOut(k)\n  MapKeyRemove(m, \"c\")\n  MapKeyRemove(m, k)\n"
      "  If k == \"a\" Then m[\"e\"] = 5\nNext\nStdOut(MapKeyExist(m, \"e\"))\n",
      "For i = 1 To 3\n  m = MapCreate(\"a=\" : i)\n  StdOut(m[\"A\"])\n  Drop(m)\nNext\nStdOut(IsDefined(m))\n",
      "m = MapCreate()\nFor i = 1 To 3\n  m[\"x\"] = ArrDimension(2)\nNext\n",
  };
  expect_each_same(snippets, "snippet");
}

// Map keys joined from pieces, which the compiled path puts together off the
// heap: upper-case spellings, 8-bit characters, keys too long for that,
// pieces that are no plain text or number, a piece with effects (run once),
// keys never made, and the errors of a bad piece.
TEST_F(CompiledDifferentialTest, MapKeysJoinedFromPieces) {
  const char* snippets[] = {
      "m = MapCreate(\"k0-=0,k1-=0\")\nFor i = 1 To 4\n  m[\"Key\" : i] = i\n  m[\"k\" : (i mod 2) : \"-\"] += i\n"
      "  StdOut(m[\"KEY\" : i] : \" \" : m[\"K\" : (i mod 2) : \"-\"])\nNext\nForEach k In m\n  StdOut(k)\nNext\n",
      "m = MapCreate()\nFor i = 1 To 3\n  m[\"\xe9t\xe9\" : i] = i\n  StdOut(m[\"\xc9T\xc9\" : i] : MapKeyExist(m, \"\xe9t\xe9\" : i))\nNext\n"
      "ForEach k In m\n  StdOut(k)\nNext\n",
      "m = MapCreate()\nlong = StrFill(\"x\", 300)\nFor i = 1 To 3\n  m[long : i] = i\n  m[\"y\" : long : i] = i * 2\n"
      "  StdOut(m[long : i] + m[\"Y\" : long : i])\nNext\nStdOut(MapKeyExist(m, long : \"3\") : MapKeyExist(m, long))\n",
      "m = MapCreate()\nFor i = 1 To 3\n  m[\"f\" : (i / 2.0)] = i\n  m[\"w\" : ChrHexToUnicode(\"3404\") : i] = i\n"
      "  StdOut(m[\"f\" : (i / 2.0)] : m[\"W\" : ChrHexToUnicode(\"3404\") : i])\nNext\nForEach k In m\n"
      "  StdOut(ChrUnicodeToHex(k))\nNext\n",
      "#DefineFunction tagged(n)\n  StdOut(\"called \" : n)\n  Return n * 10\n#EndFunction\nm = MapCreate()\n"
      "For i = 1 To 3\n  m[\"k\" : tagged(i)] = i\n  StdOut(m[\"k\" : (i * 10)])\nNext\nForEach k In m\n  StdOut(k)\nNext\n",
      "m = MapCreate(\"k1=1\")\nFor i = 1 To 3\n  StdOut(m[\"k\" : i])\nNext\n",
      "m = MapCreate()\nErrorMode(@OFF)\nFor i = 1 To 3\n  x = m[\"none\" : i]\n  StdOut(LastError() : \" \" : IsDefined(x))\nNext\n",
      "m = MapCreate()\na = ArrDimension(2)\nFor i = 1 To 2\n  m[\"k\" : a] = i\nNext\nForEach k In m\n  StdOut(k)\nNext\n",
      "m = MapCreate()\nFor i = 1 To 2\n  m[\"\" : \"\"] = i\n  m[\"\"] += 1\n  StdOut(m[\"\" : \"\"])\nNext\n",
  };
  expect_each_same(snippets, "key");
}

// Joined keys the compiled path makes in one pass, checked against keys made
// every other way: whole numbers of every digit count and sign, floats,
// texts held in variables in any case, keys on both sides of the length at
// which they stop being short, keys removed and made again, and a copy
// changed after it was made (its keys rebuilt from the entries).
TEST_F(CompiledDifferentialTest, JoinedKeysMatchKeysMadeEveryOtherWay) {
  const char* snippets[] = {
      "m = MapCreate()\nn = 1\nFor d = 1 To 10\n  m[\"n\" : n] = d\n  m[\"n\" : -n] = -d\n  m[n - 1 : \"\"] = d\n"
      "  StdOut(m[\"N\" : n] : m[\"n\" : (0 - n)] : m[\"\" : (n - 1)] : MapKeyExist(m, \"n\" : n))\n"
      "  If d < 10 Then n = n * 10\nNext\nbig = 2147483647\nlow = -2147483647 - 1\nFor i = 1 To 2\n"
      "  m[\"b\" : big] = i\n  m[\"b\" : low] += i\n  StdOut(m[\"B2147483647\"] : \" \" : m[\"b-2147483648\"])\nNext\n"
      "ForEach k In m\n  StdOut(k : \"=\" : m[k])\nNext\n",
      "m = MapCreate()\nFor i = 1 To 4\n  f = i / 4.0\n  m[\"f\" : f] = i\n  m[\"g\" : (i * 1.5) : \"x\"] = i\n"
      "  StdOut(m[\"F\" : f] : m[\"f\" : (i / 4.0)] : m[\"G\" : (i * 1.5) : \"X\"])\nNext\nForEach k In m\n  StdOut(k)\nNext\n",
      "m = MapCreate()\na = \"Alpha\"\nb = \"BETA\"\nFor i = 1 To 3\n  m[a : b : i] = i\n  m[b : i] = -i\n"
      "  lo = StrLower(a : b)\n  StdOut(m[lo : i] : m[StrUpper(b) : i] : m[\"alphaBeta\" : i])\n  a = a : \"x\"\nNext\n"
      "ForEach k In m\n  StdOut(k)\nNext\n",
      "m = MapCreate()\nFor n = 254 To 258\n  p = StrFill(\"Ab\", n - 1)\n  For i = 1 To 2\n    m[p : i] = n\n"
      "    m[StrUpper(p) : i] += 1\n    StdOut(StrLen(p : i) : \" \" : m[StrLower(p) : i] : \" \" : MapKeyExist(m, p : i))\n"
      "  Next\nNext\nkeys = MapKeysGet(m)\nStdOut(ArrInfo(keys, 1) : \" \" : StrLen(keys[0]) : \" \" : StrLen(keys[9]))\n",
      "m = MapCreate()\nFor round = 1 To 3\n  For i = 1 To 40\n    m[\"Key\" : i] = round * 100 + i\n  Next\n"
      "  For i = 1 To 40 By 3\n    MapKeyRemove(m, \"kEY\" : i)\n  Next\n  StdOut(ArrInfo(MapKeysGet(m), 1) : \" \" : m[\"KEY2\"])\n"
      "  ErrorMode(@OFF)\n  x = m[\"key\" : 1]\n  StdOut(LastError())\n  ErrorMode(@CANCEL)\nNext\n"
      "StdOut(ArrayItemize(MapKeysGet(m), \",\"))\n",
      "m = MapCreate(\"Zed=1\")\nw = ChrHexToUnicode(\"0416\")\nlong = StrFill(\"L\", 300)\nFor i = 1 To 3\n"
      "  m[\"k\" : i] = i\n  m[w : i] = i * 10\n  m[long : i] = i * 100\n  c = m\n  c[\"K\" : i] = -i\n  c[\"new\" : i] = 0\n"
      "  MapKeyRemove(c, \"zed\")\n  StdOut(m[\"k\" : i] : \" \" : c[\"k\" : i] : \" \" : c[w : i] : \" \" : c[StrLower(long) : i] : \" \""
      " : MapKeyExist(m, \"new\" : i) : MapKeyExist(c, \"ZED\") : MapKeyExist(m, \"zED\"))\nNext\n"
      "StdOut(ArrInfo(MapKeysGet(c), 1) : \" \" : ArrInfo(MapKeysGet(m), 1))\n",
  };
  expect_each_same(snippets, "joined key");
}

// Lengths the compiled path takes straight from an 8-bit text: a variable's
// read in place, a call's result, and what must take the general call
// instead (UTF-16 texts, numbers, arrays, a variable never set, an error in
// the argument) on lines that run again.
TEST_F(CompiledDifferentialTest, TextLengthsTakenStraight) {
  const char* snippets[] = {
      "s = \"\"\nFor i = 1 To 4\n  s = s : \"ab\" : i\n  n = StrLen(s) + StrCharCount(s)\n  StdOut(n : \" \" : StrLen(StrSub(s, 2, 3)))\nNext\n",
      "For i = 1 To 4\n  If i == 1 Then v = \"abc\"\n  If i == 2 Then v = ChrHexToUnicode(\"34044100\")\n  If i == 3 Then v = i * 1000\n"
      "  If i == 4 Then v = 2.5\n  StdOut(StrLen(v) : \" \" : StrLen(v : \"\"))\nNext\n",
      "For i = 1 To 3\n  If i == 3 Then Drop(w)\n  If i < 3 Then w = StrFill(\"x\", 300 * i)\n  StdOut(StrLen(w))\nNext\n",
      "a = ArrDimension(2)\nFor i = 1 To 2\n  StdOut(StrLen(a))\nNext\n",
      "ErrorMode(@OFF)\nFor i = 1 To 3\n  n = StrLen(StrFix(\"a\", \"\", i - 2))\n  StdOut(n : \" \" : LastError())\nNext\n",
      "For i = 1 To 3\n  StdOut(StrLen(1 / (2 - i)))\nNext\n",
      "x = 2147483647\ny = -2147483647\nFor i = 1 To 3\n  x += StrLen(\"ab\")\n  y -= StrLen(\"abc\")\n  z = 1.5\n"
      "  z += StrLen(\"a\")\n  StdOut(x : \" \" : y : \" \" : z)\nNext\n",
  };
  expect_each_same(snippets, "length");
}

// Variables' texts lent to calls whose coercion would change them: a text
// that a numeric parameter reads as a number, and narrow texts in a call
// that another argument makes wide; each variable keeps its own form.
TEST_F(CompiledDifferentialTest, LentTextsTheCoercionWouldChange) {
  const char* snippets[] = {
      "n = \"3\"\ns = \"abcdef\"\nFor i = 1 To 3\n  StdOut(StrSub(s, n, 2) : \" \" : VarType(n) : \" \" : n)\n"
      "  If i == 2 Then n = \" 2\"\nNext\n",
      "l = \"a b c\"\nk = \"2\"\nFor i = 1 To 4\n  w = \"x\" : i\n  If i > 2 Then w = Num2Char(8364) : i\n"
      "  r = ItemInsert(w, -1, l, \" \")\n  e = ItemExtract(k, l, \" \")\n"
      "  StdOut(r : \" \" : e : \" \" : VarType(l) : VarType(k) : VarType(r) : \" \" : StrLen(l))\nNext\n",
      "ErrorMode(@OFF)\nk = \"x\"\nl = \"a b\"\nFor i = 1 To 3\n  e = ItemExtract(k, l, \" \")\n"
      "  StdOut(i : \" \" : e : \" \" : LastError() : \" \" : k)\n  If i == 2 Then k = \"1\"\nNext\n",
  };
  expect_each_same(snippets, "coerced", true);
}

// Members of elements and of pointer targets leave their lines to the text
// path; the checks before the member (bounds, unassigned elements, pointers)
// and the lines around them must still agree.
TEST_F(CompiledDifferentialTest, MembersOfElementsAndPointerTargets) {
  const char* snippets[] = {
      "a = ArrDimension(3)\nFor i = 0 To 2\n  a[i] = i\n  StdOut(a[i] : \" \" : a[i] + 1)\nNext\nx = a[0].name\n",
      "a = ArrDimension(2)\na[0] = 1\nFor i = 0 To 3\n  StdOut(i)\n  If i == 1 Then x = a[i].name : \"!\"\nNext\n",
      "a = ArrDimension(2)\nFor i = 0 To 3\n  a[0] = i\n  If i == 2 Then x = a[i].name\nNext\n",
      "a = ArrDimension(2)\nFor i = 0 To 1\n  a[i] = i\n  If i == 1 Then a[i].name = a[0] + 5\nNext\n",
      "v = 1\np = &v\nFor i = 1 To 3\n  StdOut(*p + i)\n  v = v * 2\nNext\ny = *p.name.more(1)\n",
      "p = &nope\nFor i = 1 To 2\n  StdOut(i)\n  x = *p.name\nNext\n",
      "m = MapCreate(\"a=1\")\nFor i = 1 To 3\n  StdOut(m[\"a\"] + i)\n  If i == 3 Then m[\"a\"].name = 1\nNext\n",
  };
  expect_each_same(snippets, "snippet");
}

// Texts built by appending to a variable (`s = s : ...`, `s := ...`), which
// may extend the variable's own text where it lies, and what reads them
// afterwards through known lengths.
TEST_F(CompiledDifferentialTest, TextsBuiltByAppendingToAVariable) {
  const char* snippets[] = {
      // pieces of every plain kind, then reads of the grown text
      "s = \"\"\nt = \"-\"\nFor i = 1 To 40\n  s = s : \"ab\" : i : t\n  s := i\nNext\n"
      "StdOut(StrLen(s) : \" \" : StrSub(s, 60, 12) : \" \" : StrIndex(s, \"39\", 1, @FWDSCAN) : \" \" : (s == s : \"\"))\n",
      // the text appended to itself, past the block it started in
      "s = \"xy\"\nFor i = 1 To 9\n  s = s : s\n  StdOut(StrLen(s) : StrSub(s, StrLen(s) - 2, 3))\nNext\n",
      // a copy taken between appends keeps its own text
      "s = \"\"\nFor i = 1 To 30\n  s = s : \"word\" : i\n  If i mod 10 == 0\n    c = s\n    s := \"!\"\n"
      "    StdOut(StrLen(c) : \" \" : StrLen(s) : \" \" : StrSub(c, StrLen(c) - 3, 4))\n  EndIf\nNext\n",
      // pieces that are no plain text: floats, UTF-16 texts, a call, an unset name
      "s = \"a\"\nFor i = 1 To 4\n  s = s : 0.5 * i\n  s := Num2Char(8364)\n  s = s : StrLen(s)\nNext\n"
      "StdOut(s : \" \" : StrLen(s))\n",
      "s = \"a\"\nFor i = 1 To 3\n  s = s : nothing\nNext\n",
      // the target changes kind between passes: number, float, dropped, array
      "s = 5\nFor i = 1 To 6\n  s = s : i\n  If i == 2 Then s = 1.5\n  If i == 4 Then Drop(s)\n  If i == 4 Then s = \"z\"\n"
      "  StdOut(s)\nNext\n",
      "s = \"a\"\nFor i = 1 To 3\n  s := i\n  If i == 2 Then s = ArrDimension(2)\nNext\n",
      // a long text read again and again: length, search, pieces, comparison
      "h = \"\"\nFor i = 1 To 500\n  h = h : \"k\" : (i mod 7) : \";\"\nNext\nn = 0\n"
      "For i = 1 To 20\n  p = StrIndex(h, \"k\" : (i mod 7) : \";\", 1, @FWDSCAN)\n  n += p + StrLen(StrSub(h, p, 50)) + StrLen(h)\n"
      "  If h == h : \"\" Then n += 1\nNext\nStdOut(n)\n",
      // texts past the heap's first growth
      "s = \"\"\nFor i = 1 To 3000\n  s = s : \"0123456789\" : \"abcdefghij\" : i\nNext\nStdOut(StrLen(s) : StrSub(s, 40000, 9))\n",
      // doubling until the heap is full: the failing append reports as the text path does
      "s = \"0123456789\"\nFor i = 1 To 30\n  s = s : s\n  StdOut(StrLen(s))\nNext\n",
      "s = \"0123456789\"\nFor i = 1 To 30\n  s := s : \"\"\n  StdOut(StrLen(s))\nNext\n",
  };
  expect_each_same(snippets, "append");
}

// Comparisons of a variable's text with a literal or another variable, read
// where they lie when one of them cannot be a number: texts that look like
// numbers on either side, empty and blank texts, case, every operator,
// UTF-16 texts, numbers, and variables that change kind or are never set.
TEST_F(CompiledDifferentialTest, TextComparisonsOfVariablesAndLiterals) {
  const char* snippets[] = {
      "For i = 1 To 6\n  t = \"\" : (i * 5)\n  If i == 2 Then t = \" 7\"\n  If i == 3 Then t = \"\"\n"
      "  If i == 4 Then t = \"*EOF*\"\n  If i == 5 Then t = \"+\"\n"
      "  StdOut((t == \"*EOF*\") : (t < \"abc\") : (\"abc\" >= t) : (t != \"10\") : (t == \"\") : (t > \"-\"))\nNext\n",
      "w = \"Word\"\nFor i = 1 To 3\n  t = StrSub(\"wordWORDWord\", i * 4 - 3, 4)\n"
      "  StdOut((t == w) : (w <> t) : (t < w) : (t <= \"word\") : (t > \"WORD\") : (\"Word\" == t))\nNext\n",
      "e = Num2Char(8364)\nFor i = 1 To 3\n  t = \"a\" : e\n  If i == 2 Then t = e\n"
      "  StdOut((t == e) : (e == \"x\") : (t != \"a\" : e) : (t > \"a\"))\nNext\n",
      "For i = 1 To 4\n  t = i\n  If i == 2 Then t = 2.5\n  If i == 3 Then t = \"3\"\n"
      "  StdOut((t == \"three\") : (t < \"4\") : (\"x\" > t) : (t == \" 3\"))\nNext\n",
      "For i = 1 To 3\n  If i == 3 Then Drop(t)\n  t2 = \"x\" : i\n  If i < 3 Then t = t2\n  StdOut(t == \"x1\")\nNext\n",
      "For i = 1 To 3\n  StdOut(i)\n  If never == \"*EOF*\" Then StdOut(\"no\")\nNext\n",
  };
  expect_each_same(snippets, "compare");
}

// Conditions of If lines, block Ifs and While loops that compare a
// variable with a literal text, taken straight: the variable holding
// numbers, texts that read as numbers ("1.0" against "1"), case, empty,
// long and UTF-16 texts, every operator with the literal on either side,
// and a variable dropped between passes.
TEST_F(CompiledDifferentialTest, TextConditionsOfIfAndWhile) {
  const char* const values =
      "v = \"\"\n  Switch i\n  Case 1\n    v = \"1.0\"\n    Break\n  Case 2\n    v = 5\n    Break\n"
      "  Case 3\n    v = \"5\"\n    Break\n  Case 4\n    v = \"abc\"\n    Break\n  Case 5\n    v = \"ABC\"\n    Break\n"
      "  Case 6\n    v = StrFill(\"abc\", 300)\n    Break\n  Case 7\n    v = \"a\" : Num2Char(8364)\n    Break\n"
      "  Case 8\n    v = 1.0\n    Break\n  Case 9\n    v = \" 1\"\n    Break\n  Case 10\n    v = \"1e0\"\n    Break\n"
      "  Case 11\n    v = \"-\"\n    Break\n  Case 12\n    Drop(v)\n    Break\n  EndSwitch\n";
  const std::string loop = std::string("For i = 1 To 12\n  ") + values;
  const char* conditions[] = {
      "  If v == \"1\" Then StdOut(i : \" eq1\")\n  If v != \"5\" Then StdOut(i : \" ne5\")\n"
      "  If v == \"abc\" Then StdOut(i : \" eqabc\")\n  If v <> \"\" Then StdOut(i : \" nonempty\")\n",
      "  If v < \"abd\" Then StdOut(i : \" lt\")\n  If v <= \"ABC\" Then StdOut(i : \" le\")\n"
      "  If v > \"1\" Then StdOut(i : \" gt\")\n  If v >= \"a\" Then StdOut(i : \" ge\")\n",
      "  If \"abc\" == v Then StdOut(i : \" leq\")\n  If \"1\" < v Then StdOut(i : \" llt\")\n"
      "  If \"b\" >= v Then StdOut(i : \" lge\")\n  If \"\" == v Then StdOut(i : \" lempty\")\n",
      "  If v == \"a\" : Num2Char(8364) Then StdOut(i : \" joined\")\n  If v == \"A\" Then StdOut(i)\n"
      "  If v == \"1.0\"\n    StdOut(i : \" block\")\n  Else\n    StdOut(i : \" else\")\n  EndIf\n",
  };
  for (const char* condition : conditions) {
    const std::string script = loop + condition + "Next\n";
    expect_same(script, script);
    expect_same(script, "uncounted " + script, 0);
  }
  const char* whiles[] = {
      "n = 0\nt = \"x\"\nWhile t != \"xxxx\"\n  t := \"x\"\n  n += 1\nEndWhile\nStdOut(n : t)\n",
      "n = 0\nt = \"9\"\nWhile t != \"10\"\n  t = t + 1\n  n += 1\n  If n > 20 Then Break\nEndWhile\nStdOut(n : t)\n",
      "t = \"a\"\nWhile \"aaa\" > t\n  t := \"a\"\n  If t == \"aa\" Then Drop(t)\nEndWhile\nStdOut(t)\n",
  };
  expect_each_same(whiles, "while", true);
}

// Block Ifs written without Then: true, false and skipped inside another
// block, with ElseIf and Else, a condition that calls a function, and a
// line that is no block If after all.
TEST_F(CompiledDifferentialTest, BlockIfsWithoutThen) {
  const char* snippets[] = {
      "n = 0\nFor i = 1 To 12\n  If i mod 3 == 0\n    n += 1\n    If i > 6\n      n += 10\n    Else\n      n += 100\n"
      "    EndIf\n  ElseIf i mod 2\n    n += 1000\n  EndIf\nNext\nStdOut(n)\n",
      "#DefineFunction odd(k)\n  StdOut(\"asked \" : k)\n  Return k mod 2\n#EndFunction\nFor i = 1 To 4\n"
      "  If odd(i)\n    StdOut(\"odd \" : i)\n  EndIf\nNext\n",
      "For i = 1 To 3\n  If i == 2 StdOut(\"x\")\n  EndIf\nNext\n",
      "For i = 1 To 3\n  If nothing\n    StdOut(i)\n  EndIf\nNext\n",
  };
  expect_each_same(snippets, "if");
}

// Calls after the first bind parameters where the first call put them: the
// same values whichever path makes the call, with repeated names, dropped
// parameters, text and array arguments, and calls made through Execute.
TEST_F(CompiledDifferentialTest, RepeatedCallsBindParametersAlike) {
  const char* snippets[] = {
      "#DefineFunction f(a, b, a)\n  Drop(b)\n  b = a : IsDefined(b)\n  Return b\n#EndFunction\n"
      "For i = 1 To 4\n  StdOut(f(i, \"t\" : i, i * 3))\nNext\n",
      "#DefineFunction g(list, n)\n  list[0] = n\n  If n > 0 Then Return g(list, n - 1) : list[0]\n  Return \"|\"\n"
      "#EndFunction\na = ArrDimension(2)\na[0] = \"kept\"\nFor i = 1 To 3\n  StdOut(g(a, i) : a[0])\nNext\n",
      "#DefineFunction h(k)\n  Return k * 2\n#EndFunction\nFor i = 1 To 4\n  Execute x = h(i) + h(i + 1)\n"
      "  StdOut(x)\nNext\n",
      "#DefineFunction d(k)\n  If k == 3 Then Return k / 0\n  Return \"k\" : k\n#EndFunction\n"
      "For i = 1 To 4\n  StdOut(d(i))\nNext\n",
  };
  expect_each_same(snippets, "snippet");
}

// Calls made straight from compiled expressions: what the call saves and
// puts back (handlers, error mode, the caller's table and pointers into it),
// errors inside and around the callee, and results of every kind.
TEST_F(CompiledDifferentialTest, CallsFromCompiledCodeLeaveTheCallerAsTheTextPathDoes) {
  const char* snippets[] = {
      // the caller's handler function is in force again after each call
      "#DefineFunction oh(err)\n  StdOut(\"outer \" : err[0])\n  Return 1\n#EndFunction\n"
      "#DefineFunction ih(err)\n  StdOut(\"inner \" : err[0])\n  Return 1\n#EndFunction\n"
      "#DefineFunction f(k)\n  IntControl(73, 3, 0, \"ih\", 0)\n  x = k / 0\n  Return k\n#EndFunction\n"
      "IntControl(73, 3, 0, \"oh\", 0)\nFor i = 1 To 3\n  y = f(i) + f(i + 1)\n  z = i / 0\n  StdOut(y)\nNext\n",
      // ErrorMode(@OFF) inside a function, and an error it lets through
      "#DefineFunction g(k)\n  ErrorMode(@OFF)\n  v = StrSub(\"abc\", k, -5)\n  Return LastError() : \"/\" : k\n"
      "#EndFunction\nFor i = 1 To 3\n  StdOut(g(i) : g(i + 1))\nNext\nx = 1 / 0\n",
      // pointers into the caller's table while the callee's comes and goes
      "#DefineFunction b(p, k)\n  *p = *p + k\n  If k > 0 Then b(p, k - 1)\n  Return *p\n#EndFunction\n"
      "t = 0\nFor i = 1 To 4\n  StdOut(b(&t, i) + t)\nNext\n",
      // an error inside a callee two calls deep, and in an argument
      "#DefineFunction e(k)\n  If k == 3 Then Return nothere + k\n  Return k\n#EndFunction\n"
      "#DefineFunction m(k)\n  Return e(k) * 2\n#EndFunction\nFor i = 1 To 4\n  StdOut(m(i) + e(i))\nNext\n",
      "#DefineFunction e(k)\n  Return k\n#EndFunction\nFor i = 1 To 3\n  StdOut(e(i) + e(6 / (2 - i)))\nNext\n",
      // results that are arrays, maps, texts and floats, and parameters dropped
      "#DefineFunction mk(k)\n  a = ArrDimension(k + 1)\n  a[k] = \"v\" : k\n  Drop(k)\n  Return a\n#EndFunction\n"
      "#DefineFunction fl(k)\n  Return k / 4.0\n#EndFunction\n"
      "For i = 1 To 3\n  r = mk(i)\n  StdOut(r[i] : ArrInfo(r, 1) : fl(i) : ArrInfo(mk(i), 1))\nNext\n",
      // Exit inside a function ends the whole run alike
      "#DefineFunction x(k)\n  If k == 3 Then Exit\n  Return k\n#EndFunction\nFor i = 1 To 5\n  StdOut(x(i) + 1)\nNext\n",
      // a subroutine shares its caller's variables
      "#DefineSubroutine s(k)\n  shared = shared + k\n  Return shared\n#EndSubroutine\nshared = 0\n"
      "For i = 1 To 4\n  StdOut(s(i) + shared)\nNext\n",
      // tracing switched on inside a function, and off again
      "#DefineFunction tr(k)\n  If k == 2 Then DebugTrace(22)\n  Return k * 3\n#EndFunction\n"
      "For i = 1 To 3\n  StdOut(tr(i) + tr(i + 1))\nNext\n",
  };
  expect_each_same(snippets, "call");
}

// Array elements read in compiled expressions: only whole-number subscripts
// in range of an element that holds a value are read there; anything else
// (and whatever the variable turns into) the text path reads and reports.
TEST_F(CompiledDifferentialTest, ArrayElementsReadInCompiledExpressions) {
  const char* snippets[] = {
      // one and two dimensions: numbers, floats, texts, in conditions, nested subscripts
      "t = ArrDimension(3, 3)\na = ArrDimension(4)\nFor r = 0 To 2\n  t[r, 0] = r * 10\n  t[r, 1] = \"s\" : r\n"
      "  a[r] = r + 0.5\nNext\na[3] = 2\ns = 0\nFor r = 0 To 2\n  x = t[r, 0]\n  s += t[r, 0] + a[r] + a[a[3]]\n"
      "  y = \"-\"\n  If t[r, 0] > 5 Then y = t[r, 1] : \" \" : t[2 - r, 1]\n  z = a[r] * 2\n"
      "  StdOut(x : \" \" : s : \" \" : y : \" \" : z)\nNext\n",
      // an element never given a value, and subscripts past the end, on a later pass
      "a = ArrDimension(4)\na[0] = 1\na[1] = 2\nFor i = 0 To 3\n  x = a[i]\n  StdOut(x)\nNext\n",
      "a = ArrDimension(4)\na[0] = 1\na[1] = 2\nFor i = 0 To 3\n  x = a[i] + 1\n  StdOut(x)\nNext\n",
      "a = ArrDimension(3)\nFor i = 0 To 2\n  a[i] = i\nNext\nFor i = 0 To 4\n  x = a[i]\n  StdOut(x)\nNext\n",
      "a = ArrDimension(3)\nFor i = 0 To 2\n  a[i] = i\nNext\nFor i = 2 To -1 By -1\n  x = a[i]\n  StdOut(x)\nNext\n",
      // subscripts that are floats, texts or of the wrong count
      "a = ArrDimension(3)\nFor i = 0 To 2\n  a[i] = i * 3\nNext\nk = 1\nFor i = 1 To 4\n  x = a[k]\n  StdOut(x)\n"
      "  If i == 1 Then k = 1.7\n  If i == 2 Then k = \"2\"\n  If i == 3 Then k = \"x\"\nNext\n",
      "t = ArrDimension(2, 2)\nt[1, 1] = 4\nFor i = 1 To 3\n  If i < 3 Then x = t[1, 1]\n  If i == 3 Then x = t[1]\n"
      "  StdOut(x)\nNext\n",
      // the variable turns into a map and an array of another shape
      "v = ArrDimension(2)\nv[0] = 5\nv[1] = 6\nFor i = 1 To 5\n  x = v[0] + v[1]\n  StdOut(x)\n"
      "  If i == 1 Then v = MapCreate()\n  If i == 1 Then v[0] = 7\n  If i == 1 Then v[1] = 8\n"
      "  If i == 2 Then v = ArrDimension(2, 1)\n  If i == 2 Then v[0, 0] = 9\n  If i == 2 Then v[1, 0] = 1\nNext\n",
      "v = ArrDimension(2)\nv[0] = 5\nv[1] = 6\nFor i = 1 To 4\n  x = v[1]\n  StdOut(x)\n  If i == 2 Then v = 3\nNext\n",
      // after Then: a key or an element the compiled line does not read is the text path's to report
      "m = MapCreate()\nm[\"a\"] = 1\nx = 0\nFor i = 1 To 3\n  If i == 3 Then x = m[\"b\"]\n  StdOut(x)\nNext\n",
      "a = ArrDimension(2)\na[0] = 4\nx = 0\nFor i = 0 To 2\n  If i < 5 Then x = a[i] * 2\n  StdOut(x)\nNext\n",
      // texts read into variables and arguments, the array copied into another variable
      "a = ArrDimension(2)\na[0] = \"in\"\na[1] = \"t\"\nFor i = 0 To 2\n  x = a[0]\n  b = a\n  b[0] = i\n"
      "  y = x : a[1] : StrLen(a[1]) : b[0] : a[0]\n  StdOut(y)\nNext\n",
      // a function's own array, and a subscript with effects (left to the text path)
      "#DefineFunction f(k)\n  q = ArrDimension(3)\n  q[0] = k\n  q[1] = q[0] * 2\n  Return q[1] + q[0]\n#EndFunction\n"
      "#DefineFunction g(k)\n  Return k\n#EndFunction\nz = ArrDimension(3)\nz[1] = 7\nFor i = 1 To 3\n"
      "  x = f(i) : \" \" : z[g(1)]\n  StdOut(x)\nNext\n",
  };
  expect_each_same(snippets, "element", true);
}

// Built-ins that read their own argument lists (StrCat, Min, Max, Average)
// from compiled lines: each argument evaluated only when the built-in asks
// for it, so a failing one stops the rest as on the text path.
TEST_F(CompiledDifferentialTest, BuiltinsThatReadTheirOwnArguments) {
  const char* snippets[] = {
      // texts, numbers, floats, UTF-16 and empty texts, nested lists
      "x = \"ab\"\nu = ChrHexToUnicode(\"3404\")\nFor i = 1 To 4\n  s = StrCat(x, i, \"\", i / 4.0, StrCat(x, x))\n"
      "  w = StrCat(x, u, i)\n  h = ChrUnicodeToHex(w)\n  o = StrCat(i)\n  StdOut(s : \"|\" : h : \"|\" : o)\nNext\n",
      // whole numbers, floats, 64-bit numbers and numeric texts; the widest kind wins
      "For i = -2 To 3\n  a = Max(i, 1, \"2\")\n  b = Min(i, 0.5, 3)\n  c = Average(i, 2, 4)\n"
      "  d = Max(i, 2147483647 + 1.0, 9999999999)\n  e = Min(i)\n  StdOut(a : \" \" : b : \" \" : c : \" \" : d : \" \" : e)\n"
      "Next\n",
      // an argument that is no number stops the list at its place; the error names it
      "y = 5\nFor i = 1 To 4\n  If i == 3 Then y = \"x\"\n  m = Max(i, y, 8 / (3 - i))\n  StdOut(m)\nNext\n",
      "y = 5\nFor i = 1 To 4\n  If i == 2 Then y = \"7z\"\n  m = Average(i, 1.5, y)\n  StdOut(m)\nNext\n",
      // a failing argument, and one not yet assigned
      "For i = 1 To 4\n  s = StrCat(\"a\", 6 / (3 - i))\n  StdOut(s)\nNext\n",
      "For i = 1 To 3\n  If i == 3 Then m = Max(i, later)\n  m = Max(i, 2)\n  StdOut(m)\nNext\n",
      // arguments with effects run in order, and not past one that fails
      "#DefineFunction f(k)\n  StdOut(\"f\" : k)\n  Return k\n#EndFunction\nFor i = 1 To 3\n"
      "  m = Max(f(i), 2, f(i + 1)) : StrCat(f(i), \"-\", f(-i))\n  StdOut(m)\n"
      "  If i == 3 Then v = Min(f(1), \"no\", f(2))\nNext\n",
  };
  expect_each_same(snippets, "list", true);
}

// Texts passed to functions called from compiled lines (a literal's or a
// joined text goes to the parameter itself, a variable's is copied), and
// locals a body makes anew on every call: assignments, one-line Ifs, For
// loops and skipped lines make their names as the text path makes them.
TEST_F(CompiledDifferentialTest, TextArgumentsAndNewLocalsOnBothPaths) {
  const char* snippets[] = {
      // a variable's text changed inside the callee stays the caller's; literals and joined texts
      "#DefineFunction g(s, n)\n  s = s : \"+\" : n\n  s := \"!\"\n  Return s\n#EndFunction\nv = \"base\"\n"
      "For i = 1 To 4\n  r = g(v, i) : \"|\" : g(\"lit\", i) : \"|\" : g(v : i, \"t\" : i) : \"|\" : v\n  StdOut(r)\nNext\n",
      // UTF-16 texts, numbers and floats among texts, a repeated parameter name
      "#DefineFunction w(a, b, a)\n  Return ChrUnicodeToHex(a : b)\n#EndFunction\nu = ChrHexToUnicode(\"3404\")\n"
      "For i = 1 To 3\n  r = w(u, i / 2.0, \"x\" : i) : w(i, u, u : i) : ChrUnicodeToHex(u)\n  StdOut(r)\nNext\n",
      // arrays and file handles as arguments keep the full call
      "#DefineFunction a(list, t)\n  list[0] = t\n  Return t : ArrInfo(list, 1)\n#EndFunction\nx = ArrDimension(2)\n"
      "For i = 1 To 3\n  r = a(x, \"v\" : i) : x[0]\n  StdOut(r)\nNext\n",
      // a local made on every call, from a text, a call and a float
      "#DefineFunction f(k)\n  t = \"<\" : k : \">\"\n  u = StrLen(t) + k\n  q = k / 4.0\n  Return t : u : q\n#EndFunction\n"
      "For i = 1 To 4\n  r = f(i)\n  StdOut(r)\nNext\n",
      // a new local read before it holds anything, or added to
      "#DefineFunction f(k)\n  If k == 3 Then t = t + 1\n  Return k\n#EndFunction\nFor i = 1 To 4\n  r = f(i)\n  StdOut(r)\nNext\n",
      "#DefineFunction f(k)\n  If k == 2 Then ErrorMode(@OFF)\n  t += k\n  u := k\n  If k > 1 Then w -= 1\n"
      "  Return k : IsDefined(t) : IsDefined(u) : LastError()\n"
      "#EndFunction\nFor i = 1 To 4\n  r = f(i)\n  StdOut(r)\nNext\n",
      // a new local whose value fails: the name is made all the same
      "#DefineFunction f(k)\n  ErrorMode(@OFF)\n  t = k / (2 - k)\n  ErrorMode(@CANCEL)\n  Return k : IsDefined(t)\n"
      "#EndFunction\nFor i = 1 To 3\n  r = f(i)\n  StdOut(r)\nNext\nt = 5 / (2 - 2)\n",
      // one-line Ifs whose target is new, true and false, and what is declared after Then
      "#DefineFunction f(k)\n  If k > 2 Then t = k * 2\n  If k > 9 Then Return z\n  Return k : IsDefined(t) : IsDefined(z)\n"
      "#EndFunction\nFor i = 1 To 4\n  r = f(i)\n  StdOut(r)\nNext\n",
      "#DefineFunction f(k)\n  If k > 2 Then t = t * 2\n  Return k\n#EndFunction\nFor i = 1 To 4\n  r = f(i)\n  StdOut(r)\nNext\n",
      // For loops over a new local, one whose limit names it, and skipped ones
      "#DefineFunction f(k)\n  s = 0\n  For j = 1 To k\n    s += j\n  Next\n  Return s : \"/\" : j\n#EndFunction\n"
      "For i = 0 To 3\n  r = f(i)\n  StdOut(r)\nNext\n",
      "#DefineFunction f(k)\n  For j = 1 To j + k\n  Next\n  Return k\n#EndFunction\nFor i = 1 To 2\n  r = f(i)\n  StdOut(r)\nNext\n",
      "#DefineFunction f(k)\n  If k > 5\n    For j = 1 To m\n    Next\n  EndIf\n  Return k : IsDefined(j) : IsDefined(m)\n"
      "#EndFunction\nFor i = 1 To 3\n  r = f(i)\n  StdOut(r)\nNext\n",
      // lines passed over in a block declare their names
      "#DefineFunction f(k)\n  If k > 5\n    a = b + c\n    If d Then e = 1\n    If g\n    EndIf\n    h[1] = 2\n  EndIf\n"
      "  Return IsDefined(a) : IsDefined(b) : IsDefined(e) : IsDefined(g) : IsDefined(h)\n#EndFunction\n"
      "For i = 1 To 3\n  r = f(i)\n  StdOut(r)\nNext\nStdOut(b)\n",
  };
  expect_each_same(snippets, "local");
  // A body with more locals than a frame holds: each call fills its table,
  // and the name that does not fit is reported at the same line.
  std::string crowded = "#DefineFunction f(k)\n";
  for (int n = 0; n < 520; ++n) crowded += "  l" + std::to_string(n) + " = k\n";
  crowded += "  Return k\n#EndFunction\nErrorMode(@OFF)\nFor i = 1 To 3\n  StdOut(f(i) : LastError())\nNext\n";
  const Outcome filled = outcome(crowded, true);
  EXPECT_TRUE(filled.output.find("3097") != std::string::npos || filled.error == 3097) << filled.output;
  // The locals after false one-line Ifs are only declared: the names that do
  // not fit are passed over without an error, on both paths.
  std::string passed = "#DefineFunction f(k)\n";
  for (int n = 0; n < 520; ++n) passed += "  If k > 100 Then l" + std::to_string(n) + " = k\n";
  passed += "  Return k\n#EndFunction\nFor i = 1 To 3\n  StdOut(f(i))\nNext\n";
  EXPECT_EQ(outcome(passed, true).output, "1\n2\n3\n");
  for (const std::string* script : {&crowded, &passed}) {
    expect_same(*script, "a crowded frame");
    expect_same(*script, "a crowded frame, uncounted", 0);
  }
}

// A line that makes a function's local on every call repeats the step it
// took last time only from the same layout: other locals made before it on
// some calls, a name dropped, frames nested by recursion.
TEST_F(CompiledDifferentialTest, LocalsMadeAgainOnlyFromTheSameLayout) {
  const char* snippets[] = {
      // every other call jumps over the line that makes `a`, so `t` lands in another slot
      "#DefineFunction f(k)\n  If k mod 2 == 0 Then GoTo late\n  a = k\n:late\n  t = k : \"x\"\n  u = t : \"y\"\n"
      "  Return t : u : IsDefined(a)\n#EndFunction\nFor i = 1 To 6\n  StdOut(f(i))\nNext\n",
      // as many locals before it on every call, but not the same ones
      "#DefineFunction f(k)\n  If k mod 2 == 0 Then GoTo other\n  a = k\n  GoTo made\n:other\n  b = k\n:made\n"
      "  t = k : \"x\"\n  Return t : IsDefined(a) : IsDefined(b)\n#EndFunction\nFor i = 1 To 5\n  StdOut(f(i))\nNext\n",
      // a local dropped and made again within one call, then on the next call
      "#DefineFunction f(k)\n  t = k\n  Drop(t)\n  u = k * 2\n  t = u : \"/\" : k\n  Return t : IsDefined(u)\n#EndFunction\n"
      "For i = 1 To 4\n  StdOut(f(i))\nNext\n",
      // recursion: each level makes the same locals in a frame of its own
      "#DefineFunction r(k)\n  t = \"<\" : k\n  If k > 0 Then t = t : r(k - 1)\n  w = t : \">\"\n  Return w\n#EndFunction\n"
      "For i = 0 To 3\n  StdOut(r(i))\nNext\n",
      // two functions whose locals share a name, called alternately and nested
      "#DefineFunction f(k)\n  t = k + 1\n  Return t\n#EndFunction\n#DefineFunction g(a, b)\n  t = f(a) : b\n  s = t : f(b)\n"
      "  Return s\n#EndFunction\nFor i = 1 To 4\n  StdOut(f(i) : \" \" : g(i, i * 3))\nNext\n",
  };
  expect_each_same(snippets, "made again");
}

// A function called from a compiled line with its body compiled runs without
// the run loop's setup, its whole-number arguments bound straight into its
// parameters; each way such a call must instead (or part way through) do
// what a full call does.
TEST_F(CompiledDifferentialTest, QuickCallsEndAsFullCallsDo) {
  const char* snippets[] = {
      // the first line of the body is not compiled (a label, a substitution)
      "#DefineFunction f(k)\n  :top\n  v = k\n  t = k + %v%\n  Return t * 2\n#EndFunction\n"
      "For i = 1 To 4\n  StdOut(f(i) + f(i + 1))\nNext\n",
      // parameters assigned, dropped and made again in the body
      "#DefineFunction f(a, b)\n  a = a * 3\n  b += a\n  Drop(a)\n  a = \"x\" : b\n  Return a : b\n#EndFunction\n"
      "For i = 1 To 4\n  StdOut(f(i, i + 1) : f(i - 1, 7))\nNext\n",
      // values other than whole numbers, and no value, where a sum waits for them
      "#DefineFunction f(k)\n  If k == 1 Then Return 2.5\n  If k == 2 Then Return \"40\"\n  If k == 3 Then Return 7 / 2\n"
      "  t = k\n#EndFunction\nFor i = 1 To 5\n  x = f(i) + f(i) * 2\n  StdOut(x : \" \" : (f(i) == 0))\nNext\n",
      "#DefineFunction f(k)\n  If k == 2 Then Return ArrDimension(k)\n  If k == 3 Then Return \"t\"\n  Return k\n#EndFunction\n"
      "For i = 1 To 4\n  x = f(i) + 1\n  StdOut(x)\nNext\n",
      // arguments that are no whole numbers, more of them than the quick form takes, too few
      "#DefineFunction f(a, b, c, d, e)\n  Return a + b + c + d + e\n#EndFunction\n#DefineFunction g(k)\n  Return k : \"!\"\n"
      "#EndFunction\nx = \"3\"\nFor i = 1 To 3\n  StdOut(f(i, i, i, i, i) : g(i * 1.5) : g(x) : g(i) : g(-i))\nNext\n"
      "y = g()\n",
      "#DefineFunction g(k, j)\n  Return k\n#EndFunction\nFor i = 1 To 3\n  StdOut(g(i))\nNext\n",
      // an argument whose variable stops being a whole number, or goes
      "#DefineFunction f(k)\n  Return k * 2\n#EndFunction\nn = 1\nFor i = 1 To 5\n  StdOut(f(n + 1) + f(n))\n"
      "  If i == 2 Then n = 2.5\n  If i == 3 Then n = \"7\"\n  If i == 4 Then Drop(n)\nNext\n",
      "#DefineFunction f(k)\n  Return k * 2\n#EndFunction\nFor i = 1 To 4\n  StdOut(f(i mod (3 - i)))\nNext\n",
      // a function removed between calls, and defined again with other parameters
      "#DefineFunction f(k)\n  Return k * 2\n#EndFunction\nFor i = 1 To 3\n  StdOut(f(i) + 1)\nNext\n"
      "IntControl(78, 1, \"f\", 0, 0)\n#DefineFunction f(q, r)\n  Return q * 100 + r\n#EndFunction\n"
      "For i = 1 To 3\n  StdOut(f(i, i) + 1)\nNext\nIntControl(78, 1, \"f\", 0, 0)\n#DefineFunction f(r)\n  Return r - 1\n"
      "#EndFunction\nFor i = 1 To 3\n  StdOut(f(i) + 1)\nNext\nIntControl(78, 1, \"f\", 0, 0)\nFor i = 1 To 3\n"
      "  StdOut(f(i) + 1)\nNext\n",
      // the depth limit: at the call, and inside a body that holds a loop
      "#DefineFunction d(k)\n  If k < 0 Then Return 0\n  Return d(k + 1) + 1\n#EndFunction\nFor i = 1 To 2\n"
      "  x = d(i)\nNext\n",
      "#DefineFunction w(k)\n  j = 0\n  While j < 1\n    j += 1\n    r = w(k + 1) + 1\n  EndWhile\n  Return r\n"
      "#EndFunction\nStdOut(w(1))\n",
      "ErrorMode(@OFF)\n#DefineFunction d(k)\n  If k < 0 Then Return 0\n  Return d(k + 1) + 1\n#EndFunction\n"
      "x = d(1)\nStdOut(\"after \" : LastError())\n",
      // errors in the body under ErrorMode(@OFF): minor ones go on, severe ones end the call
      "ErrorMode(@OFF)\n#DefineFunction f(k)\n  t = k\n  a = ArrDimension(100000000)\n  t += 1\n  Return t\n"
      "#EndFunction\nFor i = 1 To 3\n  StdOut(f(i) + f(i) : \" \" : LastError())\nNext\n",
      "ErrorMode(@OFF)\n#DefineFunction f(k)\n  t = k\n  t = t / (k - 2)\n  Return t\n#EndFunction\n"
      "For i = 1 To 3\n  StdOut(f(i) + 1)\nNext\n",
      // a handler set inside the body, used there, and gone after the call
      "#DefineFunction f(k)\n  t = k\n  IntControl(73, 2, 0, 0, 0)\n  t = t / (k - 2)\n  Return t\n  :QRErrorHandler\n"
      "  t = -1\n  Return\n#EndFunction\nFor i = 1 To 3\n  StdOut(f(i) + 1)\nNext\nx = 1 / 0\n",
      // pointers to parameters: kept after the frame went, and handed to another function
      "#DefineFunction f(k)\n  p = &k\n  *p = *p + 1\n  Return p\n#EndFunction\nFor i = 1 To 2\n  q = f(i)\n"
      "  StdOut(StrSub(q, 1, 9))\nNext\nStdOut(*q)\n",
      "#DefineFunction inc(p)\n  *p = *p + 10\n  Return 0\n#EndFunction\n#DefineFunction f(k)\n  t = inc(&k) + k\n"
      "  Return t\n#EndFunction\nFor i = 1 To 3\n  StdOut(f(i) + f(i * 2))\nNext\n",
      // a function the error handling calls back, which calls functions itself
      "#DefineFunction sq(k)\n  Return k * k\n#EndFunction\n#DefineFunction caught(err)\n  StdOut(\"caught \" : sq(err[0] mod 7) : \" \" : sq(2))\n"
      "  Return 1\n#EndFunction\nIntControl(73, 3, 0, \"caught\", 0)\nFor i = 1 To 3\n  q = sq(i) / (i - 2)\n"
      "  IntControl(73, 3, 0, \"caught\", 0)\nNext\n",
      // sums of calls that turn out otherwise part way: a value that is no
      // whole number, a divisor of 0, a subroutine that changes what is read after it
      "#DefineFunction f(k)\n  StdOut(\"f\" : k)\n  If k == 3 Then Return 1.5\n  If k == 4 Then Return \"x\"\n  Return k\n"
      "#EndFunction\n#DefineFunction g(k)\n  Return f(k) * 2 + f(k + 1) - -f(k - 1)\n#EndFunction\n"
      "For i = 1 To 5\n  x = f(i) + f(i + 1) * 3\n  StdOut(x)\n  If g(i) > 6 Then StdOut(\"big \" : g(i))\nNext\n",
      "#DefineFunction f(k)\n  Return k + 1\n#EndFunction\n#DefineFunction g(k)\n  Return f(k) + f(k) mod (k - 3)\n"
      "#EndFunction\nFor i = 1 To 4\n  StdOut(g(i))\nNext\n",
      "#DefineSubroutine s(k)\n  t = k * 10\n  Return k\n#EndSubroutine\n#DefineFunction f(k)\n  Return k\n#EndFunction\n"
      "t = 1\nFor i = 1 To 3\n  x = f(i) + s(i) + f(i)\n  StdOut(x : t)\n  y = f(i) + t\n  StdOut(y)\nNext\n",
      // calls in conditions of If and While, eight calls in one sum and nine (no integer form)
      "#DefineFunction f(k)\n  Return k mod 4\n#EndFunction\nw = 0\nWhile f(w) + f(w + 1) < 5\n  w += 1\n"
      "  If f(w) * 2 == f(w + 2) Then StdOut(\"twice at \" : w)\n  If f(w) > f(w + 1)\n    StdOut(\"drop at \" : w)\n"
      "  EndIf\nEndWhile\nStdOut(w)\n",
      "#DefineFunction f(k)\n  If k == 9 Then Return \"n\"\n  Return k\n#EndFunction\nFor i = 1 To 3\n"
      "  a = f(1) + f(2) + f(3) + f(4) + f(5) + f(6) + f(7) + f(i)\n  b = f(1) + f(2) + f(3) + f(4) + f(5) + f(6) + f(7) + f(8) + f(i * 3)\n"
      "  StdOut(a : \" \" : b)\nNext\n",
      // Exit, and a GoTo out of a loop in the body
      "#DefineFunction f(k)\n  For j = 1 To 3\n    If j == k Then GoTo done\n  Next\n  Return 0\n  :done\n  Return j\n"
      "#EndFunction\nFor i = 1 To 4\n  StdOut(f(i) + 1)\nNext\n",
  };
  expect_each_same(snippets, "quick");
}

// Recursion through quick calls under every statement budget: the budget
// that ends the run inside a body ends it on the same line, with the same
// stack.
TEST_F(CompiledDifferentialTest, QuickCallsUnderStatementBudgets) {
  expect_same_under_budgets(
      "#DefineFunction fib(k)\n  If k < 2 Then Return k\n  Return fib(k - 1) + fib(k - 2)\n#EndFunction\n"
      "For i = 1 To 4\n  StdOut(fib(i + 2))\nNext\n",
      120);
}

// Tracing switched on part way through a quickly called body: the rest of the
// body, the caller's lines and the trace file are as after a full call.
TEST_F(CompiledDifferentialTest, TraceTurnedOnInsideAQuickCall) {
  const std::string file = (fs::temp_directory_path() / ("orv_qtrace_" + std::to_string(::getpid()) + ".txt")).string();
  freshFile = file;
  const std::string show =
      "DebugTrace(0)\nh = FileOpen(file, \"READ\")\nWhile 1\n  line = FileRead(h)\n  If line == \"*EOF*\" Then Break\n"
      "  StdOut(line)\nEndWhile\nFileClose(h)\n";
  // (The functions name the file themselves: their variables are their own.)
  const std::string on = "DebugTrace(1, \"" + file + "\")";
  const std::string bodies[] = {
      "#DefineFunction f(k)\n  t = k * 2\n  If k == 3 Then " + on + "\n  t += 1\n  Return t\n#EndFunction\n"
      "For i = 1 To 4\n  x = f(i) + f(i + 1)\nNext\n",
      "DebugTrace(103, 1)\n#DefineFunction g(k)\n  Return k + 1\n#EndFunction\n#DefineFunction f(k)\n  t = g(k)\n"
      "  If k == 2 Then " + on + "\n  Return g(t) * 2\n#EndFunction\nFor i = 1 To 3\n  x = f(i) + 1\nNext\n",
  };
  for (const std::string& body : bodies) {
    const std::string script = "file = \"" + file + "\"\nDebugTrace(104, 1)\n" + body + show;
    expect_same(script, script);
  }
  std::error_code ec;
  fs::remove(file, ec);
}

// Functions of whole numbers only, which run without frames when nothing
// counts statements (the uncounted runs): values, errors and lines as the
// general calls give them, from text lines and from compiled ones.
TEST_F(CompiledDifferentialTest, WholeNumberFunctionsMatchGeneralCalls) {
  const char* snippets[] = {
      // recursion called from a line run once (text) and from a loop (compiled)
      "#DefineFunction fib(k)\n  If k < 2 Then Return k\n  Return fib(k - 1) + fib(k - 2)\n#EndFunction\n"
      "StdOut(fib(16))\nFor i = 1 To 6\n  StdOut(fib(i) * 10 + fib(i - 1))\nNext\nStdOut(fib(-3) : fib(0))\n",
      // mutual recursion, and a caller that uses both
      "#DefineFunction even(n)\n  If n == 0 Then Return 1\n  Return odd(n - 1)\n#EndFunction\n"
      "#DefineFunction odd(n)\n  If n == 0 Then Return 0\n  Return even(n - 1)\n#EndFunction\n"
      "#DefineFunction both(n)\n  Return even(n) * 2 + odd(n)\n#EndFunction\n"
      "For i = 0 To 7\n  StdOut(both(i) : even(i + 20))\nNext\n",
      // parameters assigned, locals given values, += and -=, no Return (0)
      "#DefineFunction f(a, b)\n  a = a * 3 - b\n  t = a mod 7\n  t += b\n  b -= 1\n  u = -t + ~b + !a\n"
      "  If u > 100 Then Return u - 100\n  Return u * (a <> b) + (t >= 2)\n#EndFunction\n"
      "#DefineFunction none(k)\n  t = k + 1\n#EndFunction\n#DefineFunction twice(a, a)\n  Return a * 2\n#EndFunction\n"
      "For i = -3 To 4\n  StdOut(f(i, i * i) : \" \" : none(i) : \" \" : f(i * 1000, 3) : \" \" : twice(i, 7))\nNext\n"
      "StdOut(none(9) : twice(1, 2))\n",
      // whole numbers past 32 bits at the top and deep inside
      "#DefineFunction big(k)\n  Return k * 65536 * 65536 + k * 2147483647\n#EndFunction\n"
      "#DefineFunction deep(k)\n  If k == 0 Then Return 2147483647\n  Return deep(k - 1) * 3 + 1\n#EndFunction\n"
      "For i = 1 To 4\n  StdOut(big(i) : \" \" : deep(i * 5) : \" \" : (deep(i) + 2147483647))\nNext\n"
      "StdOut(big(-2147483647 - 1) : -deep(0))\n",
      // arguments that are no whole numbers, too few, too many
      "#DefineFunction sq(k)\n  Return k * k\n#EndFunction\nx = \"5\"\na = ArrDimension(2)\n"
      "For i = 1 To 3\n  StdOut(sq(i) : \" \" : sq(i * 1.5) : \" \" : sq(x) : \" \" : sq(i))\nNext\n"
      "StdOut(sq(2.5) : sq(\"7\"))\nErrorMode(@OFF)\ny = sq(a)\nStdOut(\"array \" : LastError())\n"
      "y = sq()\nStdOut(\"none \" : LastError())\ny = sq(1, 2)\nStdOut(\"two \" : LastError())\n",
      "#DefineFunction g(a, b)\n  Return a - b\n#EndFunction\n#DefineFunction h(k)\n  Return g(k) + 1\n#EndFunction\n"
      "For i = 1 To 3\n  StdOut(g(i, 1))\nNext\nx = h(2)\n",
      // a call inside with a divisor of 0 under ErrorMode(@OFF), and with the error reported
      "#DefineFunction m(k)\n  If k == 0 Then Return 7 mod k\n  Return m(k - 1) + 1\n#EndFunction\n"
      "For i = 1 To 3\n  ErrorMode(@OFF)\n  x = m(i)\n  ErrorMode(@CANCEL)\n  StdOut(x : \" \" : LastError())\nNext\n"
      "StdOut(m(5))\n",
      "#DefineFunction m(k)\n  If k == 0 Then Return 7 mod (k - k)\n  Return m(k - 1) + 1\n#EndFunction\n"
      "For i = 1 To 3\n  StdOut(i)\nNext\nx = 1\nx = m(40)\n",
      // the depth limit, reached by recursion that never ends, from a text line and from a loop
      "#DefineFunction d(k)\n  If k < 0 Then Return 0\n  Return d(k + 1) + 1\n#EndFunction\nStdOut(d(-1))\nx = d(1)\n",
      "#DefineFunction d(k)\n  If k > 90 Then Return k\n  Return d(k + 1)\n#EndFunction\n"
      "For i = 1 To 3\n  StdOut(d(i * 30))\nNext\nFor i = 1 To 3\n  StdOut(d(i))\nNext\n",
      // recursion that ends one call short of the limit, then one past it
      "#DefineFunction d(k)\n  If k > 185 Then Return k\n  Return d(k + 1) - 1\n#EndFunction\n"
      "For j = 0 To 12\n  i = 92 - j\n  StdOut(i : \" \" : d(i))\nNext\n",
      "#DefineFunction d(k)\n  If k > 185 Then Return k\n  Return d(k + 1) - 1\n#EndFunction\n"
      "#DefineFunction e(k)\n  Return d(k) + 1\n#EndFunction\nFor j = 0 To 12\n  i = 92 - j\n  StdOut(i : \" \" : e(i))\nNext\n",
      "ErrorMode(@OFF)\n#DefineFunction d(k)\n  Return d(k + 1) + 1\n#EndFunction\nFor i = 1 To 2\n  x = d(i)\n"
      "  StdOut(x : \" after \" : LastError())\nNext\n",
      // a function that stops being whole: removed and defined again between calls, under a caller that stays
      "#DefineFunction f(k)\n  Return k * 2\n#EndFunction\n#DefineFunction g(k)\n  Return f(k) + f(k + 1)\n#EndFunction\n"
      "For i = 1 To 3\n  StdOut(g(i))\nNext\nIntControl(78, 1, \"f\", 0, 0)\n"
      "#DefineFunction f(k)\n  StdOut(\"f \" : k)\n  Return k : \"!\"\n#EndFunction\n"
      "For i = 1 To 3\n  StdOut(g(i))\nNext\nIntControl(78, 1, \"f\", 0, 0)\n#DefineFunction f(k)\n  Return k - 1\n"
      "#EndFunction\nFor i = 1 To 3\n  StdOut(g(i))\nNext\n",
      // a function removed and its place taken by another under a caller that still names it
      "#DefineFunction f(k)\n  Return k * 2\n#EndFunction\n#DefineFunction g(k)\n  Return f(k) + 1\n#EndFunction\n"
      "For i = 1 To 3\n  StdOut(g(i))\nNext\nIntControl(78, 1, \"f\", 0, 0)\n"
      "#DefineFunction q(k)\n  Return k * 5\n#EndFunction\nFor i = 1 To 3\n  StdOut(q(i))\nNext\nStdOut(g(4))\n",
      // bodies that are not whole: a text, a built-in, a local read before it has a value, a block If
      "#DefineFunction f(k)\n  If k > 2 Then Return \"big\"\n  Return k\n#EndFunction\nFor i = 1 To 4\n  StdOut(f(i))\nNext\n",
      "#DefineFunction f(k)\n  Return Abs(k) + k\n#EndFunction\nFor i = -2 To 2\n  StdOut(f(i))\nNext\n",
      "#DefineFunction f(k)\n  If k > 5 Then Return t\n  t = k * 2\n  Return t\n#EndFunction\nFor i = 1 To 4\n  StdOut(f(i))\nNext\n"
      "StdOut(f(9))\n",
      "#DefineFunction f(k)\n  If k > 2\n    Return k * 2\n  Else\n    Return f(k + 1) - 1\n  EndIf\n#EndFunction\n"
      "For i = 1 To 4\n  StdOut(f(i))\nNext\n",
  };
  expect_each_same(snippets, "whole", true);
}

// With a statement budget every statement counts, so the functions' own
// lines run: the budget ends the run on the same line as the text path.
TEST_F(CompiledDifferentialTest, WholeNumberFunctionsUnderStatementBudgets) {
  expect_same_under_budgets(
      "#DefineFunction even(n)\n  If n == 0 Then Return 1\n  Return odd(n - 1)\n#EndFunction\n"
      "#DefineFunction odd(n)\n  If n == 0 Then Return 0\n  t = n - 1\n  Return even(t)\n#EndFunction\n"
      "For i = 1 To 4\n  StdOut(even(i + 2))\nNext\n",
      100);
}

// For loops whose bodies only compute whole numbers run their rounds as one
// program; the variables, the error of a round it gives up on, the line
// and the structures left must be what the statements leave.
TEST_F(CompiledDifferentialTest, WholeNumberLoopsMatchStatements) {
  const char* snippets[] = {
      // arithmetic of the loop variable, a limit read each round, wrap-around
      "total = 0\nFor i = 1 To 700\n  total = (total + i * 3) mod 1000003\nNext\nStdOut(total : \" \" : i)\n"
      "t = 2147483000\nn = 600\nFor i = 1 To n\n  t = t + 1000000 * i - -i\n  u = -t + ~i + !(i mod 3)\nNext\n"
      "StdOut(t : \" \" : u : \" \" : i)\n",
      // a Switch: every Case, none matching, equal values (the first wins), a
      // last body ending at the EndSwitch, negative values
      "a = 0\nb = 0\nc = 0\nFor i = -300 To 300\n  Switch i mod 7\n    Case 0\n      a += 1\n      Break\n"
      "    Case -3\n      b -= i\n      Break\n    Case 2\n      a += i * 2\n      c = a mod 1000\n      Break\n"
      "    Case 2\n      b = 999999\n      Break\n    Case 5\n      c += 1\n  EndSwitch\nNext\n"
      "StdOut(a : \" \" : b : \" \" : c : \" \" : i)\n",
      // If blocks with and without Else, nested, and one-line Ifs that assign
      "s = 0\nm = 0\nFor i = 1 To 500\n  If i mod 3 == 0\n    s += i\n    If i > 250\n      m -= 1\n    Else\n"
      "      m += 2\n    EndIf\n  Else\n    s -= 1\n  EndIf\n  If s > 1000 Then s = s mod 97\n  If i == 400 Then m = m * 3\n"
      "Next\nStdOut(s : \" \" : m : \" \" : i)\n",
      // the body changes the loop variable and the limit
      "n = 900\nk = 0\nFor i = 1 To n\n  n -= 1\n  k += 1\n  If k mod 50 == 0 Then i += 3\nNext\n"
      "StdOut(i : \" \" : n : \" \" : k)\n",
      // a divisor of 0 in a late round: the round is taken back and reported
      "q = 0\nFor i = 1 To 800\n  d = 600 - i\n  q = q + 100000 mod d\nNext\nStdOut(q)\n",
      "ErrorMode(@OFF)\nq = 0\nFor i = 1 To 800\n  d = 600 - i\n  q = q + 100000 mod d\nNext\n"
      "StdOut(q : \" \" : i : \" \" : LastError())\n",
      // variables that are not plain whole numbers when the loop starts, or
      // do not exist yet, and a name given in capitals
      "x = 1.5\ny = \"7\"\nFor i = 1 To 300\n  x += 1\n  y -= 1\nNext\nStdOut(x : \" \" : y)\n"
      "For I = 1 To 300\n  z = i * 2\n  Z += 1\nNext\nStdOut(z : \" \" : I)\n",
      // an inner whole loop in an outer loop that is not one, and in a function
      "#DefineFunction sum(n)\n  s = 0\n  For i = 1 To n\n    s += i\n  Next\n  Return s\n#EndFunction\n"
      "t = 0\nFor j = 1 To 40\n  For i = j To 60\n    t = t + i * j\n  Next\n  StdOut(t : \" \" : sum(j * 10))\nNext\n",
      // loops that stay statements: a text, a call, a Continue, a Case run
      // into, Case values far apart, an Else after a one-line If
      "s = \"\"\nFor i = 1 To 300\n  s = i\nNext\nStdOut(s)\n"
      "t = 0\nFor i = 1 To 300\n  t = t + Abs(i - 150)\nNext\nStdOut(t)\n"
      "t = 0\nFor i = 1 To 300\n  If i mod 2 == 0 Then Continue\n  t += i\nNext\nStdOut(t)\n"
      "t = 0\nFor i = 1 To 300\n  Switch i mod 3\n    Case 0\n    Case 1\n      t += 1\n      Break\n  EndSwitch\nNext\n"
      "StdOut(t)\n"
      "t = 0\nFor i = 1 To 300\n  Switch i mod 3\n    Case 0\n      t += 1\n      Break\n    Case 1000\n      t -= 5\n"
      "      Break\n  EndSwitch\nNext\nStdOut(t)\n",
      // steps given by By: down, up past the limit, a step in a variable,
      // and a counter near the bottom
      "t = 0\nFor i = 900 To 1 By -3\n  t = t * 7 mod 10007 + i\nNext\nStdOut(t : \" \" : i)\n"
      "For i = 1 To 1000 By 7\n  t -= i\nNext\nStdOut(t : \" \" : i)\ns = 5\n"
      "For i = 1 To 1000 By s\n  t += i\nNext\nStdOut(t : \" \" : i)\n"
      "For i = -2147483000 To -2147483640 By -2\n  t += 1\nNext\nStdOut(t : \" \" : i)\n",
      // more variables than a program has registers for: the statements run
      "a = 0\nb = 0\nc = 0\nd = 0\ne = 0\nf = 0\ng = 0\nh = 0\nj = 0\nk = 0\nl = 0\nm = 0\nn = 0\no = 0\np = 0\n"
      "q = 0\nFor i = 1 To 300\n  a += i\n  b = a + 1\n  c = b + 1\n  d = c + 1\n  e = d + 1\n  f = e + 1\n  g = f + 1\n"
      "  h = g + 1\n  j = h + 1\n  k = j + 1\n  l = k + 1\n  m = l + 1\n  n = m + 1\n  o = n + 1\n  p = o + 1\n"
      "  q = p + i mod 7\nNext\nStdOut(a : \" \" : q : \" \" : i)\n",
      // a loop that never goes round, one round, and a loop left by its limit
      "t = 0\nFor i = 5 To 1\n  t += 1\nNext\nFor i = 1 To 1\n  t += 2\nNext\nFor i = 1 To 2\n  t += 4\nNext\n"
      "StdOut(t : \" \" : i)\n",
      // structures nested to the limit around a whole loop: the error the
      // statements meet comes at the same line
      "#DefineFunction r(k)\n  For i = 1 To 3\n    Switch i mod 2\n      Case 0\n        x += 1\n        Break\n"
      "    EndSwitch\n  Next\n  Return r(k + 1)\n#EndFunction\nx = 0\nr(1)\n",
  };
  expect_each_same(snippets, "whole loop", true);
}

// While loops whose bodies only compute whole numbers run as the same
// register programs, each round from the condition; they end where the
// While line is to run again, which the statements then take on.
TEST_F(CompiledDifferentialTest, WholeNumberWhileLoopsMatchStatements) {
  const char* snippets[] = {
      // a counter, a condition over several variables, wrap-around
      "i = 0\nt = 0\nWhile i < 700\n  i += 1\n  t = (t + i * 3) mod 1000003\nEndWhile\nStdOut(t : \" \" : i)\n"
      "a = 2147483000\nb = 0\nWhile b < 600 && a != 5\n  a = a + 1000000 * b - -b\n  b += 1\nEndWhile\n"
      "StdOut(a : \" \" : b)\n",
      // a Switch and If blocks in the body (an Else skipped after a Break), a loop that never goes round, one round
      "i = 0\na = 0\nc = 0\nWhile i <= 300\n  Switch i mod 5\n    Case 0\n      a += 1\n      Break\n    Case 3\n"
      "      If a > 10\n        c -= a\n      Else\n        c += 2\n      EndIf\n      Break\n  EndSwitch\n  i += 1\n"
      "  If c < -500 Then c = 0\nEndWhile\nStdOut(a : \" \" : c : \" \" : i)\nWhile i < 0\n  i += 1\nEndWhile\n"
      "k = 0\nWhile k < 1\n  k += 1\nEndWhile\nStdOut(i : \" \" : k)\n",
      // a divisor of 0 in a late round, with and without ErrorMode(@OFF)
      "q = 0\ni = 0\nWhile i < 800\n  i += 1\n  q = q + 100000 mod (600 - i)\nEndWhile\nStdOut(q)\n",
      "ErrorMode(@OFF)\nq = 0\ni = 0\nWhile i < 800\n  i += 1\n  q = q + 100000 mod (600 - i)\nEndWhile\n"
      "StdOut(q : \" \" : i : \" \" : LastError())\n",
      // a condition that fails late (a divisor of 0 in it)
      "i = 0\nWhile 10000 / (500 - i) > 0\n  i += 1\nEndWhile\nStdOut(i)\n",
      // variables that are no whole numbers or do not exist when it starts
      "x = 1.5\ni = 0\nWhile i < 300\n  x += 1\n  i += 1\nEndWhile\nStdOut(x)\nj = 0\nWhile j < 300\n  j += 1\n"
      "  z = j * 2\nEndWhile\nStdOut(z : \" \" : j)\n",
      // loops that stay statements: a Break, a Continue, a text, a call, a nested While
      "i = 0\nWhile 1\n  i += 1\n  If i > 300 Then Break\nEndWhile\nStdOut(i)\n"
      "i = 0\nt = 0\nWhile i < 300\n  i += 1\n  If i mod 2 Then Continue\n  t += i\nEndWhile\nStdOut(t)\n"
      "i = 0\nWhile i < 300\n  i += 1\n  s = \"x\" : i\nEndWhile\nStdOut(s)\n"
      "i = 0\nWhile i < 300\n  i = i + Abs(-1)\nEndWhile\nStdOut(i)\n"
      "i = 0\nt = 0\nWhile i < 30\n  i += 1\n  j = 0\n  While j < i\n    j += 1\n    t += j\n  EndWhile\nEndWhile\n"
      "StdOut(t : \" \" : i : \" \" : j)\n",
      // in a function, and around a For loop's body
      "#DefineFunction f(n)\n  k = 0\n  s = 0\n  While k < n\n    k += 1\n    s += k * k\n  EndWhile\n  Return s\n"
      "#EndFunction\nFor m = 1 To 30\n  r = f(m * 10)\n  StdOut(r)\nNext\n",
      // the structure stack filled by recursion around a While loop
      "#DefineFunction r(k)\n  i = 0\n  While i < 3\n    i += 1\n  EndWhile\n  Return r(k + 1)\n#EndFunction\nr(1)\n",
  };
  expect_each_same(snippets, "while loop", true);
  expect_same_under_budgets("i = 0\na = 0\nWhile i < 9\n  i += 1\n  If i mod 3 == 0\n    a += i\n  EndIf\nEndWhile\nStdOut(a)\n",
                            60);
}

// A For line run again (an inner loop) opens its loop without the text
// path when its start, limit and step are whole numbers without effects.
TEST_F(CompiledDifferentialTest, ForLinesMatchStatements) {
  const char* snippets[] = {
      // inner loops started again, up and down, with and without By
      "t = 0\nFor j = 1 To 5\n  For i = j To j * 3 By 2\n    t += i\n  Next\n  For i = 9 To j By -j\n    t -= i\n  Next\n"
      "  For i = 5 To j\n    t += 100\n  Next\nNext\nStdOut(t : \" \" : i : \" \" : j)\n",
      // a start that reads the variable, a limit that does (the text path's)
      "i = 5\nFor k = 1 To 3\n  For i = i + 1 To 20\n    If i mod 4 == 0 Then Break\n  Next\n  StdOut(i)\nNext\n"
      "i = 0\nFor k = 1 To 3\n  For i = 1 To 8 - i\n    StdOut(\"i\" : i)\n  Next\nNext\n",
      // starts that are no whole numbers, and a variable that held a text
      "s = \"3\"\nf = 1.5\nFor k = 1 To 2\n  For i = s To 5\n    StdOut(i)\n  Next\n  For i = f To 3\n    StdOut(i)\n  Next\n"
      "  i = \"abc\"\n  For i = 1 To 2\n  Next\n  StdOut(i)\nNext\n",
      // For lines in skipped blocks, and a limit with a call
      "For k = 1 To 3\n  If k == 2\n    For i = 1 To 3\n      StdOut(i)\n    Next\n  EndIf\n  For i = 1 To Abs(-k)\n  Next\n"
      "  StdOut(i : \" \" : k)\nNext\n",
      // the structure stack filled by loops in a function that calls itself
      "#DefineFunction r(k)\n  For i = 1 To 2\n    x = r(k + 1)\n  Next\n  Return 0\n#EndFunction\nr(1)\n",
  };
  expect_each_same(snippets, "for line", true);
}

// Statement budgets and hooks keep loops to their statements.
TEST_F(CompiledDifferentialTest, WholeNumberLoopsUnderStatementBudgets) {
  expect_same_under_budgets(
      "a = 0\nFor i = 1 To 9\n  Switch i mod 3\n    Case 0\n      a += 1\n      Break\n    Case 1\n      a -= i\n"
      "      Break\n  EndSwitch\n  If a < 0 Then a = 0\nNext\nStdOut(a)\n",
      90);
}

TEST_F(CompiledDifferentialTest, EverySeedScriptRunsTheSameCompiledAndAsText) {
  const fs::path root = ORV_SOURCE_DIR;
  std::vector<fs::path> scripts;
  for (const char* dir : {"tests/scripts", "examples", "bench/workloads"}) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root / dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
      if (it->is_regular_file() && it->path().extension() == ".orv" && runs_natively(it->path()))
        scripts.push_back(it->path());
  }
  std::sort(scripts.begin(), scripts.end());
  ASSERT_FALSE(scripts.empty()) << "no scripts under " << root;
  for (const auto& path : scripts) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    // Workloads read their size from param1; a small one makes their loops run.
    const std::string prefix = path.parent_path().filename() == "workloads" ? "param1 = 40\n" : "";
    expect_same(prefix + text.str(), path.string());
  }
}

}  // namespace
}  // namespace orv
