var fso = new ActiveXObject("Scripting.FileSystemObject");
var f = fso.OpenTextFile(WScript.Arguments(1), 1);
var count = 0, total = 0;
while (!f.AtEndOfStream) {
  var line = f.ReadLine();
  count++;
  total += line.length;
}
f.Close();
WScript.Echo(count + " " + total);
