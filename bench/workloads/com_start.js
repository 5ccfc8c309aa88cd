var d = new ActiveXObject("Scripting.Dictionary");
d.Add("k", parseInt(WScript.Arguments(0), 10));
WScript.Echo(d.Count);
