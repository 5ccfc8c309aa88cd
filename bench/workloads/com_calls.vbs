n = CLng(WScript.Arguments(0))
Set d = CreateObject("Scripting.Dictionary")
half = n \ 2
For i = 1 To half
  d.Add "k" & i, i Mod 1000
Next
total = 0
For i = 1 To half
  total = total + d.Item("k" & i)
Next
WScript.Echo total
