var n = parseInt(WScript.Arguments(0), 10);
var a = 0;
for (var i = 1; i <= n; i++) {
  switch (i % 5) {
    case 0: a += 1; break;
    case 1: a += 3; break;
    case 2: a -= 1; break;
    case 3: a += 7; break;
    case 4: a -= 2; break;
  }
}
WScript.Echo(a);
