Set d = CreateObject("Scripting.Dictionary")
d.Add "k", CLng(WScript.Arguments(0))
WScript.Echo d.Count
