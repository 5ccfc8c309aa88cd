var n = parseInt(WScript.Arguments(0), 10);
var total = 0;
for (var i = 1; i <= n; i++) {
  total = (total + i * 3) % 1000003;
}
WScript.Echo(total);
