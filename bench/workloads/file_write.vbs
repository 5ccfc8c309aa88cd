Set fso = CreateObject("Scripting.FileSystemObject")
n = CLng(WScript.Arguments(0))
Set f = fso.CreateTextFile(WScript.Arguments(1), True)
total = 0
For i = 1 To n
  line = "line " & i & " of the benchmark output"
  f.WriteLine line
  total = total + Len(line)
Next
f.Close
WScript.Echo n & " " & total
