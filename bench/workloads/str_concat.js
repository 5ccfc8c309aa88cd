var n = parseInt(WScript.Arguments(0), 10);
var lines = 0, s = "", last;
for (var i = 1; i <= n; i++) {
  s = s + "ab" + i + ",";
  if (i % 100 == 0) {
    last = s;
    s = "";
    lines++;
  }
}
WScript.Echo(lines);
