var n = parseInt(WScript.Arguments(0), 10);
var hay = "";
for (var i = 1; i <= 1000; i++) hay = hay + "k" + (i % 97) + "-xyz;";
var hits = 0;
for (var i = 1; i <= n; i++) {
  var pos = hay.indexOf("k" + (i % 97) + "-");
  if (pos >= 0) hits += hay.substr(pos, 6).length;
}
WScript.Echo(hits);
