n = CLng(WScript.Arguments(0))
x = 0.0
For i = 1 To n
  x = x + Sqr(i) * Sin(i) / (1.5 + i)
Next
WScript.Echo x
