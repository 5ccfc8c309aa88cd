var fso = new ActiveXObject("Scripting.FileSystemObject");
var n = parseInt(WScript.Arguments(0), 10);
var f = fso.CreateTextFile(WScript.Arguments(1), true);
var total = 0;
for (var i = 1; i <= n; i++) {
  var line = "line " + i + " of the benchmark output";
  f.WriteLine(line);
  total += line.length;
}
f.Close();
WScript.Echo(n + " " + total);
