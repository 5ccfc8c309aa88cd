#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/keyword_ids.h"
#include "engine/keyword_table.h"

namespace {

using orv::kKeywordCount;
using orv::kKeywords;
using orv::api::KeywordRecord;

const KeywordRecord* begin() { return kKeywords; }
const KeywordRecord* end() { return kKeywords + kKeywordCount; }

// Binary search by name, the way the tokenizer looks names up.
int find(const char* name) {
  const KeywordRecord* it = std::lower_bound(
      begin(), end(), name, [](const KeywordRecord& r, const char* n) { return std::strcmp(r.name, n) < 0; });
  return (it != end() && std::strcmp(it->name, name) == 0) ? static_cast<int>(it - begin()) : -1;
}

std::uint32_t value_word(const char* name) {
  int id = find(name);
  EXPECT_GE(id, 0) << name;
  return id >= 0 ? kKeywords[id].counts : 0;
}

TEST(KeywordTable, SortedByteOrderWithIdsEqualToPositions) {
  for (int i = 0; i < kKeywordCount; ++i) {
    const KeywordRecord& r = kKeywords[i];
    EXPECT_EQ(r.id, static_cast<std::uint32_t>(i)) << r.name;
    ASSERT_NE(std::memchr(r.name, '\0', sizeof r.name), nullptr) << "record " << i;
    EXPECT_EQ(r.nameLength, std::strlen(r.name)) << r.name;
    EXPECT_GT(r.nameLength, 0) << "record " << i;
    for (const char* p = r.name; *p; ++p) EXPECT_FALSE(*p >= 'A' && *p <= 'Z') << r.name;
    if (i > 0) {
      EXPECT_LT(std::strcmp(kKeywords[i - 1].name, r.name), 0) << r.name;  // byte order, no duplicates
    }
  }
}

TEST(KeywordTable, KindCounts) {
  std::map<std::uint32_t, int> counts;
  for (const auto& r : kKeywords) ++counts[r.kind];
  const std::map<std::uint32_t, int> expected{{0, 29}, {1, 6}, {2, 506}, {3, 209}, {4, 5}, {5, 7}, {6, 9}, {8, 22}};
  EXPECT_EQ(counts, expected);
  // @constants are exactly the names that start with "@"; they sit before "[".
  for (const auto& r : kKeywords) EXPECT_EQ(r.kind == 3, r.name[0] == '@') << r.name;
  EXPECT_EQ(find("@aboveicons"), 36);
  EXPECT_EQ(find("@zoomed"), 244);
}

TEST(KeywordTable, VocabularyIds) {
  using namespace orv::kw;
  const std::vector<std::pair<int, const char*>> named{
      {op_not, "!"}, {op_ne, "!="}, {op_and_pointer, "&"}, {op_logical_and, "&&"}, {op_and_assign, "&="},
      {op_lparen, "("}, {op_rparen, ")"}, {op_mul_deref, "*"}, {op_power, "**"}, {op_mul_assign, "*="},
      {op_plus, "+"}, {op_add_assign, "+="}, {op_comma, ","}, {op_minus, "-"}, {op_sub_assign, "-="},
      {op_div, "/"}, {op_div_assign, "/="}, {op_concat, ":"}, {op_double_colon, "::"},
      {op_concat_assign, ":="}, {op_lt, "<"}, {op_shl, "<<"}, {op_shl_assign, "<<="}, {op_le, "<="},
      {op_ne_alt, "<>"}, {op_assign, "="}, {op_eq, "=="}, {op_gt, ">"}, {op_ge, ">="}, {op_shr, ">>"},
      {op_shr_assign, ">>="}, {op_lbracket, "["}, {op_rbracket, "]"}, {op_xor, "^"}, {op_xor_assign, "^="},
      {op_by, "by"}, {op_mod, "mod"}, {op_mod_assign, "mod="}, {op_or, "|"}, {op_or_assign, "|="},
      {op_logical_or, "||"}, {op_bitnot, "~"}, {kw_if, "if"}, {kw_then, "then"}, {kw_endswitch, "endswitch"},
      {kw_yield, "yield"}, {sf_makepointer, "?makepointer"}, {sf_vartype, "vartype"}, {fn_oleobject, "?oleobject"},
      {fn_ddeserver, "?ddeserver"}, {fn_call, "call"}, {fn_strcat, "strcat"}, {fn_yields, "yields"}};
  for (const auto& [id, name] : named) EXPECT_EQ(find(name), id) << name;

  // Ids quoted for the language and the dispatcher.
  const std::vector<std::pair<const char*, int>> quoted{
      {"&&", 3}, {"**", 8}, {"[", 245}, {"]", 246}, {"^=", 248}, {"by", 348}, {"mod", 562}, {"mod=", 563},
      {"|", 789}, {"|=", 790}, {"||", 791}, {"~", 792}, {"beep", 288}, {"execute", 445}, {"exit", 447},
      {"goto", 508}, {"drop", 428}, {"isdefined", 527}, {"objecttypeget", 590}, {"ptrglobaldefine", 606},
      {"ptrpersistent", 608}, {"break", 346}, {"case", 350}, {"continue", 368}, {"endfor", 433},
      {"endselect", 435}, {"endwhile", 438}, {"foreach", 502}, {"gosub", 507}, {"next", 572}, {"return", 645},
      {"select", 658}, {"switch", 708}, {"to", 730}, {"while", 741}, {"?ddeserver", 31},
      {"?getviapointer", 32}, {"?makepointer", 33}, {"?oleobject", 34}, {"?setviapointer", 35},
      {"abs", 250}, {"arrayitemize", 262}, {"arraysearch", 268}, {"arrdimension", 272}, {"arrinitialize", 274},
      {"binaryand", 291}, {"binarypokeflt", 326}, {"display", 413}, {"int64", 525}, {"intcontrol", 526},
      {"itemextract", 535}, {"itemextractcsv", 536}, {"iteminsert", 537}, {"objectclrnew", 576},
      {"strcat", 680}, {"strclean", 682}, {"strcnt", 684}, {"strfix", 686}, {"strindexwild", 695},
      {"strsub", 703}, {"strtrim", 705}, {"strupper", 707}, {"chrunicodetostring", 360},
      {"clipappend", 361}, {"ignoreinput", 514}, {"inidelete", 515}, {"strbytecount", 679}, {"call", 349}};
  for (const auto& [name, id] : quoted) EXPECT_EQ(find(name), id) << name;
}

TEST(KeywordTable, KindsOfTheVocabulary) {
  using namespace orv::kw;
  for (int id : {op_not, op_and_pointer, op_mul_deref, op_plus, op_minus, op_bitnot}) EXPECT_EQ(kKeywords[id].kind, 1u);
  for (int id : {op_ne, op_lt, op_le, op_ne_alt, op_eq, op_gt, op_ge}) EXPECT_EQ(kKeywords[id].kind, 5u);
  for (int id : {op_by, op_mod, op_mod_assign, op_or, op_or_assign, op_logical_or, op_lbracket, op_comma})
    EXPECT_EQ(kKeywords[id].kind, 0u);
  for (int id : {kw_beep, kw_execute, kw_exit, kw_goto, kw_yield}) EXPECT_EQ(kKeywords[id].kind, 4u);
  for (int id : {sf_makepointer, sf_drop, sf_isdefined, sf_objecttypeget, sf_ptrglobal, sf_ptrglobaldefine,
                 sf_ptrglobaltest, sf_ptrpersistent, sf_vartype})
    EXPECT_EQ(kKeywords[id].kind, 6u);
  for (int id : {kw_break, kw_case, kw_continue, kw_else, kw_elseif, kw_end, kw_endfor, kw_endif, kw_endselect,
                 kw_endswitch, kw_endwhile, kw_for, kw_foreach, kw_gosub, kw_if, kw_next, kw_return, kw_select,
                 kw_switch, kw_then, kw_to, kw_while})
    EXPECT_EQ(kKeywords[id].kind, 8u);
  for (int id : {fn_ddeserver, fn_getviapointer, fn_oleobject, fn_setviapointer}) EXPECT_EQ(kKeywords[id].kind, 2u);
}

TEST(KeywordTable, FunctionsLieIn31To788AndFillTheHandlerGroups) {
  int groups[4] = {};
  for (int i = 0; i < kKeywordCount; ++i) {
    if (kKeywords[i].kind != 2) continue;
    EXPECT_GE(i, 31) << kKeywords[i].name;
    EXPECT_LE(i, 788) << kKeywords[i].name;
    if (i == 34) continue;
    ++groups[i < 361 ? 0 : i < 515 ? 1 : i < 680 ? 2 : 3];
  }
  EXPECT_EQ(groups[1], 137);
  EXPECT_EQ(groups[2], 154);
  EXPECT_EQ(groups[3], 103);
  EXPECT_EQ(groups[0] + groups[1] + groups[2] + groups[3], 505);
}

TEST(KeywordTable, ParameterCountsStayWithinSixteen) {
  std::set<std::string> variadic;
  for (const auto& r : kKeywords) {
    if (r.kind != 2) {
      if (r.kind != 3) {
        EXPECT_EQ(r.counts, 0u) << r.name;
      }
      continue;
    }
    if (orv::is_variadic(r)) {
      variadic.insert(r.name);
      EXPECT_EQ(orv::optional_count(r), 0) << r.name;
    } else {
      EXPECT_LE(orv::required_count(r) + orv::optional_count(r), orv::kMaxParameters) << r.name;
    }
    EXPECT_EQ(r.counts >> 16, 0u) << r.name;  // reserved half of a function's count word
  }
  const std::set<std::string> expected{"?oleobject", "average", "dllcall",   "dllcallcdecl", "getobject", "max",
                                       "min",        "objectget", "objecttype", "strcat",      "winclosenot"};
  EXPECT_EQ(variadic, expected);
}

struct Row {
  const char* name;
  int required, optional;
  std::vector<int> codes;
};

TEST(KeywordTable, ArgumentRecordsOfTheDispatcherRows) {
  const std::vector<Row> rows{
      {"abs", 1, 0, {0}},
      {"arrayitemize", 1, 1, {3, 5}},
      {"arraysearch", 2, 4, {3, 15, 0, 0, 0, 0}},
      {"arrdimension", 1, 4, {0, 0, 0, 0, 0}},
      {"arrinitialize", 2, 0, {3, 15}},
      {"binaryand", 5, 0, {0, 10, 0, 10, 10}},
      {"binarypokeflt", 3, 0, {0, 10, 2}},
      {"display", 3, 0, {0, 8, 8}},
      {"int64", 1, 0, {9}},
      {"intcontrol", 5, 0, {0, 1, 1, 1, 1}},
      {"itemextract", 3, 0, {0, 6, 6}},
      {"itemextractcsv", 3, 1, {0, 6, 0, 6}},
      {"iteminsert", 4, 0, {6, 0, 6, 6}},
      {"objectclrnew", 1, 15, {5, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15}},
      {"strclean", 5, 0, {8, 8, 8, 0, 0}},
      {"strcnt", 5, 0, {8, 8, 0, 0, 0}},
      {"strfix", 3, 0, {6, 6, 0}},
      {"strindexwild", 3, 0, {8, 8, 0}},
      {"strsub", 3, 0, {6, 0, 0}},
      {"strtrim", 1, 1, {6, 1}},
      {"strupper", 1, 0, {8}},
      {"arrayswapelements", 11, 0, {3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"runwithlogon", 9, 0, {6, 6, 6, 0, 0, 6, 6, 6, 0}},
      {"winplacechild", 6, 0, {0, 0, 0, 0, 6, 6}},
  };
  for (const auto& row : rows) {
    int id = find(row.name);
    ASSERT_GE(id, 0) << row.name;
    const KeywordRecord& r = kKeywords[id];
    EXPECT_EQ(orv::required_count(r), row.required) << row.name;
    EXPECT_EQ(orv::optional_count(r), row.optional) << row.name;
    for (std::size_t i = 0; i < row.codes.size(); ++i)
      EXPECT_EQ(orv::arg_type(r, static_cast<int>(i) + 1), row.codes[i]) << row.name << " parameter " << i + 1;
  }
  // The arraylocate list is 2 + 5.
  const KeywordRecord& locate = kKeywords[orv::kw::fn_arraylocate];
  EXPECT_EQ(orv::required_count(locate), 2);
  EXPECT_EQ(orv::optional_count(locate), 5);
}

TEST(KeywordTable, ConstantValueWords) {
  EXPECT_EQ(static_cast<std::int32_t>(value_word("@hidden")), -1);
  EXPECT_EQ(static_cast<std::int32_t>(value_word("@regclasses")), INT_MIN);
  EXPECT_EQ(static_cast<std::int32_t>(value_word("@regusers")), -2147483645);
  EXPECT_EQ(value_word("@wholesection"), 692837u);
  EXPECT_EQ(value_word("@aboveicons"), 1000000001u);
  EXPECT_EQ(value_word("@noresize"), 1000000000u);
  EXPECT_EQ(value_word("@cslogsort"), 1073741824u);
  EXPECT_EQ(value_word("@getexitcode"), 36u);
  EXPECT_EQ(value_word("@dcitemtext"), 31u);
  EXPECT_EQ(value_word("@zoomed"), 3u);

  const std::vector<std::pair<const char*, double>> floats{
      {"@pi", 3.141592653589793},   {"@e", 2.718281828459045},     {"@deg2rad", 0.017453292519943},
      {"@rad2deg", 57.29577951308232}, {"@avogadro", 6.02252e23},  {"@goldenratio", 1.618033988749895},
      {"@lightmtps", 299792500.0},  {"@lightmps", 186272.0}};
  for (const auto& [name, value] : floats) {
    std::uint32_t w = value_word(name);
    ASSERT_TRUE(orv::is_float_constant_word(w)) << name;
    EXPECT_DOUBLE_EQ(orv::kFloatConstants[orv::constant_number(w)], value) << name;
  }
  const std::vector<std::pair<const char*, std::string_view>> strings{
      {"@crlf", "\r\n"}, {"@tab", "\t"}, {"@cr", "\r"}, {"@lf", "\n"}};
  for (const auto& [name, text] : strings) {
    std::uint32_t w = value_word(name);
    ASSERT_TRUE(orv::is_string_constant_word(w)) << name;
    EXPECT_EQ(orv::kStringConstants[orv::constant_number(w)], text) << name;
  }

  // Every float and string constant number is used once; integers never look like either.
  std::set<int> float_numbers, string_numbers;
  for (const auto& r : kKeywords) {
    if (r.kind != 3) continue;
    if (orv::is_float_constant_word(r.counts)) {
      EXPECT_TRUE(float_numbers.insert(orv::constant_number(r.counts)).second) << r.name;
    }
    if (orv::is_string_constant_word(r.counts)) {
      EXPECT_TRUE(string_numbers.insert(orv::constant_number(r.counts)).second) << r.name;
    }
  }
  EXPECT_EQ(float_numbers.size(), static_cast<std::size_t>(orv::kFloatConstantCount));
  EXPECT_EQ(*float_numbers.rbegin(), orv::kFloatConstantCount - 1);
  EXPECT_EQ(string_numbers.size(), static_cast<std::size_t>(orv::kStringConstantCount));
  EXPECT_EQ(*string_numbers.rbegin(), orv::kStringConstantCount - 1);
}

// The handler flags: a lost flag would flush files or copy texts for nothing,
// a wrong one would let the compiled path run a call with effects early.
TEST(KeywordTable, HandlerFlags) {
  using orv::keyword_has;
  namespace f = orv::kw_flag;
  int pure = 0, reads = 0, inward = 0;
  for (int id = 0; id < kKeywordCount; ++id) {
    const bool p = keyword_has(id, f::kPure), r = keyword_has(id, f::kReadsArguments), i = keyword_has(id, f::kInward);
    pure += p;
    reads += r;
    inward += i;
    // Only functions carry flags; computing only from its arguments means
    // reading only them, and that touches no file.
    EXPECT_TRUE(!(p || r || i) || kKeywords[id].kind == 2u) << kKeywords[id].name;
    EXPECT_TRUE(!p || r) << kKeywords[id].name;
    EXPECT_TRUE(!r || i) << kKeywords[id].name;
  }
  EXPECT_EQ(pure, 46);
  EXPECT_EQ(reads, 78);
  EXPECT_EQ(inward, 80);
  auto has = [](const char* name, std::uint8_t flag) {
    EXPECT_GE(find(name), 0) << name;
    return keyword_has(find(name), flag);
  };
  for (const char* name : {"abs", "itemextract", "strlen", "strreplace", "tanh"})
    EXPECT_TRUE(has(name, f::kPure)) << name;
  for (const char* name : {"random", "strcat", "itemsort"}) {
    EXPECT_FALSE(has(name, f::kPure)) << name;
    EXPECT_TRUE(has(name, f::kReadsArguments)) << name;
  }
  for (const char* name : {"fileread", "fileclose"}) {
    EXPECT_TRUE(has(name, f::kInward)) << name;
    EXPECT_FALSE(has(name, f::kReadsArguments)) << name;
  }
  // Writing a line reads its text where it lies, whatever the file's encoding.
  EXPECT_TRUE(has("filewrite", f::kInward) && has("filewrite", f::kReadsArguments));
  for (const char* name : {"fileopen", "fileget", "run", "iniread"})
    EXPECT_FALSE(has(name, f::kInward)) << name;
  EXPECT_FALSE(keyword_has(-1, f::kInward));
  EXPECT_FALSE(keyword_has(kKeywordCount, f::kInward));
}

}  // namespace
