function tag(word, n) {
  var t = word + n;
  return t.length;
}
var n = parseInt(WScript.Arguments(0), 10);
var sum = 0;
for (var i = 1; i <= n; i++) sum += tag("k", i);
WScript.Echo(sum);
