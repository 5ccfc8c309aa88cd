var n = parseInt(WScript.Arguments(0), 10);
var total = 0;
for (var r = 1; r <= n; r++) {
  var list = "";
  for (var i = 1; i <= 50; i++) list = list == "" ? "w" + i : list + " " + "w" + i;
  for (var i = 1; i <= 50; i += 7) total += list.split(" ")[i - 1].length;
  var items = list.split(" "), found = 0;
  for (var k = 0; k < items.length; k++) if (items[k] == "w25") { found = k + 1; break; }
  total += found + list.split(" ").length;
}
WScript.Echo(total);
