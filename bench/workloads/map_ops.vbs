n = CLng(WScript.Arguments(0))
Set m = CreateObject("Scripting.Dictionary")
m.CompareMode = 1
For i = 1 To n
  m("k" & i) = i Mod 1000
Next
total = 0
For i = 1 To n
  total = total + m("k" & i)
Next
WScript.Echo total
