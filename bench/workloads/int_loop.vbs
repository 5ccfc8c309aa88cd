n = CLng(WScript.Arguments(0))
total = 0
For i = 1 To n
  total = (total + i * 3) Mod 1000003
Next
WScript.Echo total
