n = CLng(WScript.Arguments(0))
lines = 0
s = ""
For i = 1 To n
  s = s & "ab" & i & ","
  If i Mod 100 = 0 Then
    last = s
    s = ""
    lines = lines + 1
  End If
Next
WScript.Echo lines
