// Dialog definitions: the item syntax, the value parsers and every check of
// the reader with its error number.
#include <gtest/gtest.h>

#include <map>

#include "ui/dialogs/definition.h"

using namespace orv::dialogs;

namespace {

class MapSource : public DefinitionSource {
 public:
  std::map<std::string, std::string> vars;   // lower-case names
  std::optional<std::string> text(std::string_view name) override {
    std::string key(name);
    for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    auto it = vars.find(key);
    if (it == vars.end()) return std::nullopt;
    return it->second;
  }
  bool image_loadable(std::string_view file) override { return file == "ok.bmp"; }
};

// Pads a control definition with DEFAULT up to `items` items (14 in 6.2, 13 in 6.1).
std::string pad(std::string def, std::size_t items = 14) {
  std::size_t count = 1;
  bool quoted = false;
  for (char ch : def) {
    if (ch == '"') quoted = !quoted;
    if (ch == ',' && !quoted) ++count;
  }
  for (; count < items; ++count) def += ",DEFAULT";
  return def;
}

// A valid 6.2 dialog with one OK button; tests change what they check.
MapSource basic(std::string format = "TRNDLGED,6.2") {
  MapSource s;
  s.vars = {{"dformat", format}, {"dwidth", "200"}, {"dheight", "100"}, {"dnumcontrols", "1"},
            {"d001", format.ends_with("6.1") ? pad("10,10,40,12,PUSHBUTTON,DEFAULT,\"OK\",1,1", 13)
                                             : pad("10,10,40,12,PUSHBUTTON,Ok,DEFAULT,\"OK\",1,1")}};
  return s;
}

int error_of(MapSource& s, std::string_view name = "D") {
  Definition d;
  DefinitionError e;
  return read_definition(name, s, d, e) ? 0 : e.number;
}

int control_error(const std::string& def, const std::string& format = "TRNDLGED,6.2") {
  MapSource s = basic(format);
  s.vars["d001"] = def.find(",DEFAULT,DEFAULT,DEFAULT,DEFAULT,DEFAULT") == std::string::npos
                      ? pad(def, format.ends_with("6.1") ? 13 : 14)
                      : def;
  return error_of(s);
}

std::vector<std::string> items_of(std::string_view value, bool text = false, bool itemBox = false) {
  ItemReader r(value);
  std::vector<std::string> out;
  while (!r.at_end()) out.push_back(r.next(text, itemBox));
  return out;
}

}  // namespace

TEST(DialogItems, SplitQuoteAndTrimAsDocumented) {
  EXPECT_EQ(items_of(" a , b,\tc  "), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(items_of("\"x, y\",z"), (std::vector<std::string>{"x, y", "z"}));
  EXPECT_EQ(items_of("\"say \"\"hi\"\"\"", true), (std::vector<std::string>{"say \"hi\""}));
  EXPECT_EQ(items_of("\"a\tb\"", true, true), (std::vector<std::string>{"a\tb"}));
  EXPECT_EQ(items_of("\"a\tb\"", true, false), (std::vector<std::string>{"ab"}));
  EXPECT_EQ(items_of("\" padded \"", true), (std::vector<std::string>{" padded "}));
  EXPECT_EQ(items_of("a,"), (std::vector<std::string>{"a", ""}));
}

TEST(DialogItems, ColoursInBothNotations) {
  EXPECT_EQ(parse_colour("255|0|0"), parse_colour("HFF0000"));
  EXPECT_EQ(parse_colour("h0000ff"), (Colour{0, 0, 255}));
  EXPECT_EQ(parse_colour(" 1 | 2 | 3 "), (Colour{1, 2, 3}));
  for (const char* bad : {"256|0|0", "1|2", "1|2|3|4", "H", "H1234567", "HXYZ", "red", "", "-1|0|0"})
    EXPECT_FALSE(parse_colour(bad)) << bad;
}

TEST(DialogItems, FontFieldsAndStyleNumber) {
  auto f = parse_font("Arial|8192|11070|0x");
  EXPECT_FALSE(f);
  f = parse_font("Arial|8192|11170|544");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->face, "Arial");
  EXPECT_EQ(f->size, 8192);
  EXPECT_TRUE(f->strikeOut && f->underline && f->italic);
  EXPECT_EQ(f->weight, 700);
  EXPECT_EQ(f->pitchFamily, 0x20);
  EXPECT_EQ(f->charSet, 2);
  EXPECT_EQ(parse_font("Tahoma")->weight, 400);
  EXPECT_FALSE(parse_font("a|1|2|3|4"));
  EXPECT_FALSE(parse_font("Arial|big"));
  EXPECT_FALSE(parse_font(std::string(32, 'f')));
}

TEST(DialogItems, StylesByNumberOrConstantNames) {
  EXPECT_EQ(parse_style("48"), 48u);
  EXPECT_EQ(parse_style("@csdisabled | @csdefbutton"), 34u);
  EXPECT_EQ(parse_style("@CSINVISIBLE"), 1u);
  EXPECT_FALSE(parse_style("@csnothing"));
  EXPECT_FALSE(parse_style("@csdisabled|"));
  EXPECT_FALSE(parse_style("@pi"));   // a constant, but not an integer
  EXPECT_FALSE(parse_style("dialog"));   // a function, not a constant
}

TEST(DialogItems, TypeWordsDependOnVersion) {
  EXPECT_EQ(type_number("Calender", 62), kCalendar);
  EXPECT_EQ(type_number("reportview", 62), kReportView);
  EXPECT_EQ(type_number("reportview", 61), 0);
  EXPECT_EQ(type_number("spinner", 40), 0);
  EXPECT_EQ(type_number("varytext", 40), kVaryText);
}

TEST(DialogDefinition, ReadsAValidDialog) {
  MapSource s = basic();
  s.vars["dcaption"] = "Hello";
  s.vars["dprocedure"] = "MyProc";
  s.vars["dnumcontrols"] = "3";
  s.vars["d002"] = "1,1,20,10,EDITBOX,Ed,PW_secret,DEFAULT,DEFAULT,1,DEFAULT,DEFAULT,DEFAULT,255|255|0";
  s.vars["d003"] = pad("1,1,20,10,GROUPBOX,G,DEFAULT,\"Box, one\",DEFAULT,2");
  Definition d;
  DefinitionError e;
  ASSERT_TRUE(read_definition("D", s, d, e)) << e.number;
  EXPECT_EQ(d.version, 62);
  EXPECT_EQ(d.x, -1);
  EXPECT_FALSE(d.resizable);
  ASSERT_EQ(d.controls.size(), 3u);
  // sorted by tab order, ties in definition order: Ok (1), Ed (1), G (2)
  EXPECT_EQ(d.controls[0].name, "Ok");
  EXPECT_EQ(d.controls[0].value, 1);
  EXPECT_EQ(d.controls[1].name, "Ed");
  EXPECT_TRUE(d.controls[1].password);
  EXPECT_EQ(d.controls[1].background, (Colour{255, 255, 0}));
  EXPECT_EQ(d.controls[2].text, "Box, one");
  EXPECT_EQ(d.groupBoxes, std::vector<int>{2});
}

TEST(DialogDefinition, DialogVariableErrors) {
  MapSource s = basic();
  EXPECT_EQ(error_of(s, "D234567890123456789"), 3219);   // 19 characters are allowed
  EXPECT_EQ(error_of(s, "D2345678901234567890"), 3218);
  struct Case { const char* var; const char* value; int error; };
  for (const Case& k : {Case{"dformat", "TRNDLGED,7.0", 3220}, Case{"dwidth", "-1", 3221},
                        Case{"dheight", "tall", 3221}, Case{"dx", "left", 3221},
                        Case{"dnumcontrols", "many", 3968}, Case{"dfont", "a|b", 3941},
                        Case{"dtextcolor", "1|2", 3943}, Case{"dbackground", "1|2|3,H00", 3969},
                        Case{"dbackground", "ok.bmp,ok.bmp", 3969}, Case{"dbackground", "1|2|300", 3970},
                        Case{"dbackground", "missing.bmp", 3945}, Case{"dminwidth", "201", 3226},
                        Case{"dminheight", "-1", 3226}, Case{"ddpi", "96,8,81", 3609},
                        Case{"ddpi", "0", 3609}, Case{"ddpi", "96,8,16,1", 3609}}) {
    MapSource t = basic();
    t.vars[k.var] = k.value;
    EXPECT_EQ(error_of(t), k.error) << k.var << "=" << k.value;
  }
  for (const char* missing : {"dformat", "dwidth", "dheight", "dnumcontrols", "d001"}) {
    MapSource t = basic();
    t.vars.erase(missing);
    EXPECT_NE(error_of(t), 0) << missing;
  }
  MapSource t = basic();
  t.vars.erase("dnumcontrols");
  EXPECT_EQ(error_of(t), 3968);
  t = basic();
  t.vars["dnumcontrols"] = "2";
  EXPECT_EQ(error_of(t), 3222);
  t = basic();
  t.vars["dbackground"] = "ok.bmp,H00FF00";
  t.vars["dminwidth"] = "100";
  t.vars["ddpi"] = "96,8,16";
  Definition d;
  DefinitionError e;
  ASSERT_TRUE(read_definition("D", t, d, e));
  EXPECT_TRUE(d.resizable);
  EXPECT_EQ(d.minHeight, 100);
  EXPECT_EQ(d.backgroundImage, "ok.bmp");
}

TEST(DialogDefinition, ControlCountIsCappedAt500) {
  MapSource s = basic();
  s.vars["dnumcontrols"] = "600";
  for (int n = 1; n <= 500; ++n) {
    char name[8];
    std::snprintf(name, sizeof name, "d%3.3d", n);
    s.vars[name] = pad("1,1,1,1,STATICTEXT," + std::to_string(n) + ",DEFAULT,t");
  }
  Definition d;
  DefinitionError e;
  ASSERT_TRUE(read_definition("D", s, d, e)) << e.number << e.text;
  EXPECT_EQ(d.controls.size(), 500u);
}

TEST(DialogDefinition, FieldsEachTypeTakesOrRefuses) {
  MapSource shortOne = basic();
  shortOne.vars["d001"] = "1,1,1,1,STATICTEXT,S,DEFAULT,\"Hi\"";
  EXPECT_EQ(error_of(shortOne), 3951);
  EXPECT_EQ(control_error("1,1,1,1,STATICTEXT,S,DEFAULT,\"Hi\",DEFAULT,DEFAULT,DEFAULT,DEFAULT,DEFAULT,DEFAULT"), 0);
  EXPECT_EQ(control_error("1,1,1,1,PUSHBUTTON,P,var,\"Hi\",1,1"), 3957);
  EXPECT_EQ(control_error("1,1,1,1,STATICTEXT,S,DEFAULT,\"Hi\",5,1"), 3947);
  EXPECT_EQ(control_error("1,1,1,1,PICTURE,S,DEFAULT,\"Hi\",DEFAULT,1,0,Arial"), 3948);
  EXPECT_EQ(control_error("1,1,1,1,PICTURE,S,DEFAULT,\"Hi\",DEFAULT,1,0,DEFAULT,1|1|1"), 3949);
  EXPECT_EQ(control_error("1,1,1,1,CALENDAR,S,v,DEFAULT,DEFAULT,1,0,DEFAULT,DEFAULT,1|1|1"), 3950);
  EXPECT_EQ(control_error("1,1,1,1,MENUBAR,S,DEFAULT,hi"), 3953);
  EXPECT_EQ(control_error("1,1,1,1,PUSHBUTTON,P,DEFAULT,\"Hi\",1,1,0,DEFAULT,DEFAULT,DEFAULT,extra"), 3225);
  shortOne.vars["d001"] = "1,1,1,1";
  EXPECT_EQ(error_of(shortOne), 3951);
  EXPECT_EQ(control_error("1,,1,1,STATICTEXT,S,DEFAULT,x,DEFAULT,1"), 3959);
  EXPECT_EQ(control_error("1,1,1,1,BUTTON,S,DEFAULT,x"), 3223);
  EXPECT_EQ(control_error("1,1,1,1,STATICTEXT,,DEFAULT,x,DEFAULT,1"), 3982);
  EXPECT_EQ(control_error("1,1,1,1,STATICTEXT," + std::string(31, 'n') + ",DEFAULT,x,DEFAULT,1"), 3983);
  EXPECT_EQ(control_error("1,1,1,1,EDITBOX,E,,x,DEFAULT,1"), 3946);
  EXPECT_EQ(control_error("1,1,1,1,RADIOBUTTON,R,v,x,one,1"), 3958);
  EXPECT_EQ(control_error("1,1,1,1,RADIOBUTTON,R,v,x,0,1"), 3224);
  EXPECT_EQ(control_error("1,1,1,1,EDITBOX,E,v,x,DEFAULT,first"), 3971);
  EXPECT_EQ(control_error("1,1,1,1,EDITBOX,E,v,x,DEFAULT,1,@csbogus"), 3972);
  EXPECT_EQ(control_error("1,1,1,1,EDITBOX,E,v,x,DEFAULT,1,0,a|b"), 3954);
  EXPECT_EQ(control_error("1,1,1,1,EDITBOX,E,v,x,DEFAULT,1,0,DEFAULT,H1234567"), 3955);
  EXPECT_EQ(control_error("1,1,1,1,EDITBOX,E,v,x,DEFAULT,1,0,DEFAULT,DEFAULT,0|0"), 3956);
  EXPECT_EQ(control_error("1,1,1,1,PICTURE,P,DEFAULT,x,DEFAULT,1,0,DEFAULT,DEFAULT,nothere.bmp"), 3952);
  EXPECT_EQ(control_error("1,1,1,1,PICTURE,P,DEFAULT,x,DEFAULT,1,0,DEFAULT,DEFAULT,ok.bmp"), 0);
  EXPECT_EQ(control_error("1,1,1,1,MENUITEM,M,nobar,File,DEFAULT,DEFAULT,DEFAULT"), 3988);
  // 6.1 has no name field and no menu or report types
  EXPECT_EQ(control_error("1,1,1,1,REPORTVIEW,v,x,DEFAULT,1", "TRNDLGED,6.1"), 3223);
  EXPECT_EQ(control_error("1,1,1,1,EDITBOX,v,x,DEFAULT,1", "TRNDLGED,6.1"), 0);
}

// The variable field of an ActiveX control names its class, not a variable:
// required, and kept whole even where a variable name would be cut.
TEST(DialogDefinition, ComControlTakesItsClassWhole) {
  const std::string clsid = "{6C1F3A52-8E0D-4B7A-9C21-5D3E4F6A7B04}";
  MapSource s = basic();
  s.vars["d001"] = pad("1,1,50,20,COMCONTROL,Web,\"" + clsid + "\",DEFAULT,DEFAULT,1,DEFAULT,Arial|8192|40,0|0|0,255|255|255");
  Definition d;
  DefinitionError e;
  ASSERT_TRUE(read_definition("D", s, d, e)) << e.number << e.text;
  ASSERT_EQ(d.controls.size(), 1u);
  EXPECT_EQ(d.controls[0].type, kComControl);
  EXPECT_EQ(d.controls[0].variable, clsid);
  ASSERT_TRUE(d.controls[0].background.has_value());
  EXPECT_EQ(*d.controls[0].background, (Colour{255, 255, 255}));
  s.vars["d001"] = pad("1,1,50,20,COMCONTROL,Web,\"" + std::string(300, 'p') + "\",DEFAULT,DEFAULT,1");
  ASSERT_TRUE(read_definition("D", s, d, e)) << e.number << e.text;
  EXPECT_EQ(d.controls[0].variable.size(), kClassNameMax);
  // Bound controls still keep the first 30 characters of their variable.
  s.vars["d001"] = pad("1,1,50,20,EDITBOX,E," + std::string(40, 'v') + ",DEFAULT,DEFAULT,1");
  ASSERT_TRUE(read_definition("D", s, d, e)) << e.number << e.text;
  EXPECT_EQ(d.controls[0].variable.size(), kVariableMax);
  EXPECT_EQ(control_error("1,1,1,1,COMCONTROL,C,DEFAULT,x,DEFAULT,1"), 3946);
  EXPECT_EQ(control_error("1,1,1,1,COMCONTROL,C,,x,DEFAULT,1"), 3946);
  EXPECT_EQ(control_error("1,1,1,1,COMCONTROL,C,Some.Class,x,5,1"), 3947);
  EXPECT_EQ(control_error("1,1,1,1,COMCONTROL,C,Some.Class,x,DEFAULT,1,0,DEFAULT,DEFAULT,red"), 3956);
  EXPECT_EQ(control_error("1,1,1,1,COMCONTROL,Some.Class,x,DEFAULT,1", "TRNDLGED,6.1"), 0);
}

TEST(DialogDefinition, OneOfEachUniqueControl) {
  auto pair = [](const std::string& first, const std::string& second) {
    MapSource s = basic();
    s.vars["dnumcontrols"] = "2";
    s.vars["d001"] = pad(first);
    s.vars["d002"] = pad(second);
    return error_of(s);
  };
  const std::string flb = "1,1,1,1,FILELISTBOX,F,v,x,DEFAULT,1";
  EXPECT_EQ(pair(flb, "1,1,1,1,FILELISTBOX,G,w,x,DEFAULT,1"), 3967);
  EXPECT_EQ(pair("1,1,1,1,MENUBAR,M", "1,1,1,1,MENUBAR,N"), 3986);
  EXPECT_EQ(pair("1,1,1,1,PUSHBUTTON,A,DEFAULT,a,1,1", "1,1,1,1,PICTUREBUTTON,B,DEFAULT,b,1,2"), 3965);
  EXPECT_EQ(pair("1,1,1,1,PUSHBUTTON,A,DEFAULT,a,0,1", "1,1,1,1,PUSHBUTTON,B,DEFAULT,b,0,2"), 3966);
  EXPECT_EQ(pair("1,1,1,1,MENUBAR,Bar", "1,1,1,1,MENUITEM,File,bar,&File,DEFAULT,DEFAULT,DEFAULT"), 0);
}

TEST(DialogDefinition, MenusFollowAllOtherControls) {
  MapSource s = basic();
  s.vars["dnumcontrols"] = "3";
  s.vars["d001"] = "1,1,1,1,MENUBAR,Bar";
  s.vars["d002"] = "1,1,1,1,MENUITEM,File,Bar,&File,DEFAULT,DEFAULT,DEFAULT";
  s.vars["d003"] = pad("10,10,40,12,PUSHBUTTON,Ok,DEFAULT,\"OK\",1,99");
  Definition d;
  DefinitionError e;
  ASSERT_TRUE(read_definition("D", s, d, e)) << e.number;
  EXPECT_EQ(d.controls[0].name, "Ok");
  EXPECT_EQ(d.controls[1].orderKey, kMenuBarKey);
  EXPECT_EQ(d.controls[2].orderKey, kMenuBarKey + 1);
}

TEST(DialogItems, SpinnerRangeStepAndStart) {
  SpinRange r;
  ASSERT_EQ(parse_spin_range("10|1|3", "DEFAULT", r), 0);
  EXPECT_EQ(r.low, 1);
  EXPECT_EQ(r.high, 10);
  EXPECT_EQ(r.step, 3);
  EXPECT_EQ(r.position, 1);
  ASSERT_EQ(parse_spin_range(" -5 | 5 ", "99", r), 0);
  EXPECT_EQ(r.step, 1);
  EXPECT_EQ(r.position, 5);   // clamped into the range
  ASSERT_EQ(parse_spin_range("-2147483647|0", "-7", r), 0);
  EXPECT_EQ(r.position, -7);

  EXPECT_EQ(parse_spin_range("", "", r), 3962);
  EXPECT_EQ(parse_spin_range("5", "", r), 3962);
  EXPECT_EQ(parse_spin_range("1|x", "", r), 3962);
  EXPECT_EQ(parse_spin_range("1|2|3|4", "", r), 3962);
  EXPECT_EQ(parse_spin_range("1|9|0", "", r), 3962);
  EXPECT_EQ(parse_spin_range("1|9", "four", r), 3963);
  EXPECT_EQ(parse_spin_range("-2147483647|1", "", r), 3964);
  EXPECT_EQ(parse_spin_range("-1|2147483647", "", r), 3964);
}
