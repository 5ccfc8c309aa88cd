var n = parseInt(WScript.Arguments(0), 10);
var x = 0.0;
for (var i = 1; i <= n; i++) {
  x = x + Math.sqrt(i) * Math.sin(i) / (1.5 + i);
}
WScript.Echo(x);
