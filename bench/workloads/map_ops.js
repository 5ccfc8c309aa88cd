var n = parseInt(WScript.Arguments(0), 10);
var m = {};
for (var i = 1; i <= n; i++) m["k" + i] = i % 1000;
var total = 0;
for (var i = 1; i <= n; i++) total += m["k" + i];
WScript.Echo(total);
