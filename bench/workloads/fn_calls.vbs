Function Tag(word, n)
  Dim t
  t = word & n
  Tag = Len(t)
End Function
n = CLng(WScript.Arguments(0))
total = 0
For i = 1 To n
  total = total + Tag("k", i)
Next
WScript.Echo total
