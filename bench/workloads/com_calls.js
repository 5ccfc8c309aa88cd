var n = parseInt(WScript.Arguments(0), 10);
var d = new ActiveXObject("Scripting.Dictionary");
var half = Math.floor(n / 2);
for (var i = 1; i <= half; i++) d.Add("k" + i, i % 1000);
var total = 0;
for (var i = 1; i <= half; i++) total += d.Item("k" + i);
WScript.Echo(total);
