function bsearch(a, v) {
  var lo = 0, hi = a.length - 1;
  while (lo <= hi) {
    var m = (lo + hi) >> 1;
    if (a[m] == v) return m;
    if (a[m] < v) lo = m + 1; else hi = m - 1;
  }
  return -1;
}
var n = parseInt(WScript.Arguments(0), 10);
var a = new Array(n), seed = 12345;
for (var i = 0; i < n; i++) { seed = (seed * 75 + 74) % 65537; a[i] = seed; }
a.sort(function (x, y) { return x - y; });
var found = 0;
for (var i = 1; i <= 2000; i++) if (bsearch(a, (i * 61) % 65537) >= 0) found++;
WScript.Echo(a[0] + " " + a[n - 1] + " " + found);
